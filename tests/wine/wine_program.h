// Running the Windows build's programs as a script would, under Wine in the
// run's prefix ($WINEPREFIX, made by wine_prefix.sh); the Linux build runs
// through support/program_run.h.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/program_run.h"

// Starts a program of the Windows build ("zema-transfer.exe") under Wine,
// in the run's prefix, with Wine's own messages off. It runs as the child
// of zema-exit-code.exe, which prints the exit code Windows keeps for it:
// the Linux status of a Wine process is lost when the Wine server kills it
// while it winds down (see exit_code.cpp). WithWindowsExitCode makes that
// code the outcome's status; RunUnderWine does so itself.
void StartUnderWine(ProgramRun& run, const std::string& windowsProgram,
                    const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment = {});
ProgramOutcome RunUnderWine(const std::string& windowsProgram,
                            const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment = {});
ProgramOutcome WithWindowsExitCode(ProgramOutcome outcome);

// The Linux process of the program that `run` started under Wine (not
// zema-exit-code.exe's), found by `argument`, one of its arguments that no
// other program has (a path in the test's own folder); 0 when there is none.
pid_t WindowsProgramPid(const ProgramRun& run, const std::string& argument);

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
