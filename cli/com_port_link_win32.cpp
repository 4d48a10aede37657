// On Windows only a port on a serial device server can be given a COM
// number: the system numbers its own ports. The number's URL goes into a
// one-line file (link/network_links.h), written under a temporary name and
// moved over the old one, so that the number never names half a URL.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "cli/com_port_link.h"
#include "link/network_address.h"
#include "link/network_links.h"
#include "res/wide_text.h"

namespace zema {

ComLinkOutcome LinkComPort(const ComLinkRequest& request, std::string& message) {
  const std::string com = "COM" + std::to_string(request.number);
  if (request.number < 1 || request.number > 256) {
    message = com + " is not a port number (1 to 256)";
    return ComLinkOutcome::Refused;
  }
  std::string why;
  if (!ParseNetworkUrl(request.device, why)) {
    message = why;
    return ComLinkOutcome::Refused;
  }
  const std::string file = NetworkLinkFile(request.number);
  if (request.folder.empty() || file.empty()) {
    message = "no configuration folder: APPDATA is not set";
    return ComLinkOutcome::Refused;
  }
  const std::string current = NetworkLinkOf(request.number);
  if (current == request.device) {
    message = com + " -> " + request.device + ": already linked (" + file + ")";
    return ComLinkOutcome::AlreadyLinked;
  }
  if (!current.empty() && !request.replace) {
    message = com + " already names " + current + " (" + file +
              "); give --replace to point it at " + request.device;
    return ComLinkOutcome::Refused;
  }

  std::error_code ignored;
  std::filesystem::create_directories(WideFromUtf8(request.folder), ignored);
  const std::wstring target = WideFromUtf8(file);
  const std::wstring temporary = target + L".new" + std::to_wstring(::GetCurrentProcessId());
  {
    std::ofstream out(std::filesystem::path(temporary), std::ios::binary | std::ios::trunc);
    out << request.device << "\r\n";
    if (!out.flush()) {
      message = file + ": cannot be written";
      ::DeleteFileW(temporary.c_str());
      return ComLinkOutcome::Refused;
    }
  }
  if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    message = file + ": cannot be written";
    ::DeleteFileW(temporary.c_str());
    return ComLinkOutcome::Refused;
  }
  message = com + " -> " + request.device + ": linked (" + file + ")";
  return ComLinkOutcome::Linked;
}

}  // namespace zema
