#include "backup/backup_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <system_error>

#include "backup/durable_folder.h"
#include "backup/sha256.h"
#include "formats/file_naming.h"
#include "formats/utf8_path.h"
#include "transfer/transfer_items.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

constexpr char kLatest[] = "latest";
constexpr char kPendingPrefix[] = ".in-progress-";
constexpr std::size_t kStampLength = 18;  // "2026-12-09T193005Z"

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

BackupCheck Damaged(std::string file, std::string what, bool manifestRead = true) {
  BackupCheck check;
  check.manifestRead = manifestRead;
  check.file = std::move(file);
  check.what = std::move(what);
  return check;
}

BackupCheck CheckFile(const std::string& folder, const ManifestFile& listed) {
  const std::string path = JoinPath(folder, listed.name);
  std::error_code error;
  const fs::file_status status = fs::symlink_status(PathFromUtf8(path), error);
  if (!fs::exists(status)) return Damaged(listed.name, "is missing");
  // A link could make the restore send whatever it points at today.
  if (!fs::is_regular_file(status)) return Damaged(listed.name, "is not a regular file");
  std::string digest;
  std::uint64_t size = 0;
  std::string reason;
  if (!Sha256OfFile(path, digest, size, reason)) return Damaged(listed.name, reason);
  if (size != listed.size) {
    return Damaged(listed.name, "has " + std::to_string(size) + " bytes, the manifest says " +
                                    std::to_string(listed.size));
  }
  if (digest != listed.sha256)
    return Damaged(listed.name, "its SHA-256 differs from the manifest's");
  return {};
}

// A change image the comparison with the previous backup put beside the files.
bool IsChangeImage(const std::string& name) {
  return name.starts_with("changes-") && name.ends_with(".png");
}

// The newest good backup's index, or -1.
int NewestGood(const std::vector<StoredBackup>& backups) {
  for (int i = static_cast<int>(backups.size()) - 1; i >= 0; --i) {
    if (backups[static_cast<std::size_t>(i)].check.good) return i;
  }
  return -1;
}

// Removes a backup folder that holds only what a backup puts there; first
// hidden by a rename, so that no listing sees it half removed.
bool RemoveBackup(const std::string& sensorFolder, const StoredBackup& backup, std::string& why) {
  std::set<std::string> known = {kManifestName};
  for (const ManifestFile& file : backup.manifest.files) known.insert(file.name);
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(PathFromUtf8(backup.path), error)) {
    const std::string name = Utf8FromPath(entry.path().filename());
    if (known.count(name) == 0 && !IsChangeImage(name)) {
      why = "holds " + name + ", which is not part of a backup";
      return false;
    }
  }
  if (error) {
    why = error.message();
    return false;
  }
  const std::string hidden = JoinPath(sensorFolder, ".removing-" + backup.name);
  if (!RenameFolderNoReplace(backup.path, hidden)) {
    why = std::strerror(errno);
    return false;
  }
  fs::remove_all(PathFromUtf8(hidden), error);
  SyncFolder(sensorFolder);
  return true;
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
#ifdef _WIN32
  const bool backslashes =
      folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
#else
  const bool backslashes = false;  // a name's own character here
#endif
  if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder + name;
  return folder + (backslashes ? "\\" : "/") + name;
}

std::vector<std::string> BackupFileNames(const CopySelection& copied, const std::string& baseName) {
  return ItemFilePaths(SelectedItems(TargetOfCopy(copied, baseName, kDirectionRead)), baseName);
}

TransferTarget TargetOfCopy(const CopySelection& copied, const std::string& basePath,
                            int direction) {
  TransferTarget target;
  target.direction = direction;
  target.bankParams = copied.params ? 1 : 0;
  target.commonParams = copied.common ? 1 : 0;
  target.brightComp = copied.compensation ? 1 : 0;
  target.patterns = copied.patterns ? 1 : 0;
  target.startBank = copied.firstBank;
  target.endBank = copied.lastBank;
  target.baseName = basePath;
  return target;
}

