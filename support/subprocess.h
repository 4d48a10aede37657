// A program started as a child process: where its standard streams go, its
// environment, and what the kernel counted for it when it ends.
//
//   Subprocess child;
//   ChildCommand command;
//   command.argv = {"/usr/bin/env"};
//   command.out = ChildStream::kPipe;
//   if (!child.Start(command, error)) ...
//   ... read child.outFd() ...
//   const ChildExit end = child.Wait();
//
// Programs may be started from several threads at once: everything the
// child needs is made before fork(), every descriptor is close-on-exec, and
// the child only rearranges descriptors and executes. pid() is set before
// the program executes its first instruction, so a hook that the program's
// actions call may signal it.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace zema {

enum class ChildStream {
  kInherit,   // the parent's own
  kNull,      // /dev/null
  kPipe,      // a pipe the parent reads (outFd(), errFd())
  kFile,      // a file, created or emptied
  kAsOutput,  // standard error only: wherever standard output goes
};

struct ChildCommand {
  std::vector<std::string> argv;  // argv[0] is the path executed
  // The whole environment ("NAME=value"); empty: the parent's.
  std::vector<std::string> environment;
  bool inputFromNull = false;  // else standard input is the parent's
  ChildStream out = ChildStream::kInherit;
  std::string outPath;  // for kFile
  ChildStream err = ChildStream::kInherit;
  std::string errPath;  // for kFile
};

struct ChildExit {
  int status = -1;                 // exit code; -1 when a signal ended it
  int signal = 0;                  // the signal that ended it, 0 when it exited
  std::chrono::nanoseconds cpu{};  // user + system time
  long peakRssKb = 0;              // the kernel's high-water mark of resident memory
  std::chrono::steady_clock::time_point exitedAt{};

  // The exit code, or 128 + the signal, as a shell reports it.
  int ShellStatus() const { return signal != 0 ? 128 + signal : status; }
};

class Subprocess {
 public:
  Subprocess() = default;
  // A child still running is killed and collected.
  ~Subprocess();
  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;

  // false with `error` set when a stream or the process could not be made.
  // A program that cannot be executed ends with status 127.
  bool Start(const ChildCommand& command, std::string& error);

  // Waits for the end (EINTR retried) and collects it; only once.
  ChildExit Wait();
  // Sends `signal` while it runs.
  void Signal(int signal) const;
  bool running() const { return pid_.load() > 0; }

  pid_t pid() const { return pid_.load(); }
  // The read ends of its pipes (kPipe), -1 otherwise. TakeOutFd and TakeErrFd
  // hand a descriptor over: the caller closes it then.
  int outFd() const { return outFd_; }
  int errFd() const { return errFd_; }
  int TakeOutFd();
  int TakeErrFd();
  // A descriptor that poll() finds readable once the program has ended; -1
  // on a kernel without pidfd_open.
  int exitFd() const { return exitFd_; }
  // Just before fork().
  std::chrono::steady_clock::time_point started() const { return started_; }

 private:
  std::atomic<pid_t> pid_{0};
  int outFd_ = -1;
  int errFd_ = -1;
  int exitFd_ = -1;
  std::chrono::steady_clock::time_point started_{};
};

// The parent's environment with `settings` ("NAME=value") taking the place
// of any of the same name and the names in `removed` left out.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& settings,
                                         const std::vector<std::string>& removed = {});

}  // namespace zema
