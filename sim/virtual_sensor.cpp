#include "sim/virtual_sensor.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "link/frame_trace.h"
#include "link/packet.h"
#include "sim/command_handler.h"

namespace zema::sim {
namespace {

using Clock = LineClock;

// A frame whose next byte does not come within this time is abandoned.
constexpr auto kInterByteTimeout = std::chrono::milliseconds(200);
// Before a NAK the line must have been quiet this long...
constexpr auto kQuietBeforeNak = std::chrono::milliseconds(20);
// ...or, on a line that keeps chattering, this long has passed.
constexpr auto kLongestDrain = std::chrono::milliseconds(500);
// A reply with a wrong first byte begins with this instead of ACK.
constexpr std::uint8_t kWrongFirstByte = 0x00;

constexpr std::uint8_t kHandshakeReply[] = {kAck, kStx};
constexpr std::uint8_t kNakByte[] = {kNak};

}  // namespace

unsigned CommunicBaud(int communic) {
  constexpr unsigned kBauds[] = {4800, 9600, 19200, 38400, 57600};
  return communic >= 1 && communic <= 5 ? kBauds[communic - 1] : 0;
}

VirtualSensor::VirtualSensor(SensorSettings settings, SensorMemory memory)
    : settings_(std::move(settings)),
      state_(settings_.mode == ConnectionMode::kMenu ? SensorState::kMenu
                                                     : SensorState::kRunning),
      memory_(std::move(memory)) {}

VirtualSensor::~VirtualSensor() { Stop(); }

bool VirtualSensor::Start(std::string& error) {
  if (!settings_.stateFile.empty()) {
    std::lock_guard lock(mutex_);
    keeper_ = std::make_unique<StateKeeper>(settings_.stateFile,
                                            [this](const std::string& text) { Report(text); });
    if (!keeper_->Open(memory_, error)) {
      keeper_.reset();
      return false;
    }
  }
  if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = "cannot create a pipe";
    return false;
  }
  if (!line_.Open(error)) return false;
  line_.SetAdapterLatency(settings_.adapterLatency);
  thread_ = std::thread(&VirtualSensor::Serve, this);
  return true;
}

void VirtualSensor::Stop() {
  if (thread_.joinable()) {
    const char wake = 1;
    (void)!::write(stopPipe_[1], &wake, 1);
    thread_.join();
  }
  for (int& fd : stopPipe_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  // No lock: the serving thread has ended, and Close waits for the disk.
  if (keeper_) keeper_->Close();
  line_.HangUp();
}

SensorMemory VirtualSensor::Memory() const {
  std::lock_guard lock(mutex_);
  return memory_;
}

void VirtualSensor::EditMemory(const std::function<void(SensorMemory&)>& edit) {
  std::lock_guard lock(mutex_);
  edit(memory_);
  if (keeper_) keeper_->Replaced(memory_);
}

void VirtualSensor::SetFaults(FaultPlan plan) {
  std::lock_guard lock(mutex_);
  faults_.SetPlan(std::move(plan));
}

void VirtualSensor::SetFlashDelay(int milliseconds) {
  std::lock_guard lock(mutex_);
  settings_.flashDelayMs = milliseconds;
}

void VirtualSensor::SetPacing(bool on) {
  std::lock_guard lock(mutex_);
  settings_.pacing = on;
}

unsigned VirtualSensor::OwnBaud() const {
  return state_.load() == SensorState::kMenu ? kMenuBaud : CommunicBaud(settings_.communic);
}

unsigned VirtualSensor::PacingBaud() const {
  std::lock_guard lock(mutex_);
  return settings_.pacing ? OwnBaud() : 0;
}

void VirtualSensor::Trace(const char* direction, const std::uint8_t* bytes, std::size_t count,
                          const std::string& meaning) const {
  if (settings_.trace) settings_.trace(TraceLine(direction, {bytes, count}, meaning));
}

void VirtualSensor::Report(const std::string& text) const {
  if (settings_.report) settings_.report(text);
}

void VirtualSensor::Serve() {
  std::uint8_t chunk[1024];
  auto lastByte = Clock::now();
  for (;;) {
    const bool midFrame = !pending_.empty() || handshakeMatched_ != 0;
    const auto until =
        midFrame ? lastByte + kInterByteTimeout : Clock::now() + std::chrono::hours(1);
    const auto wait = line_.WaitReadable(until, stopPipe_[0]);
    // As close to the bytes' arrival as this side can tell.
    const auto seen = Clock::now();
    if (wait == PtyLine::WaitResult::kStopped) return;
    if (wait == PtyLine::WaitResult::kGone) {
      lineGone_ = true;
      return;
    }
    if (wait == PtyLine::WaitResult::kTimedOut) {
      if (!pending_.empty()) {
        Trace(kTraceFromPc, pending_.data(), pending_.size(), "incomplete frame, dropped");
        pending_.clear();
      }
      handshakeMatched_ = 0;
      continue;
    }
    const int count = line_.ReadAvailable(chunk);
    if (count < 0) {
      lineGone_ = true;
      return;
    }
    if (count == 0) continue;
    // The loader may change the speed at any time and no notice of it comes
    // to this side: judge every arrival by the speed in force now.
    const unsigned lineBaud = line_.LineSpeed();
    if (lineBaud != OwnBaud()) {
      Trace(kTraceFromPc, chunk, static_cast<std::size_t>(count),
            "not understood: line at " + std::to_string(lineBaud) + " baud, sensor at " +
                std::to_string(OwnBaud()));
      pending_.clear();
      handshakeMatched_ = 0;
      continue;
    }
    lastByte = seen;
    arrivals_.Received(static_cast<std::size_t>(count), seen, PacingBaud());
    if (state_.load() == SensorState::kRunning) {
      HandleRunningBytes(chunk, static_cast<std::size_t>(count));
    } else {
      pending_.insert(pending_.end(), chunk, chunk + count);
    }
    ProcessFrames();
    if (lineGone_) return;
  }
}

void VirtualSensor::HandleRunningBytes(const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t b = bytes[i];
    if (b == static_cast<std::uint8_t>(kPcModeRequest[handshakeMatched_])) {
      ++handshakeMatched_;
    } else {
      handshakeMatched_ = b == static_cast<std::uint8_t>(kPcModeRequest[0]) ? 1 : 0;
    }
    if (handshakeMatched_ < kPcModeRequestLength) continue;
    handshakeMatched_ = 0;
    if (!AnswerHandshake(arrivals_.ArrivalOf(count - 1 - i))) continue;
    // What follows the handshake in the same arrival is already a frame.
    pending_.assign(bytes + i + 1, bytes + count);
    return;
  }
  if (count > 0 && handshakeMatched_ == 0) {
    Trace(kTraceFromPc, bytes, count, "ignored: sensor running, not in PC communication");
  }
}

