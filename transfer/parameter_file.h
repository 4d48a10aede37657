// Parameter sets: 32 unsigned 16-bit values, on the wire and in their text
// file (one decimal value per line, each line ended by a single line feed).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "link/commands.h"

using ParamSet = std::array<std::uint16_t, kParamValuesPerSet>;

// Wire layout: value i at bytes 2i (low) and 2i + 1 (high).
ParamSet DecodeParamSet(const std::uint8_t* wire);
void EncodeParamSet(const ParamSet& set, std::uint8_t* wire);

// The file's text: 32 lines of "%u\n".
std::string FormatParamFile(const ParamSet& set);

// Converts one line's text the way strtoul(text, nullptr, 10) does on a
// 32-bit unsigned long (leading white space, an optional sign, the digits up
// to the first non-digit; no digits give 0; a minus sign negates modulo
// 2^32; too large a number gives 0xFFFFFFFF), keeping the low 16 bits.
std::uint16_t ParamValueFromText(std::string_view text);

enum class ParamFileStatus {
  Ok,
  Missing,   // cannot be opened for reading, or not a regular file
  TooShort,  // fewer than 32 lines
};

// Reads the first 32 lines of a parameter file, one value per line. A
// carriage return before the line feed belongs to the line end; a line of
// any length is one value; a last line without a line feed still counts.
// Lines after the 32nd are not read.
ParamFileStatus ReadParamFile(std::FILE* stream, ParamSet& set);
ParamFileStatus LoadParamFile(const char* path, ParamSet& set);
