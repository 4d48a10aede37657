#include "tests/support/com_port_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "link/port_device_path.h"

namespace {
// Tests use the upper numbers so that a developer's own COM1..COM9 links in
// the same folder stay untouched.
constexpr int kFirstTestPort = 100;
constexpr int kLastTestPort = 256;
}  // namespace

ComPortClaim::ComPortClaim(const std::string& devicePath) {
  const std::string folder = ExecutableDosDevicesFolder();
  ::mkdir(folder.c_str(), 0755);
  for (int n = kFirstTestPort; n <= kLastTestPort; ++n) {
    const std::string lockPath = folder + "/.com" + std::to_string(n) + ".lock";
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      continue;
    }
    linkPath_ = folder + "/com" + std::to_string(n);
    ::unlink(linkPath_.c_str());
    if (::symlink(devicePath.c_str(), linkPath_.c_str()) != 0) {
      ::close(fd);
      continue;
    }
    lockFd_ = fd;
    port_ = n;
    return;
  }
  throw std::runtime_error("no free COM number for a test port in " + folder);
}

ComPortClaim::~ComPortClaim() {
  ::unlink(linkPath_.c_str());
  if (lockFd_ >= 0) ::close(lockFd_);
}

void ComPortClaim::Relink(const std::string& devicePath) {
  ::unlink(linkPath_.c_str());
  if (::symlink(devicePath.c_str(), linkPath_.c_str()) != 0) {
    throw std::runtime_error("cannot link " + linkPath_ + " to " + devicePath);
  }
}
