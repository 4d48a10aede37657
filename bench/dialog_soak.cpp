#include "bench/dialog_soak.h"

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/random_draws.h"
#include "console/main_dialog.h"
#include "frontend/run_view.h"
#include "link/commands.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "tests/support/fake_dialog_window.h"
#include "tests/support/port_list_port.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"

namespace zema::bench {

using zema::sim::CommandFault;
using zema::sim::FaultKind;
namespace fs = std::filesystem;

namespace {

enum class Step { kConnect, kRead, kWrite, kRun };
constexpr const char* kStepNames[] = {"CONNECT", "READ", "WRITE", "RUN"};

struct Fault {
  bool any = false;
  Step step = Step::kConnect;
  CommandFault command;
  bool fails = true;  // a reply within its time-out does not
};

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* folder = ::opendir("/proc/self/fd")) {
    while (const dirent* entry = ::readdir(folder)) count += entry->d_name[0] != '.' ? 1 : 0;
    ::closedir(folder);
  }
  return count;
}

// The commands each step sends, with how many of each for the selection.
struct StepCommands {
  std::vector<std::pair<int, int>> counts;  // code, exchanges
};

StepCommands CommandsOf(Step step, bool common, bool bankParams, bool compensation, int banks) {
  StepCommands c;
  const int sets = (common ? 1 : 0) + (bankParams ? banks : 0);
  switch (step) {
    case Step::kConnect:
      c.counts = {{kCmdConfirm.code, 1}};
      break;
    case Step::kRead:
      if (sets > 0) c.counts.push_back({kCmdReadParamSet.code, sets});
      if (compensation)
        c.counts.insert(c.counts.end(), {{kCmdSelectImage.code, 1}, {kCmdReadBlock.code, 96}});
      break;
    case Step::kWrite:
      if (sets > 0) c.counts.push_back({kCmdWriteParamSet.code, sets});
      if (compensation)
        c.counts.insert(c.counts.end(), {{kCmdWriteBlock.code, 96}, {kCmdFlashCommit.code, 1}});
      break;
    case Step::kRun:
      c.counts = {{kCmdResume.code, 1}};
      break;
  }
  return c;
}

class DialogSoak {
 public:
  explicit DialogSoak(const DialogSoakOptions& options)
      : options_(options), random_(options.seed), window_(dialog_, script_) {}

  bool Run(ResultTable& table, std::string& error);

 private:
  void Replug();
  void SetUpCycle(bool& common, bool& bankParams, bool& compensation, int& banks);
  Fault DrawFault(bool common, bool bankParams, bool compensation, int banks);
  void ArmFault(const Fault& fault, Step step);
  void AfterStep(const Fault& fault, Step step);
  void Check(bool good, const std::string& what);
  bool AnyFileMade() const;
  void ExpectConnected(bool connected, bool afterRun = false);
  void ExpectError(int message);
  void ExpectRun(Step step, bool fails, int message);

  DialogSoakOptions options_;
  std::mt19937_64 random_;
  TempFolder folder_{"zema-soak-dialog"};
  SimFixture sim_;
  std::unique_ptr<PortListPort> port_;
  std::array<int, 256> sent_{};  // commands the sensor has taken, by code
  FakeOperatorScript script_;
  CLoaderDlg dialog_{(folder_ / "zema-loader.ini").string()};
  FakeDialogWindow window_;
  int cycle_ = 0;
  int replugs_ = 0;
  std::string cycleText_;  // the cycle's choices and fault, for a violation
  bool lineGone_ = false;
  long violations_ = 0;
  std::map<std::string, long> faults_;
  std::map<std::string, long> outcomes_;
};

bool DialogSoak::AnyFileMade() const {
  for (const auto& entry : fs::directory_iterator(folder_.path())) {
    if (entry.path().filename().string().rfind("line", 0) == 0) return true;
  }
  return false;
}

void DialogSoak::Check(bool good, const std::string& what) {
  if (good) return;
  ++violations_;
  std::cout << "VIOLATION in cycle " << cycle_ << " (" << cycleText_ << "): " << what << std::endl;
}

// The adapter pulled and plugged in again after a hang-up: a new terminal
// under the COM number the port list offers.
void DialogSoak::Replug() {
  port_.reset();
  sim_.Replug();
  sent_.fill(0);
  ++replugs_;
  port_ = std::make_unique<PortListPort>(folder_ / ("config" + std::to_string(replugs_)),
                                         sim_.devicePath());
  lineGone_ = false;
}

