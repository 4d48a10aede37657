#include "sim/state_keeper.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace zema::sim {
namespace {

// After the disk refused a save, the next attempt waits this long (or for
// the next stored item), rather than retrying in a tight loop.
constexpr auto kRetryPause = std::chrono::seconds(1);

}  // namespace

StateKeeper::StateKeeper(std::string path, Report report, std::chrono::milliseconds gatherTime)
    : path_(std::move(path)),
      report_(std::move(report)),
      gatherTime_(gatherTime),
      journal_(JournalPath(path_)) {}

StateKeeper::~StateKeeper() { Close(); }

bool StateKeeper::Open(SensorMemory& memory, std::string& error) {
  StateVersion version;
  const StateLoadResult loaded = LoadState(path_, memory, error, &version);
  if (loaded == StateLoadResult::kDamaged) return false;
  // A new file, or one of the first format, starts a lineage of its own.
  const bool fresh = loaded == StateLoadResult::kMissing || version.lineage == 0;
  std::unique_lock lock(mutex_);
  body_ = StateBody(memory);
  version_ = fresh ? StateVersion{NewLineage(), 0} : version;
  std::string journalError;
  if (!journal_.Open(journalError)) ReportOnce("zema-sim: " + journalError);
  // Such a file, or one with journalled items, is written now, before the
  // sensor serves: the journal then starts empty and belongs to the file
  // beside it.
  if (fresh || !journal_.isEmpty()) {
    unsaved_ = true;
    SaveNow(lock);
  }
  saver_ = std::thread(&StateKeeper::SaveInBackground, this);
  return true;
}

void StateKeeper::Stored(const StoredItem& item) {
  std::lock_guard lock(mutex_);
  ++version_.sequence;
  std::string error;
  if (!journal_.Append(version_, item, error)) {
    ReportOnce("zema-sim: " + error + " (the state file follows in the background)");
  }
  std::copy(item.bytes.begin(), item.bytes.end(),
            body_.begin() + static_cast<long>(item.offset));
  unsaved_ = true;
  wake_.notify_one();
}

void StateKeeper::Replaced(const SensorMemory& memory) {
  std::vector<std::uint8_t> body = StateBody(memory);
  std::lock_guard lock(mutex_);
  body_ = std::move(body);
  unsaved_ = true;
  wake_.notify_one();
}

void StateKeeper::Close() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (saver_.joinable()) saver_.join();
  std::unique_lock lock(mutex_);
  if (body_.empty()) return;  // never opened, or closed before
  if (unsaved_) SaveNow(lock);
  // The state file holds every stored item: the journal has done its job.
  if (!unsaved_) journal_.Remove();
  body_.clear();
}

void StateKeeper::SaveInBackground() {
#ifdef __linux__
  // A save takes milliseconds of CPU (copying and checking 1.6 MB): on a busy
  // machine it must not keep the thread that answers the line waiting. On
  // Linux the nice value is a thread's own.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
#endif
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || unsaved_; });
    // Close saves whatever is left.
    if (stopping_ || wake_.wait_for(lock, gatherTime_, [&] { return stopping_; })) return;
    if (!SaveNow(lock)) {
      wake_.wait_for(lock, kRetryPause, [&] { return stopping_; });
    }
  }
}

bool StateKeeper::SaveNow(std::unique_lock<std::mutex>& lock) {
  const std::vector<std::uint8_t> body = body_;
  const StateVersion version = version_;
  unsaved_ = false;
  lock.unlock();
  std::string error;
  const bool saved = SaveStateBody(path_, body, version, error);
  // Ready before the lock is taken again, so that a stored item arriving
  // meanwhile waits for a rename at most, not for a file to be made.
  std::string journalError;
  if (saved) journal_.PrepareRestart(journalError);
  lock.lock();
  if (!saved) {
    unsaved_ = true;
    ReportOnce("zema-sim: " + error);
    return false;
  }
  lastReport_.clear();
  // Only when no item was journalled while the file was written: the new
  // file holds all that the journal does.
  if (version_.sequence == version.sequence && !journal_.isEmpty() &&
      !journal_.Restart(journalError)) {
    ReportOnce("zema-sim: " + journalError);
  }
  return true;
}

void StateKeeper::ReportOnce(const std::string& text) {
  if (text == lastReport_) return;
  lastReport_ = text;
  if (report_) report_(text);
}

}  // namespace zema::sim
