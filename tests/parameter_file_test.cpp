// The parameter file: its text, the values a line may hold, and the lines
// a file is refused for.
#include "formats/parameter_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace {

struct FileCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};

ParamFileStatus ReadFromText(const std::string& text, ParamFile& file) {
  std::unique_ptr<std::FILE, FileCloser> stream(std::tmpfile());
  EXPECT_TRUE(stream);
  std::fwrite(text.data(), 1, text.size(), stream.get());
  std::rewind(stream.get());
  return ReadParamFile(stream.get(), file);
}

std::string Lines(int count, const std::string& line, const std::string& end = "\n") {
  std::string text;
  for (int i = 0; i < count; ++i) text += line + end;
  return text;
}

TEST(ParamFileText, FollowsTheExampleLayout) {
  ParamSet set{};
  set[1] = 1;
  set[2] = 255;
  set[3] = 256;
  set[4] = 65535;
  EXPECT_EQ(FormatParamFile(set), "0\n1\n255\n256\n65535\n" + Lines(27, "0"));
}

TEST(ParamFileText, EveryValueSurvivesWriteAndRead) {
  for (int first = 0; first < 65536; first += kParamValuesPerSet) {
    ParamSet set{};
    for (int i = 0; i < kParamValuesPerSet; ++i) set[i] = static_cast<std::uint16_t>(first + i);
    ParamFile back;
    ASSERT_EQ(ReadFromText(FormatParamFile(set), back), ParamFileStatus::Ok);
    ASSERT_EQ(back.values, set) << "values from " << first;
  }
}

struct Conversion {
  const char* text;
  std::optional<std::uint16_t> sent;
};

class ParamValueConversion : public ::testing::TestWithParam<Conversion> {};

TEST_P(ParamValueConversion, TakesOnlyAWholeNumberInRange) {
  EXPECT_EQ(ParamValueFromText(GetParam().text), GetParam().sent) << '"' << GetParam().text << '"';
}

// A negative number keeps its two's-complement meaning. (The texts a WRITE
// refuses are in the parameter transfer test.)
INSTANTIATE_TEST_SUITE_P(
    Lines, ParamValueConversion,
    ::testing::Values(Conversion{"  \t12 ", 12}, Conversion{"+7", 7}, Conversion{"000123", 123},
                      Conversion{"-32768", 32768}, Conversion{"-0", 0},
                      Conversion{"-", std::nullopt}, Conversion{"-32769", std::nullopt},
                      Conversion{"99999999999999999999999", std::nullopt}));

struct FileCase {
  std::string text;
  ParamFileStatus status;
  int badLine;
  std::string badText;
};

class ParamFileCheck : public ::testing::TestWithParam<FileCase> {};

TEST_P(ParamFileCheck, NamesTheFirstLineAtFault) {
  ParamFile file;
  EXPECT_EQ(ReadFromText(GetParam().text, file), GetParam().status);
  EXPECT_EQ(file.badLine, GetParam().badLine);
  EXPECT_EQ(file.badText, GetParam().badText);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ParamFileCheck,
    ::testing::Values(
        FileCase{"", ParamFileStatus::TooShort, 0, ""},
        FileCase{Lines(31, "1"), ParamFileStatus::TooShort, 0, ""},
        // The last line needs no line feed; a carriage return belongs to the line end.
        FileCase{Lines(31, "1") + "1", ParamFileStatus::Ok, 0, ""},
        FileCase{Lines(32, "12345", "\r\n"), ParamFileStatus::Ok, 0, ""},
        FileCase{Lines(31, "1", "\r\n") + "\r", ParamFileStatus::NotANumber, 32, ""},
        // An editor's empty lines at the end are no values; a 33rd value is.
        FileCase{Lines(32, "1") + "\n \n", ParamFileStatus::Ok, 0, ""},
        FileCase{Lines(32, "1") + "\n7\n", ParamFileStatus::TooManyValues, 34, "7"},
        FileCase{"1\x1b[2J\n" + Lines(31, "1"), ParamFileStatus::NotANumber, 1, "1?[2J"},
        FileCase{std::string(5000, '1') + "\n" + Lines(31, "1"), ParamFileStatus::NotANumber, 1,
                 std::string(40, '1') + "..."}));

TEST(ParamFileLines, AFileThatCannotBeOpenedIsMissing) {
  ParamFile file;
  EXPECT_EQ(LoadParamFile("/nonexistent-folder/line1.pr0.zema", file), ParamFileStatus::Missing);
}

}  // namespace
