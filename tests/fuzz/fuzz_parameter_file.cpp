// The parameter-file reader, given any bytes as a file.
//
// Checked against a plain reference: a file is taken only when it has 32
// lines, or 31 and more text after the last; each of them, without a
// carriage return at its end, converts with strtol to a number from -32768
// to 65535, and its value is that number's low 16 bits. A refused file
// names one of its lines. A set written by the writer reads back unchanged.
// A UTF-8 mark before the first line is no part of it; only a file that
// begins with a UTF-16 mark is refused as such; after the 32nd line the
// first that begins with a digit (after blanks and a sign) is refused.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "formats/parameter_file.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The stream of a memory buffer; an empty one is a temporary file, as
// fmemopen does not take a size of 0 everywhere.
std::FILE* StreamOf(const std::string& bytes) {
  if (bytes.empty()) return std::tmpfile();
  return ::fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool BeginsAsANumber(std::string_view line) {
  std::size_t at = line.find_first_not_of(" \t");
  if (at != std::string_view::npos && (line[at] == '+' || line[at] == '-')) ++at;
  return at < line.size() && line[at] >= '0' && line[at] <= '9';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::FILE* stream = StreamOf(bytes);
  if (stream == nullptr) return 0;
  ParamFile file;
  const ParamFileStatus status = ReadParamFile(stream, file);
  std::fclose(stream);

  FUZZ_REQUIRE((status == ParamFileStatus::Utf16) ==
               (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")));
  if (status == ParamFileStatus::Utf16) return 0;
  std::vector<std::string_view> lines = Lines(bytes);
  if (!lines.empty() && lines[0].starts_with("\xEF\xBB\xBF")) lines[0].remove_prefix(3);
  // A short file is refused: as too short, or for a line that is not a
  // number, which the reader meets before the file's end.
  if (lines.size() < static_cast<std::size_t>(kParamValuesPerSet)) {
    FUZZ_REQUIRE(status == ParamFileStatus::TooShort ||
                 (status == ParamFileStatus::NotANumber && file.badLine >= 1 &&
                  static_cast<std::size_t>(file.badLine) <= lines.size()));
    return 0;
  }
  FUZZ_REQUIRE(status != ParamFileStatus::TooShort && status != ParamFileStatus::Missing);
  const auto numberAfter =
      std::find_if(lines.begin() + kParamValuesPerSet, lines.end(), BeginsAsANumber);
  if (status != ParamFileStatus::Ok) {
    FUZZ_REQUIRE(status == ParamFileStatus::TooManyValues
                     ? file.badLine == numberAfter - lines.begin() + 1
                     : file.badLine >= 1 && file.badLine <= kParamValuesPerSet);
    return 0;
  }
  FUZZ_REQUIRE(numberAfter == lines.end());
  for (int i = 0; i < kParamValuesPerSet; ++i) {
    std::string text(lines[static_cast<std::size_t>(i)]);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    FUZZ_REQUIRE(end != text.c_str() && number >= kLowestParamValue &&
                 number <= kHighestParamValue);
    FUZZ_REQUIRE(file.values[i] == static_cast<std::uint16_t>(number & 0xFFFF));
  }

  const std::string written = FormatParamFile(file.values);
  std::FILE* again = StreamOf(written);
  FUZZ_REQUIRE(again != nullptr);
  ParamFile reread;
  FUZZ_REQUIRE(ReadParamFile(again, reread) == ParamFileStatus::Ok &&
               reread.values == file.values);
  std::fclose(again);
  return 0;
}
