// The parameter-file reader, given any bytes as a file.
//
// Checked against a plain reference: a file holds enough lines when it has
// 32 line feeds, or 31 and more text after the last; each of the first 32
// lines gives the value strtoul gives it, low 16 bits (compared where the
// number has at most 9 digits, so that strtoul's 64-bit overflow does not
// differ from the 32-bit one the reader keeps). A set written by the writer
// reads back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "transfer/parameter_file.h"

namespace {

// The stream of a memory buffer; an empty one is a temporary file, as
// fmemopen does not take a size of 0 everywhere.
std::FILE* StreamOf(const std::string& bytes) {
  if (bytes.empty()) return std::tmpfile();
  return ::fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
}

int DigitCount(std::string_view line) {
  std::size_t at = line.find_first_of("0123456789");
  if (at == std::string_view::npos) return 0;
  const std::size_t end = line.find_first_not_of("0123456789", at);
  return static_cast<int>((end == std::string_view::npos ? line.size() : end) - at);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::FILE* stream = StreamOf(bytes);
  if (stream == nullptr) return 0;
  ParamSet set;
  const ParamFileStatus status = ReadParamFile(stream, set);
  std::fclose(stream);

  const std::vector<std::string_view> lines = Lines(bytes);
  const bool whole = lines.size() >= static_cast<std::size_t>(kParamValuesPerSet);
  FUZZ_REQUIRE(status == (whole ? ParamFileStatus::Ok : ParamFileStatus::TooShort));
  if (!whole) return 0;
  for (int i = 0; i < kParamValuesPerSet; ++i) {
    const std::string_view line = lines[static_cast<std::size_t>(i)];
    FUZZ_REQUIRE(set[i] == ParamValueFromText(line));
    if (DigitCount(line) <= 9) {
      const std::string text(line);  // strtoul stops at a zero byte, as the reader does
      FUZZ_REQUIRE(set[i] == static_cast<std::uint16_t>(std::strtoul(text.c_str(), nullptr, 10)));
    }
  }

  const std::string written = FormatParamFile(set);
  std::FILE* again = StreamOf(written);
  FUZZ_REQUIRE(again != nullptr);
  ParamSet reread;
  FUZZ_REQUIRE(ReadParamFile(again, reread) == ParamFileStatus::Ok && reread == set);
  std::fclose(again);
  return 0;
}
