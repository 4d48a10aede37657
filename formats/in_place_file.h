// An existing file rewritten in place: its folder need not take a new file,
// as a staged write's temporary file would need.
//
// The file is opened for writing (not truncated) when the new content is
// first asked for, and gets that content only in Replace, all at once: until
// then its old content stays as it was, whatever happens to the caller.
#pragma once

#include <cstdint>
#include <span>
#include <string>

class InPlaceFile {
 public:
  InPlaceFile() = default;
  ~InPlaceFile() { Close(); }
  InPlaceFile(const InPlaceFile&) = delete;
  InPlaceFile& operator=(const InPlaceFile&) = delete;

  // Opens the regular file at `path` for writing without changing it; on
  // POSIX `path` must name the file itself, not a link to it. False (errno
  // tells why) when it does not exist, is not a regular file, or this user
  // may not write it.
  bool Open(const std::string& path);
  bool isOpen() const;

  // Writes `content` over the file from its start, cuts it to that length,
  // puts it on the disk and closes it. Room for a longer content is taken
  // first, so that a full disk fails before any old byte is overwritten;
  // after that only a failing disk can leave the file half-written.
  bool Replace(std::span<const std::uint8_t> content);

  // Closes the file unchanged. Nothing happens when none is open.
  void Close();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};
