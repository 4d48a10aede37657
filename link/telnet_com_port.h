// The Telnet side of a serial port on a serial device server (RFC 2217,
// the Telnet COM-PORT option): the bytes a client sends to negotiate and
// to set the remote port's line, and the filter that takes the serial data
// out of what the server sends.
//
// Serial data travels with every 0xFF doubled (Telnet's IAC) in both
// directions; the sensor's parameter values and image bytes contain 0xFF,
// and one lost or doubled byte fails a checksum. Nothing here waits for
// the server: a request the server leaves unanswered (as ser2net does for
// DTR and RTS in front of a terminal that cannot carry them out) is no
// failure, and the data never waits for an answer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "link/line_mode.h"

namespace zema {

namespace telnet {
constexpr std::uint8_t kIac = 255;
constexpr std::uint8_t kDont = 254;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kWont = 252;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kSb = 250;
constexpr std::uint8_t kSe = 240;
constexpr std::uint8_t kBinary = 0;
constexpr std::uint8_t kSuppressGoAhead = 3;
constexpr std::uint8_t kComPortOption = 44;

// COM-PORT-OPTION commands from the client; the server answers each with
// the same command plus 100, giving the value it now uses.
constexpr std::uint8_t kSetBaudRate = 1;
constexpr std::uint8_t kSetDataSize = 2;
constexpr std::uint8_t kSetParity = 3;
constexpr std::uint8_t kSetStopSize = 4;
constexpr std::uint8_t kSetControl = 5;
constexpr std::uint8_t kPurgeData = 12;
constexpr std::uint8_t kServerOffset = 100;

// SET-CONTROL values this program uses.
constexpr std::uint8_t kNoFlowControl = 1;
constexpr std::uint8_t kXonXoffFlowControl = 2;
constexpr std::uint8_t kHardwareFlowControl = 3;
constexpr std::uint8_t kDtrOn = 8;
constexpr std::uint8_t kDtrOff = 9;
constexpr std::uint8_t kRtsOn = 11;
constexpr std::uint8_t kRtsOff = 12;
constexpr std::uint8_t kNoInboundFlowControl = 14;

// PURGE-DATA: the server's buffer of what the serial port received.
constexpr std::uint8_t kPurgeReceived = 1;
}  // namespace telnet

class TelnetComPort {
 public:
  // What a client sends first: it will and asks the server to use binary
  // transmission both ways, and it will use the COM-PORT option.
  static std::vector<std::uint8_t> Greeting();

  // The requests that give the remote port the line a LineMode word
  // describes (speed, data bits, parity, stop bits, DTR, RTS, flow
  // control), in the order the option recommends; fields left as they are
  // send nothing.
  static std::vector<std::uint8_t> LineRequests(const LineModeFields& fields);
  static std::vector<std::uint8_t> PurgeReceived();

  // Appends `data` to `out` with every 0xFF doubled.
  static void AppendEscaped(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out);

  // Takes bytes as they came from the server, in pieces of any size:
  // appends the serial data among them to `data`, and to `answer` what
  // the client must send back to the server's negotiation.
  void Receive(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& data,
               std::vector<std::uint8_t>& answer);

  // What the server has said so far.
  bool comPortAccepted() const { return comPortAccepted_; }
  bool comPortRefused() const { return comPortRefused_; }
  bool binaryAccepted() const { return serverDoesBinary_ && serverTakesBinary_; }
  std::optional<std::uint32_t> baudRate() const { return baudRate_; }

 private:
  enum class State { Data, Command, Option, Subnegotiation, SubnegotiationCommand };

  void Negotiate(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& answer);
  void Subnegotiated();

  State state_ = State::Data;
  std::uint8_t verb_ = 0;
  std::vector<std::uint8_t> subnegotiation_;
  bool comPortAccepted_ = false;
  bool comPortRefused_ = false;
  bool serverDoesBinary_ = false;
  bool serverTakesBinary_ = false;
  bool suppressGoAhead_ = false;
  std::optional<std::uint32_t> baudRate_;
};

}  // namespace zema