void DialogSoak::SetUpCycle(bool& common, bool& bankParams, bool& compensation, int& banks) {
  for (const auto& entry : fs::directory_iterator(folder_.path())) {
    if (entry.path().filename().string().rfind("line", 0) == 0) fs::remove(entry.path());
  }
  do {
    common = Between(random_, 0, 1) == 1;
    bankParams = Between(random_, 0, 1) == 1;
    compensation = Between(random_, 0, 3) == 0;
  } while (!common && !bankParams && !compensation);
  const int first = Between(random_, 0, kBankCount - 1);
  const int last = std::min(kBankCount - 1, first + Between(random_, 0, 2));
  banks = last - first + 1;
  cycleText_ = std::string(common ? "common " : "") + (bankParams ? "bank parameters " : "") +
               (compensation ? "compensation " : "") + "banks " + std::to_string(first) + "-" +
               std::to_string(last);
  window_.SetListSelection(kCtlPortList, port_->listIndex());
  window_.SetChecked(kCtlCommonParams, common);
  window_.SetChecked(kCtlBankParams, bankParams);
  window_.SetChecked(kCtlBrightComp, compensation);
  window_.SetChecked(kCtlPatterns, false);
  window_.SetListSelection(kCtlStartBank, first);
  window_.SetListSelection(kCtlEndBank, last);
  window_.SetControlText(kCtlBaseName, (folder_ / ("line" + std::to_string(cycle_ % 7))).string());
}

Fault DialogSoak::DrawFault(bool common, bool bankParams, bool compensation, int banks) {
  Fault fault;
  if (Between(random_, 0, 9) < 4) return fault;
  fault.any = true;
  fault.step = static_cast<Step>(Between(random_, 0, 3));
  const StepCommands commands = CommandsOf(fault.step, common, bankParams, compensation, banks);
  const auto& [code, count] = commands.counts[static_cast<std::size_t>(
      Between(random_, 0, static_cast<int>(commands.counts.size()) - 1))];
  static const FaultKind kKinds[] = {FaultKind::kNoReply,        FaultKind::kCutShort,
                                     FaultKind::kWrongFirstByte, FaultKind::kBadChecksum,
                                     FaultKind::kDelay,          FaultKind::kDelay,
                                     FaultKind::kHangUp};
  FaultKind kind = kKinds[Between(random_, 0, 6)];
  // A flash commit's reply waits 30 s: seldom let it be silent.
  if (code == kCmdFlashCommit.code &&
      (kind == FaultKind::kNoReply || kind == FaultKind::kCutShort) &&
      Between(random_, 0, 9) != 0) {
    kind = FaultKind::kBadChecksum;
  }
  const int timeoutMs = code == kCmdFlashCommit.code ? kFlashTimeoutMs : kReplyTimeoutMs;
  fault.command = CommandFault{kind, Between(random_, 1, count), code, 0};
  if (kind == FaultKind::kDelay) {
    fault.fails = Between(random_, 0, 1) == 0;
    fault.command.delayMs = fault.fails ? std::min(timeoutMs, 1000) + Between(random_, 200, 600)
                                        : Between(random_, 50, 600);
    if (fault.fails && code == kCmdFlashCommit.code) fault.command.delayMs = timeoutMs + 300;
  }
  const char* name =
      kind == FaultKind::kDelay ? (fault.fails ? "late" : "slow") : FaultKindName(kind);
  const std::string where = std::string(kStepNames[static_cast<int>(fault.step)]) + " " + name;
  ++faults_[where];
  char at[48];
  std::snprintf(at, sizeof at, " at 0x%02X #%d", code, fault.command.nth);
  cycleText_ += "; fault " + where + at;
  return fault;
}

// The fault's number counts from the sensor's start, as its plan does.
void DialogSoak::ArmFault(const Fault& fault, Step step) {
  sim_.SetFaults({});
  if (!fault.any || fault.step != step) return;
  CommandFault armed = fault.command;
  armed.nth += sent_[static_cast<std::size_t>(armed.code)];
  sim_.AddFault(armed);
  // From this step on, whatever the dialog sends meets a line gone.
  if (armed.kind == FaultKind::kHangUp) lineGone_ = true;
}

