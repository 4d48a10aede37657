#include "sim/state_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <random>

#include "sim/state_encoding.h"
#include "sim/state_journal.h"

namespace zema::sim {
namespace {

using namespace state_encoding;

// The first format had no lineage and sequence; it is still read.
constexpr char kMagicV1[8] = {'Z', 'E', 'M', 'A', 'S', 'I', 'M', '1'};
constexpr char kMagic[8] = {'Z', 'E', 'M', 'A', 'S', 'I', 'M', '2'};
constexpr std::size_t kHeaderSizeV1 = sizeof kMagicV1 + 4;
constexpr std::size_t kHeaderSize = sizeof kMagic + 4 + 8 + 8;

std::size_t BodySize() {
  const SensorMemory sizes;
  std::size_t size = kParamSetCount * kParamSetBytes + sizes.compensation.size();
  for (const auto& bank : sizes.patterns) size += bank[0].size() + bank[1].size();
  return size;
}

std::size_t ImageOffset(const ImageSlot& slot) {
  const SensorMemory sizes;
  std::size_t offset = kParamSetCount * kParamSetBytes;
  if (slot.kind == ImageSlot::Kind::kCompensation) return offset;
  offset += sizes.compensation.size();
  for (int bank = 0; bank < slot.bank; ++bank) {
    offset += sizes.patterns[static_cast<std::size_t>(bank)][0].size() +
              sizes.patterns[static_cast<std::size_t>(bank)][1].size();
  }
  if (slot.section == 1) offset += sizes.patterns[static_cast<std::size_t>(slot.bank)][0].size();
  return offset;
}

// The stored memory from a body (the transfer area is not stored).
void FillFromBody(std::span<const std::uint8_t> body, SensorMemory& memory) {
  const std::uint8_t* p = body.data();
  for (auto& set : memory.params) {
    for (std::uint16_t& value : set) {
      value = static_cast<std::uint16_t>(p[0] | p[1] << 8);
      p += 2;
    }
  }
  std::copy(p, p + memory.compensation.size(), memory.compensation.begin());
  p += memory.compensation.size();
  for (auto& bank : memory.patterns) {
    for (auto& section : bank) {
      std::copy(p, p + section.size(), section.begin());
      p += section.size();
    }
  }
}

// The body and version of a state file's bytes; false when they are not a
// complete state file of either format.
bool Parse(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& body,
           StateVersion& version) {
  const bool first = bytes.size() >= sizeof kMagicV1 &&
                     std::memcmp(bytes.data(), kMagicV1, sizeof kMagicV1) == 0;
  const std::size_t headerSize = first ? kHeaderSizeV1 : kHeaderSize;
  const std::size_t expected = headerSize + BodySize() + 4;
  if (bytes.size() != expected ||
      (!first && std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) ||
      GetU32(bytes.data() + sizeof kMagic) != BodySize() ||
      GetU32(bytes.data() + expected - 4) != Fingerprint({bytes.data(), expected - 4})) {
    return false;
  }
  version = first ? StateVersion{}
                  : StateVersion{GetU64(bytes.data() + sizeof kMagic + 4),
                                 GetU64(bytes.data() + sizeof kMagic + 12)};
  body.assign(bytes.begin() + static_cast<long>(headerSize), bytes.end() - 4);
  return true;
}

bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::uint64_t NewLineage() {
  std::random_device source;
  std::uint64_t lineage = 0;
  while (lineage == 0) {
    lineage = static_cast<std::uint64_t>(source()) << 32 | source();
  }
  return lineage;
}

std::vector<std::uint8_t> StateBody(const SensorMemory& memory) {
  std::vector<std::uint8_t> body;
  body.reserve(BodySize());
  for (const auto& set : memory.params) {
    const std::vector<std::uint8_t> bytes = ParamSetBytes(set);
    body.insert(body.end(), bytes.begin(), bytes.end());
  }
  body.insert(body.end(), memory.compensation.begin(), memory.compensation.end());
  for (const auto& bank : memory.patterns) {
    for (const auto& section : bank) body.insert(body.end(), section.begin(), section.end());
  }
  return body;
}

StoredItem StoredParamSet(const SensorMemory& memory, int set) {
  return {static_cast<std::size_t>(set) * kParamSetBytes,
          ParamSetBytes(memory.params.at(static_cast<std::size_t>(set)))};
}

StoredItem StoredImage(const SensorMemory& memory, const ImageSlot& slot) {
  const auto image = memory.FlashImage(slot);
  return {ImageOffset(slot), {image.begin(), image.end()}};
}

StateLoadResult LoadState(const std::string& path, SensorMemory& memory, std::string& error,
                          StateVersion* version) {
  // The journal first: a save in the background may put a newer state file
  // in place and empty the journal meanwhile, and the newer file holds all
  // that the journal read before it did.
  std::vector<std::uint8_t> journal;
  if (!ReadJournal(JournalPath(path), journal, error)) return StateLoadResult::kDamaged;
  std::vector<std::uint8_t> bytes;
  switch (ReadWholeFile(path, bytes, "state file", error)) {
    case WholeFile::kRead: break;
    case WholeFile::kMissing: return StateLoadResult::kMissing;
    case WholeFile::kFailed: return StateLoadResult::kDamaged;
  }
  std::vector<std::uint8_t> body;
  StateVersion loaded;
  if (!Parse(bytes, body, loaded)) {
    error = "state file " + path + " is damaged or not a zema-sim state file";
    return StateLoadResult::kDamaged;
  }
  // A file of the first format never had a journal: whatever lies beside
  // it belongs to some other file.
  if (loaded.lineage != 0 && !ApplyJournal(journal, loaded, body, error)) {
    error = "journal " + JournalPath(path) + ": " + error +
            "; remove it to start from the state file alone";
    return StateLoadResult::kDamaged;
  }
  FillFromBody(body, memory);
  if (version) *version = loaded;
  return StateLoadResult::kLoaded;
}

bool SaveState(const std::string& path, const SensorMemory& memory, std::string& error) {
  return SaveStateBody(path, StateBody(memory), {NewLineage(), 0}, error);
}

bool SaveStateBody(const std::string& path, std::span<const std::uint8_t> body,
                   const StateVersion& version, std::string& error) {
  std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
  out.reserve(kHeaderSize + body.size() + 4);
  PutU32(out, static_cast<std::uint32_t>(body.size()));
  PutU64(out, version.lineage);
  PutU64(out, version.sequence);
  out.insert(out.end(), body.begin(), body.end());
  PutU32(out, Fingerprint(out));

  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = SystemError("cannot create", temporary);
    return false;
  }
  const bool written = WriteAll(fd, out) && ::fsync(fd) == 0;
  const std::string writeError = written ? "" : SystemError("cannot write", temporary);
  if (::close(fd) != 0 || !written) {
    error = written ? SystemError("cannot write", temporary) : writeError;
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = SystemError("cannot replace", path);
    ::unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable.
  const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

}  // namespace zema::sim
