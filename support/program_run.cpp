#include "support/program_run.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "link/port_device_path.h"
#include "support/child_output.h"

namespace zema {

namespace {

using Clock = std::chrono::steady_clock;

std::string NameOf(const std::string& setting) { return setting.substr(0, setting.find('=')); }

// The caller's own environment with the program's language English, the
// caller's settings taking the place of any of the same name.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& added) {
  std::vector<std::string> settings = {"LANG=C"};
  for (const std::string& setting : added) {
    std::erase_if(settings, [&](const std::string& s) { return NameOf(s) == NameOf(setting); });
    settings.push_back(setting);
  }
  return EnvironmentWith(settings, {"LC_ALL", "LC_MESSAGES"});
}

// What zema-bench-launch wrote (its times are on the steady clock's
// CLOCK_MONOTONIC); false when it wrote nothing, having failed itself.
bool ReadLaunchReport(const std::string& path, ProgramOutcome& outcome) {
  std::ifstream in(path);
  long long started = 0, ended = 0, cpuNs = 0;
  if (!(in >> outcome.status >> started >> ended >> cpuNs >> outcome.peakRssKb)) return false;
  outcome.signal = 0;
  outcome.started = Clock::time_point(std::chrono::nanoseconds(started));
  outcome.ended = Clock::time_point(std::chrono::nanoseconds(ended));
  outcome.cpuSeconds = static_cast<double>(cpuNs) / 1e9;
  return true;
}

}  // namespace

ProgramRun::~ProgramRun() {
  if (!reportPath_.empty()) ::unlink(reportPath_.c_str());
}

bool ProgramRun::Start(const std::string& program, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment) {
  ChildCommand command;
  if (!setup_.launcher.empty()) {
    char path[] = "/tmp/zema-launch-report-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) {
      startError_ = std::string("cannot create a report file: ") + std::strerror(errno);
      return false;
    }
    ::close(fd);
    reportPath_ = path;
    command.argv = {setup_.launcher, reportPath_};
  }
  command.argv.push_back(program.find('/') == std::string::npos ? ExecutableFolder() + "/" + program
                                                                : program);
  command.argv.insert(command.argv.end(), arguments.begin(), arguments.end());
  command.environment = ChildEnvironment(environment);
  command.inputFromNull = true;
  command.out = setup_.outputFile.empty() ? ChildStream::kPipe : ChildStream::kFile;
  command.outPath = setup_.outputFile;
  command.err = setup_.outputFile.empty() && !setup_.errorsAsOutput ? ChildStream::kPipe
                                                                    : ChildStream::kAsOutput;
  return child_.Start(command, startError_);
}

double ProgramRun::CpuSecondsSoFar() const {
  std::ifstream stat("/proc/" + std::to_string(child_.pid()) + "/stat");
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
  outcome.started = child_.started();
  if (!child_.running()) return outcome;
  outcome.overran = CollectOutput(child_.TakeOutFd(), child_.TakeErrFd(), outcome.out, outcome.err,
                                  outcome.started + limit, [this] { child_.Signal(SIGKILL); });
  const ChildExit end = child_.Wait();
  outcome.ended = end.exitedAt;
  if (end.signal == 0 && !outcome.overran) outcome.status = end.status;
  outcome.signal = end.signal;
  outcome.cpuSeconds = std::chrono::duration<double>(end.cpu).count();
  outcome.peakRssKb = end.peakRssKb;
  if (!reportPath_.empty()) {
    ReadLaunchReport(reportPath_, outcome);
    ::unlink(reportPath_.c_str());
    reportPath_.clear();
  }
  return outcome;
}

ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment,
                          std::chrono::milliseconds limit) {
  ProgramRun run;
  run.Start(program, arguments, environment);
  return run.Wait(limit);
}

}  // namespace zema
