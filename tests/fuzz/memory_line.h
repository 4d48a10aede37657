// The line of the fuzz targets: a port backend in memory in place of a
// system's port. What the sensor "sent" is set before each exchange; what
// the program writes is kept for the fuzz target to look at.
//
// A memory line never waits: a read returns at once with what is left, as a
// real port would once its time-out had passed with nothing more arriving.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/port_backend.h"

class MemoryLine final : public PortBackend {
 public:
  // Replaces the bytes waiting to be read and forgets what was written.
  void Load(std::span<const std::uint8_t> incoming);
  // Bytes not read yet.
  std::size_t Unread() const { return incoming_.size() - readAt_; }
  // Everything the program wrote since the last Load.
  const std::vector<std::uint8_t>& Written() const { return written_; }

  // Takes every setting.
  std::string Device() const override { return "memory line"; }
  bool SetLineMode(std::uint32_t) override { return true; }
  bool SetReadTimeouts(int, int) override { return true; }
  bool SetWriteTimeout(int) override { return true; }
  int Waiting() override { return static_cast<int>(Unread()); }
  int Read(void* buffer, int count) override;
  int Write(const void* buffer, int count) override;
  bool PurgeInput() override;
  std::string LineGoneDetail() const override { return {}; }
  bool Close() override { return true; }

 private:
  std::vector<std::uint8_t> incoming_;
  std::size_t readAt_ = 0;
  std::vector<std::uint8_t> written_;
};
