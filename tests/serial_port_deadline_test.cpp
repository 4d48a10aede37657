// The serial driver's time-outs under stress, on real pseudo-terminals: a
// read or a write ends at its time-out (not before it, and not long after
// it) and waits without using the processor, also while signals interrupt
// it or the far end takes bytes only in small pieces; a line that is gone
// ends it at once.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "link/serial_port.h"
#include "support/com_port_claim.h"
#include "tests/support/pty_peer.h"

namespace zema {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Generous: a loaded machine running sanitizers may be slow to wake a
// process, but a wait that ignored its time-out takes far longer.
constexpr long kLateMs = 5000;

long CpuMs() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000L +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000L;
}

// Wall-clock time and processor time of the whole process (every thread,
// user and system) spent in one call.
struct Cost {
  long elapsedMs = 0;
  long cpuMs = 0;
};

Cost Measure(const std::function<void()>& call) {
  const long cpuBefore = CpuMs();
  const auto start = Clock::now();
  call();
  Cost cost;
  cost.elapsedMs = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
  cost.cpuMs = CpuMs() - cpuBefore;
  return cost;
}

void ExpectQuietWait(const char* what, const Cost& cost, long atLeastMs, long atMostMs) {
  std::printf("[ timing ] %s: %ld ms elapsed (bounds %ld..%ld), %ld ms CPU\n", what,
              cost.elapsedMs, atLeastMs, atMostMs, cost.cpuMs);
  EXPECT_GE(cost.elapsedMs, atLeastMs) << "ended before its time-out";
  EXPECT_LE(cost.elapsedMs, atMostMs) << "ended long after its time-out";
  // A loop that asks again without waiting uses about as much processor
  // time as the wait lasts.
  EXPECT_LE(cost.cpuMs, cost.elapsedMs / 5 + 20) << "used the processor while waiting";
}

volatile std::sig_atomic_t g_signalsSeen = 0;
extern "C" void CountSignal(int) { g_signalsSeen = g_signalsSeen + 1; }

// Interrupts the thread that creates it with SIGALRM every 20 ms, with a
// handler installed without SA_RESTART, so every wait in the driver meets
// EINTR again and again.
class SignalStorm {
 public:
  SignalStorm() : target_(::pthread_self()) {
    struct sigaction action {};
    action.sa_handler = CountSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ::sigaction(SIGALRM, &action, &previous_);
    g_signalsSeen = 0;
    thread_ = std::thread([this] {
      while (!stop_) {
        std::this_thread::sleep_for(milliseconds(20));
        if (!stop_) ::pthread_kill(target_, SIGALRM);
      }
    });
  }
  ~SignalStorm() {
    stop_ = true;
    thread_.join();
    ::sigaction(SIGALRM, &previous_, nullptr);
  }
  SignalStorm(const SignalStorm&) = delete;
  SignalStorm& operator=(const SignalStorm&) = delete;

 private:
  pthread_t target_;
  struct sigaction previous_ {};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A line whose far end takes `piece` bytes every `pause` (piece 0: nothing
// at all), or goes away: a pty pair whose master side this object reads at
// that pace, its terminal side reachable as a COM port. The scripted peer
// reads everything at once, so it cannot show a full line.
class SlowLine {
 public:
  SlowLine(std::size_t piece, milliseconds pause) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      throw std::runtime_error("cannot open a pseudo-terminal");
    }
    const std::string device = ::ptsname(master_);
    keepAlive_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    claim_ = std::make_unique<ComPortClaim>(device);
    if (piece == 0) return;
    reader_ = std::thread([this, piece, pause] {
      std::vector<char> buffer(piece);
      while (!stop_) {
        std::this_thread::sleep_for(pause);
        (void)!::read(master_, buffer.data(), buffer.size());
      }
    });
  }
  ~SlowLine() {
    HangUp();
    claim_.reset();
  }
  SlowLine(const SlowLine&) = delete;
  SlowLine& operator=(const SlowLine&) = delete;

  int port() const { return claim_->port(); }

  // The far end goes away: the terminal side's writes fail from now on.
  void HangUp() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    if (keepAlive_ >= 0) ::close(keepAlive_);
    if (master_ >= 0) ::close(master_);
    keepAlive_ = master_ = -1;
  }

 private:
  int master_ = -1;
  int keepAlive_ = -1;
  std::unique_ptr<ComPortClaim> claim_;
  std::atomic<bool> stop_{false};
  std::thread reader_;
};

// Runs `action` after `delay` on a thread of its own, while the test waits
// in the driver; joined when the object ends.
class Later {
 public:
  Later(milliseconds delay, std::function<void()> action)
      : thread_([delay, action = std::move(action)] {
          std::this_thread::sleep_for(delay);
          action();
        }) {}
  ~Later() { thread_.join(); }
  Later(const Later&) = delete;
  Later& operator=(const Later&) = delete;

 private:
  std::thread thread_;
};

