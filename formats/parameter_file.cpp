#include "formats/parameter_file.h"

#include <memory>

#include "formats/source_file.h"

namespace {

// More of a line than this is never a value; a longer line is kept only as
// far as a message shows it, so a file without line ends needs no memory.
constexpr std::size_t kLineKept = 256;
// What a message shows of a line.
constexpr std::size_t kLineShown = 40;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Whether a line after the 32nd begins as a value would: a digit, after
// blanks and a sign. Such a line is most likely a value inserted above it;
// a note, or an end-of-file mark, begins otherwise.
bool StartsWithNumber(std::string_view line) {
  line = TrimBlanks(line);
  if (!line.empty() && (line.front() == '-' || line.front() == '+')) line.remove_prefix(1);
  return !line.empty() && IsDigit(line.front());
}

// An editor's byte-order mark at the start of the file.
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
bool IsUtf16Mark(std::string_view line) {
  return line.starts_with("\xFF\xFE") || line.starts_with("\xFE\xFF");
}

// The line as a message shows it, cut where a UTF-8 character begins.
std::string ShownText(std::string_view line, bool longer) {
  std::size_t end = line.size();
  if (end > kLineShown) {
    end = kLineShown;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
    longer = true;
  }
  std::string shown;
  for (char c : line.substr(0, end)) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte < 0x20 || byte == 0x7F ? '?' : c;
  }
  if (longer) shown += "...";
  return shown;
}

// One line of the stream, without its line end; false at the end of the
// stream when no character was left. `longer`: more than kLineKept
// characters, of which only those are kept.
bool NextLine(std::FILE* stream, std::string& line, bool& longer) {
  line.clear();
  longer = false;
  int c = std::fgetc(stream);
  if (c == EOF) return false;
  for (; c != EOF && c != '\n'; c = std::fgetc(stream)) {
    if (line.size() < kLineKept) {
      line += static_cast<char>(c);
    } else {
      longer = true;
    }
  }
  if (!longer && !line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

struct FileCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};

}  // namespace

ParamSet DecodeParamSet(const std::uint8_t* wire) {
  ParamSet set{};
  for (int i = 0; i < kParamValuesPerSet; ++i) {
    set[i] = static_cast<std::uint16_t>(wire[2 * i] | (wire[2 * i + 1] << 8));
  }
  return set;
}

void EncodeParamSet(const ParamSet& set, std::uint8_t* wire) {
  for (int i = 0; i < kParamValuesPerSet; ++i) {
    wire[2 * i] = static_cast<std::uint8_t>(set[i] & 0xFF);
    wire[2 * i + 1] = static_cast<std::uint8_t>(set[i] >> 8);
  }
}

std::string FormatParamFile(const ParamSet& set) {
  std::string text;
  for (std::uint16_t value : set) {
    text += std::to_string(value);
    text += '\n';
  }
  return text;
}

std::optional<std::uint16_t> ParamValueFromText(std::string_view text) {
  text = TrimBlanks(text);
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > kHighestParamValue) return std::nullopt;  // out of range with either sign
  }
  if (negative) value = -value;
  if (value < kLowestParamValue) return std::nullopt;
  return static_cast<std::uint16_t>(value & 0xFFFF);
}

ParamFileStatus ReadParamFile(std::FILE* stream, ParamFile& file) {
  file = ParamFile{};
  std::string line;
  bool longer = false;
  for (int at = 0; at < kParamValuesPerSet; ++at) {
    if (!NextLine(stream, line, longer)) return ParamFileStatus::TooShort;
    if (at == 0) {
      // UTF-16 cannot be read as lines of bytes: the operator has to save
      // it again, and is told so rather than shown a line of odd bytes.
      if (IsUtf16Mark(line)) return ParamFileStatus::Utf16;
      if (line.starts_with(kUtf8Mark)) line.erase(0, kUtf8Mark.size());
    }
    file.lines[at] = ShownText(line, longer);
    const std::optional<std::uint16_t> value = longer ? std::nullopt : ParamValueFromText(line);
    if (!value) {
      file.badLine = at + 1;
      file.badText = file.lines[at];
      return ParamFileStatus::NotANumber;
    }
    file.values[at] = *value;
  }
  for (int number = kParamValuesPerSet + 1; NextLine(stream, line, longer); ++number) {
    if (StartsWithNumber(line)) {
      file.badLine = number;
      file.badText = ShownText(line, longer);
      return ParamFileStatus::TooManyValues;
    }
  }
  return ParamFileStatus::Ok;
}

ParamFileStatus LoadParamFile(const std::string& path, ParamFile& file) {
  std::unique_ptr<std::FILE, FileCloser> stream(OpenRegularFile(path));
  if (!stream) return ParamFileStatus::Missing;
  return ReadParamFile(stream.get(), file);
}
