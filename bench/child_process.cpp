#include "bench/child_process.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zema::bench {
namespace {

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
  if (!reportPath_.empty()) ::unlink(reportPath_.c_str());
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& outputPath,
                         std::string& error, const std::string& launcher) {
  ChildCommand command;
  command.argv = argv;
  if (!launcher.empty()) {
    reportPath_ = NewReportPath();
    if (reportPath_.empty()) {
      error = std::string("cannot create a report file: ") + std::strerror(errno);
      return false;
    }
    command.argv.insert(command.argv.begin(), {launcher, reportPath_});
  }
  command.inputFromNull = true;
  command.out = outputPath.empty() ? ChildStream::kPipe : ChildStream::kFile;
  command.outPath = outputPath;
  command.err = ChildStream::kAsOutput;
  return child_.Start(command, error);
}

ChildUsage ChildProcess::Wait() {
  ChildUsage usage;
  if (!child_.running()) return usage;
  const ChildExit end = child_.Wait();
  usage.exitedAt = end.exitedAt;
  usage.startedAt = child_.started();
  usage.wall = usage.exitedAt - usage.startedAt;
  usage.exitStatus = end.ShellStatus();
  usage.cpu = end.cpu;
  usage.peakRssKb = end.peakRssKb;
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
  child_.Signal(signal);
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
