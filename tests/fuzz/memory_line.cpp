#include "tests/fuzz/memory_line.h"

#include <algorithm>
#include <cstring>

void MemoryLine::Load(std::span<const std::uint8_t> incoming) {
  incoming_.assign(incoming.begin(), incoming.end());
  readAt_ = 0;
  written_.clear();
}

int MemoryLine::Read(void* buffer, int count) {
  const std::size_t taken = std::min(static_cast<std::size_t>(count), Unread());
  if (taken > 0) std::memcpy(buffer, incoming_.data() + readAt_, taken);
  readAt_ += taken;
  return static_cast<int>(taken);
}

int MemoryLine::Write(const void* buffer, int count) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  written_.insert(written_.end(), bytes, bytes + count);
  return count;
}

bool MemoryLine::PurgeInput() {
  readAt_ = incoming_.size();
  return true;
}
