#include "tests/wine/wine_program.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace {

// Wine's own messages (and its hint about a missing 32-bit part) would mix
// with the program's.
std::vector<std::string> WineEnvironment(std::vector<std::string> environment) {
  environment.insert(environment.begin(), "WINEDEBUG=-all");
  return environment;
}

std::vector<std::string> WineArguments(const std::string& windowsProgram,
                                       const std::vector<std::string>& arguments) {
  const std::string folder = ZEMA_WINDOWS_BIN;
  std::vector<std::string> command{folder + "/zema-exit-code.exe", folder + "/" + windowsProgram};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return command;
}

constexpr char kExitCodeLine[] = "exit code ";

}  // namespace

void StartUnderWine(ProgramRun& run, const std::string& windowsProgram,
                    const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment) {
  run.Start(ZEMA_WINE, WineArguments(windowsProgram, arguments), WineEnvironment(environment));
}

ProgramOutcome RunUnderWine(const std::string& windowsProgram,
                            const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment) {
  return WithWindowsExitCode(RunProgram(ZEMA_WINE, WineArguments(windowsProgram, arguments),
                                        WineEnvironment(environment)));
}

ProgramOutcome WithWindowsExitCode(ProgramOutcome outcome) {
  const std::size_t line = outcome.out.rfind(kExitCodeLine);
  if (line == std::string::npos || outcome.overran) return outcome;
  const std::string code = outcome.out.substr(line + std::strlen(kExitCodeLine));
  outcome.status = static_cast<int>(std::strtoul(code.c_str(), nullptr, 10));
  outcome.signal = 0;
  outcome.out.erase(line);
  return outcome;
}

pid_t WindowsProgramPid(const ProgramRun& run, const std::string& argument) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = std::stoi(name);
    if (pid == run.pid()) continue;
    std::ifstream file(entry.path() / "cmdline");
    const std::string command((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    if (command.find(argument) != std::string::npos) return pid;
  }
  return 0;
}

std::string WindowsPath(const std::filesystem::path& path) {
  std::string windows = "Z:" + std::filesystem::absolute(path).string();
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

std::string WithLineFeeds(const std::string& text) {
  std::string lines;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') continue;
    lines += text[at];
  }
  return lines;
}

WineComLink::WineComLink(int port, const std::string& device) {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix == nullptr || *prefix == '\0') {
    throw std::runtime_error("WINEPREFIX is not set: run the Wine tests through ctest");
  }
  link_ = std::filesystem::path(prefix) / "dosdevices" / ("com" + std::to_string(port));
  std::error_code ignored;
  std::filesystem::remove(link_, ignored);
  std::filesystem::create_symlink(device, link_);
}

WineComLink::~WineComLink() {
  std::error_code ignored;
  std::filesystem::remove(link_, ignored);
}
