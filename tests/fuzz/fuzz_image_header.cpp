// The header test of the image files, given any bytes as a file's start.
//
// Checked against the rule itself: the file passes when it has bytes 0 to 4
// and 28 and they are "BM", 0x76 0x3F 0x02 and 24. The same start is also
// tried as a whole file of one byte less than, exactly or one byte more than
// the full 147318 bytes: only a passing header of a file at least that long
// is accepted, and the file is then left at its first pixel byte.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "formats/image_file.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool Passes(std::span<const std::uint8_t> start) {
  static constexpr std::uint8_t kSignature[] = {0x42, 0x4D, 0x76, 0x3F, 0x02};
  if (start.size() < 29) return false;
  for (std::size_t i = 0; i < sizeof kSignature; ++i) {
    if (start[i] != kSignature[i]) return false;
  }
  return start[28] == 24;
}

ImageFileStatus CheckBytes(const std::string& bytes, long& position) {
  std::FILE* stream = bytes.empty()
                          ? std::tmpfile()
                          : ::fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  FUZZ_REQUIRE(stream != nullptr);
  const ImageFileStatus status = CheckImageFile(stream);
  position = std::ftell(stream);
  std::fclose(stream);
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> start(data, size);
  const bool passes = Passes(start);
  FUZZ_REQUIRE(ImageHeaderPasses(start) == passes);

  std::string bytes(reinterpret_cast<const char*>(data), size);
  long position = 0;
  const bool accepted = passes && size >= kImageFileBytes;
  FUZZ_REQUIRE(CheckBytes(bytes, position) ==
               (accepted ? ImageFileStatus::Ok : ImageFileStatus::Refused));

  // The last byte of the input chooses the length of the whole file.
  const std::size_t whole = kImageFileBytes - 1 + (size > 0 ? data[size - 1] % 3 : 0);
  bytes.resize(whole, '\0');
  const bool wholePasses =
      Passes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  const ImageFileStatus status = CheckBytes(bytes, position);
  FUZZ_REQUIRE(status == (wholePasses && whole >= kImageFileBytes ? ImageFileStatus::Ok
                                                                   : ImageFileStatus::Refused));
  if (status == ImageFileStatus::Ok) FUZZ_REQUIRE(position == static_cast<long>(kImageHeaderBytes));
  return 0;
}
