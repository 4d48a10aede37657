// Keeps the sensor's stored memory on disk without making its replies wait
// for the disk.
//
// A stored item (a parameter set, a flash image) is appended to the journal
// before the sensor answers the command that stored it: a write into the
// kernel's cache, tens of microseconds, after which a killed simulator
// still has it. Writing the whole state file, with the fsync calls that
// make it durable, happens on a thread of its own, gathering the items
// stored in quick succession into one write; once a state file holds every
// journalled item, the journal starts afresh.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/state_file.h"
#include "sim/state_journal.h"

namespace zema::sim {

class StateKeeper {
 public:
  using Report = std::function<void(const std::string&)>;

  // How long the background save waits for more items after the first one
  // it has not written yet: a WRITE stores dozens in a row.
  static constexpr std::chrono::milliseconds kGatherTime{100};

  StateKeeper(std::string path, Report report,
              std::chrono::milliseconds gatherTime = kGatherTime);
  ~StateKeeper();
  StateKeeper(const StateKeeper&) = delete;
  StateKeeper& operator=(const StateKeeper&) = delete;

  // Puts what was kept into `memory`; without a state file yet, keeps
  // `memory` as its first content. Then starts saving in the background.
  // false with `error` when the state file or its journal is damaged
  // (memory untouched, nothing written).
  bool Open(SensorMemory& memory, std::string& error);

  // A stored item: in the journal when this returns, in the state file
  // soon after.
  void Stored(const StoredItem& item);
  // The memory changed as a whole (not through a stored item): saved in the
  // background, not journalled.
  void Replaced(const SensorMemory& memory);

  // Ends the background saving and brings the state file up to date. Safe
  // to call twice.
  void Close();

 private:
  void SaveInBackground();
  // Writes the state file from the current body; called and returns with
  // `lock` held, which it lets go of while writing.
  bool SaveNow(std::unique_lock<std::mutex>& lock);
  void ReportOnce(const std::string& text);

  const std::string path_;
  const Report report_;
  const std::chrono::milliseconds gatherTime_;
  std::thread saver_;

  std::mutex mutex_;  // guards everything below
  std::condition_variable wake_;
  std::vector<std::uint8_t> body_;  // the stored memory as the state file lays it out
  StateVersion version_;
  StateJournal journal_;
  bool unsaved_ = false;  // body_ differs from the state file
  bool stopping_ = false;
  std::string lastReport_;
};

}  // namespace zema::sim
