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
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <initializer_list>

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

long long Nanoseconds(const timeval& t) { return t.tv_sec * 1000000000LL + t.tv_usec * 1000LL; }

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
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("zema-bench-launch: fork");
    return 2;
  }
  if (child == 0) {
    ::execv(argv[2], argv + 2);
    std::perror("zema-bench-launch: exec");
    ::_exit(127);
  }
  g_child = child;

  int status = 0;
  rusage used{};
  while (::wait4(child, &status, 0, &used) < 0 && errno == EINTR) {
  }
  const long long ended = Now();
  const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

  std::FILE* report = std::fopen(argv[1], "w");
  if (report == nullptr) {
    std::perror("zema-bench-launch: report");
    return 2;
  }
  std::fprintf(report, "%d %lld %lld %lld %ld\n", exitStatus, started, ended,
               Nanoseconds(used.ru_utime) + Nanoseconds(used.ru_stime), used.ru_maxrss);
  std::fclose(report);
  return 0;
}
