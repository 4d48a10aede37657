// The --link PATH option: a symbolic link naming the simulator's terminal,
// e.g. build/bin/dosdevices/com1, so that the loader finds it as COM1.
#pragma once

#include <string>

namespace zema::sim {

class DeviceLink {
 public:
  DeviceLink() = default;
  ~DeviceLink() { Remove(); }
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // Makes `path` a symbolic link to `target`, creating its folder when that
  // is missing. An older symbolic link of that name (left by a simulator
  // that was killed) is replaced; any other kind of file is refused.
  bool Create(const std::string& path, const std::string& target, std::string& error);
  // Removes the link, unless something else has taken its name since.
  void Remove();

 private:
  std::string path_;
  std::string target_;
};

// "COM<n>" when `path` is a dosdevices/com<n> link the loader looks up,
// empty otherwise.
std::string ComNameForLink(const std::string& path);

}  // namespace zema::sim
