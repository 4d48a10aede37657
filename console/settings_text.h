// The base name's bytes on the settings file's tenth line.
//
// On Windows the file has always held the name in the system's ANSI code
// page (on a code page 1252 system "ü" is the byte 0xFC), and another copy
// of the program may read the same file. A name the code page can hold is
// therefore kept in it, read and written. A name it cannot hold (Japanese
// on a code page 1252 system) is written as UTF-8 after the three bytes of
// a UTF-8 byte order mark, which no name in a code page begins with; such
// a name was never storable before, so no older reader loses anything it
// could have read. On POSIX systems the name is UTF-8 as it stands.
//
// A user may edit the file in an editor that saves it as UTF-8, with a mark
// at the file's start or without. On Windows a name whose bytes are valid
// UTF-8 is therefore read as UTF-8: in code page 1252 the bytes of a name
// such as "Prüfung" would read "PrÃ¼fung", which nobody types.
#pragma once

#include <string>

namespace zema {

// The name (UTF-8) that the stored bytes stand for.
std::string BaseNameFromSettings(const std::string& stored);
// The bytes to store for the name (UTF-8).
std::string BaseNameForSettings(const std::string& name);

}  // namespace zema
