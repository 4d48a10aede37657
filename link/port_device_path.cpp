#include "link/port_device_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace zema {

namespace {

bool LinkExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

std::string ExecutableFolder() {
  std::vector<char> buffer(4096);
  ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return ".";
  std::string path(buffer.data(), static_cast<std::size_t>(length));
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ExecutableDosDevicesFolder() { return ExecutableFolder() + "/dosdevices"; }

std::string UserDosDevicesFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg == '/') return std::string(xdg) + "/zema-loader/dosdevices";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.config/zema-loader/dosdevices";
  return {};
}

std::string DeviceForPort(int port) {
  const std::string name = "/com" + std::to_string(port);
  // A link that exists but points nowhere is still the operator's choice: the
  // open then fails, rather than silently falling through to a real port.
  for (const std::string& folder : {ExecutableDosDevicesFolder(), UserDosDevicesFolder()}) {
    if (!folder.empty() && LinkExists(folder + name)) return folder + name;
  }
  return "/dev/ttyS" + std::to_string(port - 1);
}

std::string LinkTarget(const std::string& path) {
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) == buffer.size()) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

}  // namespace zema
