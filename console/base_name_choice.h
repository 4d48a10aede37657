// Ref.: from a chosen file to the base name of a run.
//
// An operator usually picks one of the files a run wrote, say
// C:\data\lineA.pr3.zema; the base name is then C:\data\lineA, and the
// name part "lineA" is selected so that typing replaces it.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "frontend/file_picker.h"

namespace zema {

// The file dialog's type list, in the order shown; the first is preselected.
extern const std::array<FileFilter, 4> kBaseNameFilters;

// `path` without the suffix of a run's file: "." + any three characters +
// ".zema" (".pr3.zema", ".prM.zema") or + ".bmp" (".cmp.bmp", ".ptE.bmp"),
// compared case-sensitively; any other path is returned whole, extension
// included. A path of fewer than nine characters is never cut, nor is one
// whose three characters hold a folder separator (the cut would fall inside
// a folder's name).
std::string CutTransferSuffix(std::string_view path);

// Where the file-name part of `text` starts: after its last folder
// separator, which is "\" in a Windows path and "/" here (both count), or at
// 0 when it has none.
std::size_t FileNamePartStart(std::string_view text);

// The folder Ref.'s file dialog opens in: the folder part of the base name,
// as the Windows dialog, which remembers the last folder used, would open
// where the base name points. Empty when the base name has no folder part
// or its folder does not exist: the dialog's own choice, the current
// folder, where a name without a folder puts its files.
std::string InitialFolderOf(std::string_view baseName);

}  // namespace zema
