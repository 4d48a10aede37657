#include "transfer/parameter_file.h"

#include <memory>

#include "transfer/source_file.h"

namespace {

// Follows strtoul through one line, a character at a time, so that a line
// of any length needs no buffer.
class ValueScanner {
 public:
  void Feed(char c) {
    switch (phase_) {
      case Phase::Blank:
        if (IsBlank(c)) return;
        if (c == '+' || c == '-') {
          negative_ = c == '-';
          phase_ = Phase::Sign;
          return;
        }
        phase_ = Phase::Sign;
        [[fallthrough]];
      case Phase::Sign:
        if (!IsDigit(c)) {
          // A sign without digits converts nothing.
          negative_ = false;
          phase_ = Phase::Rest;
          return;
        }
        phase_ = Phase::Digits;
        [[fallthrough]];
      case Phase::Digits:
        if (!IsDigit(c)) {
          phase_ = Phase::Rest;
          return;
        }
        if (!overflow_) {
          value_ = value_ * 10 + static_cast<std::uint64_t>(c - '0');
          if (value_ > kMax32) overflow_ = true;
        }
        return;
      case Phase::Rest:
        return;
    }
  }

  std::uint16_t Result() const {
    std::uint32_t number;
    if (overflow_) {
      number = kMax32;
    } else if (negative_) {
      number = static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(value_));
    } else {
      number = static_cast<std::uint32_t>(value_);
    }
    return static_cast<std::uint16_t>(number & 0xFFFFu);
  }

 private:
  enum class Phase { Blank, Sign, Digits, Rest };
  static constexpr std::uint64_t kMax32 = 0xFFFFFFFFu;

  // The white space of isspace in the "C" locale.
  static bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  Phase phase_ = Phase::Blank;
  bool negative_ = false;
  bool overflow_ = false;
  std::uint64_t value_ = 0;
};

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

std::uint16_t ParamValueFromText(std::string_view text) {
  ValueScanner scanner;
  for (char c : text) scanner.Feed(c);
  return scanner.Result();
}

ParamFileStatus ReadParamFile(std::FILE* stream, ParamSet& set) {
  set.fill(0);
  for (int line = 0; line < kParamValuesPerSet; ++line) {
    int c = std::fgetc(stream);
    if (c == EOF) return ParamFileStatus::TooShort;
    ValueScanner scanner;
    // A carriage return is white space to the conversion, so one before
    // the line feed changes no value.
    while (c != EOF && c != '\n') {
      scanner.Feed(static_cast<char>(c));
      c = std::fgetc(stream);
    }
    set[line] = scanner.Result();
  }
  return ParamFileStatus::Ok;
}

ParamFileStatus LoadParamFile(const char* path, ParamSet& set) {
  std::unique_ptr<std::FILE, FileCloser> stream(OpenRegularFile(path));
  if (!stream) return ParamFileStatus::Missing;
  return ReadParamFile(stream.get(), set);
}
