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

// The longest suffix, ".pr0.zema", has nine characters: with it and the
// terminating zero a base name of at most 250 bytes fits a 260-byte path
// buffer.
inline constexpr std::size_t kMaxBaseNameLength = 250;

std::string FileSuffix(int slot, bool isImage);

// Writes base name and suffix into dest (destSize bytes, terminating zero
// included). A path that does not fit is refused: false, and dest holds an
// empty text; nothing is ever cut short.
bool BuildFilePath(const std::string& baseName, char* dest, std::size_t destSize, int slot,
                   bool isImage);

// True when every file of a run with this base name fits the path buffer.
bool BaseNameFits(const std::string& baseName);

// Why a run may not use this base name: message 140 when its paths would
// not fit the path buffer, 149 when it names no file of its own (empty,
// ending in a folder separator "/" or "\\", or "." or ".."), which would
// make every file hidden (".pr0.zema", ".cmp.bmp"); 0 when it may.
int BaseNameRefusal(const std::string& baseName);
