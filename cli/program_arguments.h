// The command line's arguments after the program name, as UTF-8.
//
// On Windows they are taken from the wide command line: argv holds them in
// the ANSI code page, where a "--base" naming a folder in another language
// has lost its characters already.
#pragma once

#include <string>
#include <vector>

namespace zema {

std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace zema
