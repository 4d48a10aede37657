#include "tests/support/read_only_folder.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <utility>

namespace fs = std::filesystem;

ReadOnlyFolder::ReadOnlyFolder(fs::path folder) : folder_(std::move(folder)) {
  fs::permissions(folder_, fs::perms::owner_write | fs::perms::group_write |
                               fs::perms::others_write,
                  fs::perm_options::remove);
  header_.version = _LINUX_CAPABILITY_VERSION_3;
  if (::syscall(SYS_capget, &header_, saved_) != 0) return;
  __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
  reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
  restore_ = ::syscall(SYS_capset, &header_, reduced) == 0;
}

ReadOnlyFolder::~ReadOnlyFolder() {
  if (restore_) ::syscall(SYS_capset, &header_, saved_);
  fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
}
