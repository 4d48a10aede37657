// Makes a terminal device reachable as a COM number for the duration of a
// test: dosdevices/com<n> beside the test executable names the device.
//
// n is claimed with a lock file held for the claim's lifetime, so test
// processes running side by side never share a number, and a link left by
// a crashed test is simply replaced by the next claimant.
#pragma once

#include <string>

class ComPortClaim {
 public:
  explicit ComPortClaim(const std::string& devicePath);
  ~ComPortClaim();
  ComPortClaim(const ComPortClaim&) = delete;
  ComPortClaim& operator=(const ComPortClaim&) = delete;

  int port() const { return port_; }
  // The number names another device from now on.
  void Relink(const std::string& devicePath);
  const std::string& linkPath() const { return linkPath_; }

 private:
  int port_ = 0;
  int lockFd_ = -1;
  std::string linkPath_;
};
