// zema-transfer lets go of its port before it ends, on a port whose driver
// takes the low-latency flag (an FTDI adapter, an 8250 UART): the flag is
// put back and the exclusive mark taken back while the trace still has
// somewhere to go. The driver is a shim (tests/shims) in front of the
// virtual sensor's pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/file_bytes.h"
#include "tests/support/program_run.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

bool TerminalIsExclusive(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  int exclusive = 1;
  if (fd >= 0) ::ioctl(fd, TIOCGEXCL, &exclusive);
  if (fd >= 0) ::close(fd);
  return exclusive != 0;
}

TEST(PortEnd, LowLatencyPortIsLetGoBeforeTheProgramEnds) {
  SimFixture sim;
  TempFolder dir{"zema-port-end"};
  const std::string log = (dir / "serial-flags").string();
  const std::string set = std::to_string(ASYNC_LOW_LATENCY) + "\n";
  for (const bool trace : {false, true}) {
    for (const bool resume : {false, true}) {
      SCOPED_TRACE(std::string(trace ? "--trace" : "") + (resume ? " --resume" : ""));
      const std::string base = (dir / "line1").string();
      std::vector<std::string> arguments = {
          "read", "--common", "--overwrite", "--base", base, "--port", std::to_string(sim.port())};
      if (trace) arguments.push_back("--trace");
      if (resume) arguments.push_back("--resume");
      std::filesystem::remove(log);
      const ProgramOutcome outcome =
          RunProgram("zema-transfer", arguments,
                     {"LD_PRELOAD=" ZEMA_SERIAL_FLAGS_SHIM, "ZEMA_SERIAL_FLAGS_LOG=" + log,
                      "ASAN_OPTIONS=verify_asan_link_order=0"});
      EXPECT_EQ(outcome.status, 0) << outcome.err;
      EXPECT_NE(outcome.err.find("Reading from ZEMA is completed.\n"), std::string::npos);
      EXPECT_EQ(ReadFileBytes(log), set + "0\n") << "set at the open, put back at the close";
      if (trace) {
        EXPECT_NE(outcome.err.find("low-latency flag cleared again, as it was"), std::string::npos)
            << outcome.err;
      }
      EXPECT_FALSE(TerminalIsExclusive(sim.devicePath()));
    }
  }
}

}  // namespace
