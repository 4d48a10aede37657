// The main dialog left open for a long session. Its handlers (CLoaderDlg,
// and CComuDlg for each run) in the tests' fake window go through CONNECT,
// READ, WRITE and RUN cycle after cycle against a virtual sensor in the
// same process, each cycle with a fault of the sensor drawn at random (or
// none). After every step the dialog's state is checked: the enabled
// controls of the connection state it must be in, the progress dialog's end
// and its last text, the error box naming the cause (and, after a hang-up,
// the device that went away). The process's resident memory and open
// descriptors are sampled after a warm-up and at the end: a leak shows as
// growth per hundred cycles.
#pragma once

#include <cstdint>
#include <string>

#include "bench/result_table.h"

namespace zema::bench {

struct DialogSoakOptions {
  int cycles = 500;
  int warmUp = 50;  // cycles before the first memory sample
  std::uint64_t seed = 1;
};

// Prints each wrong state as it is met and a line every hundred cycles;
// fills `table`. false with `error` when the session could not begin.
bool RunDialogSoak(const DialogSoakOptions& options, ResultTable& table, std::string& error);

}  // namespace zema::bench
