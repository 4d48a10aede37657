// The backups of a line on disk:
//
//   DIR/<sensor>/<date-time>/            one whole backup: the files of a
//       <sensor>.pr0.zema ...            READ with the sensor's name as
//       <sensor>.cmp.bmp ...             base name, and manifest.json
//       manifest.json
//   DIR/<sensor>/.in-progress-XXXXXX/    a backup being written (hidden)
//   DIR/<sensor>/latest                  not a folder: the newest good backup
//
// A backup is written under a hidden name and gets its dated name only
// when every file and its manifest are on the disk, so a dated folder is
// always a whole backup; a crash leaves at most a hidden folder, which is
// never taken for a backup.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "backup/manifest.h"
#include "backup/time_stamp.h"
#include "transfer/transfer_target.h"

namespace zema {

// `name` in `folder`, with the separator the folder's path uses (on
// Windows a backslash after C:\backups, "/" elsewhere), so that printed
// paths read as typed.
std::string JoinPath(const std::string& folder, const std::string& name);

// What is wrong with a backup, if anything: the file and why.
struct BackupCheck {
  bool good = false;
  bool manifestRead = false;  // the folder is one of ours, damaged or not
  std::string file;           // the file at fault (a name in the folder)
  std::string what;

  // "press-1.pr4.zema: its SHA-256 differs from the manifest's"
  std::string Text() const { return file + ": " + what; }
};

// The files a backup of `copied` holds, by name, in the order a run
// handles them.
std::vector<std::string> BackupFileNames(const CopySelection& copied, const std::string& baseName);

// The target of a run over the files of `copied` with `basePath`.
TransferTarget TargetOfCopy(const CopySelection& copied, const std::string& basePath,
                            int direction);

// Checks a backup folder against its manifest: the manifest reads back,
// its outcome is complete, it lists exactly the files of what was copied,
// and each is a regular file of the listed size and SHA-256.
BackupCheck VerifyBackup(const std::string& folder, Manifest* manifest = nullptr);

struct StoredBackup {
  std::string name;  // the dated folder's name
  std::string path;
  BackupCheck check;
  Manifest manifest;  // as read, when check.manifestRead
};

// The dated backup folders in one sensor's folder, oldest first, each
// verified. Hidden folders (backups being written) and anything else not
// named as a backup are not listed.
std::vector<StoredBackup> ListBackups(const std::string& sensorFolder);

// The newest good backup in one sensor's folder, checking the newest first
// and no further than the first good one: a nightly backup compares with
// it without reading every backup kept.
std::optional<StoredBackup> NewestGoodBackup(const std::string& sensorFolder);

// The backup folder a path names: a dated folder as it is, or
// "<sensor folder>/latest" for the newest good backup there (damaged newer
// ones are named in `skipped`). False with `error` when there is none.
bool ResolveBackup(const std::string& path, std::string& folder, std::string& error,
                   std::vector<std::string>* skipped = nullptr);

// One backup being written.
class PendingBackup {
 public:
  PendingBackup() = default;
  ~PendingBackup() { Abandon(); }
  PendingBackup(const PendingBackup&) = delete;
  PendingBackup& operator=(const PendingBackup&) = delete;

  // Makes `root`/`sensor`/ where needed and a hidden folder in it.
  bool Begin(const std::string& root, const std::string& sensor, std::string& error);
  const std::string& folder() const { return folder_; }
  // The base name a READ into this backup is given.
  std::string basePath() const { return folder_ + "/" + sensor_; }

  // Lists the files of `manifest.copied` in the manifest with their sizes
  // and digests, writes it, puts everything on the disk and gives the
  // folder its dated name from `stamp` (the next free one after every
  // backup there, should the clock have gone back). False with `error`
  // (a missing file, a full disk) leaves the folder hidden.
  bool Publish(Manifest& manifest, WallClock::time_point stamp, std::string& published,
               std::string& error);

  // Removes the hidden folder and what was written into it.
  void Abandon();

 private:
  std::string sensorFolder_;
  std::string sensor_;
  std::string folder_;
};

struct Retention {
  std::vector<std::string> removed;  // names of the folders removed
  std::vector<std::string> notes;    // folders left although old, and why
};

// Keeps the newest `keep` (at least 1) backups of one sensor and the
// newest good one, and removes the older ones. Only a folder of ours is
// removed: dated, with a manifest, holding nothing but its files, its
// manifest and change images.
Retention KeepNewest(const std::string& sensorFolder, int keep);

}  // namespace zema
