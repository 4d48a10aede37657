// The journal beside a state file (<state file>.journal): the items stored
// since the state file was last written, one record each, appended before
// the sensor answers the command that stored them.
//
// An append is one write() into the file without fsync: once it returns,
// the record is the kernel's and survives the simulator being killed at any
// later moment (not a power cut: the state file, written in the background,
// is what reaches the disk). A record is
//   "ZSJ1", lineage (8), sequence (8), body offset (4), length (4),
//   the item's bytes, checksum of all before it (4),
// numbers little-endian. A record cut short at the end of the journal is
// one whose append was interrupted: its command was never answered, and it
// is ignored.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/state_file.h"

namespace zema::sim {

std::string JournalPath(const std::string& statePath);

class StateJournal {
 public:
  explicit StateJournal(std::string path) : path_(std::move(path)) {}
  ~StateJournal();
  StateJournal(const StateJournal&) = delete;
  StateJournal& operator=(const StateJournal&) = delete;

  // Opens the journal for appending, creating it when missing.
  bool Open(std::string& error);
  // Appends one record. On failure nothing of it stays in the journal.
  bool Append(const StateVersion& version, const StoredItem& item, std::string& error);
  // Makes an empty journal ready beside this one, leaving this one alone:
  // the slow part of Restart, which need not wait for appends to pause.
  bool PrepareRestart(std::string& error);
  // Puts the prepared empty journal in place of this one, for when the
  // state file holds everything it recorded. The empty file is renamed over
  // the old one, so a reader never sees a journal shrink under it.
  bool Restart(std::string& error);
  // Closes and deletes the journal.
  void Remove();

  bool isOpen() const { return fd_ >= 0; }
  bool isEmpty() const { return size_ == 0; }

 private:
  std::string PreparedPath() const;

  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  int preparedFd_ = -1;  // the empty journal of the next Restart
};

// Reads the whole journal at `path`; an absent journal is empty. false with
// `error` when it exists but cannot be read.
bool ReadJournal(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// Applies to `body` the records of `journal` that belong to version.lineage
// and are newer than version.sequence, in order, and advances
// version.sequence to the last one applied. Records of another lineage are
// left out. false with `error` when a complete record is damaged or does
// not fit the body.
bool ApplyJournal(std::span<const std::uint8_t> journal, StateVersion& version,
                  std::vector<std::uint8_t>& body, std::string& error);

}  // namespace zema::sim
