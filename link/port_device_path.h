// Which device a COM number opens on a POSIX system.
#pragma once

#include <string>

namespace zema {

// Port n opens the device that the symbolic link dosdevices/com<n> names,
// looked up first in the executable's folder, then in the user's
// configuration folder ($XDG_CONFIG_HOME or ~/.config, then zema-loader/).
// Without such a link port n is /dev/ttyS<n-1>.
std::string DeviceForPort(int port);

// The folder that holds the running executable (no trailing slash).
std::string ExecutableFolder();

// dosdevices folders searched, in order.
std::string ExecutableDosDevicesFolder();
std::string UserDosDevicesFolder();

// What the symbolic link `path` points to, as written; empty when `path` is
// no link. A COM number linked to a network port has the URL there.
std::string LinkTarget(const std::string& path);

}  // namespace zema
