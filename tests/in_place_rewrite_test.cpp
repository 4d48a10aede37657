// READ into a folder that takes no new file, holding files the user may
// write: the real run against the virtual sensor rewrites such a file in
// place once its item is whole; a link failure or a stop before then leaves
// it as it was. (The settings save: settings_file_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "console/connection_control.h"
#include "link/failure.h"
#include "link/serial_port.h"
#include "support/file_bytes.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/read_only_folder.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/transfer_run.h"

namespace fs = std::filesystem;
using zema::sim::FaultKind;

namespace {

TEST(InPlaceRewrite, AWritableFileGetsTheWholeItemOrStaysAsItWas) {
  SimFixture sim;
  TempFolder dir("zema-in-place");
  ScriptedOperator dialogs;  // Yes to every overwrite
  dialogs.QueueAnswers({true, true, true, true, true, true, true, true});
  RecordingRunView view;
  ConnectionOutcome connected = ConnectSensor(sim.port() - 1, false, 0, dialogs);
  ASSERT_TRUE(connected.done()) << connected.failure.value_or(Failure{}).text;
  SensorLink& link = connected.link;
  TransferRun* running = nullptr;  // the run `read` performs, while it does
  Failure failure;                 // the last run's failure
  // A READ of the common set ('M'), the compensation table ('C') or bank
  // 2's pattern ('P') into `folder`.
  const auto read = [&](char kind, const fs::path& folder) {
    const TransferTarget target{.commonParams = kind == 'M',
                                .brightComp = kind == 'C',
                                .patterns = kind == 'P',
                                .startBank = 2,
                                .endBank = 2,
                                .baseName = (folder / "line1").string()};
    TransferRun run{target, link, view, dialogs};
    running = &run;
    const bool finished = RunTransfer(run) == RunEnd::Finished;
    failure = run.failure.value_or(Failure{});
    return finished;
  };
  const fs::path fresh = dir / "fresh";
  const fs::path shared = dir / "shared";
  fs::create_directories(fresh);
  for (char kind : {'M', 'P'}) ASSERT_TRUE(read(kind, fresh));

  const struct {
    const char* file;
    char kind;
    int faultCode;  // no reply to the nth command of this code from now on; 0: none
    int nth;
    int cancelAtPump;  // 0: never
    bool present;      // the file is there, writable, before the run
    bool longer = false;  // and longer than the item: its tail must go
  } cases[] = {
      {"line1.prM.zema", 'M', 0, 0, 0, true},    {"line1.pt2.bmp", 'P', 0, 0, 0, true},
      {"line1.prM.zema", 'M', 0x81, 1, 0, true}, {"line1.pt2.bmp", 'P', 0x83, 300, 0, true},
      {"line1.cmp.bmp", 'C', 0, 0, 40, true},    {"line1.cmp.bmp", 'C', 0, 0, 0, false},
      {"line1.prM.zema", 'M', 0, 0, 0, true, true}, {"line1.pt2.bmp", 'P', 0, 0, 0, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.file << " " << c.faultCode << " " << c.cancelAtPump);
    fs::remove_all(shared);
    fs::create_directories(shared);
    const std::string old = c.longer ? std::string(200000, 'k') : "kept by the administrator\n";
    if (c.present) WriteFileBytes(shared / c.file, old);
    const std::string before = ReadFileBytes(shared / c.file);
    const auto commands = sim.Commands();
    const auto taken = std::count_if(commands.begin(), commands.end(),
                                     [&](const auto& frame) { return frame[0] == c.faultCode; });
    const int nth = static_cast<int>(taken) + c.nth;
    if (c.faultCode != 0) sim.SetFaults({{{FaultKind::kNoReply, nth, c.faultCode}}});
    int pumps = 0;
    view.onPump = [&] {
      if (++pumps == c.cancelAtPump) running->cancelState = kCancelPressed;
    };
    const ReadOnlyFolder readOnly(shared);
    const bool whole = c.present && c.faultCode == 0 && c.cancelAtPump == 0;
    EXPECT_EQ(read(c.kind, shared), whole);
    sim.SetFaults({});
    // Compared whole, not printed: the bitmaps are 147318 bytes.
    const std::string now = ReadFileBytes(shared / c.file);
    EXPECT_TRUE(now == (whole ? ReadFileBytes(fresh / c.file) : before)) << now.size();
    EXPECT_EQ(FolderEntries(shared).size(), c.present ? 1u : 0u);
    if (!c.present) {
      EXPECT_EQ(failure.detail, (shared / c.file).string() + ": Permission denied");
    }
  }
  link.Close();
}

}  // namespace
