#include "tests/support/port_list_port.h"

#include <cstdlib>
#include <system_error>

#include "link/port_device_path.h"

namespace zema {

namespace fs = std::filesystem;

PortListPort::PortListPort(const fs::path& configHome, const std::string& devicePath) {
  if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldConfigHome_ = old;
  ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
  const fs::path folder = configHome / "zema-loader" / "dosdevices";
  fs::create_directories(folder);
  for (int n = 9; n >= 1; --n) {
    const std::string name = "com" + std::to_string(n);
    std::error_code error;
    if (fs::is_symlink(fs::path(ExecutableDosDevicesFolder()) / name, error)) continue;
    fs::create_symlink(devicePath, folder / name);
    number_ = n;
    return;
  }
}

PortListPort::~PortListPort() {
  if (oldConfigHome_) {
    ::setenv("XDG_CONFIG_HOME", oldConfigHome_->c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace zema
