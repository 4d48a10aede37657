// Running zema-transfer as a script would, in both builds: the Linux build
// directly, the Windows build under Wine in the run's prefix ($WINEPREFIX,
// made by wine_prefix.sh).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

struct ProgramOutcome {
  int status = -1;  // the exit status; -1 when ended by a signal
  std::string out;  // standard output, as written
  std::string err;  // standard error, as written
};

// The process RunProgram is waiting for, 0 between runs (for signals).
extern std::atomic<pid_t> g_runningProgram;

// Runs `command` (the program's path first) in the English of the C locale,
// Wine's messages off, with `environment` ("NAME=value") added, and collects
// its output until it ends.
ProgramOutcome RunProgram(const std::vector<std::string>& command,
                          const std::vector<std::string>& environment = {});

// The Linux build's zema-transfer with `arguments`.
std::vector<std::string> LinuxTransfer(const std::vector<std::string>& arguments);

// A program of the Windows build ("zema-transfer.exe") under Wine.
std::vector<std::string> UnderWine(const std::string& windowsProgram,
                                   const std::vector<std::string>& arguments);

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
