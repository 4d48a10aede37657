// The bitmap files of the compensation table and of the pattern images:
// 236 x 208 pixels of 24 bits (blue, green, red), rows stored bottom-up
// without padding, behind one constant 54-byte header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

inline constexpr int kImageWidth = 236;
inline constexpr int kImageHeight = 208;
inline constexpr std::size_t kImageHeaderBytes = 54;
inline constexpr std::size_t kImagePixelBytes = 3 * kImageWidth * kImageHeight;       // 147264
inline constexpr std::size_t kImageFileBytes = kImageHeaderBytes + kImagePixelBytes;  // 147318

namespace image_file_detail {

constexpr std::array<std::uint8_t, kImageHeaderBytes> BuildHeader() {
  std::array<std::uint8_t, kImageHeaderBytes> header{};
  auto put = [&header](std::size_t at, std::uint32_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      header[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
  };
  put(0, 0x4D42, 2);  // "BM"
  put(2, kImageFileBytes, 4);
  put(10, kImageHeaderBytes, 4);  // where the pixels start
  put(14, 40, 4);                 // size of the information header
  put(18, kImageWidth, 4);
  put(22, kImageHeight, 4);  // positive: the first stored row is the bottom one
  put(26, 1, 2);             // colour planes
  put(28, 24, 2);            // bits per pixel
  put(34, kImagePixelBytes, 4);
  return header;  // no compression, no resolution, no palette
}

}  // namespace image_file_detail

// The header of every compensation and pattern file.
inline constexpr std::array<std::uint8_t, kImageHeaderBytes> ImageFileHeader =
    image_file_detail::BuildHeader();

// The header test of a WRITE: the signature, the three low bytes of the file
// size and the low byte of the bit depth must match ImageFileHeader; nothing
// else is looked at. A tested byte the file does not have fails the test.
bool ImageHeaderPasses(std::span<const std::uint8_t> header);

enum class ImageFileStatus {
  Ok,
  Missing,  // cannot be opened for reading, or not a regular file
  Refused,  // fails the header test or is shorter than kImageFileBytes
};

// Checks a source file opened for binary reading and leaves it at the first
// pixel byte. A file longer than kImageFileBytes is accepted: its pixels are
// read with the fixed layout and the rest is never looked at.
ImageFileStatus CheckImageFile(std::FILE* stream);
ImageFileStatus CheckImageFile(const std::string& path);
