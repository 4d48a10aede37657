// A COM number claimed for a device for the claim's lifetime:
// dosdevices/com<n> beside the running executable names the device, as the
// link layer looks a port up.
//
// n is claimed with a lock file (.com<n>.lock) held for the claim's
// lifetime, so test and benchmark processes running side by side never
// share a number, and a link left by a crashed process is simply replaced
// by the next claimant. The upper numbers are used, so that a developer's
// own COM1..COM9 links in the same folder stay untouched.
#pragma once

#include <string>

namespace zema {

class ComPortClaim {
 public:
  // Claims a number and links it to `devicePath`; throws std::runtime_error
  // when no number is free.
  explicit ComPortClaim(const std::string& devicePath);
  // Claims nothing yet: see Claim.
  ComPortClaim() = default;
  ~ComPortClaim();
  ComPortClaim(const ComPortClaim&) = delete;
  ComPortClaim& operator=(const ComPortClaim&) = delete;

  // Claims a number, linked to `devicePath`, or only reserved when that is
  // empty (a program that makes the link itself is given linkPathFor()).
  // false with `error` set when no number is free.
  bool Claim(const std::string& devicePath, std::string& error);

  // Gives the number back (removing the link the claim made).
  void Release();

  int port() const { return port_; }
  // The number names another device from now on.
  void Relink(const std::string& devicePath);
  // The link the claim made (empty when it only reserved the number).
  const std::string& linkPath() const { return linkPath_; }
  // Where the claimed number's link lies.
  std::string linkPathFor() const;

 private:
  int port_ = 0;
  int lockFd_ = -1;
  std::string linkPath_;
};

}  // namespace zema
