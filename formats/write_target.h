// Where the content of a file to be written goes, and how, found out before
// anything is written: so that a READ learns of a file it cannot write
// before it asks the sensor for the data, and the staged writer and that
// check always agree.
//
// A symbolic link is followed only where the system's own rule for shared
// folders would follow it (Linux's protected_symlinks, applied whether or
// not the system has it on): not in a sticky folder that all may write,
// unless the link belongs to this user or to the folder's owner. Another
// user's link planted there would otherwise get this user's file replaced.
#pragma once

#include <cstddef>
#include <string>

enum class WriteWay {
  // A temporary file beside the target, renamed over it when complete.
  Replace,
  // The existing file rewritten in place once the content is whole: it is
  // another user's (a rename would make it this user's and drop its group,
  // ACLs and other links, or fail in a sticky folder), or its folder takes
  // no new file.
  InPlace,
};

struct WriteTarget {
  // The file that gets the content: the target, or the file its links name.
  std::string file;
  WriteWay way = WriteWay::Replace;
  // Why the file cannot be written (an errno value); 0 when it can.
  int refusal = 0;
  // What the refusal is about: the target, or the folder that is missing.
  std::string subject;
  // Words the system's reason lacks ("not a regular file"); often empty.
  std::string note;
};

WriteTarget InspectWriteTarget(const std::string& path);

// The detail line of a refusal: its subject, the system's reason and the
// note.
std::string RefusalDetail(const WriteTarget& target);

// Sets errno (and on Windows the thread's last error) to the refusal, as
// the system's own calls would have.
void NoteRefusal(const WriteTarget& target);

// Where the file name starts: after the last folder separator.
std::size_t FileNameStart(const std::string& path);

#ifdef _WIN32
// errno from the thread's last Windows error, for callers that report
// failures the C library's way.
void NoteLastWindowsError();
#endif
