#include "bench/sim_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "link/port_device_path.h"

namespace zema::bench {
namespace {

// The numbers the test suite draws from too: the lock files keep both apart,
// and a developer's own COM1..COM9 links stay untouched.
constexpr int kFirstPort = 100;
constexpr int kLastPort = 256;
constexpr int kStartTimeoutMs = 10000;

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

// First field of a task's schedstat: nanoseconds it has run on a CPU.
long long TaskRunTime(const std::string& statPath) {
  std::ifstream in(statPath);
  long long ns = -1;
  in >> ns;
  return in ? ns : -1;
}

}  // namespace

SimProcess::~SimProcess() { Stop(); }

bool SimProcess::ClaimPort(std::string& error) {
  const std::string folder = ExecutableDosDevicesFolder();
  ::mkdir(folder.c_str(), 0755);
  for (int n = kFirstPort; n <= kLastPort; ++n) {
    const std::string lockPath = folder + "/.com" + std::to_string(n) + ".lock";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      continue;
    }
    lockFd_ = fd;
    port_ = n;
    return true;
  }
  error = "no free COM number in " + folder;
  return false;
}

bool SimProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& errorLog, std::string& error) {
  if (!ClaimPort(error)) return false;
  const std::string link = ExecutableDosDevicesFolder() + "/com" + std::to_string(port_);
  std::vector<std::string> all = {program, "--link", link};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    error = SystemError("cannot create a pipe");
    return false;
  }
  const std::string log = errorLog.empty() ? "/dev/null" : errorLog;
  pid_ = ::fork();
  if (pid_ < 0) {
    error = SystemError("cannot start " + program);
    return false;
  }
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    const int err = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (err >= 0) ::dup2(err, STDERR_FILENO);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);

  // The first line it prints is the terminal's path; the link exists by then.
  std::string line;
  char buffer[256];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{out[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  if (line.find('\n') == std::string::npos) {
    error = program + " did not start (see its messages" +
            (errorLog.empty() ? std::string(")") : " in " + errorLog + ")");
    Stop();
    return false;
  }
  devicePath_ = line.substr(0, line.find('\n'));
  return true;
}

bool SimProcess::Stop() {
  bool clean = true;
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    pid_ = -1;
  }
  if (lockFd_ >= 0) ::close(lockFd_);
  lockFd_ = -1;
  return clean;
}

std::chrono::nanoseconds SimProcess::CpuTime() const {
  const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
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
