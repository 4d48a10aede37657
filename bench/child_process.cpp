#include "bench/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zema::bench {
namespace {

std::chrono::nanoseconds Duration(const timeval& t) {
  return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
}

// A name for the launcher's report, in the temporary folder.
std::string NewReportPath() {
  char path[] = "/tmp/zema-bench-usage-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) return {};
  ::close(fd);
  return path;
}

// What zema-bench-launch wrote; false when there is nothing (it failed).
bool ReadReport(const std::string& path, ChildUsage& usage) {
  std::ifstream in(path);
  long long started = 0, ended = 0, cpu = 0;
  long peakKb = 0;
  int status = 0;
  if (!(in >> status >> started >> ended >> cpu >> peakKb)) return false;
  usage.exitStatus = status;
  usage.startedAt = BenchClock::time_point(std::chrono::nanoseconds(started));
  usage.exitedAt = BenchClock::time_point(std::chrono::nanoseconds(ended));
  usage.wall = usage.exitedAt - usage.startedAt;
  usage.cpu = std::chrono::nanoseconds(cpu);
  usage.peakRssKb = peakKb;
  return true;
}

}  // namespace

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    Wait();
  }
  if (outputFd_ >= 0) ::close(outputFd_);
  if (exitFd_ >= 0) ::close(exitFd_);
  if (!reportPath_.empty()) ::unlink(reportPath_.c_str());
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& outputPath,
                         std::string& error, const std::string& launcher) {
  std::vector<std::string> copy = argv;
  if (!launcher.empty()) {
    reportPath_ = NewReportPath();
    if (reportPath_.empty()) {
      error = std::string("cannot create a report file: ") + std::strerror(errno);
      return false;
    }
    copy.insert(copy.begin(), {launcher, reportPath_});
  }
  std::vector<char*> pointers;
  for (std::string& argument : copy) pointers.push_back(argument.data());
  pointers.push_back(nullptr);

  int output = -1;
  int pipeEnds[2] = {-1, -1};
  if (outputPath.empty()) {
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
      error = std::string("cannot create a pipe: ") + std::strerror(errno);
      return false;
    }
    output = pipeEnds[1];
  } else {
    output = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (output < 0) {
      error = "cannot create " + outputPath + ": " + std::strerror(errno);
      return false;
    }
  }

  started_ = BenchClock::now();
  pid_ = ::fork();
  if (pid_ < 0) {
    error = "cannot start " + copy[0] + ": " + std::strerror(errno);
    ::close(output);
    if (pipeEnds[0] >= 0) ::close(pipeEnds[0]);
    return false;
  }
  if (pid_ == 0) {
    const int null = ::open("/dev/null", O_RDONLY);
    if (null >= 0) ::dup2(null, STDIN_FILENO);
    ::dup2(output, STDOUT_FILENO);
    ::dup2(output, STDERR_FILENO);
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  ::close(output);
  outputFd_ = pipeEnds[0];
  exitFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
  return true;
}

ChildUsage ChildProcess::Wait() {
  ChildUsage usage;
  if (pid_ <= 0) return usage;
  int status = 0;
  rusage used{};
  while (::wait4(pid_, &status, 0, &used) < 0 && errno == EINTR) {
  }
  usage.exitedAt = BenchClock::now();
  usage.startedAt = started_;
  usage.wall = usage.exitedAt - started_;
  pid_ = -1;
  usage.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  usage.cpu = Duration(used.ru_utime) + Duration(used.ru_stime);
  usage.peakRssKb = used.ru_maxrss;
  if (!reportPath_.empty()) {
    // The program's own figures; without them the launcher's status (it
    // could not start the program) stands.
    ReadReport(reportPath_, usage);
    ::unlink(reportPath_.c_str());
    reportPath_.clear();
  }
  return usage;
}

BenchClock::time_point ChildProcess::Signal(int signal) const {
  const auto at = BenchClock::now();
  if (pid_ > 0) ::kill(pid_, signal);
  return at;
}

std::vector<ChildUsage> WaitAll(const std::vector<ChildProcess*>& children) {
  std::vector<ChildUsage> usage(children.size());
  std::vector<bool> done(children.size(), false);
  std::size_t left = children.size();
  while (left > 0) {
    std::vector<pollfd> waits;
    std::vector<std::size_t> which;
    for (std::size_t i = 0; i < children.size(); ++i) {
      if (done[i]) continue;
      if (children[i]->exitFd() < 0) {
        // No pidfd (an old kernel): collected in turn.
        usage[i] = children[i]->Wait();
        done[i] = true;
        --left;
        continue;
      }
      waits.push_back({children[i]->exitFd(), POLLIN, 0});
      which.push_back(i);
    }
    if (waits.empty()) break;
    if (::poll(waits.data(), waits.size(), -1) < 0 && errno != EINTR) break;
    for (std::size_t k = 0; k < waits.size(); ++k) {
      if (waits[k].revents == 0) continue;
      usage[which[k]] = children[which[k]]->Wait();
      done[which[k]] = true;
      --left;
    }
  }
  return usage;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace zema::bench
