#include "sim/state_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

namespace zema::sim {
namespace {

constexpr char kMagic[8] = {'Z', 'E', 'M', 'A', 'S', 'I', 'M', '1'};

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t GetU32(const std::uint8_t* in) {
  return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
         static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

// FNV-1a, enough to notice a truncated or altered file.
std::uint32_t Fingerprint(const std::uint8_t* data, std::size_t size) {
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= data[i];
    hash *= 16777619u;
  }
  return hash;
}

std::size_t BodySize() {
  const SensorMemory sizes;
  std::size_t size = kParamSetCount * kParamSetBytes + sizes.compensation.size();
  for (const auto& bank : sizes.patterns) size += bank[0].size() + bank[1].size();
  return size;
}

std::vector<std::uint8_t> Serialise(const SensorMemory& memory) {
  std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
  PutU32(out, static_cast<std::uint32_t>(BodySize()));
  for (const auto& set : memory.params) {
    for (std::uint16_t value : set) {
      out.push_back(static_cast<std::uint8_t>(value & 0xFF));
      out.push_back(static_cast<std::uint8_t>(value >> 8));
    }
  }
  out.insert(out.end(), memory.compensation.begin(), memory.compensation.end());
  for (const auto& bank : memory.patterns) {
    for (const auto& section : bank) out.insert(out.end(), section.begin(), section.end());
  }
  PutU32(out, Fingerprint(out.data(), out.size()));
  return out;
}

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

StateLoadResult LoadState(const std::string& path, SensorMemory& memory, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return StateLoadResult::kMissing;
    error = SystemError("cannot read state file", path);
    return StateLoadResult::kDamaged;
  }
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = SystemError("cannot read state file", path);
      ::close(fd);
      return StateLoadResult::kDamaged;
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  ::close(fd);
  const std::size_t headerSize = sizeof kMagic + 4;
  const std::size_t expected = headerSize + BodySize() + 4;
  if (bytes.size() != expected || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 ||
      GetU32(bytes.data() + sizeof kMagic) != BodySize() ||
      GetU32(bytes.data() + expected - 4) != Fingerprint(bytes.data(), expected - 4)) {
    error = "state file " + path + " is damaged or not a zema-sim state file";
    return StateLoadResult::kDamaged;
  }
  SensorMemory loaded;
  const std::uint8_t* p = bytes.data() + headerSize;
  for (auto& set : loaded.params) {
    for (std::uint16_t& value : set) {
      value = static_cast<std::uint16_t>(p[0] | p[1] << 8);
      p += 2;
    }
  }
  std::copy(p, p + loaded.compensation.size(), loaded.compensation.begin());
  p += loaded.compensation.size();
  for (auto& bank : loaded.patterns) {
    for (auto& section : bank) {
      std::copy(p, p + section.size(), section.begin());
      p += section.size();
    }
  }
  loaded.transferArea = memory.transferArea;
  memory = std::move(loaded);
  return StateLoadResult::kLoaded;
}

bool SaveState(const std::string& path, const SensorMemory& memory, std::string& error) {
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = SystemError("cannot create", temporary);
    return false;
  }
  const bool written = WriteAll(fd, Serialise(memory)) && ::fsync(fd) == 0;
  const std::string writeError = written ? "" : SystemError("cannot write", temporary);
  if (::close(fd) != 0 || !written) {
    error = written ? SystemError("cannot write", temporary) : writeError;
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = SystemError("cannot replace", path);
    ::unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable.
  const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

}  // namespace zema::sim