void DialogSoak::AfterStep(const Fault& fault, Step step) {
  for (const auto& frame : sim_.Commands()) ++sent_[frame[0]];
  sim_.ClearCommands();
  if (!fault.any || fault.step != step) return;
  // The operator reads the error box before the next click: a late reply
  // has arrived by then (and is cleared before the next command).
  if (fault.command.kind == FaultKind::kDelay && fault.fails) {
    std::this_thread::sleep_for(std::chrono::milliseconds(fault.command.delayMs));
  }
}

// Connected: READ, WRITE and RUN enabled, the port's choices and CONNECT
// not, the focus on RUN. Not connected: the other way round; RUN puts the
// focus on CONNECT, while a failed CONNECT leaves it where it was.
void DialogSoak::ExpectConnected(bool connected, bool afterRun) {
  for (int id : {kCtlRead, kCtlWrite, kCtlRun}) {
    Check(window_.IsControlEnabled(id) == connected,
          "control " + std::to_string(id) + (connected ? " disabled" : " enabled"));
  }
  for (int id : {kCtlConnect, kCtlPortList}) {
    Check(window_.IsControlEnabled(id) != connected,
          "control " + std::to_string(id) + (connected ? " enabled" : " disabled"));
  }
  if (connected || afterRun) {
    Check(window_.focus() == (connected ? kCtlRun : kCtlConnect),
          "focus on " + std::to_string(window_.focus()));
  }
}

void DialogSoak::ExpectError(int message) {
  const auto& boxes = script_.boxes.boxes;
  const bool named =
      !boxes.empty() && !boxes.back().question && boxes.back().text == LoadMessage(message);
  Check(named, "no error box with message " + std::to_string(message));
  // A line that hung up is named under the message, with its device.
  if (named && lineGone_) {
    Check(boxes.back().detail.find(sim_.devicePath() + ": the device went away (") !=
              std::string::npos,
          "the detail line does not name the device that went away: " + boxes.back().detail);
  }
}

void DialogSoak::ExpectRun(Step step, bool fails, int message) {
  Check(script_.modalRuns.size() == 1,
        "progress dialog ran " + std::to_string(script_.modalRuns.size()) + " times");
  if (script_.modalRuns.size() != 1) return;
  const auto& run = script_.modalRuns[0];
  if (fails) {
    Check(run.result == kRunResultFailed, "a failed run ended with " + std::to_string(run.result));
    ExpectError(message);
    ++outcomes_[std::string(kStepNames[static_cast<int>(step)]) + " failed"];
    return;
  }
  // A WRITE whose every file was skipped (the READ before it made none)
  // says it wrote nothing.
  const int done = step == Step::kRead ? kMsgReadingCompleted
                   : AnyFileMade()     ? kMsgWritingCompleted
                                       : kMsgNoTargetForWriting;
  Check(run.result == kDialogResultOk, "a finished run ended with " + std::to_string(run.result));
  const auto line = run.controls.find(kCtlStepLine);
  Check(line != run.controls.end() && line->second.text == LoadMessage(done),
        "the step line does not read message " + std::to_string(done));
  const auto ok = run.controls.find(kCtlOk);
  Check(ok != run.controls.end() && ok->second.enabled, "OK not offered at the end");
  ++outcomes_[std::string(kStepNames[static_cast<int>(step)]) + " finished"];
}

int MessageOf(const Fault& fault) {
  switch (fault.command.kind) {
    case FaultKind::kCutShort:
    case FaultKind::kBadChecksum:
      return kMsgChecksumError;
    case FaultKind::kWrongFirstByte:
      return kMsgInvalidResponse;
    default:
      return kMsgNoResponse;
  }
}

