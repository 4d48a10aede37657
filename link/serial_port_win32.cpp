// Win32 backend of the serial port driver (the communications API).
//
// The Windows build is also run under Wine (8.0, Debian 12), with a
// pseudo-terminal as the COM port. Where Wine's communications calls differ
// from Windows', the difference is written down beside the call it
// concerns, as measured there; the code handles those that would otherwise
// report a setting as applied that is not.
#include <windows.h>

#include <chrono>
#include <string>

#include "link/failure.h"
#include "link/serial_port_backend.h"
#include "res/messages.h"

namespace serial_backend {

namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";

// A read or write fails only when the device has gone (a USB adapter pulled
// out: access denied, bad command, device not connected); a time-out is a
// success with fewer bytes. An aborted request is a line error the driver
// clears for the next call, not a lost line.
void NoteFailure(NativePort& native) {
  const DWORD error = GetLastError();
  if (error == ERROR_OPERATION_ABORTED) {
    DWORD errors = 0;
    ClearCommError(native.handle, &errors, nullptr);
    return;
  }
  native.gone = WindowsErrorText(error);
}

}  // namespace

// The "\\.\" prefix lets ports above COM9 open as well.
std::string DefaultDevice(int port) { return kDevicePrefix + ("COM" + std::to_string(port)); }

// A user knows "COM9", not the name the program opens it by.
std::string DeviceForDetail(const std::string& device) {
  const std::string prefix = kDevicePrefix;
  return device.compare(0, prefix.size(), prefix) == 0 ? device.substr(prefix.size()) : device;
}

bool OpenDevice(const std::string& device, int inQueueSize, int outQueueSize, NativePort& native,
                int& systemError) {
  // Share mode 0 makes the port this program's alone: Windows refuses a
  // second open, from any program, with ERROR_ACCESS_DENIED. Wine does not
  // keep a COM port to one opener: a second CreateFileA succeeds, in this
  // process or another. No Win32 call can add that lock, so under Wine only
  // the port table keeps this program from opening a port twice.
  HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    systemError = static_cast<int>(GetLastError());
    return false;
  }
  // Wine accepts and ignores the queue sizes; the tty's buffers are larger.
  SetupComm(handle, static_cast<DWORD>(inQueueSize), static_cast<DWORD>(outQueueSize));
  native.handle = handle;
  return true;
}

// Windows' own words, and what they mean for a COM port where they do not
// say it: a port that exists but is held by another program is refused with
// "Access is denied.", a COM number without a port with "The system cannot
// find the file specified.".
std::string DescribeOpenFailure(int /*port*/, const std::string& device, bool bound,
                                int systemError) {
  const auto error = static_cast<DWORD>(systemError);
  std::string detail = DeviceForDetail(device) + ": " + WindowsErrorText(error);
  if (error == ERROR_ACCESS_DENIED) detail += " " + LoadMessage(kMsgPortInUse);
  if (error == ERROR_FILE_NOT_FOUND && !bound) detail += " " + LoadMessage(kMsgNoSuchComPort);
  return detail;
}

// A handle opened without sharing holds the port only while it is open;
// the system closes it when the process ends, however it ends.
void ReleaseAllExclusive() {}

CloseOutcome CloseDevice(NativePort& native) {
  return CloseHandle(native.handle) ? CloseOutcome::Closed : CloseOutcome::RefusedStillOpen;
}

bool ReadLineState(const NativePort& native, LineState& state) {
  state.original = DCB{};
  state.original.DCBlength = sizeof(state.original);
  if (!GetCommState(native.handle, &state.original)) return false;
  state.dcb = state.original;
  return true;
}

bool SetSpeed(LineState& state, unsigned baud) {
  // Wine sets a speed that has no termios constant (14400, 56000, 128000,
  // 256000 baud) as 38400 and still reports success; WriteLineState reads
  // the speed back to find out.
  state.dcb.BaudRate = baud;
  return true;
}

