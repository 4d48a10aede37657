#include "link/telnet_com_port.h"

namespace zema {

using namespace telnet;

namespace {

void AppendSubnegotiation(std::uint8_t command, std::span<const std::uint8_t> value,
                          std::vector<std::uint8_t>& out) {
  out.insert(out.end(), {kIac, kSb, kComPortOption, command});
  TelnetComPort::AppendEscaped(value, out);
  out.insert(out.end(), {kIac, kSe});
}

void AppendControl(std::uint8_t value, std::vector<std::uint8_t>& out) {
  AppendSubnegotiation(kSetControl, std::span(&value, 1), out);
}

// The option numbers stop bits by 1 = one, 2 = two, 3 = one and a half; the
// LineMode word by 1 = one, 2 = one and a half, 3 = two.
std::uint8_t StopSizeFor(int stopBitsCode) {
  static constexpr std::uint8_t kSizes[] = {0, 1, 3, 2};
  return stopBitsCode >= 1 && stopBitsCode <= 3 ? kSizes[stopBitsCode] : 0;
}

}  // namespace

std::vector<std::uint8_t> TelnetComPort::Greeting() {
  return {kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill, kComPortOption};
}

void TelnetComPort::AppendEscaped(std::span<const std::uint8_t> data,
                                  std::vector<std::uint8_t>& out) {
  for (std::uint8_t byte : data) {
    out.push_back(byte);
    if (byte == kIac) out.push_back(kIac);
  }
}

std::vector<std::uint8_t> TelnetComPort::LineRequests(const LineModeFields& fields) {
  std::vector<std::uint8_t> out;
  if (const unsigned baud = BaudRateForCode(fields.baudCode); baud != 0) {
    const std::uint8_t value[] = {
        static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
        static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)};
    AppendSubnegotiation(kSetBaudRate, value, out);
  }
  if (const int bits = DataBitsForCode(fields.dataBits); bits != 0) {
    const auto value = static_cast<std::uint8_t>(bits);
    AppendSubnegotiation(kSetDataSize, std::span(&value, 1), out);
  }
  if (fields.parity >= 1 && fields.parity <= 5) {  // the same numbering
    const auto value = static_cast<std::uint8_t>(fields.parity);
    AppendSubnegotiation(kSetParity, std::span(&value, 1), out);
  }
  if (const std::uint8_t value = StopSizeFor(fields.stopBits); value != 0) {
    AppendSubnegotiation(kSetStopSize, std::span(&value, 1), out);
  }
  if (fields.ctsFlowOn) {
    AppendControl(kHardwareFlowControl, out);
  } else if (fields.xonXoff == 1) {
    AppendControl(kXonXoffFlowControl, out);
  } else if (fields.ctsFlowOff || fields.xonXoff == 2) {
    AppendControl(kNoFlowControl, out);
    AppendControl(kNoInboundFlowControl, out);
  }
  if (fields.dtr == 1 || fields.dtr == 2) AppendControl(fields.dtr == 2 ? kDtrOn : kDtrOff, out);
  if (fields.rts == 1 || fields.rts == 2) AppendControl(fields.rts == 2 ? kRtsOn : kRtsOff, out);
  return out;
}

std::vector<std::uint8_t> TelnetComPort::PurgeReceived() {
  std::vector<std::uint8_t> out;
  const std::uint8_t value = kPurgeReceived;
  AppendSubnegotiation(kPurgeData, std::span(&value, 1), out);
  return out;
}

void TelnetComPort::Receive(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& data,
                            std::vector<std::uint8_t>& answer) {
  for (std::uint8_t byte : bytes) {
    switch (state_) {
      case State::Data:
        if (byte == kIac) {
          state_ = State::Command;
        } else {
          data.push_back(byte);
        }
        break;
      case State::Command:
        state_ = State::Data;
        if (byte == kIac) {
          data.push_back(kIac);
        } else if (byte >= kWill && byte <= kDont) {
          verb_ = byte;
          state_ = State::Option;
        } else if (byte == kSb) {
          subnegotiation_.clear();
          state_ = State::Subnegotiation;
        }  // anything else (NOP, GA, a stray SE) carries nothing for us
        break;
      case State::Option:
        Negotiate(verb_, byte, answer);
        state_ = State::Data;
        break;
      case State::Subnegotiation:
        if (byte == kIac) {
          state_ = State::SubnegotiationCommand;
        } else {
          subnegotiation_.push_back(byte);
        }
        break;
      case State::SubnegotiationCommand:
        if (byte == kIac) {
          subnegotiation_.push_back(kIac);
          state_ = State::Subnegotiation;
        } else {
          // IAC SE ends it; any other command there ends a malformed one.
          Subnegotiated();
          state_ = State::Data;
        }
        break;
    }
  }
}

// The greeting asked for binary both ways and offered COM-PORT; what comes
// back for those is the server's answer and needs none. Any other option
// the server offers or asks for is refused, except suppressing go-ahead,
// which costs nothing; what it switches off was never on.
void TelnetComPort::Negotiate(std::uint8_t verb, std::uint8_t option,
                              std::vector<std::uint8_t>& answer) {
  const bool on = verb == kWill || verb == kDo;
  if (option == kBinary) {
    (verb == kWill || verb == kWont ? serverDoesBinary_ : serverTakesBinary_) = on;
  } else if (option == kComPortOption && (verb == kDo || verb == kDont)) {
    comPortAccepted_ = on;
    comPortRefused_ = !on;
  } else if (verb == kWill && option == kSuppressGoAhead) {
    if (!suppressGoAhead_) answer.insert(answer.end(), {kIac, kDo, option});
    suppressGoAhead_ = true;
  } else if (verb == kWill) {
    answer.insert(answer.end(), {kIac, kDont, option});
  } else if (verb == kDo) {
    answer.insert(answer.end(), {kIac, kWont, option});
  }
}

// Of the server's COM-PORT messages only the speed it now uses is kept;
// its other acknowledgements and its line and modem notifications change
// nothing here.
void TelnetComPort::Subnegotiated() {
  const std::vector<std::uint8_t>& s = subnegotiation_;
  if (s.size() == 6 && s[0] == kComPortOption && s[1] == kServerOffset + kSetBaudRate) {
    baudRate_ = static_cast<std::uint32_t>(s[2]) << 24 | static_cast<std::uint32_t>(s[3]) << 16 |
                static_cast<std::uint32_t>(s[4]) << 8 | s[5];
  }
}

}  // namespace zema
