#include "tests/support/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "link/port_device_path.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string NameOf(const std::string& setting) { return setting.substr(0, setting.find('=')); }

// The test's own environment with the program's language English, the
// caller's settings taking the place of any of the same name.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& added) {
  std::vector<std::string> settings = {"LANG=C"};
  for (const std::string& setting : added) {
    std::erase_if(settings, [&](const std::string& s) { return NameOf(s) == NameOf(setting); });
    settings.push_back(setting);
  }
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string name = NameOf(*entry);
    bool replaced = name == "LC_ALL" || name == "LC_MESSAGES";
    for (const std::string& setting : settings) replaced = replaced || NameOf(setting) == name;
    if (!replaced) result.emplace_back(*entry);
  }
  result.insert(result.end(), settings.begin(), settings.end());
  return result;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProgramRun::~ProgramRun() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  for (int fd : {out_, err_}) {
    if (fd >= 0) ::close(fd);
  }
}

void ProgramRun::Start(const std::string& program, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment) {
  std::vector<std::string> argvTexts = {
      program.find('/') == std::string::npos ? ExecutableFolder() + "/" + program : program};
  argvTexts.insert(argvTexts.end(), arguments.begin(), arguments.end());
  std::vector<std::string> envTexts = ChildEnvironment(environment);
  const std::vector<char*> argv = Pointers(argvTexts);
  const std::vector<char*> envp = Pointers(envTexts);

  // Close-on-exec everywhere: a program started by another thread at the
  // same moment must not keep these pipes open.
  int out[2], err[2], go[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 ||
      ::pipe2(go, O_CLOEXEC) != 0) {
    return;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    // Held until the parent has noted the pid.
    char ready;
    (void)!::read(go[0], &ready, 1);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  for (int fd : {out[1], err[1], go[0]}) ::close(fd);
  out_ = out[0];
  err_ = err[0];
  pid_ = pid;
  started_ = Clock::now();
  (void)!::write(go[1], "g", 1);
  ::close(go[1]);
}

double ProgramRun::CpuSecondsSoFar() const {
  std::ifstream stat("/proc/" + std::to_string(pid_.load()) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t nameEnd = text.rfind(')');
  if (nameEnd == std::string::npos) return 0;
  // After the name: state, then ten more fields before utime and stime.
  std::istringstream fields(text.substr(nameEnd + 1));
  std::string skipped;
  for (int i = 0; i < 11; ++i) fields >> skipped;
  double user = 0, system = 0;
  fields >> user >> system;
  return (user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

ProgramOutcome ProgramRun::Wait(std::chrono::milliseconds limit) {
  ProgramOutcome outcome;
  outcome.started = started_;
  if (pid_ <= 0) return outcome;
  const auto deadline = started_ + limit;
  pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
  std::string* texts[2] = {&outcome.out, &outcome.err};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const int ready = ::poll(fds, 2, outcome.overran ? -1 : std::max<int>(0, left.count()));
    if (ready < 0) continue;
    if (ready == 0) {
      ::kill(pid_, SIGKILL);
      outcome.overran = true;
      continue;
    }
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
  outcome.ended = Clock::now();
  out_ = err_ = -1;
  int status = 0;
  rusage usage{};
  ::wait4(pid_, &status, 0, &usage);
  pid_ = 0;
  if (WIFEXITED(status) && !outcome.overran) outcome.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  outcome.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return outcome;
}

ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment,
                          std::chrono::milliseconds limit) {
  ProgramRun run;
  run.Start(program, arguments, environment);
  return run.Wait(limit);
}
