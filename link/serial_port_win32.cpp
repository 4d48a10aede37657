// Win32 backend of the serial port driver (the communications API).
#include <windows.h>

#include <string>

#include "link/serial_port_backend.h"

namespace serial_backend {

namespace {

// The system's own words for an error code, without the line end it adds.
std::string SystemText(int code) {
  char text[512] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  std::string words(text, length);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ')) {
    words.pop_back();
  }
  return words.empty() ? "error " + std::to_string(code) : words;
}

}  // namespace

// The "\\.\" prefix lets ports above COM9 open as well.
std::string DefaultDevice(int port) { return "\\\\.\\COM" + std::to_string(port); }

bool OpenDevice(const std::string& device, int inQueueSize, int outQueueSize, NativePort& native,
                int& systemError) {
  HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    systemError = static_cast<int>(GetLastError());
    return false;
  }
  SetupComm(handle, static_cast<DWORD>(inQueueSize), static_cast<DWORD>(outQueueSize));
  native.handle = handle;
  return true;
}

std::string DescribeOpenFailure(int port, const std::string& device, bool bound,
                                int systemError) {
  if (!bound && systemError == ERROR_FILE_NOT_FOUND) {
    return "this computer has no COM" + std::to_string(port);
  }
  // A port that exists but is held by another program is refused this way.
  if (systemError == ERROR_ACCESS_DENIED) return device + ": in use by another program";
  return device + ": " + SystemText(systemError);
}

CloseOutcome CloseDevice(NativePort& native) {
  return CloseHandle(native.handle) ? CloseOutcome::Closed : CloseOutcome::RefusedStillOpen;
}

bool ReadLineState(const NativePort& native, LineState& state) {
  state.dcb = DCB{};
  state.dcb.DCBlength = sizeof(state.dcb);
  return GetCommState(native.handle, &state.dcb) != 0;
}

bool SetSpeed(LineState& state, unsigned baud) {
  state.dcb.BaudRate = baud;
  return true;
}

bool SetParity(LineState& state, int parityCode) {
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
  static constexpr BYTE kStopBits[] = {0, ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
  state.dcb.StopBits = kStopBits[stopBitsCode];
  return true;
}

bool SetDataBits(LineState& state, int dataBits) {
  // The driver decides in SetCommState whether it can send such characters.
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
  return SetCommState(native.handle, &dcb) != 0;
}

bool SetReadTimeouts(NativePort& native, int milliseconds) {
  COMMTIMEOUTS timeouts{};
  if (!GetCommTimeouts(native.handle, &timeouts)) return false;
  timeouts.ReadIntervalTimeout = static_cast<DWORD>(milliseconds);
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(milliseconds);
  return SetCommTimeouts(native.handle, &timeouts) != 0;
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
  if (!ClearCommError(native.handle, &errors, &status)) return 0;
  return static_cast<int>(status.cbInQue);
}

int ReadBytes(NativePort& native, void* buffer, int count) {
  DWORD transferred = 0;
  ReadFile(native.handle, buffer, static_cast<DWORD>(count), &transferred, nullptr);
  return static_cast<int>(transferred);
}

int WriteBytes(NativePort& native, const void* buffer, int count) {
  // The driver completes the write when it has passed the bytes on to the
  // line or when the write time-out has passed; the count is what it passed on.
  DWORD transferred = 0;
  WriteFile(native.handle, buffer, static_cast<DWORD>(count), &transferred, nullptr);
  return static_cast<int>(transferred);
}

bool DiscardInput(NativePort& native) { return PurgeComm(native.handle, PURGE_RXCLEAR) != 0; }

}  // namespace serial_backend
