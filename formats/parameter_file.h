// Parameter sets: 32 unsigned 16-bit values, on the wire and in their text
// file (one decimal value per line, each line ended by a single line feed).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "link/commands.h"

using ParamSet = std::array<std::uint16_t, kParamValuesPerSet>;

// Wire layout: value i at bytes 2i (low) and 2i + 1 (high).
ParamSet DecodeParamSet(const std::uint8_t* wire);
void EncodeParamSet(const ParamSet& set, std::uint8_t* wire);

// The file's text: 32 lines of "%u\n".
std::string FormatParamFile(const ParamSet& set);

// A line of a parameter file holds one whole decimal number from -32768
// to 65535; a negative number stands for its 16-bit two's complement, as
// the sensor takes it (-1 is 65535).
inline constexpr int kLowestParamValue = -32768;
inline constexpr int kHighestParamValue = 65535;

// The value a line's text stands for: the number with an optional sign,
// blanks (spaces, tabs) around it allowed; nothing for any other text (an
// empty line, a fraction, two numbers, a number out of range).
std::optional<std::uint16_t> ParamValueFromText(std::string_view text);

enum class ParamFileStatus {
  Ok,
  Missing,        // cannot be opened for reading, or not a regular file
  TooShort,       // fewer than 32 lines
  NotANumber,     // one of the first 32 lines holds no value
  TooManyValues,  // a line after the 32nd holds a number
  Utf16,          // saved as UTF-16: begins with its byte-order mark
};

struct ParamFile {
  ParamSet values{};
  // Each line's text as a message shows it: without its line end, control
  // characters as "?", a long line cut short with "...".
  std::array<std::string, kParamValuesPerSet> lines;
  // NotANumber, TooManyValues: the first such line (counted from 1, as an
  // editor counts) and its text as shown.
  int badLine = 0;
  std::string badText;
};

// Reads a parameter file: 32 lines of one value each. A carriage return
// before the line feed belongs to the line end; a last line without a line
// feed still counts. A UTF-8 byte-order mark at the start, which an editor
// may put there, is no part of the first line. After the 32nd line only a
// number counts (a sign that a value was inserted); a note, blank lines or
// a DOS end-of-file mark (0x1A) there are not read, as earlier readers never
// read past the 32nd line.
ParamFileStatus ReadParamFile(std::FILE* stream, ParamFile& file);
ParamFileStatus LoadParamFile(const std::string& path, ParamFile& file);
