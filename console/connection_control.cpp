#include "console/connection_control.h"

#include <iterator>
#include <utility>

#include "link/commands.h"
#include "link/line_mode.h"
#include "link/network_address.h"
#include "link/serial_port.h"
#include "res/messages.h"

namespace zema {

namespace {

using Outcome = ConnectionOutcome::Result;

// Parity field (bits 8-10) = 1: no parity. The speed code goes in bits 0-3.
constexpr std::uint32_t kNoParity = 0x100;

// Speed codes of the LineMode word for the speed list entries, whose number
// in parentheses is the sensor's own COMMUNIC setting.
constexpr int kSpeedCodes[] = {6, 7, 9, 10, 12};  // 4800 .. 57600 baud

ConnectionOutcome Ending(Outcome result, std::optional<Failure> failure) {
  return {result, std::move(failure), SensorLink()};
}

// A port that did not take the speed the sensor talks at (a raw network
// socket runs at whatever its server is set to) explains the silence that
// follows better than any guess about cables: the detail says so instead.
void NoteSpeedNotTaken(const SensorLink& link, std::uint32_t lineMode, Failure& failure) {
  if (!link.Port().LineGoneDetail().empty()) return;
  const std::string device = link.Port().Device();
  failure.detail = device + ": the port did not take " +
                   std::to_string(BaudRateForCode(DecodeLineMode(lineMode).baudCode)) +
                   " baud, so the line runs at the speed it had";
  std::string why;
  const auto address = zema::ParseNetworkUrl(device, why);
  if (address && address->protocol == zema::NetworkProtocol::RawSocket) {
    failure.detail +=
        " (socket:// cannot change the speed: set the device server's port to it, "
        "or use rfc2217://)";
  }
}

// Command mode: stop the sensor's operation and switch it into PC
// communication mode. None when done, else why not; the link is then closed.
// `speedTaken`: whether the port took the chosen speed.
std::optional<ConnectionOutcome> SwitchToPcMode(SensorLink& link, int speedListIndex,
                                                OperatorDialogs& dialogs, bool& speedTaken) {
  if (!dialogs.AskYesNo(kMsgAgreeStopOperation, LoadMessage(kMsgAgreeStopOperation),
                        kCaptionWarning, BoxIcon::Warning)) {
    link.Close();
    return Ending(Outcome::Declined, std::nullopt);
  }
  const std::uint32_t lineMode = CommandModeLineMode(speedListIndex);
  if (lineMode == 0) {
    link.Close();
    return Ending(Outcome::Failed, MessageFailure(kMsgBaudRateInvalid));
  }
  speedTaken = link.Port().SetLineMode(lineMode);
  link.Port().PurgeInput();
  std::optional<Failure> handshake = link.EnterPcMode();
  if (!handshake) return std::nullopt;
  if (!speedTaken) NoteSpeedNotTaken(link, lineMode, *handshake);

  // The sensor did not answer the handshake: the operator may have put it
  // into "PC LOAD/SAVE" by hand meanwhile, in which case the link is
  // confirmed on the speed already set.
  if (!dialogs.AskYesNo(kMsgIfPcLoadSave, handshake->text + LoadMessage(kMsgIfPcLoadSave),
                        kCaptionError, BoxIcon::Warning)) {
    link.Close();
    return Ending(Outcome::Declined, handshake);
  }
  return std::nullopt;
}

}  // namespace

std::uint32_t CommandModeLineMode(int speedListIndex) {
  if (speedListIndex < 0 || speedListIndex >= static_cast<int>(std::size(kSpeedCodes))) {
    return 0;
  }
  return kNoParity + static_cast<std::uint32_t>(kSpeedCodes[speedListIndex]);
}

ConnectionOutcome ConnectSensor(int portListIndex, bool commandMode, int speedListIndex,
                                OperatorDialogs& dialogs) {
  Result<SensorLink> opened = SensorLink::OpenCom(portListIndex + 1);
  if (!opened.ok()) return Ending(Outcome::Failed, std::move(opened.failure));
  SensorLink& link = opened.value;

  bool speedTaken = true;
  const std::uint32_t lineMode =
      commandMode ? CommandModeLineMode(speedListIndex) : kLineMode57600NoParity;
  if (commandMode) {
    if (std::optional<ConnectionOutcome> refused =
            SwitchToPcMode(link, speedListIndex, dialogs, speedTaken)) {
      return std::move(*refused);
    }
  } else {
    speedTaken = link.Port().SetLineMode(lineMode);
  }

  link.Port().PurgeInput();
  if (Result<Reply> confirmed = link.Exchange(kCmdConfirm); !confirmed.ok()) {
    if (!speedTaken) NoteSpeedNotTaken(link, lineMode, *confirmed.failure);
    link.Close();
    return Ending(Outcome::Failed, std::move(confirmed.failure));
  }
  return {Outcome::Done, std::nullopt, std::move(link)};
}

std::optional<Failure> ResumeSensor(SensorLink& link) {
  std::optional<Failure> failure = link.Exchange(kCmdResume).failure;
  link.Close();
  return failure;
}

bool CloseVanishedPort(SensorLink& link) {
  if (link.Port().LineGoneDetail().empty()) return false;
  link.Close();
  return true;
}

}  // namespace zema
