// Running the Windows build's programs as a script would, under Wine in the
// run's prefix ($WINEPREFIX, made by wine_prefix.sh); the Linux build runs
// through support/program_run.h.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/program_run.h"

namespace zema {

// Starts a program of the Windows build ("zema-transfer.exe") under Wine,
// in the run's prefix, with Wine's own messages off, from zema-exit-code.exe:
// WithWindowsExitCode takes the code it prints as the status (see exit_code.cpp).
void StartUnderWine(ProgramRun& run, const std::string& windowsProgram,
                    const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment = {});
// RunUnderWine runs it to its end; a Wine that failed before the program
// ended (no exit code printed) is tried once more, and its output shown.
ProgramOutcome RunUnderWine(const std::string& windowsProgram,
                            const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment = {});
ProgramOutcome WithWindowsExitCode(ProgramOutcome outcome);
// Whether zema-exit-code.exe got to print the program's exit code.
bool HasWindowsExitCode(const ProgramOutcome& outcome);

// The Windows name of a Linux path: Wine's drive Z: is the root folder.
std::string WindowsPath(const std::filesystem::path& path);

// Text as the Linux build prints it: the C runtime of Windows writes CR LF
// for each line end of a text stream.
std::string WithLineFeeds(const std::string& text);

// Makes the Wine prefix's dosdevices/com<port> name `device` for the
// object's lifetime: Wine opens "\\.\COM<port>" through that link.
class WineComLink {
 public:
  WineComLink(int port, const std::string& device);
  ~WineComLink();
  WineComLink(const WineComLink&) = delete;
  WineComLink& operator=(const WineComLink&) = delete;

 private:
  std::filesystem::path link_;
};

}  // namespace zema