bool VirtualSensor::StartsHandshake() const {
  const std::size_t count = std::min<std::size_t>(pending_.size(), kPcModeRequestLength);
  return std::equal(pending_.begin(), pending_.begin() + static_cast<long>(count),
                    reinterpret_cast<const std::uint8_t*>(kPcModeRequest));
}

bool VirtualSensor::AnswerHandshake(LineClock::time_point arrived) {
  Trace(kTraceFromPc, reinterpret_cast<const std::uint8_t*>(kPcModeRequest), kPcModeRequestLength,
        kTraceHandshakeRequest);
  HandshakeFault fault;
  {
    std::lock_guard lock(mutex_);
    fault = faults_.plan().handshake;
  }
  if (fault == HandshakeFault::kSilence) {
    Trace(kTraceToPc, nullptr, 0, "(no answer: injected fault)");
    return false;
  }
  if (fault == HandshakeFault::kNak) {
    Send({kNakByte, kNakByte + 1}, "NAK (injected fault)", arrived);
    return false;
  }
  // The state changes before the answer leaves: whoever sees ACK STX finds
  // the sensor in PC communication.
  state_ = SensorState::kPcCommunication;
  Send({std::begin(kHandshakeReply), std::end(kHandshakeReply)}, kTraceHandshakeAccepted, arrived);
  return true;
}

void VirtualSensor::ProcessFrames() {
  while (!pending_.empty() && state_.load() != SensorState::kRunning && !lineGone_) {
    if (state_.load() == SensorState::kPcCommunication && StartsHandshake()) {
      if (pending_.size() < kPcModeRequestLength) return;
      // A loader that ended without 0x87 connects again: "CPl" is no
      // command code, so it can only be the handshake.
      const auto arrived = arrivals_.ArrivalOf(pending_.size() - kPcModeRequestLength);
      pending_.erase(pending_.begin(), pending_.begin() + kPcModeRequestLength);
      AnswerHandshake(arrived);
      continue;
    }
    const int payloadLength = CommandPayloadLength(pending_[0]);
    if (payloadLength < 0) {
      DrainAndNak("unknown command code");
      return;
    }
    const std::size_t frameLength = static_cast<std::size_t>(payloadLength) + 2;
    if (pending_.size() < frameLength) return;
    const std::vector<std::uint8_t> frame(pending_.begin(),
                                          pending_.begin() + static_cast<long>(frameLength));
    if (FrameChecksum({frame.data(), frame.size() - 1}) != frame.back()) {
      DrainAndNak("checksum wrong");
      return;
    }
    const auto arrived = arrivals_.ArrivalOf(pending_.size() - frameLength);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(frameLength));
    Execute(frame, arrived);
  }
  if (state_.load() == SensorState::kRunning) pending_.clear();
}

