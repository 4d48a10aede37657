// A folder that takes no new file (a folder an administrator prepared)
// holding files the user may write: READ rewrites such a file in place once
// its item is whole, and a link failure or a stop before then leaves it as
// it was. (The settings file's save: settings_file_test.cpp.)
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "console/connection_control.h"
#include "link/last_error.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/file_bytes.h"
#include "tests/support/read_only_folder.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/run_state.h"
#include "transfer/transfer_run.h"

namespace fs = std::filesystem;
using zema::sim::CommandFault;
using zema::sim::FaultKind;

namespace {

constexpr char kOld[] = "kept by the administrator\n";

class InPlaceRewriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ConnectSensor(sim.port() - 1, false, 0, dialogs).done()) << g_lastError;
  }
  void TearDown() override { ComClose(g_portNo); }

  // A READ of the common set (kind 'M'), the compensation table ('C') or
  // bank 2's pattern ('P') into `folder`, any overwrite agreed to.
  RunEnd Read(char kind, const fs::path& folder) {
    TransferTarget target{kDirectionRead, kind == 'M', kind == 'C', 0, kind == 'P', 2, 2,
                          (folder / "line1").string()};
    if (!fs::is_empty(folder)) dialogs.QueueAnswers({true});
    TransferRun run{target, g_portNo, view, dialogs};
    const RunEnd end = RunTransfer(run);
    dialogs.boxes.clear();
    return end;
  }

  // How many commands of `code` the sensor has taken so far.
  int Taken(int code) const {
    int count = 0;
    for (const auto& frame : sim.Commands()) count += frame[0] == code ? 1 : 0;
    return count;
  }

  SimFixture sim;
  TempFolder dir{"zema-in-place"};
  const fs::path shared = dir / "shared";
  ScriptedOperator dialogs;
  RecordingRunView view;
};

TEST_F(InPlaceRewriteTest, AWritableFileGetsTheWholeItemOrStaysAsItWas) {
  const fs::path reference = dir / "reference";
  fs::create_directories(reference);
  for (char kind : {'M', 'C', 'P'}) ASSERT_EQ(Read(kind, reference), RunEnd::Finished);

  struct Case {
    const char* name;
    const char* file;
    bool present;               // the file is there, writable, before the run
    std::function<bool()> act;  // true when the run finished
    std::string expected;       // afterwards; empty: the file's old content
  };
  const auto read = [this](char kind) { return Read(kind, shared) == RunEnd::Finished; };
  const auto failAt = [this, read](char kind, int code, int more) {
    sim.SetFaults({{CommandFault{FaultKind::kNoReply, Taken(code) + more, code}}, {}});
    const bool done = read(kind);
    sim.SetFaults({});
    return done;
  };
  const auto cancelAt = [this, read](char kind, int pump) {
    int pumps = 0;
    view.onPump = [&pumps, pump] {
      if (++pumps == pump) g_cancelState = kCancelPressed;
    };
    const bool done = read(kind);
    view.onPump = nullptr;
    return done;
  };
  const Case cases[] = {
      {"CommonSet", "line1.prM.zema", true, [&] { return read('M'); },
       ReadFileBytes(reference / "line1.prM.zema")},
      {"Pattern", "line1.pt2.bmp", true, [&] { return read('P'); },
       ReadFileBytes(reference / "line1.pt2.bmp")},
      {"CommonSetWithoutReply", "line1.prM.zema", true, [&] { return failAt('M', 0x81, 1); },
       ""},
      {"PatternFailingInItsSecondSection", "line1.pt2.bmp", true,
       [&] { return failAt('P', 0x83, 300); }, ""},
      {"CompensationCancelled", "line1.cmp.bmp", true, [&] { return cancelAt('C', 40); }, ""},
      {"NoNewFile", "line1.cmp.bmp", false, [&] { return read('C'); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(shared);
    fs::create_directories(shared);
    if (c.present) WriteFileBytes(shared / c.file, kOld);
    bool done = false;
    {
      const ReadOnlyFolder readOnly(shared);
      done = c.act();
    }
    EXPECT_EQ(done, !c.expected.empty());
    if (c.present) {
      // Compared whole, not printed: the bitmaps are 147318 bytes.
      const std::string now = ReadFileBytes(shared / c.file);
      EXPECT_TRUE(now == (c.expected.empty() ? kOld : c.expected)) << now.size() << " bytes";
    }
    EXPECT_EQ(FolderEntries(shared).size(), c.present ? 1u : 0u);
    if (!c.present) {
      // A new file still cannot be made there, and the user is told why.
      EXPECT_EQ(g_lastError, LoadMessage(kMsgFailedToCreateFile));
      EXPECT_EQ(g_lastErrorDetail, (shared / c.file).string() + ": Permission denied");
    }
  }
}

}  // namespace