bool SetParity(LineState& state, int parityCode) {
  // Wine maps mark and space parity onto CMSPAR, as the POSIX backend does.
  // Whether it replaces a byte with a parity error cannot be seen on a
  // pseudo-terminal, which carries no parity. A pseudo-terminal also drops
  // PARENB, so Wine's GetCommState reads its parity back wrong there (an
  // odd, mark or space setting comes back as a value no DCB defines).
  static constexpr BYTE kParity[] = {0, NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
  DCB& dcb = state.dcb;
  dcb.Parity = kParity[parityCode];
  const bool checked = parityCode != 1;
  dcb.fParity = checked;
  dcb.fErrorChar = checked;
  dcb.ErrorChar = ' ';  // a byte with a parity error arrives as a blank
  return true;
}

bool SetStopBits(LineState& state, int stopBitsCode) {
  // Wine has no one and a half stop bits (termios has none) and sends two,
  // as the POSIX backend does; Windows' driver takes 1.5 with 5 data bits.
  static constexpr BYTE kStopBits[] = {0, ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
  state.dcb.StopBits = kStopBits[stopBitsCode];
  return true;
}

bool SetDataBits(LineState& state, int dataBits) {
  // The driver decides in SetCommState whether it can send such characters.
  // Wine refuses 4 (ERROR_NOT_SUPPORTED), and on a pseudo-terminal, which
  // always carries 8 bits, also 6 and 7 (ERROR_INVALID_PARAMETER).
  state.dcb.ByteSize = static_cast<BYTE>(dataBits);
  return true;
}

bool SetFlowControl(LineState& state, const LineModeFields& f) {
  DCB& dcb = state.dcb;
  switch (f.dtr) {
    case 1: dcb.fDtrControl = DTR_CONTROL_DISABLE; break;
    case 2: dcb.fDtrControl = DTR_CONTROL_ENABLE; break;
    case 3: dcb.fDtrControl = DTR_CONTROL_HANDSHAKE; break;
    default: break;
  }
  switch (f.rts) {
    case 1: dcb.fRtsControl = RTS_CONTROL_DISABLE; break;
    case 2: dcb.fRtsControl = RTS_CONTROL_ENABLE; break;
    case 3: dcb.fRtsControl = RTS_CONTROL_HANDSHAKE; break;
    // Wine refuses the whole block with RTS toggle (ERROR_NOT_SUPPORTED),
    // so such a word is refused under Wine; Windows' driver takes it.
    case 4: dcb.fRtsControl = RTS_CONTROL_TOGGLE; break;
    default: break;
  }
  if (f.ctsFlowOn) dcb.fOutxCtsFlow = TRUE;
  if (f.ctsFlowOff) dcb.fOutxCtsFlow = FALSE;
  if (f.dsrFlowOn) dcb.fOutxDsrFlow = TRUE;
  if (f.dsrFlowOff) dcb.fOutxDsrFlow = FALSE;
  if (f.xonXoff == 1 || f.xonXoff == 2) {
    const BOOL on = f.xonXoff == 1;
    dcb.fOutX = on;
    dcb.fInX = on;
    dcb.fTXContinueOnXoff = FALSE;
  }
  return true;
}

bool WriteLineState(NativePort& native, const LineState& state) {
  // SetCommState takes the whole block or nothing.
  DCB dcb = state.dcb;
  if (!SetCommState(native.handle, &dcb)) return false;
  // A driver reports the speed it was given. Wine reports the speed it reads
  // back from the tty, which differs when it quietly replaced a speed it
  // cannot set: then the port is put back as it was and the block counts as
  // refused, rather than the line running at a speed nobody asked for.
  DCB now{};
  now.DCBlength = sizeof(now);
  if (!GetCommState(native.handle, &now) || now.BaudRate == state.dcb.BaudRate) return true;
  DCB original = state.original;
  SetCommState(native.handle, &original);
  return false;
}

// Measured under Wine on a pseudo-terminal with interval and total time-out
// both set: a read ends as soon as its count has arrived, or at the
// time-out with what arrived (0 bytes and TRUE on a silent line), 1 to 3 ms
// after it for time-outs from 10 to 1000 ms, as on Windows. So one ReadFile
// per read is right on both (ReadBytes takes a read up again only where
// Wine cut it short).
bool SetReadTimeouts(NativePort& native, int intervalMs, int totalMs) {
  COMMTIMEOUTS timeouts{};
  if (!GetCommTimeouts(native.handle, &timeouts)) return false;
  timeouts.ReadIntervalTimeout = static_cast<DWORD>(intervalMs);
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(totalMs);
  if (!SetCommTimeouts(native.handle, &timeouts)) return false;
  native.readIntervalMs = intervalMs;
  native.readTimeoutMs = totalMs;
  return true;
}

bool SetWriteTimeout(NativePort& native, int milliseconds) {
  COMMTIMEOUTS timeouts{};
  if (!GetCommTimeouts(native.handle, &timeouts)) return false;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(milliseconds);
  return SetCommTimeouts(native.handle, &timeouts) != 0;
}

int WaitingBytes(NativePort& native) {
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(native.handle, &errors, &status)) {
    NoteFailure(native);
    return 0;
  }
  return static_cast<int>(status.cbInQue);
}

// Wine ends a ReadFile early, with what has arrived so far and TRUE, when a
// signal reaches the thread: a Ctrl-C (SIGINT, which Wine turns into
// CTRL_C_EVENT) cut a reply short and the run failed with a checksum error
// instead of stopping. Windows ends a read only at its count or its
// time-out: as interval and total time-out are the same, a read that came
// back short well before the time-out was interrupted, and it is taken up
// again for the rest, with what is left of the time-out. On Windows the
// loop runs once.
int ReadBytes(NativePort& native, void* buffer, int count) {
  using Clock = std::chrono::steady_clock;
  // Windows' timers may end a wait up to a clock tick early.
  constexpr auto kTimerSlack = std::chrono::milliseconds(20);
  auto* bytes = static_cast<char*>(buffer);
  const int timeoutMs = native.readTimeoutMs;  // 0: none, the read waits for its count
  const int intervalMs = native.readIntervalMs;
  // A gap shorter than the whole time-out ends a read early by design.
  const bool resumable = intervalMs == timeoutMs;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  int received = 0;
  bool shortened = false;
  while (received < count) {
    DWORD transferred = 0;
    const auto wanted = static_cast<DWORD>(count - received);
    if (!ReadFile(native.handle, bytes + received, wanted, &transferred, nullptr)) {
      NoteFailure(native);
      break;
    }
    received += static_cast<int>(transferred);
    if (received == count || timeoutMs == 0) continue;
    if (!resumable) break;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left <= kTimerSlack) break;  // the time-out passed
    const int leftMs = static_cast<int>(left.count());
    shortened = SetReadTimeouts(native, leftMs, leftMs) || shortened;
  }
  if (shortened) SetReadTimeouts(native, intervalMs, timeoutMs);
  return received;
}

int WriteBytes(NativePort& native, const void* buffer, int count) {
  // The driver completes the write when it has passed the bytes on to the
  // line or when the write time-out has passed; the count is what it passed on.
  // Wine hands the bytes to the tty's buffer and reports the whole count.
  DWORD transferred = 0;
  if (!WriteFile(native.handle, buffer, static_cast<DWORD>(count), &transferred, nullptr)) {
    NoteFailure(native);
  }
  return static_cast<int>(transferred);
}

bool DiscardInput(NativePort& native) { return PurgeComm(native.handle, PURGE_RXCLEAR) != 0; }

}  // namespace serial_backend
