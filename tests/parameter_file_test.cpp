// The parameter file: its text, the reader's conversion and its lines.
#include "transfer/parameter_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct FileCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};

ParamFileStatus ReadFromText(const std::string& text, ParamSet& set) {
  std::unique_ptr<std::FILE, FileCloser> stream(std::tmpfile());
  EXPECT_TRUE(stream);
  std::fwrite(text.data(), 1, text.size(), stream.get());
  std::rewind(stream.get());
  return ReadParamFile(stream.get(), set);
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
    ParamSet back{};
    ASSERT_EQ(ReadFromText(FormatParamFile(set), back), ParamFileStatus::Ok);
    ASSERT_EQ(back, set) << "values from " << first;
  }
}

struct Conversion {
  const char* text;
  std::uint16_t sent;
};

class ParamValueConversion : public ::testing::TestWithParam<Conversion> {};

TEST_P(ParamValueConversion, KeepsTheLow16BitsOfStrtoul) {
  EXPECT_EQ(ParamValueFromText(GetParam().text), GetParam().sent) << '"' << GetParam().text << '"';
}

// "65535", "-1", "70000", empty lines and text are shown on the wire.
INSTANTIATE_TEST_SUITE_P(
    Lines, ParamValueConversion,
    ::testing::Values(Conversion{"  \t12", 12}, Conversion{"+7", 7}, Conversion{"-", 0},
                      Conversion{"- 5", 0}, Conversion{"000123", 123},
                      Conversion{"-70000", 61072}, Conversion{"4294967295", 0xFFFF},
                      // Out of range: strtoul gives ULONG_MAX whatever the sign.
                      Conversion{"4294967296", 0xFFFF}, Conversion{"-4294967296", 0xFFFF},
                      Conversion{"99999999999999999999999", 0xFFFF}));

TEST(ParamFileLines, ALongLineIsOneValue) {
  const std::string longLine = std::string(5000, ' ') + "42" + std::string(5000, 'x');
  ParamSet set{};
  ASSERT_EQ(ReadFromText(longLine + "\n1234567\n" + Lines(30, "7"), set), ParamFileStatus::Ok);
  EXPECT_EQ(set[0], 42);
  EXPECT_EQ(set[1], 1234567 & 0xFFFF);
  EXPECT_EQ(set[2], 7);
  EXPECT_EQ(set[31], 7);
}

struct LineCount {
  std::string text;
  ParamFileStatus status;
};

class ParamFileLineCount : public ::testing::TestWithParam<LineCount> {};

TEST_P(ParamFileLineCount, FewerThan32LinesAreRefused) {
  ParamSet set{};
  EXPECT_EQ(ReadFromText(GetParam().text, set), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ParamFileLineCount,
    ::testing::Values(LineCount{"", ParamFileStatus::TooShort},
                      LineCount{Lines(31, "1"), ParamFileStatus::TooShort},
                      LineCount{Lines(31, "1", "\r\n") + "\r", ParamFileStatus::Ok},
                      // The last line needs no line feed of its own.
                      LineCount{Lines(31, "1") + "1", ParamFileStatus::Ok},
                      LineCount{Lines(32, "1"), ParamFileStatus::Ok}));

TEST(ParamFileLines, AFileThatCannotBeOpenedIsMissing) {
  ParamSet set{};
  EXPECT_EQ(LoadParamFile("/nonexistent-folder/line1.pr0.zema", set), ParamFileStatus::Missing);
}

}  // namespace
