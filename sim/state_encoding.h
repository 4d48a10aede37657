// Byte-level helpers shared by the state file and its journal: numbers are
// little-endian, a checksum (FNV-1a) that is enough to notice a truncated
// or altered file, and reading either file whole.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace zema::sim::state_encoding {

inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline void PutU64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline std::uint32_t GetU32(const std::uint8_t* in) {
  return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
         static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

inline std::uint64_t GetU64(const std::uint8_t* in) {
  return static_cast<std::uint64_t>(GetU32(in)) | static_cast<std::uint64_t>(GetU32(in + 4)) << 32;
}

inline std::uint32_t Fingerprint(std::span<const std::uint8_t> bytes) {
  std::uint32_t hash = 2166136261u;
  for (std::uint8_t b : bytes) {
    hash ^= b;
    hash *= 16777619u;
  }
  return hash;
}

inline std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

enum class WholeFile { kRead, kMissing, kFailed };

// Reads the file at `path` into `bytes`. kFailed with `error` naming it as
// `what` ("state file", "journal") when it exists but cannot be read.
inline WholeFile ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                               const std::string& what, std::string& error) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return WholeFile::kMissing;
    error = SystemError("cannot read " + what, path);
    return WholeFile::kFailed;
  }
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = SystemError("cannot read " + what, path);
      ::close(fd);
      return WholeFile::kFailed;
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  ::close(fd);
  return WholeFile::kRead;
}

}  // namespace zema::sim::state_encoding