TEST(SerialPortDeadlines, ReadEndsAtItsTimeOutOrWhenTheLineIsGone) {
  enum class Far { Silent, TwoBytesThenSilent, AByteEvery50Ms, HangsUpAfter100Ms };
  struct Case {
    const char* name;
    Far far;
    bool signals;
    int timeoutMs;
    int minBytes, maxBytes;
    long atLeastMs, atMostMs;
  };
  constexpr int kCount = 64;
  const Case cases[] = {
      {"silent line", Far::Silent, false, 300, 0, 0, 300, 300 + kLateMs},
      {"silent line, a signal every 20 ms", Far::Silent, true, 300, 0, 0, 300, 300 + kLateMs},
      // The interval time-out starts at the last byte; the total time-out
      // still ends the read when bytes keep trickling in.
      {"two bytes, then silence", Far::TwoBytesThenSilent, false, 300, 2, 2, 300, 300 + kLateMs},
      {"a byte every 50 ms", Far::AByteEvery50Ms, true, 300, 1, kCount - 1, 300, 300 + kLateMs},
      // A vanished line never makes the caller wait out a flash commit's 30 s.
      {"line hangs up after 100 ms", Far::HangsUpAfter100Ms, false, 30000, 0, 0, 100, kLateMs},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PtyPeer peer;
    ASSERT_EQ(ComOpen(peer.port(), 512, 512), kOpenOk);
    ASSERT_EQ(ComSetReadTimeout(peer.port(), c.timeoutMs), kComOk);
    if (c.far == Far::TwoBytesThenSilent) peer.SendNow({1, 2});

    std::atomic<bool> readDone{false};
    std::unique_ptr<Later> far;
    if (c.far == Far::AByteEvery50Ms) {
      far = std::make_unique<Later>(milliseconds(0), [&] {
        while (!readDone) {
          std::this_thread::sleep_for(milliseconds(50));
          peer.SendNow({7});
        }
      });
    } else if (c.far == Far::HangsUpAfter100Ms) {
      far = std::make_unique<Later>(milliseconds(100), [&] { peer.HangUp(); });
    }
    std::unique_ptr<SignalStorm> storm;
    if (c.signals) storm = std::make_unique<SignalStorm>();

    unsigned char buffer[kCount];
    int got = -1;
    const Cost cost = Measure([&] { got = ComRead(peer.port(), buffer, kCount); });
    readDone = true;
    storm.reset();
    far.reset();

    EXPECT_GE(got, c.minBytes);
    EXPECT_LE(got, c.maxBytes);
    if (c.signals) {
      EXPECT_GT(g_signalsSeen, 0) << "no signal reached the read";
    }
    ExpectQuietWait(c.name, cost, c.atLeastMs, c.atMostMs);
    ComClose(peer.port());
  }
}

TEST(SerialPortDeadlines, WriteEndsAtItsTimeOutOrWhenTheLineIsGone) {
  struct Case {
    const char* name;
    std::size_t piece;  // bytes the far end takes per pause, 0 = none
    milliseconds pause;
    bool signals;
    bool hangUpAfter100Ms;
    int timeoutMs;
    bool whole;  // all bytes written
    long atLeastMs, atMostMs;
  };
  // Far more than a pty holds (about 14 KB here) or a slow far end takes in
  // the time-out.
  constexpr int kCount = 1 << 20;
  const Case cases[] = {
      {"far end takes nothing", 0, {}, false, false, 300, false, 300, 300 + kLateMs},
      {"far end takes nothing, a signal every 20 ms", 0, {}, true, false, 300, false, 300,
       300 + kLateMs},
      {"far end takes 64 bytes every 5 ms", 64, milliseconds(5), false, false, 300, false, 300,
       300 + kLateMs},
      {"line hangs up after 100 ms", 0, {}, false, true, 30000, false, 100, kLateMs},
  };
  const std::vector<unsigned char> bytes(kCount, 0x55);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SlowLine line(c.piece, c.pause);
    ASSERT_EQ(ComOpen(line.port(), 512, 512), kOpenOk);
    ASSERT_EQ(ComSetWriteTimeout(line.port(), c.timeoutMs), kComOk);
    std::unique_ptr<Later> hangUp;
    if (c.hangUpAfter100Ms) hangUp = std::make_unique<Later>(milliseconds(100), [&] { line.HangUp(); });
    std::unique_ptr<SignalStorm> storm;
    if (c.signals) storm = std::make_unique<SignalStorm>();

    int written = -1;
    const Cost cost = Measure([&] { written = ComWrite(line.port(), bytes.data(), kCount); });
    storm.reset();
    hangUp.reset();

    if (c.whole) {
      EXPECT_EQ(written, kCount);
    } else {
      EXPECT_GE(written, 0);
      EXPECT_LT(written, kCount);
    }
    if (c.signals) {
      EXPECT_GT(g_signalsSeen, 0) << "no signal reached the write";
    }
    ExpectQuietWait(c.name, cost, c.atLeastMs, c.atMostMs);
    ComClose(line.port());
  }
}

}  // namespace

}  // namespace zema
