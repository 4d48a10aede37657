// The names of the files of a run: the base name plus a fixed suffix per
// data kind and slot.
//
//   parameter set, slot 0..14   ".pr" + slot in upper-case hex + ".zema"
//   common parameter set (15)   ".prM.zema"
//   pattern image, slot 0..14   ".pt" + slot in upper-case hex + ".bmp"
//   compensation image (15)     ".cmp.bmp"
#pragma once

#include <cstddef>
#include <string>

// A base name may be 250 characters long: with the longest suffix,
// ".pr0.zema", and the terminating zero, its paths then take 260, the
// length a Windows path has always had room for. Here that is 250 bytes; on
// Windows it is 250 UTF-16 units, what the system's wide calls count, of
// which each takes at most three bytes of UTF-8.
inline constexpr std::size_t kMaxBaseNameLength = 250;
inline constexpr std::size_t kLongestSuffixLength = 9;
#ifdef _WIN32
inline constexpr std::size_t kMaxBaseNameBytes = 3 * kMaxBaseNameLength;
#else
inline constexpr std::size_t kMaxBaseNameBytes = kMaxBaseNameLength;
#endif

// The longest path of a run's file, terminating zero included: room for
// the longest base name and suffix (260 bytes; on Windows, where the base
// name's limit counts UTF-16 units, 760 bytes of UTF-8). A longer one is
// refused, never cut short.
inline constexpr std::size_t kFilePathSize = kMaxBaseNameBytes + kLongestSuffixLength + 1;

std::string FileSuffix(int slot, bool isImage);

// Writes base name and suffix into dest (destSize bytes, terminating zero
// included). A path that does not fit is refused: false, and dest holds an
// empty text; nothing is ever cut short.
bool BuildFilePath(const std::string& baseName, char* dest, std::size_t destSize, int slot,
                   bool isImage);

// True when the base name is within the length above (and holds no zero
// byte), so that every file of a run fits the path buffer.
bool BaseNameFits(const std::string& baseName);

// Why a run may not use this base name: message 140 when it is too long
// (BaseNameFits), 149 when it is empty; 0 when it may. A name that ends in a
// folder separator is taken as it is: its files are ".pr0.zema" ... in that
// folder, as earlier versions wrote them.
int BaseNameRefusal(const std::string& baseName);
