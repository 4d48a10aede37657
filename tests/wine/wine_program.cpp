#include "tests/wine/wine_program.h"

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace zema {

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

}  // namespace

void StartUnderWine(ProgramRun& run, const std::string& windowsProgram,
                    const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment) {
  run.Start(ZEMA_WINE, WineArguments(windowsProgram, arguments), WineEnvironment(environment));
}

ProgramOutcome RunUnderWine(const std::string& windowsProgram,
                            const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment) {
  const auto run = [&] {
    return RunProgram(ZEMA_WINE, WineArguments(windowsProgram, arguments),
                      WineEnvironment(environment));
  };
  ProgramOutcome outcome = run();
  // Without zema-exit-code's line Wine itself failed before the program
  // ended (its own messages are off): it is tried once more.
  if (!outcome.overran && !HasWindowsExitCode(outcome)) {
    std::cout << "[ wine     ] no exit code (status " << outcome.status << "): " << outcome.out
              << outcome.err << std::endl;
    outcome = run();
  }
  return WithWindowsExitCode(std::move(outcome));
}

bool HasWindowsExitCode(const ProgramOutcome& outcome) {
  return outcome.out.rfind("exit code ") != std::string::npos;
}

ProgramOutcome WithWindowsExitCode(ProgramOutcome outcome) {
  const std::size_t line = outcome.out.rfind("exit code ");
  if (line == std::string::npos || outcome.overran) return outcome;
  outcome.status = std::atoi(outcome.out.c_str() + line + 10);
  outcome.out.erase(line);
  return outcome;
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

}  // namespace zema
