#include "sim/state_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

#include "sim/state_encoding.h"

namespace zema::sim {
namespace {

using namespace state_encoding;

constexpr char kRecordMagic[4] = {'Z', 'S', 'J', '1'};
constexpr std::size_t kRecordHeader = sizeof kRecordMagic + 8 + 8 + 4 + 4;
constexpr std::size_t kRecordTrailer = 4;

std::size_t RecordSize(const std::uint8_t* record) {
  return kRecordHeader + GetU32(record + 24) + kRecordTrailer;
}

// Bytes of `journal` taken up by records that are there in full.
std::size_t WholeRecords(std::span<const std::uint8_t> journal) {
  std::size_t at = 0;
  while (journal.size() - at >= kRecordHeader && journal.size() - at >= RecordSize(&journal[at])) {
    at += RecordSize(&journal[at]);
  }
  return at;
}

}  // namespace

std::string JournalPath(const std::string& statePath) { return statePath + ".journal"; }

StateJournal::~StateJournal() {
  for (int fd : {fd_, preparedFd_}) {
    if (fd >= 0) ::close(fd);
  }
}

bool StateJournal::Open(std::string& error) {
  std::vector<std::uint8_t> kept;
  if (!ReadJournal(path_, kept, error)) return false;
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error = SystemError("cannot open journal", path_);
    return false;
  }
  // A record cut short by a kill would stand in the way of the ones
  // appended after it.
  size_ = WholeRecords(kept);
  if (size_ < kept.size() && ::ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
    error = SystemError("cannot cut an unfinished record off", path_);
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

bool StateJournal::Append(const StateVersion& version, const StoredItem& item,
                          std::string& error) {
  if (fd_ < 0) {
    error = "journal " + path_ + " is not open";
    return false;
  }
  std::vector<std::uint8_t> record(std::begin(kRecordMagic), std::end(kRecordMagic));
  record.reserve(kRecordHeader + item.bytes.size() + kRecordTrailer);
  PutU64(record, version.lineage);
  PutU64(record, version.sequence);
  PutU32(record, static_cast<std::uint32_t>(item.offset));
  PutU32(record, static_cast<std::uint32_t>(item.bytes.size()));
  record.insert(record.end(), item.bytes.begin(), item.bytes.end());
  PutU32(record, Fingerprint(record));

  std::size_t done = 0;
  while (done < record.size()) {
    const ssize_t n = ::write(fd_, record.data() + done, record.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = SystemError("cannot write journal", path_);
      // A part of a record would stand in the way of the ones after it.
      if (::ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
        error += " (and cannot cut the part written off again)";
      }
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  size_ += record.size();
  return true;
}

std::string StateJournal::PreparedPath() const { return path_ + ".new"; }

bool StateJournal::PrepareRestart(std::string& error) {
  if (preparedFd_ >= 0) return true;
  preparedFd_ = ::open(PreparedPath().c_str(),
                       O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
  if (preparedFd_ < 0) {
    error = SystemError("cannot create", PreparedPath());
    return false;
  }
  return true;
}

bool StateJournal::Restart(std::string& error) {
  if (preparedFd_ < 0 && !PrepareRestart(error)) return false;
  if (::rename(PreparedPath().c_str(), path_.c_str()) != 0) {
    error = SystemError("cannot replace", path_);
    return false;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = preparedFd_;
  preparedFd_ = -1;
  size_ = 0;
  return true;
}

void StateJournal::Remove() {
  for (int* fd : {&fd_, &preparedFd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  size_ = 0;
  ::unlink(path_.c_str());
  ::unlink(PreparedPath().c_str());
}

bool ReadJournal(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  return ReadWholeFile(path, bytes, "journal", error) != WholeFile::kFailed;
}

bool ApplyJournal(std::span<const std::uint8_t> journal, StateVersion& version,
                  std::vector<std::uint8_t>& body, std::string& error) {
  std::size_t at = 0;
  while (journal.size() - at >= kRecordHeader) {
    const std::uint8_t* record = journal.data() + at;
    const std::uint64_t lineage = GetU64(record + 4);
    const std::uint64_t sequence = GetU64(record + 12);
    const std::uint32_t offset = GetU32(record + 20);
    const std::uint32_t length = GetU32(record + 24);
    const auto damaged = [&](const char* what) {
      error = "record at byte " + std::to_string(at) + " is damaged (" + what + ")";
      return false;
    };
    if (std::memcmp(record, kRecordMagic, sizeof kRecordMagic) != 0) {
      return damaged("not a record");
    }
    if (length > body.size() || offset > body.size() - length) {
      return damaged("outside the memory");
    }
    const std::size_t recordSize = RecordSize(record);
    // Cut short: its append never finished, nor did the command it records.
    if (journal.size() - at < recordSize) break;
    if (GetU32(record + recordSize - kRecordTrailer) !=
        Fingerprint({record, recordSize - kRecordTrailer})) {
      return damaged("checksum wrong");
    }
    if (lineage == version.lineage && sequence > version.sequence) {
      std::memcpy(body.data() + offset, record + kRecordHeader, length);
      version.sequence = sequence;
    }
    at += recordSize;
  }
  return true;
}

}  // namespace zema::sim
