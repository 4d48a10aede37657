#include "support/com_port_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "link/port_device_path.h"

namespace zema {

namespace {
constexpr int kFirstClaimedPort = 100;
constexpr int kLastClaimedPort = 256;
}  // namespace

ComPortClaim::ComPortClaim(const std::string& devicePath) {
  std::string error;
  if (!Claim(devicePath, error)) throw std::runtime_error(error);
}

bool ComPortClaim::Claim(const std::string& devicePath, std::string& error) {
  const std::string folder = ExecutableDosDevicesFolder();
  ::mkdir(folder.c_str(), 0755);
  for (int n = kFirstClaimedPort; n <= kLastClaimedPort; ++n) {
    const std::string lockPath = folder + "/.com" + std::to_string(n) + ".lock";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      continue;
    }
    if (!devicePath.empty()) {
      const std::string link = folder + "/com" + std::to_string(n);
      ::unlink(link.c_str());
      if (::symlink(devicePath.c_str(), link.c_str()) != 0) {
        ::close(fd);
        continue;
      }
      linkPath_ = link;
    }
    lockFd_ = fd;
    port_ = n;
    return true;
  }
  error = "no free COM number in " + folder;
  return false;
}

ComPortClaim::~ComPortClaim() { Release(); }

void ComPortClaim::Release() {
  if (!linkPath_.empty()) ::unlink(linkPath_.c_str());
  if (lockFd_ >= 0) ::close(lockFd_);
  linkPath_.clear();
  lockFd_ = -1;
  port_ = 0;
}

void ComPortClaim::Relink(const std::string& devicePath) {
  ::unlink(linkPath_.c_str());
  if (::symlink(devicePath.c_str(), linkPath_.c_str()) != 0) {
    throw std::runtime_error("cannot link " + linkPath_ + " to " + devicePath);
  }
}

std::string ComPortClaim::linkPathFor() const {
  return ExecutableDosDevicesFolder() + "/com" + std::to_string(port_);
}

}  // namespace zema