bool DialogSoak::Run(ResultTable& table, std::string& error) {
  port_ = std::make_unique<PortListPort>(folder_ / "config0", sim_.devicePath());
  if (port_->number() == 0) {
    error = "COM1..COM9 are all linked beside the program";
    return false;
  }
  window_.Open();
  long warmKb = -1, endKb = -1;
  int warmFds = -1, endFds = -1;
  const auto started = std::chrono::steady_clock::now();
  for (cycle_ = 1; cycle_ <= options_.cycles; ++cycle_) {
    bool common = false, bankParams = false, compensation = false;
    int banks = 0;
    SetUpCycle(common, bankParams, compensation, banks);
    const Fault fault = DrawFault(common, bankParams, compensation, banks);
    const auto failsAt = [&](Step step) {
      return lineGone_ || (fault.any && fault.step == step && fault.fails);
    };
    const auto messageAt = [&](Step) { return lineGone_ ? kMsgNoResponse : MessageOf(fault); };

    // CONNECT
    ArmFault(fault, Step::kConnect);
    const bool connectFails = failsAt(Step::kConnect);
    window_.Click(kCtlConnect);
    if (connectFails) ExpectError(messageAt(Step::kConnect));
    AfterStep(fault, Step::kConnect);
    ExpectConnected(!connectFails);
    ++outcomes_[connectFails ? "CONNECT failed" : "CONNECT done"];
    if (!connectFails) {
      for (Step step : {Step::kRead, Step::kWrite}) {
        ArmFault(fault, step);
        // A WRITE on a line gone fails at its first exchange; when the READ
        // before it made no file, every item is skipped and it sends none.
        const bool fails = failsAt(step) && (step == Step::kRead || !lineGone_ || AnyFileMade());
        const int message = messageAt(step);
        // WRITE is agreed to; a file a failed READ did not make is skipped.
        if (step == Step::kWrite) script_.boxes.QueueAnswers({true});
        window_.Click(step == Step::kRead ? kCtlRead : kCtlWrite);
        ExpectRun(step, fails, message);
        AfterStep(fault, step);
        ExpectConnected(true);
        script_.modalRuns.clear();
        script_.boxes.boxes.clear();
      }
      ArmFault(fault, Step::kRun);
      const bool runFails = failsAt(Step::kRun);
      const int message = messageAt(Step::kRun);
      window_.Click(kCtlRun);
      if (runFails) ExpectError(message);
      AfterStep(fault, Step::kRun);
      ExpectConnected(false, true);
      ++outcomes_[runFails ? "RUN failed" : "RUN done"];
    }
    script_.boxes.boxes.clear();
    script_.boxes.unexpectedQuestions = 0;
    if (lineGone_) Replug();
    if (cycle_ == options_.warmUp) {
      warmKb = ResidentKb();
      warmFds = OpenDescriptors();
    }
    if (cycle_ % 100 == 0) {
      std::cout << cycle_ << " cycles, " << violations_ << " violations, resident " << ResidentKb()
                << " kB, " << OpenDescriptors() << " descriptors" << std::endl;
    }
  }
  endKb = ResidentKb();
  endFds = OpenDescriptors();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  const double hundreds = (options_.cycles - options_.warmUp) / 100.0;
  const double perHundred = static_cast<double>(endKb - warmKb) / hundreds;
  std::string faults, outcomes;
  for (const auto& [name, count] : faults_)
    faults += (faults.empty() ? "" : ", ") + name + " " + std::to_string(count);
  for (const auto& [name, count] : outcomes_)
    outcomes += (outcomes.empty() ? "" : ", ") + name + " " + std::to_string(count);
  char text[256];
  std::snprintf(text, sizeof text, "%d in %.0f s (seed %llu), one process, one main dialog",
                options_.cycles, seconds, static_cast<unsigned long long>(options_.seed));
  table.Add({"CONNECT / READ / WRITE / RUN cycles", text, static_cast<double>(options_.cycles),
             "cycles", "", std::nullopt});
  table.Add({"faults by step and kind", faults, 0, "", "", std::nullopt});
  table.Add({"outcomes", outcomes, 0, "", "", std::nullopt});
  table.Add({"wrong dialog states", std::to_string(violations_), static_cast<double>(violations_),
             "", "0", violations_ == 0});
  std::snprintf(text, sizeof text,
                "%+.1f kB per hundred cycles (%ld kB after %d cycles, %ld kB after %d)", perHundred,
                warmKb, options_.warmUp, endKb, options_.cycles);
  table.Add({"resident memory after warm-up", text, perHundred, "kB", "<= 64 kB per hundred cycles",
             perHundred <= 64.0});
  std::snprintf(text, sizeof text, "%d after warm-up, %d at the end", warmFds, endFds);
  table.Add({"open descriptors", text, static_cast<double>(endFds - warmFds), "", "no growth",
             endFds <= warmFds});
  return true;
}

}  // namespace

bool RunDialogSoak(const DialogSoakOptions& options, ResultTable& table, std::string& error) {
  return DialogSoak(options).Run(table, error);
}

}  // namespace zema::bench
