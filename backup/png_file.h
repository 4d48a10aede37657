// PNG pictures of 8-bit RGB pixels, for the images that show what changed
// between two backups. The image data is stored, not compressed: a change
// image is looked at, not archived, and stays free of a compression library.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zema {

// `rgb` holds width * height pixels of three bytes (red, green, blue), the
// top row first.
std::vector<std::uint8_t> EncodePng(int width, int height, std::span<const std::uint8_t> rgb);

std::uint32_t Crc32(std::span<const std::uint8_t> bytes);
std::uint32_t Adler32(std::span<const std::uint8_t> bytes);

}  // namespace zema
