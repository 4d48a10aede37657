// A data file of a WRITE, open for binary reading only while its item is
// sent, and closed exactly once on every way out: by Close (the cancel poll
// does that) or at the end of its scope.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

// Opens `path` for binary reading when it names a regular file (also
// through a symbolic link); null otherwise. A FIFO would block the opening
// until a writer came and a device such as /dev/zero never ends, so they
// count as files that cannot be opened, as a folder does. Every file the
// program reads (data files and the settings file) is opened this way.
std::FILE* OpenRegularFile(const std::string& path);

class SourceFile {
 public:
  SourceFile() = default;
  ~SourceFile() { Close(); }
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  // False when the file cannot be opened for reading or is not a regular
  // file (OpenRegularFile).
  bool Open(const std::string& path);
  std::FILE* stream() const { return stream_; }
  bool isOpen() const { return stream_ != nullptr; }

  // Reads up to bytes.size() bytes; returns how many arrived (fewer at the
  // end of the file or after a read error).
  std::size_t Read(std::span<std::uint8_t> bytes);

  // Nothing happens when no file is open.
  void Close();

 private:
  std::FILE* stream_ = nullptr;
};
