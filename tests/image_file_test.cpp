// The bitmap header and its test, and the two forms of a pixel word in the
// pattern files, without a sensor.
#include "formats/image_file.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "formats/pattern_image.h"
#include "support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace {

std::string WholeImageFile() {
  std::string file(ImageFileHeader.begin(), ImageFileHeader.end());
  file.resize(kImageFileBytes, '\x5A');
  return file;
}

TEST(ImageFile, TheHeaderIsTheConstantBitmapHeader) {
  const std::array<std::uint8_t, kImageHeaderBytes> expected = {
      0x42, 0x4D, 0x76, 0x3F, 0x02, 0x00, 0,    0,    0,   0, 54, 0, 0, 0,  // file header
      40,   0,    0,    0,    236,  0,    0,    0,    208, 0, 0,  0, 1, 0,
      24,   0,                                         // size, width, height, planes, bits
      0,    0,    0,    0,    0x40, 0x3F, 0x02, 0x00,  // no compression, pixel bytes
      0,    0,    0,    0,    0,    0,    0,    0,    0,   0, 0,  0, 0, 0,
      0,    0};  // resolution, colours
  EXPECT_EQ(ImageFileHeader, expected);
}

TEST(ImageFile, OnlyTheTestedBytesAndAWholeFileCount) {
  struct Case {
    const char* name;
    std::function<void(std::string&)> change;
    ImageFileStatus status;
  };
  const Case cases[] = {
      {"whole file", [](std::string&) {}, ImageFileStatus::Ok},
      {"longer file", [](std::string& f) { f += "tail"; }, ImageFileStatus::Ok},
      {"other width, height and offset",
       [](std::string& f) {
         f[10] = 60;
         f[18] = 100;
         f[22] = 50;
       },
       ImageFileStatus::Ok},
      {"top byte of the size field", [](std::string& f) { f[5] = 1; }, ImageFileStatus::Ok},
      {"signature", [](std::string& f) { f[1] = 'A'; }, ImageFileStatus::Refused},
      {"size field", [](std::string& f) { f[4] = 3; }, ImageFileStatus::Refused},
      {"32 bits per pixel", [](std::string& f) { f[28] = 32; }, ImageFileStatus::Refused},
      {"100000 bytes", [](std::string& f) { f.resize(100000); }, ImageFileStatus::Refused},
      {"one byte short", [](std::string& f) { f.pop_back(); }, ImageFileStatus::Refused},
      {"28 bytes", [](std::string& f) { f.resize(28); }, ImageFileStatus::Refused},
      {"empty", [](std::string& f) { f.clear(); }, ImageFileStatus::Refused},
  };
  TempFolder dir("zema-image-file");
  const std::string path = (dir / "line1.cmp.bmp").string();
  EXPECT_EQ(CheckImageFile(path.c_str()), ImageFileStatus::Missing);
  for (const Case& test : cases) {
    std::string file = WholeImageFile();
    test.change(file);
    WriteFileBytes(path, file);
    EXPECT_EQ(CheckImageFile(path.c_str()), test.status) << test.name;
    if (test.status != ImageFileStatus::Ok) continue;
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    ASSERT_EQ(CheckImageFile(stream), ImageFileStatus::Ok);
    EXPECT_EQ(std::ftell(stream), 54) << test.name << ": not at the first pixel";
    std::fclose(stream);
  }
  // The header test alone looks no further than byte 28.
  EXPECT_TRUE(ImageHeaderPasses(std::span(ImageFileHeader).first(29)));
  EXPECT_FALSE(ImageHeaderPasses(std::span(ImageFileHeader).first(28)));
}

TEST(ImageFile, PixelWordsAndFileBytesConvertAsTheTablesSay) {
  struct Case {
    std::uint16_t word;
    PixelBytes bytes;  // blue, green, red
  };
  // Words as read out, and back.
  for (const Case& test : {Case{0x0000, {0x00, 0x00, 0x00}}, Case{0x0001, {0xE1, 0x00, 0x00}},
                           Case{0xFFFE, {0xF0, 0xFC, 0xF8}}, Case{0xFFFF, {0xFF, 0x3F, 0x1F}}}) {
    EXPECT_EQ(PixelBytesOf(test.word), test.bytes) << test.word;
    EXPECT_EQ(PixelWordOf(test.bytes), test.word) << test.word;
  }
  // Pictures made elsewhere: an even blue byte keeps the top bits of each
  // channel (bit 3 of blue becomes bit 0), an odd one the low bits.
  for (const Case& test : {Case{0x0001, {0x08, 0x00, 0x00}}, Case{0xFFFF, {0xFF, 0xFF, 0xFF}},
                           Case{0xFFFE, {0xF6, 0xFF, 0xFF}}, Case{0x0421, {0x21, 0x41, 0x21}}}) {
    EXPECT_EQ(PixelWordOf(test.bytes), test.word) << test.word;
  }
  for (int word = 0; word <= 0xFFFF; ++word) {
    const auto w = static_cast<std::uint16_t>(word);
    ASSERT_EQ(PixelWordOf(PixelBytesOf(w)), w);
  }
}

}  // namespace
