// One of COM1..COM9, which the main dialog's port list offers, made to reach
// a device through the user's dosdevices folder (a private XDG_CONFIG_HOME
// for the test's lifetime): the folder of the executable is left to the
// developer's own links (and to the demo's COM1).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zema {

class PortListPort {
 public:
  PortListPort(const std::filesystem::path& configHome, const std::string& devicePath);
  ~PortListPort();
  PortListPort(const PortListPort&) = delete;
  PortListPort& operator=(const PortListPort&) = delete;

  int number() const { return number_; }  // 0 when all nine are taken
  int listIndex() const { return number_ - 1; }

 private:
  std::optional<std::string> oldConfigHome_;
  int number_ = 0;
};

}  // namespace zema
