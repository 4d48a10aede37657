// The ports above COM9 on Windows, found with kernel32 alone (the dialog
// program imports nothing else for it): the COM devices that
// QueryDosDeviceW names, which are every port Windows has, a USB
// adapter's included. Wine names there only the ports it made itself at
// its start; a port its user linked into the prefix by hand
// (dosdevices/com13 -> /dev/ttyUSB0, as our documents show) opens all the
// same, so under Wine that folder is read too. Nothing is opened: a port
// in use by another program is listed as well.
#include <windows.h>

#include <cwchar>
#include <string>

#include "console/port_choices.h"
#include "link/network_links.h"
#include "res/wide_text.h"

namespace zema {

namespace {

void AddDosDevices(std::vector<int>& ports) {
  std::wstring names(16384, L'\0');
  DWORD length = 0;
  while ((length = ::QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()))) ==
             0 &&
         ::GetLastError() == ERROR_INSUFFICIENT_BUFFER && names.size() < (1u << 22)) {
    names.resize(names.size() * 4);
  }
  for (std::size_t at = 0; at < length && names[at] != L'\0';) {
    const std::wstring name(names.c_str() + at);
    ports.push_back(PortNumberOfName(Utf8FromWide(name), true));
    at += name.size() + 1;
  }
}

// WINECONFIGDIR is Wine's name for the prefix, as "\??\Z:\home\...".
void AddWineDosDevicesLinks(std::vector<int>& ports) {
  const wchar_t* prefix = ::_wgetenv(L"WINECONFIGDIR");
  if (prefix == nullptr || std::wcsncmp(prefix, L"\\??\\", 4) != 0) return;
  const std::wstring pattern = std::wstring(prefix + 4) + L"\\dosdevices\\com*";
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // Wine looks a port up in lower case only.
    ports.push_back(PortNumberOfName(Utf8FromWide(found.cFileName), false));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

}  // namespace

std::vector<int> PresentPortsAboveCom9() {
  std::vector<int> ports;
  AddDosDevices(ports);
  AddWineDosDevicesLinks(ports);
  // COM numbers the user gave ports on device servers.
  for (int port : NetworkLinkedPorts()) ports.push_back(port);
  std::erase_if(ports, [](int port) { return port <= 9; });
  return ports;
}

}  // namespace zema
