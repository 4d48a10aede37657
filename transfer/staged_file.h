// A file written under a temporary name in its target's folder and renamed
// over the target only when its content is complete.
//
// A READ that fails or is cancelled half-way thus never leaves an empty or
// truncated file behind, and never destroys an older file of the same name.
// Otherwise the result is the one fopen(target, "wb") would give: a target
// that is a symbolic link keeps being one, and the file it names gets the
// content.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

class StagedFile {
 public:
  StagedFile() = default;
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Creates the temporary file beside targetPath (beside the file a
  // symbolic link names), under a hidden name no longer than the target's
  // own. False when the folder does not exist or cannot be written, the
  // links do not end, or the target is read-only or not a regular file.
  bool Create(const std::string& targetPath);

  // Binary output stream of the temporary file; null unless created.
  std::FILE* stream() const { return stream_; }
  bool isOpen() const { return stream_ != nullptr; }

  // Appends bytes; false when they could not all be written (a full disk
  // may show only here or only at Commit).
  bool Write(std::span<const std::uint8_t> bytes);
  const std::string& temporaryPath() const { return tempPath_; }

  // Flushes the temporary file to the disk, closes it and renames it over
  // the target, then syncs the folder. False when any write, the flush, the
  // close or the rename failed; the temporary file is then removed and an
  // older target stays as it was.
  bool Commit();

  // Closes and removes the temporary file; the target is not touched.
  // Nothing happens when no file is open.
  void Discard();

 private:
  std::FILE* stream_ = nullptr;
  std::string tempPath_;
  std::string targetPath_;
};
