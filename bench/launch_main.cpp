// zema-bench-launch REPORT PROGRAM [ARGUMENT]...: runs PROGRAM as its child
// and writes to REPORT what the kernel counted for it:
//   <exit status> <start ns> <exit ns> <CPU ns> <peak RSS kB>
// (times on CLOCK_MONOTONIC, which the benchmark's steady clock reads too).
//
// Why a process in between: the kernel's peak-memory figure of a child
// (ru_maxrss) starts from its parent's resident memory at fork, kept
// across exec. The benchmark holds traces and figures; forked from it, a
// program of 4 MB would be reported at the benchmark's own size. This
// launcher holds next to nothing, so the figure is the program's own.
// SIGINT, SIGTERM and SIGHUP sent to the launcher are passed on.
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "support/subprocess.h"

using namespace zema;

namespace {

volatile sig_atomic_t g_child = 0;

extern "C" void PassOn(int signal) {
  if (g_child > 0) ::kill(g_child, signal);
}

long long Now() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: zema-bench-launch REPORT PROGRAM [ARGUMENT]...\n");
    return 2;
  }
  // Installed before the fork, so that no signal finds the launcher
  // without its handler; exec puts the child's back to the default.
  struct sigaction passOn {};
  passOn.sa_handler = PassOn;
  sigemptyset(&passOn.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &passOn, nullptr);

  const long long started = Now();
  Subprocess child;
  ChildCommand command;
  command.argv.assign(argv + 2, argv + argc);
  std::string error;
  if (!child.Start(command, error)) {
    std::fprintf(stderr, "zema-bench-launch: %s\n", error.c_str());
    return 2;
  }
  g_child = child.pid();

  const ChildExit end = child.Wait();
  const long long ended = Now();
  const int exitStatus = end.ShellStatus();

  std::FILE* report = std::fopen(argv[1], "w");
  if (report == nullptr) {
    std::perror("zema-bench-launch: report");
    return 2;
  }
  std::fprintf(report, "%d %lld %lld %lld %ld\n", exitStatus, started, ended,
               static_cast<long long>(end.cpu.count()), end.peakRssKb);
  std::fclose(report);
  return 0;
}
