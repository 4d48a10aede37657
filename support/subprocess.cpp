#include "support/subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <utility>

extern char** environ;

namespace zema {

namespace {

using Clock = std::chrono::steady_clock;

std::string NameOf(const std::string& setting) { return setting.substr(0, setting.find('=')); }

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

std::chrono::nanoseconds Duration(const timeval& t) {
  return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
}

void CloseAll(std::initializer_list<int> fds) {
  for (int fd : fds) {
    if (fd >= 0) ::close(fd);
  }
}

// The descriptor the child's stream is to be: `childEnd` gets what the
// child dup2()s, `parentEnd` the read end of a pipe. false with `error`.
bool OpenStream(ChildStream kind, const std::string& path, int& childEnd, int& parentEnd,
                std::string& error) {
  switch (kind) {
    case ChildStream::kInherit:
    case ChildStream::kAsOutput:
      return true;
    case ChildStream::kNull:
      childEnd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
      break;
    case ChildStream::kFile:
      childEnd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (childEnd < 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
      }
      break;
    case ChildStream::kPipe: {
      int ends[2];
      if (::pipe2(ends, O_CLOEXEC) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return false;
      }
      parentEnd = ends[0];
      childEnd = ends[1];
      break;
    }
  }
  return true;
}

}  // namespace

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& settings,
                                         const std::vector<std::string>& removed) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string name = NameOf(*entry);
    bool replaced = std::find(removed.begin(), removed.end(), name) != removed.end();
    for (const std::string& setting : settings) replaced = replaced || NameOf(setting) == name;
    if (!replaced) result.emplace_back(*entry);
  }
  result.insert(result.end(), settings.begin(), settings.end());
  return result;
}

Subprocess::~Subprocess() {
  if (pid_.load() > 0) {
    ::kill(pid_.load(), SIGKILL);
    Wait();
  }
  CloseAll({outFd_, errFd_, exitFd_});
}

bool Subprocess::Start(const ChildCommand& command, std::string& error) {
  std::vector<std::string> argvTexts = command.argv;
  std::vector<std::string> envTexts = command.environment;
  const std::vector<char*> argv = Pointers(argvTexts);
  const std::vector<char*> envp = Pointers(envTexts);
  const std::string cannotExecute = "cannot execute " + command.argv.at(0) + "\n";

  int out = -1, err = -1, input = -1;
  if (!OpenStream(command.out, command.outPath, out, outFd_, error)) return false;
  if (!OpenStream(command.err, command.errPath, err, errFd_, error)) {
    CloseAll({out});
    return false;
  }
  if (command.inputFromNull) input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  // Held until the parent has noted the pid.
  int go[2];
  if (::pipe2(go, O_CLOEXEC) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    CloseAll({out, err, input});
    return false;
  }

  started_ = Clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) {
    error = "cannot start " + command.argv[0] + ": " + std::strerror(errno);
    CloseAll({out, err, input, go[0], go[1]});
    return false;
  }
  if (pid == 0) {
    if (input >= 0) ::dup2(input, STDIN_FILENO);
    if (out >= 0) ::dup2(out, STDOUT_FILENO);
    if (err >= 0) ::dup2(err, STDERR_FILENO);
    if (command.err == ChildStream::kAsOutput) ::dup2(STDOUT_FILENO, STDERR_FILENO);
    char ready;
    (void)!::read(go[0], &ready, 1);
    if (envTexts.empty()) {
      ::execv(argv[0], argv.data());
    } else {
      ::execve(argv[0], argv.data(), envp.data());
    }
    (void)!::write(STDERR_FILENO, cannotExecute.data(), cannotExecute.size());
    ::_exit(127);
  }
  CloseAll({out, err, input, go[0]});
  pid_ = pid;
  exitFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  (void)!::write(go[1], "g", 1);
  ::close(go[1]);
  return true;
}

ChildExit Subprocess::Wait() {
  ChildExit end;
  const pid_t pid = pid_.load();
  if (pid <= 0) return end;
  int status = 0;
  rusage used{};
  while (::wait4(pid, &status, 0, &used) < 0 && errno == EINTR) {
  }
  end.exitedAt = Clock::now();
  pid_ = 0;
  if (WIFEXITED(status)) end.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
  end.cpu = Duration(used.ru_utime) + Duration(used.ru_stime);
  end.peakRssKb = used.ru_maxrss;
  return end;
}

void Subprocess::Signal(int signal) const {
  if (pid_.load() > 0) ::kill(pid_.load(), signal);
}

int Subprocess::TakeOutFd() { return std::exchange(outFd_, -1); }
int Subprocess::TakeErrFd() { return std::exchange(errFd_, -1); }

}  // namespace zema