BackupCheck VerifyBackup(const std::string& folder, Manifest* read) {
  Manifest manifest;
  std::string error;
  if (!LoadManifest(folder, manifest, error)) return Damaged(kManifestName, error, false);
  if (read != nullptr) *read = manifest;
  if (manifest.outcome != kOutcomeComplete) {
    return Damaged(kManifestName, "tells of an incomplete backup (" + manifest.outcome + ")");
  }
  // Exactly the files of what was copied: a WRITE from the folder sends
  // each of them, so none may go unchecked.
  const std::vector<std::string> expected = BackupFileNames(manifest.copied, manifest.baseName);
  std::set<std::string> listed;
  for (const ManifestFile& file : manifest.files) {
    if (std::find(expected.begin(), expected.end(), file.name) == expected.end()) {
      return Damaged(kManifestName, "lists " + file.name + ", which is not part of the backup");
    }
    if (!listed.insert(file.name).second) {
      return Damaged(kManifestName, "lists " + file.name + " twice");
    }
  }
  for (const std::string& name : expected) {
    if (listed.count(name) == 0) return Damaged(name, "is not listed in the manifest");
  }
  for (const ManifestFile& file : manifest.files) {
    if (BackupCheck check = CheckFile(folder, file); !check.what.empty()) return check;
  }
  BackupCheck good;
  good.good = good.manifestRead = true;
  return good;
}

namespace {

// The dated backup folders in a sensor's folder, oldest first, unchecked.
std::vector<std::string> DatedFolderNames(const std::string& sensorFolder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(PathFromUtf8(sensorFolder), error)) {
    const std::string name = Utf8FromPath(entry.path().filename());
    if (!IsFolderStamp(name) || !entry.is_directory(error) || entry.is_symlink(error)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

StoredBackup CheckedBackup(const std::string& sensorFolder, const std::string& name) {
  StoredBackup backup;
  backup.name = name;
  backup.path = JoinPath(sensorFolder, name);
  backup.check = VerifyBackup(backup.path, &backup.manifest);
  return backup;
}

}  // namespace

std::vector<StoredBackup> ListBackups(const std::string& sensorFolder) {
  std::vector<StoredBackup> backups;
  for (const std::string& name : DatedFolderNames(sensorFolder)) {
    backups.push_back(CheckedBackup(sensorFolder, name));
  }
  return backups;
}

std::optional<StoredBackup> NewestGoodBackup(const std::string& sensorFolder) {
  const std::vector<std::string> names = DatedFolderNames(sensorFolder);
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    StoredBackup backup = CheckedBackup(sensorFolder, *name);
    if (backup.check.good) return backup;
  }
  return std::nullopt;
}

bool ResolveBackup(const std::string& path, std::string& folder, std::string& error,
                   std::vector<std::string>* skipped) {
  const std::string named = WithoutTrailingSeparators(path);
  std::error_code status;
  if (NameOf(named) != kLatest) {
    if (!fs::is_directory(PathFromUtf8(named), status)) {
      error = named + ": no such backup folder";
      return false;
    }
    // A sensor's folder where one of its backups was meant.
    if (!fs::exists(PathFromUtf8(JoinPath(named, kManifestName)), status) &&
        !ListBackups(named).empty()) {
      error =
          named + ": a sensor's folder: name one of its backups, or " + JoinPath(named, kLatest);
      return false;
    }
    folder = named;
    return true;
  }
  const std::string sensorFolder = ParentOf(named);
  if (!fs::is_directory(PathFromUtf8(sensorFolder), status)) {
    error = sensorFolder + ": no such folder";
    return false;
  }
  const std::vector<StoredBackup> backups = ListBackups(sensorFolder);
  const int newest = NewestGood(backups);
  if (newest < 0) {
    error = sensorFolder + ": no good backup" +
            (backups.empty() ? std::string() : " (" + backups.back().name + " is damaged)");
    return false;
  }
  if (skipped != nullptr) {
    for (std::size_t i = static_cast<std::size_t>(newest) + 1; i < backups.size(); ++i) {
      skipped->push_back(backups[i].name + ": " + backups[i].check.Text());
    }
  }
  folder = backups[static_cast<std::size_t>(newest)].path;
  return true;
}

bool PendingBackup::Begin(const std::string& root, const std::string& sensor, std::string& error) {
  Abandon();
  sensor_ = sensor;
  sensorFolder_ = JoinPath(WithoutTrailingSeparators(root), sensor);
  std::error_code made;
  fs::create_directories(PathFromUtf8(sensorFolder_), made);
  if (made) {
    error = sensorFolder_ + ": " + made.message();
    return false;
  }
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char tail[16];
    std::snprintf(tail, sizeof tail, "%08x", static_cast<unsigned>(random()));
    const std::string candidate = JoinPath(sensorFolder_, std::string(kPendingPrefix) + tail);
    if (fs::create_directory(PathFromUtf8(candidate), made)) {
      folder_ = candidate;
      if (BaseNameFits(basePath())) return true;
      Abandon();
      error = sensorFolder_ + ": the path is too long for the sensor's files";
      return false;
    }
    if (made) break;
  }
  error = sensorFolder_ + ": " + (made ? made.message() : "no hidden folder could be made");
  return false;
}

