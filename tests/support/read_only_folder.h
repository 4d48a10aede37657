// Takes write permission on a folder away for the lifetime of the object,
// from the calling thread also when it runs as root: the mode bits alone do
// not stop a process that may override them, so the override is dropped
// from the thread's effective capabilities too. The folder then takes no new
// file, while the files in it stay writable by their owner, as for an
// ordinary user.
#pragma once

#include <linux/capability.h>

#include <filesystem>

class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(std::filesystem::path folder);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

 private:
  std::filesystem::path folder_;
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool restore_ = false;
};