void VirtualSensor::DrainAndNak(const std::string& why) {
  // Throw away the rest of the garbled input first, so that the loader's
  // next frame, sent after it has seen the NAK, starts on a clean line.
  std::vector<std::uint8_t> dropped = std::move(pending_);
  pending_.clear();
  const auto giveUp = Clock::now() + kLongestDrain;
  std::uint8_t chunk[512];
  for (;;) {
    const auto quietUntil = std::min(Clock::now() + kQuietBeforeNak, giveUp);
    const auto wait = line_.WaitReadable(quietUntil, stopPipe_[0]);
    if (wait == PtyLine::WaitResult::kStopped) return;
    if (wait == PtyLine::WaitResult::kGone) {
      lineGone_ = true;
      return;
    }
    if (wait == PtyLine::WaitResult::kTimedOut) break;
    const auto seen = Clock::now();
    const int count = line_.ReadAvailable(chunk);
    if (count > 0) {
      dropped.insert(dropped.end(), chunk, chunk + count);
      arrivals_.Received(static_cast<std::size_t>(count), seen, PacingBaud());
    }
    if (Clock::now() >= giveUp) break;
  }
  Trace(kTraceFromPc, dropped.data(), dropped.size(), why);
  Send({kNakByte, kNakByte + 1}, "NAK", arrivals_.ArrivalOf(0));
}

void VirtualSensor::Execute(const std::vector<std::uint8_t>& frame,
                            LineClock::time_point arrived) {
  Trace(kTraceFromPc, frame.data(), frame.size(), DescribeCommand(frame));
  if (settings_.onCommand) settings_.onCommand(frame);
  FaultTracker::Hit hit;
  CommandOutcome outcome;
  int flashDelayMs;
  {
    std::lock_guard lock(mutex_);
    hit = faults_.OnCommand(frame[0]);
    flashDelayMs = settings_.flashDelayMs;
    if (!(hit.reply && hit.reply->kind == FaultKind::kHangUp)) {
      outcome = HandleCommand(memory_, frame, hit.storeWrong);
      if (outcome.storedChanged) KeepStoredItem(frame);
    }
  }
  if (hit.reply && hit.reply->kind == FaultKind::kHangUp) {
    Trace(kTraceToPc, nullptr, 0, "(hanging up the line: injected fault)");
    lineGone_ = true;
    line_.HangUp();
    return;
  }
  if (outcome.nak) {
    Send({kNakByte, kNakByte + 1}, "NAK: unknown selector or set index", arrived);
    return;
  }
  // A sensor in its "PC LOAD/SAVE" menu stays there until an operator leaves
  // the menu; one reached through the handshake runs again. Either way the
  // change is made before any reply leaves.
  if (outcome.resume && state_.load() == SensorState::kPcCommunication) {
    state_ = SensorState::kRunning;
  }
  // The flash store starts when the command is in; its reply follows it.
  auto replyAt = arrived;
  if (outcome.flashCommit) replyAt += std::chrono::milliseconds(flashDelayMs);
  std::vector<std::uint8_t> reply = AckFrame(outcome.payload);
  std::string meaning = DescribeAck(outcome.payload.size());
  if (hit.reply) {
    const std::string injected = std::string(" (injected fault: ") +
                                 FaultKindName(hit.reply->kind) + ")";
    switch (hit.reply->kind) {
      case FaultKind::kNoReply:
        Trace(kTraceToPc, nullptr, 0, "(no reply: injected fault)");
        return;
      case FaultKind::kCutShort:
        reply.resize(std::max<std::size_t>(1, reply.size() / 2));
        break;
      case FaultKind::kWrongFirstByte:
        reply[0] = kWrongFirstByte;
        break;
      case FaultKind::kBadChecksum:
        reply.back() = static_cast<std::uint8_t>(reply.back() ^ 0xFF);
        break;
      case FaultKind::kDelay:
        replyAt += std::chrono::milliseconds(hit.reply->delayMs);
        break;
      case FaultKind::kHangUp:
      case FaultKind::kStoreWrong:
        break;
    }
    meaning += injected;
  }
  Send(reply, meaning, replyAt);
}

void VirtualSensor::KeepStoredItem(const std::vector<std::uint8_t>& frame) {
  if (!keeper_) return;
  if (frame[0] == kCmdWriteParamSet.code) {
    keeper_->Stored(StoredParamSet(memory_, frame[1]));
  } else if (const auto slot = ImageForSelector(frame[1])) {
    keeper_->Stored(StoredImage(memory_, *slot));
  }
}

void VirtualSensor::Send(const std::vector<std::uint8_t>& bytes, const std::string& meaning,
                         LineClock::time_point earliest) {
  // The trace shows the reply when it starts to leave, after any delay.
  if (!line_.WaitUntil(earliest, stopPipe_[0])) return;
  Trace(kTraceToPc, bytes.data(), bytes.size(), meaning);
  if (line_.Write(bytes, PacingBaud(), earliest, stopPipe_[0]) == PtyLine::WriteResult::kGone) {
    lineGone_ = true;
  }
}

}  // namespace zema::sim