bool PendingBackup::Publish(Manifest& manifest, WallClock::time_point stamp, std::string& published,
                            std::string& error) {
  if (folder_.empty()) {
    error = "no backup is being written";
    return false;
  }
  manifest.baseName = sensor_;
  manifest.outcome = kOutcomeComplete;
  manifest.files.clear();
  for (const std::string& name : BackupFileNames(manifest.copied, sensor_)) {
    ManifestFile file{name, 0, {}};
    std::string reason;
    if (!Sha256OfFile(JoinPath(folder_, name), file.sha256, file.size, reason)) {
      error = name + ": " + reason;
      return false;
    }
    if (!SyncFile(JoinPath(folder_, name))) {
      error = name + ": " + std::strerror(errno);
      return false;
    }
    manifest.files.push_back(std::move(file));
  }
  const std::string text = ManifestText(manifest);
  const std::string manifestPath = JoinPath(folder_, kManifestName);
  std::FILE* stream = OpenUtf8Path(manifestPath, "wb");
  bool written =
      stream != nullptr && std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  if (stream != nullptr) written = std::fclose(stream) == 0 && written;
  if (!written || !SyncFile(manifestPath) || !SyncFolder(folder_)) {
    error = std::string(kManifestName) + ": " + std::strerror(errno);
    return false;
  }

  // After every backup there: "latest" must be this one even when the
  // clock has gone back since the last.
  std::string after;
  for (const StoredBackup& backup : ListBackups(sensorFolder_))
    after = std::max(after, backup.name);
  std::string base = FolderStamp(stamp);
  if (after.size() >= kStampLength) base = std::max(base, after.substr(0, kStampLength));
  for (int count = 1; count <= 99; ++count) {
    char suffix[8] = "";
    if (count > 1) std::snprintf(suffix, sizeof suffix, "-%02d", count);
    const std::string name = base + suffix;
    if (name <= after) continue;
    if (RenameFolderNoReplace(folder_, JoinPath(sensorFolder_, name))) {
      SyncFolder(sensorFolder_);
      published = JoinPath(sensorFolder_, name);
      folder_.clear();
      return true;
    }
    if (errno != EEXIST) break;
  }
  error = sensorFolder_ + ": the backup could not be given its name: " + std::strerror(errno);
  return false;
}

void PendingBackup::Abandon() {
  if (folder_.empty()) return;
  std::error_code error;
  fs::remove_all(PathFromUtf8(folder_), error);
  folder_.clear();
}

Retention KeepNewest(const std::string& sensorFolder, int keep) {
  Retention retention;
  const std::vector<StoredBackup> backups = ListBackups(sensorFolder);
  const int newestGood = NewestGood(backups);
  const int firstKept = std::max(0, static_cast<int>(backups.size()) - std::max(keep, 1));
  for (int i = 0; i < firstKept; ++i) {
    const StoredBackup& backup = backups[static_cast<std::size_t>(i)];
    if (i == newestGood) continue;
    std::string why;
    if (!backup.check.manifestRead) {
      retention.notes.push_back(backup.name + ": kept: " + backup.check.Text());
    } else if (RemoveBackup(sensorFolder, backup, why)) {
      retention.removed.push_back(backup.name);
    } else {
      retention.notes.push_back(backup.name + ": kept: " + why);
    }
  }
  return retention;
}

}  // namespace zema
