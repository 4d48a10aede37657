#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/com_port_link.h"
#include "cli/resolved_path.h"
#include "link/network_address.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

// The by-id name of `device`, or `device` itself when it has none.
std::string StableName(const std::string& device, const std::string& byIdFolder) {
  const fs::path node = ResolvedPath(device);
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(byIdFolder, error)) {
    if (entry.path().string() == device) return device;
    if (ResolvedPath(entry.path()) == node) return entry.path().string();
  }
  return device;
}

}  // namespace

ComLinkOutcome LinkComPort(const ComLinkRequest& request, std::string& message) {
  const std::string com = "COM" + std::to_string(request.number);
  if (request.number < 1 || request.number > 256) {
    message = com + " is not a port number (1 to 256)";
    return ComLinkOutcome::Refused;
  }
  if (request.folder.empty()) {
    message = "no configuration folder: neither XDG_CONFIG_HOME nor HOME is set";
    return ComLinkOutcome::Refused;
  }
  // A port on a device server is linked by its URL as the link's target,
  // which the port's opening reads back; it names no file.
  const bool network = zema::IsNetworkUrl(request.device);
  std::string why;
  if (network && !zema::ParseNetworkUrl(request.device, why)) {
    message = why;
    return ComLinkOutcome::Refused;
  }
  if (!network && ResolvedPath(request.device).empty()) {
    message = request.device + ": no such device";
    return ComLinkOutcome::Refused;
  }
  // A relative name would be read from the dosdevices folder.
  const std::string target =
      network ? request.device
              : StableName(fs::absolute(request.device).lexically_normal().string(),
                           request.byIdFolder);
  const fs::path link = fs::path(request.folder) / ("com" + std::to_string(request.number));

  std::error_code error;
  const fs::file_status status = fs::symlink_status(link, error);
  if (fs::exists(status)) {
    if (!fs::is_symlink(status)) {
      message = link.string() + " exists and is not a link: it is left alone";
      return ComLinkOutcome::Refused;
    }
    const fs::path current = fs::read_symlink(link, error);
    if (current == target) {
      message = com + " -> " + target + ": already linked (" + link.string() + ")";
      return ComLinkOutcome::AlreadyLinked;
    }
    if (!request.replace) {
      message = com + " already names " + current.string() + " (" + link.string() +
                "); give --replace to point it at " + target;
      return ComLinkOutcome::Refused;
    }
  }

  // A new link under a temporary name, renamed over the old one: the
  // number never names nothing in between.
  fs::create_directories(request.folder, error);
  const fs::path temporary = fs::path(request.folder) / (".com" + std::to_string(request.number) +
                                                         ".new" + std::to_string(::getpid()));
  fs::remove(temporary, error);
  if (::symlink(target.c_str(), temporary.c_str()) != 0 ||
      ::rename(temporary.c_str(), link.c_str()) != 0) {
    message = link.string() + ": " + std::strerror(errno);
    fs::remove(temporary, error);
    return ComLinkOutcome::Refused;
  }
  message = com + " -> " + target + ": linked (" + link.string() + ")";
  const std::string name = fs::path(target).filename().string();
  if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) {
    message += "\n(the adapter has no stable name: after a replug the number may name another)";
  }
  return ComLinkOutcome::Linked;
}

}  // namespace zema
