// SHA-256 of bytes and of files, so that a backup can tell that its files
// are still the ones it wrote.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace zema {

class Sha256 {
 public:
  Sha256();
  void Update(std::span<const std::uint8_t> bytes);
  // The digest of everything given; the object is spent afterwards.
  std::array<std::uint8_t, 32> Finish();

 private:
  void Compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> pending_{};
  std::size_t pendingBytes_ = 0;
  std::uint64_t totalBytes_ = 0;
};

// 64 lower-case hexadecimal digits, as sha256sum prints them.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);
std::string HexOf(std::span<const std::uint8_t> digest);

// The digest and size of a regular file (a UTF-8 path); false with
// `error` (the system's reason) when it cannot be read whole.
bool Sha256OfFile(const std::string& path, std::string& hex, std::uint64_t& size,
                  std::string& error);

}  // namespace zema
