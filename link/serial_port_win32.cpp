// Win32 backend of the serial port driver (the communications API).
#include <windows.h>

#include <array>
#include <string>

#include "link/line_mode.h"
#include "link/serial_port.h"

namespace {

struct PortEntry {
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool open = false;
};

// Entry n belongs to port n; entry 0 is never used.
std::array<PortEntry, kLastPort + 1> g_ports;

PortEntry* UsablePort(int port) {
  if (port < kFirstPort || port > kLastPort) return nullptr;
  PortEntry& entry = g_ports[static_cast<std::size_t>(port)];
  return entry.open ? &entry : nullptr;
}

// Applies the decoded fields to the device control block. Returns false for
// field values the driver cannot take.
bool ApplyFields(const LineModeFields& f, DCB& dcb) {
  if (f.baudCode != 0) dcb.BaudRate = BaudRateForCode(f.baudCode);

  switch (f.stopBits) {
    case 1: dcb.StopBits = ONESTOPBIT; break;
    case 2: dcb.StopBits = ONE5STOPBITS; break;
    case 3: dcb.StopBits = TWOSTOPBITS; break;
    default: break;
  }

  static constexpr BYTE kParity[] = {0, NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
  if (f.parity >= 1 && f.parity <= 5) {
    dcb.Parity = kParity[f.parity];
    const bool checked = f.parity != 1;
    dcb.fParity = checked;
    dcb.fErrorChar = checked;
    dcb.ErrorChar = ' ';  // a byte with a parity error arrives as a blank
  } else if (f.parity != 0) {
    return false;
  }

  if (f.dataBits >= 1 && f.dataBits <= 5) {
    dcb.ByteSize = static_cast<BYTE>(DataBitsForCode(f.dataBits));
  } else if (f.dataBits != 0) {
    return false;
  }

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

}  // namespace

bool ComIsUnusable(int port) { return UsablePort(port) == nullptr; }

int ComOpen(int port, int inQueueSize, int outQueueSize) {
  if (port < kFirstPort || port > kLastPort) return kOpenBadNumber;
  PortEntry& entry = g_ports[static_cast<std::size_t>(port)];
  if (entry.open) return kOpenAlreadyOpen;

  // The "\\.\" prefix lets ports above COM9 open as well.
  const std::string device = "\\\\.\\COM" + std::to_string(port);
  HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kOpenDeviceFailed;
  SetupComm(handle, static_cast<DWORD>(inQueueSize), static_cast<DWORD>(outQueueSize));

  entry.handle = handle;
  entry.open = true;
  ApplyOpenDefaults(port);
  return kOpenOk;
}

int ComClose(int port) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  if (!CloseHandle(entry->handle)) return kComSystemRefused;
  *entry = PortEntry{};
  return kComOk;
}

int ComSetMode(int port, std::uint32_t lineMode) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  DCB dcb{};
  dcb.DCBlength = sizeof(dcb);
  if (!GetCommState(entry->handle, &dcb)) return kComSystemRefused;
  if (!ApplyFields(DecodeLineMode(lineMode), dcb)) return kComSystemRefused;
  return SetCommState(entry->handle, &dcb) ? kComOk : kComSystemRefused;
}

int ComSetReadTimeout(int port, int milliseconds) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  COMMTIMEOUTS timeouts{};
  if (!GetCommTimeouts(entry->handle, &timeouts)) return kComSystemRefused;
  timeouts.ReadIntervalTimeout = static_cast<DWORD>(milliseconds);
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(milliseconds);
  return SetCommTimeouts(entry->handle, &timeouts) ? kComOk : kComSystemRefused;
}

int ComSetWriteTimeout(int port, int milliseconds) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  COMMTIMEOUTS timeouts{};
  if (!GetCommTimeouts(entry->handle, &timeouts)) return kComSystemRefused;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(milliseconds);
  return SetCommTimeouts(entry->handle, &timeouts) ? kComOk : kComSystemRefused;
}

int ComRxCount(int port) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return 0;
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(entry->handle, &errors, &status)) return 0;
  return static_cast<int>(status.cbInQue);
}

int ComRead(int port, void* buffer, int count) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr || count <= 0) return 0;
  DWORD transferred = 0;
  ReadFile(entry->handle, buffer, static_cast<DWORD>(count), &transferred, nullptr);
  return static_cast<int>(transferred);
}

int ComWrite(int port, const void* buffer, int count) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr || count <= 0) return 0;
  DWORD transferred = 0;
  WriteFile(entry->handle, buffer, static_cast<DWORD>(count), &transferred, nullptr);
  return static_cast<int>(transferred);
}

int ComPurgeRx(int port) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  return PurgeComm(entry->handle, PURGE_RXCLEAR) ? kComOk : kComSystemRefused;
}
