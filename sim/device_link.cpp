#include "sim/device_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace zema::sim {
namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LinkTarget(const std::string& path) {
  char buffer[4096];
  const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
  return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace

bool DeviceLink::Create(const std::string& path, const std::string& target,
                        std::string& error) {
  Remove();
  const std::string folder = FolderOf(path);
  std::error_code failure;
  std::filesystem::create_directories(folder, failure);
  if (failure) {
    error = "cannot create folder " + folder + ": " + failure.message();
    return false;
  }
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
    error = path + " exists and is not a symbolic link; not replacing it";
    return false;
  }
  // Link under a temporary name first, then rename over the old link, so
  // the name never points nowhere in between.
  const std::string temporary = path + ".new." + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0 ||
      ::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot create link " + path + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  path_ = path;
  target_ = target;
  return true;
}

void DeviceLink::Remove() {
  if (path_.empty()) return;
  if (LinkTarget(path_) == target_) ::unlink(path_.c_str());
  path_.clear();
  target_.clear();
}

std::string ComNameForLink(const std::string& path) {
  const std::string name = NameOf(path);
  if (NameOf(FolderOf(path)) != "dosdevices" || name.size() < 4 || name.size() > 6 ||
      name.compare(0, 3, "com") != 0) {
    return {};
  }
  int number = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return {};
    number = number * 10 + (name[i] - '0');
  }
  if (number < 1 || number > 256 || name[3] == '0') return {};
  return "COM" + std::to_string(number);
}

}  // namespace zema::sim
