// The fault matrix: every command that a connection or a run sends, under
// every way its reply can go wrong, and the handshake refused or unanswered,
// each through zema-transfer against a virtual sensor of its own. A cell
// passes when the run keeps the promise every run keeps
// (support/run_promise.h): it ends with the cell's message and exit status
// 1, within the command's time-out plus a margin, without a crash, with the
// folder exactly as it was (no new, temporary or truncated file, older files
// unchanged); and when it idles while it waits and a second connection right
// after works.
//
// Cells run side by side, each on its own port, so that the 30-second
// waits of the flash commit overlap the rest; the figures are printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "console/connection_control.h"
#include "formats/parameter_file.h"
#include "link/failure.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/run_promise.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/transfer_run.h"

namespace fs = std::filesystem;
using zema::sim::CommandFault;
using zema::sim::ConnectionMode;
using zema::sim::FaultKind;
using zema::sim::FaultKindName;
using zema::sim::HandshakeFault;
using Clock = std::chrono::steady_clock;

namespace {

// Beyond its time-out a program may take this long to notice, report and
// end, on a loaded machine and under the sanitizers.
constexpr auto kMargin = std::chrono::milliseconds(2000);
// A late reply comes this long after the time-out has passed.
constexpr int kLateByMs = 400;
constexpr int kParallelCells = 8;
// What a program may use of the CPU from its fault to its end: waiting on
// the line takes none, a program spinning through a 1 s time-out takes 1 s.
constexpr double kIdleCpuSeconds = 0.4;

constexpr std::array<FaultKind, 6> kKinds = {
    FaultKind::kNoReply,     FaultKind::kCutShort, FaultKind::kWrongFirstByte,
    FaultKind::kBadChecksum, FaultKind::kDelay,    FaultKind::kHangUp,
};

// One command, the run that sends it (--base and --port are added), which
// of its kind is hit, and the message each fault kind must give (111 no
// response, 113 invalid response, 116 checksum).
struct Row {
  int code;
  int nth;
  int timeoutMs;
  std::vector<std::string> run;
  std::array<int, kKinds.size()> messages;
};

// Messages in the order of kKinds: no reply, cut short, wrong first byte,
// bad checksum, a reply later than the time-out, hang-up.
const Row kRows[] = {
    {0x88, 1, 1000, {"read", "--common", "--overwrite"}, {111, 116, 113, 116, 111, 111}},
    {0x81, 1, 1000, {"read", "--common", "--overwrite"}, {111, 116, 113, 116, 111, 111}},
    {0x82, 2, 1000, {"write", "--params", "--banks", "3-4"}, {111, 116, 113, 116, 111, 111}},
    {0x83, 40, 1000, {"read", "--compensation", "--overwrite"}, {111, 116, 113, 116, 111, 111}},
    {0x84, 40, 1000, {"write", "--compensation"}, {111, 116, 113, 116, 111, 111}},
    {0x85, 2, 1000, {"read", "--patterns", "--banks", "4", "--overwrite"},
     {111, 116, 113, 116, 111, 111}},
    {0x86, 2, 30000, {"write", "--patterns", "--banks", "4"}, {111, 116, 113, 116, 111, 111}},
    {0x87, 1, 1000, {"resume"}, {111, 116, 113, 116, 111, 111}},
};

struct Cell {
  std::string name;
  int code = 0;  // 0: the handshake
  int nth = 0;
  FaultKind kind = FaultKind::kNoReply;
  HandshakeFault handshake = HandshakeFault::kNone;
  int timeoutMs = 1000;
  std::vector<std::string> run;
  int message = 0;
};

// The handshake of command mode (COMMUNIC 5), refused with NAK (112) or not
// answered (111); the program does not assume "PC LOAD/SAVE".
const std::vector<std::string> kCommandModeResume = {"resume", "--command-mode", "--speed",
                                                     "57600"};
const Cell kHandshakeCells[] = {
    {"handshake nak", 0, 0, FaultKind::kNoReply, HandshakeFault::kNak, 1000, kCommandModeResume,
     112},
    {"handshake silence", 0, 0, FaultKind::kNoReply, HandshakeFault::kSilence, 1000,
     kCommandModeResume, 111},
};

struct CellResult {
  bool hit = false;  // the faulty command was sent
  RunSeen seen;      // waited: from the faulty command (the start, for the handshake)
  std::vector<std::string> broken;  // the promises it broke
  double cpu = 0;                   // CPU seconds the program used while it waited
  ProgramOutcome second;
};

// Every cell fails before its first item is whole, so the folder must stay
// exactly as it was: the promise of a run without items.
RunPromise PromiseOf(const Cell& cell, FolderFiles before) {
  RunPromise promise;
  promise.changes = cell.run[0] == "read"    ? RunPromise::Changes::kFiles
                    : cell.run[0] == "write" ? RunPromise::Changes::kSensor
                                             : RunPromise::Changes::kNothing;
  promise.filesBefore = std::move(before);
  promise.status = 1;
  promise.message = cell.message;
  promise.allowed = std::chrono::milliseconds(cell.timeoutMs) + kMargin;
  return promise;
}

std::vector<std::string> With(std::vector<std::string> arguments, const SimFixture& sim,
                              const fs::path& folder) {
  if (arguments[0] != "resume") {
    arguments.insert(arguments.end(), {"--base", (folder / "line1").string()});
  }
  arguments.insert(arguments.end(), {"--port", std::to_string(sim.port())});
  return arguments;
}

CellResult RunCell(const Cell& cell, const fs::path& prepared, const fs::path& folder) {
  SimFixture::Options options;
  if (cell.code == 0) options.mode = ConnectionMode::kCommand;
  SimFixture sim(options);
  fs::copy(prepared, folder);
  const RunPromise promise = PromiseOf(cell, FolderContents(folder));

  CommandFault fault{cell.kind, cell.nth, cell.code, cell.timeoutMs + kLateByMs};
  if (cell.code != 0) sim.SetFaults({{fault}, HandshakeFault::kNone});
  sim.SetHandshakeFault(cell.handshake);
  // The hook runs on the sensor's thread; once it is removed, what it
  // noted is there to read.
  ProgramRun program;
  int seen = 0;
  std::optional<Clock::time_point> hitAt;
  double cpuAtHit = 0;
  sim.SetCommandHook([&](std::size_t, std::span<const std::uint8_t> frame) {
    if (frame[0] != cell.code || ++seen != cell.nth) return;
    hitAt = Clock::now();
    cpuAtHit = program.CpuSecondsSoFar();
  });

  CellResult result;
  ProgramOutcome& run = result.seen.program;
  program.Start("zema-transfer", With(cell.run, sim, folder));
  run = program.Wait(std::chrono::milliseconds(cell.timeoutMs) + std::chrono::seconds(30));
  sim.SetCommandHook(nullptr);
  result.hit = cell.code == 0 || hitAt.has_value();
  const auto from = cell.code == 0 ? run.started : hitAt.value_or(run.ended);
  result.seen.waited = run.ended - from;
  result.cpu = run.cpuSeconds - cpuAtHit;
  result.seen.filesAfter = FolderContents(folder);
  result.broken = BrokenPromises(promise, result.seen);

  // The sensor is sound again: back from the hang-up, or done with the
  // late reply, which a new connection discards.
  if (cell.kind == FaultKind::kHangUp && cell.code != 0) sim.Replug();
  if (cell.kind == FaultKind::kDelay && result.hit) {
    std::this_thread::sleep_until(from + std::chrono::milliseconds(fault.delayMs + 100));
  }
  sim.SetFaults({});
  result.second =
      RunProgram("zema-transfer", With(cell.code == 0 ? kCommandModeResume
                                                      : std::vector<std::string>{"resume"},
                                       sim, folder));
  return result;
}

std::vector<Cell> AllCells() {
  std::vector<Cell> cells;
  for (const Row& row : kRows) {
    for (std::size_t k = 0; k < kKinds.size(); ++k) {
      char name[64];
      std::snprintf(name, sizeof name, "0x%02X %s", row.code, FaultKindName(kKinds[k]));
      cells.push_back({name, row.code, row.nth, kKinds[k], HandshakeFault::kNone, row.timeoutMs,
                       row.run, row.messages[k]});
    }
  }
  cells.insert(cells.end(), std::begin(kHandshakeCells), std::end(kHandshakeCells));
  // The long waits first, so that the short cells run beside them.
  std::stable_sort(cells.begin(), cells.end(),
                   [](const Cell& a, const Cell& b) { return a.timeoutMs > b.timeoutMs; });
  return cells;
}

TEST(FaultMatrixTest, EveryFaultOfEveryCommandEndsCleanly) {
  TempFolder dir("zema-fault-matrix");
  const fs::path prepared = dir / "prepared";
  {
    SimFixture sim;
    fs::create_directories(prepared);
    const ProgramOutcome read = RunProgram(
        "zema-transfer", With({"read", "--all", "--banks", "3-4"}, sim, prepared));
    ASSERT_EQ(read.status, 0) << read.err;
  }

  const std::vector<Cell> cells = AllCells();
  std::vector<CellResult> results(cells.size());
  std::atomic<std::size_t> next{0};
  const auto started = Clock::now();
  std::vector<std::thread> workers;
  for (int w = 0; w < kParallelCells; ++w) {
    workers.emplace_back([&] {
      for (std::size_t i = next++; i < cells.size(); i = next++) {
        const fs::path folder = dir / ("cell" + std::to_string(i));
        fs::create_directories(folder);
        results[i] = RunCell(cells[i], prepared, folder);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  const double wall = std::chrono::duration<double>(Clock::now() - started).count();

  int passed = 0;
  double mostCpu = 0;
  double longestOver = -1e9;
  std::string longest;
  std::map<int, std::string> rowFigures;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const Cell& c = cells[i];
    const CellResult& r = results[i];
    std::string problems;
    const auto check = [&](bool good, const std::string& problem) {
      if (!good) problems += "\n  " + problem;
    };
    const std::string& err = r.seen.program.err;
    check(r.hit, "the faulty command was never sent");
    for (const std::string& broken : r.broken) check(false, broken);
    for (int other = kMsgNoResponse; other <= kMsgChecksumError; ++other) {
      check(other == c.message || err.find(LoadMessage(other)) == std::string::npos,
            "also message " + std::to_string(other));
    }
    check(r.cpu <= kIdleCpuSeconds, "used " + std::to_string(r.cpu) + " s of CPU");
    mostCpu = std::max(mostCpu, r.cpu);
    check(r.second.status == 0, "second connection: " + r.second.err);
    EXPECT_TRUE(problems.empty()) << c.name << problems << "\n--- its output:\n" << err;
    passed += problems.empty() ? 1 : 0;

    const double waited = std::chrono::duration<double>(r.seen.waited).count();
    const double over = waited - c.timeoutMs / 1000.0;
    if (over > longestOver) {
      longestOver = over;
      longest = c.name + ", " + std::to_string(waited) + " s against " +
                std::to_string(c.timeoutMs / 1000) + " s";
    }
    char figure[64];
    std::snprintf(figure, sizeof figure, "  %s %.2f%s",
                  c.code == 0 ? c.name.c_str() + 10 : FaultKindName(c.kind), waited,
                  problems.empty() ? "" : " FAILED");
    rowFigures[c.code] += figure;
  }
  std::cout << "[ figures  ] fault matrix: " << cells.size() << " cells tried, " << passed
            << " passed, wall " << wall << " s; the longest wait past its time-out: "
            << longestOver << " s (" << longest << "); most CPU used from a fault to the end: "
            << mostCpu << " s\n";
  for (const auto& [code, figures] : rowFigures) {
    char head[32];
    std::snprintf(head, sizeof head, code == 0 ? "handshake" : "0x%02X", code);
    std::cout << "[ figures  ] " << head << figures << "\n";
  }
}

// The dialog keeps the port open from CONNECT to RUN. A reply that came
// after its time-out, once a run has failed, must not be taken as the answer
// to a command of the next run: a READ would file one set's values under
// another's name, a WRITE would take an earlier ACK for its flash commit and
// report success while the commit failed.
TEST(FaultMatrixTest, ALateReplyNeverAnswersTheNextRun) {
  struct Case {
    const char* name;
    TransferTarget failing;  // its first command's reply comes late
    int lateCode;
    TransferTarget next;
    CommandFault nextFault;  // none when code is 0
    RunEnd nextEnd;
    int nextMessage;
  };
  TempFolder dir("zema-late-reply");
  const std::string base = (dir / "line1").string();
  const Case cases[] = {
      {"ReadGetsTheSetAskedFor", {kDirectionRead, 1, 0, 0, 0, 0, 14, base}, 0x81,
       {kDirectionRead, 0, 0, 1, 0, 3, 3, base}, {}, RunEnd::Finished, 0},
      {"WriteHearsItsCommitFail", {kDirectionWrite, 0, 0, 1, 0, 3, 3, base}, 0x82,
       {kDirectionWrite, 0, 1, 0, 0, 0, 14, base}, {FaultKind::kBadChecksum, 1, 0x86},
       RunEnd::Failed, kMsgChecksumError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimFixture sim;
    {
      // The files a WRITE needs.
      const ProgramOutcome read = RunProgram(
          "zema-transfer", {"read", "--all", "--banks", "3", "--overwrite", "--base", base,
                            "--port", std::to_string(sim.port())});
      ASSERT_EQ(read.status, 0) << read.err;
    }
    sim.Replug();  // a sensor that counts its commands from here
    ScriptedOperator dialogs;
    dialogs.QueueAnswers({true, true});  // overwrite the files of the READ above
    ConnectionOutcome connected = ConnectSensor(sim.port() - 1, false, 0, dialogs);
    ASSERT_TRUE(connected.done()) << connected.failure.value_or(Failure{}).text;
    SensorLink& link = connected.link;
    sim.SetFaults({{CommandFault{FaultKind::kDelay, 1, c.lateCode, 1000 + kLateByMs}}, {}});
    RecordingRunView view;
    TransferRun failing{c.failing, link, view, dialogs};
    EXPECT_EQ(RunTransfer(failing), RunEnd::Failed);
    EXPECT_EQ(failing.failure.value_or(Failure{}).text, LoadMessage(kMsgNoResponse));
    std::this_thread::sleep_for(std::chrono::milliseconds(kLateByMs + 200));  // it has come now

    sim.SetFaults({});
    if (c.nextFault.code != 0) sim.AddFault(c.nextFault);
    TransferRun next{c.next, link, view, dialogs};
    EXPECT_EQ(RunTransfer(next), c.nextEnd) << next.failure.value_or(Failure{}).text;
    if (c.nextMessage != 0) {
      EXPECT_EQ(next.failure.value_or(Failure{}).text, LoadMessage(c.nextMessage));
    }
    if (c.next.direction == kDirectionRead) {
      ParamFile file;
      ASSERT_EQ(LoadParamFile((base + ".pr3.zema").c_str(), file), ParamFileStatus::Ok);
      EXPECT_EQ(file.values, sim.Memory().params[3]);
    }
    const std::optional<Failure> resumed = ResumeSensor(link);
    EXPECT_FALSE(resumed) << resumed.value_or(Failure{}).text;
  }
}

}  // namespace
