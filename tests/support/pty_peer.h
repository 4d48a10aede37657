// A scripted peer on a real pseudo-terminal, reachable as a COM port.
//
// The peer opens a pty pair, makes the terminal side reachable as COM<n>
// through dosdevices/com<n> beside the test executable (n is claimed with a
// lock file, so test processes running side by side never share a number),
// and serves it from a background thread: it records every byte the program
// sends, notes the line speed at which each byte arrived, and answers with
// scripted replies. It can stay silent, send garbage or hang up.
#pragma once

#include <termios.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/packet.h"  // FrameChecksum
#include "support/com_port_claim.h"

namespace zema {

using Bytes = std::vector<std::uint8_t>;

class PtyPeer {
 public:
  PtyPeer();
  ~PtyPeer();
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  // The COM number under which the program finds this peer.
  int port() const { return port_; }
  // The terminal side's device path, e.g. /dev/pts/7.
  const std::string& devicePath() const { return devicePath_; }

  // Once the program has sent `afterTotal` bytes in all (counted from the
  // peer's start), send `reply`. Replies fire in the order queued.
  void ReplyAfter(std::size_t afterTotal, Bytes reply);
  // Reply to the next `count` bytes the program sends (counted from now).
  void ReplyToNext(std::size_t count, Bytes reply);
  // Send bytes now, before the program asks.
  void SendNow(const Bytes& bytes);
  // Close the peer's side: the program's reads end, its writes fail.
  void HangUp();

  // Everything the program has sent so far.
  Bytes Received() const;
  // Waits until at least `count` bytes have arrived; false on time-out.
  bool WaitForReceived(std::size_t count,
                       std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
  // The line speed (in baud) the terminal had when byte `index` arrived.
  unsigned SpeedAtByte(std::size_t index) const;

  // The terminal's current settings, as tcgetattr on the peer's side reads
  // them (a pty pair shares one record).
  termios CurrentSettings() const;

 private:
  struct PendingReply {
    std::size_t afterTotal;
    Bytes bytes;
  };

  void Serve();
  void SendDueReplies(std::unique_lock<std::mutex>& lock);

  int master_ = -1;
  int slaveKeepAlive_ = -1;
  int port_ = 0;
  std::string devicePath_;
  std::unique_ptr<ComPortClaim> claim_;
  int wakePipe_[2] = {-1, -1};

  mutable std::mutex mutex_;
  mutable std::condition_variable received_;
  Bytes receivedBytes_;
  std::vector<unsigned> speeds_;
  std::deque<PendingReply> replies_;
  bool stop_ = false;
  bool hungUp_ = false;
  std::thread thread_;
};

// A valid reply frame: ACK, payload, checksum.
Bytes AckReply(const Bytes& payload = {});

}  // namespace zema
