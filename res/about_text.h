// The texts of the main dialog's About box, in the user's language: the
// program's version and licence, and where its user guide and its transfer
// log are.
#pragma once

#include <string>

namespace zema {

// The program's version, as the build gives it ("1.0").
const char* ProgramVersion();

// The box's title (message 161).
const std::string& AboutTitle();

// The box's text: the version, the licence, then a line each for the user
// guide at `userGuide` and the transfer log at `transferLog`.
std::string AboutText(const std::string& userGuide, const std::string& transferLog);

}  // namespace zema
