#include "bench/sim_process.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>

#include "support/child_output.h"

namespace zema::bench {
namespace {

// First field of a task's schedstat: nanoseconds it has run on a CPU.
long long TaskRunTime(const std::string& statPath) {
  std::ifstream in(statPath);
  long long ns = -1;
  in >> ns;
  return in ? ns : -1;
}

}  // namespace

SimProcess::~SimProcess() { Stop(); }

bool SimProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& errorLog, std::string& error,
                       std::chrono::milliseconds startLimit) {
  if (!claim_.Claim("", error)) return false;
  ChildCommand command;
  command.argv = {program, "--link", claim_.linkPathFor()};
  command.argv.insert(command.argv.end(), arguments.begin(), arguments.end());
  command.out = ChildStream::kPipe;
  command.err = errorLog.empty() ? ChildStream::kNull : ChildStream::kFile;
  command.errPath = errorLog;
  if (!child_.Start(command, error)) return false;

  // The first line it prints is the terminal's path; the link exists by then.
  LineReader reader(child_.outFd());
  std::string line;
  const bool started = reader.Next(line, static_cast<int>(startLimit.count()));
  ::close(child_.TakeOutFd());
  if (!started) {
    error = program + " did not start (see its messages" +
            (errorLog.empty() ? std::string(")") : " in " + errorLog + ")");
    Stop();
    return false;
  }
  devicePath_ = line;
  return true;
}

bool SimProcess::Stop() {
  bool clean = true;
  if (child_.running()) {
    child_.Signal(SIGTERM);
    clean = child_.Wait().status == 0;
  }
  claim_.Release();
  return clean;
}

std::chrono::nanoseconds SimProcess::CpuTime() const {
  const std::string tasks = "/proc/" + std::to_string(pid()) + "/task";
  DIR* folder = ::opendir(tasks.c_str());
  if (folder == nullptr) return std::chrono::nanoseconds(-1);
  long long total = 0;
  while (const dirent* entry = ::readdir(folder)) {
    if (entry->d_name[0] == '.') continue;
    const long long ns = TaskRunTime(tasks + "/" + entry->d_name + "/schedstat");
    if (ns > 0) total += ns;
  }
  ::closedir(folder);
  return std::chrono::nanoseconds(total);
}

}  // namespace zema::bench
