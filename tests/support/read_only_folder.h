// Takes write permission on a folder away while the object lives, from the
// calling thread also when it runs as root: root's override of the mode
// bits is dropped from the thread's effective capabilities too. The folder
// then takes no new file, as for an ordinary user.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

namespace zema {

class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
    namespace fs = std::filesystem;
    fs::permissions(folder_,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    if (::syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
    restore_ = ::syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~ReadOnlyFolder() {
    if (restore_) ::syscall(SYS_capset, &header_, saved_);
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

 private:
  std::filesystem::path folder_;
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool restore_ = false;
};

}  // namespace zema
