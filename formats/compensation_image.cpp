#include "formats/compensation_image.h"

#include <algorithm>

namespace {

// The sensor keeps samples 0 to 15 of the first block for itself.
constexpr int kUncarriedSamples = 16;

}  // namespace

int FirstCarriedSample(int block) {
  return block == kCompensationFirstBlock ? kUncarriedSamples : 0;
}

std::size_t CompensationFileBytes(int block) {
  return static_cast<std::size_t>(kSamplesPerBlock - FirstCarriedSample(block)) * kBytesPerSample;
}

std::size_t CompensationToFile(int block, std::span<const std::uint8_t, kBlockBytes> wire,
                               std::span<std::uint8_t, kMaxCompensationFileBytesPerBlock> file) {
  auto out = file.begin();
  for (int s = FirstCarriedSample(block); s < kSamplesPerBlock; ++s) {
    const auto grey = static_cast<std::uint8_t>(2 * wire[static_cast<std::size_t>(2 * s)]);
    out = std::fill_n(out, kBytesPerSample, grey);
  }
  return static_cast<std::size_t>(out - file.begin());
}

void CompensationFromFile(int block, std::span<const std::uint8_t> file, std::size_t available,
                          std::span<std::uint8_t, kBlockBytes> wire) {
  std::fill(wire.begin(), wire.end(), std::uint8_t{0});
  available = std::min(available, file.size());
  std::size_t last = kBytesPerSample - 1;  // the red byte of the fourth pixel
  for (int s = FirstCarriedSample(block); s < kSamplesPerBlock; ++s, last += kBytesPerSample) {
    if (last >= available) break;
    wire[static_cast<std::size_t>(2 * s)] = static_cast<std::uint8_t>(file[last] / 2);
  }
}
