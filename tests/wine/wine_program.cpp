#include "tests/wine/wine_program.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "link/port_device_path.h"

std::atomic<pid_t> g_runningProgram{0};

ProgramOutcome RunProgram(const std::vector<std::string>& command,
                          const std::vector<std::string>& environment) {
  int out[2];
  int err[2];
  if (::pipe(out) != 0) return {};
  if (::pipe(err) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return {};
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
    ::setenv("LANG", "C", 1);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    // Wine's own messages (and its hint about a missing 32-bit part) would
    // mix with the program's.
    ::setenv("WINEDEBUG", "-all", 1);
    for (const std::string& setting : environment) ::putenv(const_cast<char*>(setting.c_str()));
    std::vector<char*> argv;
    for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  g_runningProgram = pid;
  ::close(out[1]);
  ::close(err[1]);
  ProgramOutcome outcome;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* texts[2] = {&outcome.out, &outcome.err};
  int open = 2;
  // A program that hangs is ended by ctest's time-out, not here.
  while (open > 0 && ::poll(fds, 2, -1) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        texts[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  g_runningProgram = 0;
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

std::vector<std::string> LinuxTransfer(const std::vector<std::string>& arguments) {
  std::vector<std::string> command{ExecutableFolder() + "/zema-transfer"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return command;
}

std::vector<std::string> UnderWine(const std::string& windowsProgram,
                                   const std::vector<std::string>& arguments) {
  std::vector<std::string> command{ZEMA_WINE, std::string(ZEMA_WINDOWS_BIN) + "/" + windowsProgram};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return command;
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
