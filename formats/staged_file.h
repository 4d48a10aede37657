// A file written under a temporary name in its target's folder and renamed
// over the target only when its content is complete.
//
// A READ that fails or is cancelled half-way thus never leaves an empty or
// truncated file behind, and never destroys an older file of the same name.
// Otherwise the result is the one fopen(target, "wb") would give: a target
// that is a symbolic link keeps being one, and the file it names gets the
// content (where the system would follow that link: write_target.h).
//
// A folder that takes no new file (one the user may not write, holding a
// file the user may) still gets its existing file rewritten, as fopen would
// do it; so does another user's file, which keeps its owner, group, ACLs
// and links. The content is then collected in memory and written into the
// target itself at Commit, so that a failure or a stop before then still
// leaves the old file untouched.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/in_place_file.h"

// True while any StagedFile is open. A program that must end at once (a
// second Ctrl-C) asks first: ended now, it would leave a temporary file
// behind or, rewriting in place, half a file. Safe in a signal handler.
bool StagedFileOpen();

// Calls `end`, which does not return, unless a StagedFile is open; no
// StagedFile is begun meanwhile, also from another thread (the Windows
// console's control handler has one of its own). Safe in a signal handler.
void EndUnlessStagedFileOpen(void (*end)());

class StagedFile {
 public:
  StagedFile() = default;
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Creates the temporary file beside targetPath (beside the file a
  // symbolic link names), under a hidden name no longer than the target's
  // own; where the target exists and is another user's, or its folder takes
  // no new file, opens the target for a rewrite in place instead. False, with
  // errno telling why, when InspectWriteTarget refuses the target (a missing
  // folder, a link not to be followed, links that do not end, a read-only
  // target or one that is not a regular file) or neither way is open.
  bool Create(const std::string& targetPath);

  bool isOpen() const { return stream_ != nullptr || inPlace_.isOpen(); }

  // Appends bytes; false when they could not all be written (a full disk
  // may show only here or only at Commit).
  bool Write(std::span<const std::uint8_t> bytes);
  bool Write(std::string_view text);
  // Empty while the content is collected in memory.
  const std::string& temporaryPath() const { return tempPath_; }

  // Flushes the temporary file to the disk, closes it and renames it over
  // the target, then syncs the folder; or writes the collected content into
  // the target. False when any write, the flush, the close or the rename
  // failed; the temporary file is then removed and an older target stays as
  // it was.
  bool Commit();

  // Closes and removes the temporary file, or drops the collected content;
  // the target is not touched. Nothing happens when no file is open.
  void Discard();

 private:
  bool Finish();
  void Count(bool open);

  std::FILE* stream_ = nullptr;
  std::string tempPath_;
  std::string targetPath_;
  InPlaceFile inPlace_;
  std::vector<std::uint8_t> collected_;
  bool counted_ = false;  // in StagedFileOpen's count
};
