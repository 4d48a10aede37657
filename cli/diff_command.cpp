#include "cli/diff_command.h"

#include <cstdio>
#include <string>

#include "backup/backup_diff.h"
#include "backup/backup_store.h"

namespace zema {

namespace {

constexpr int kDiffSame = 0;
constexpr int kDiffChanged = 1;
constexpr int kDiffTrouble = 2;

// A good backup at `path` (or "<sensor folder>/latest"); false after
// saying why not.
bool GoodBackup(const std::string& path, std::string& folder, Manifest& manifest) {
  std::string error;
  if (!ResolveBackup(path, folder, error)) {
    std::fprintf(stderr, "zema-transfer: %s\n", error.c_str());
    return false;
  }
  const BackupCheck check = VerifyBackup(folder, &manifest);
  if (check.good) return true;
  std::fprintf(stderr, "zema-transfer: %s: %s\n%s\n", folder.c_str(),
               check.manifestRead ? "the backup is damaged" : "not a backup folder",
               check.Text().c_str());
  return false;
}

}  // namespace

int RunDiffCommand(const CliOptions& options) {
  std::string oldFolder;
  std::string newFolder;
  Manifest older;
  Manifest newer;
  if (!GoodBackup(options.diffOld, oldFolder, older) ||
      !GoodBackup(options.diffNew, newFolder, newer)) {
    return kDiffTrouble;
  }
  BackupDiff diff;
  std::string error;
  if (!CompareBackups(oldFolder, older, newFolder, newer, options.noImages ? "" : newFolder, diff,
                      error)) {
    std::fprintf(stderr, "zema-transfer: %s\n", error.c_str());
    return kDiffTrouble;
  }
  const std::string report = options.json ? DiffJson(diff) : DiffReport(diff);
  std::fputs(report.c_str(), stdout);
  for (const std::string& problem : diff.problems) {
    std::fprintf(stderr, "zema-transfer: %s\n", problem.c_str());
  }
  if (!diff.problems.empty()) return kDiffTrouble;
  return diff.Same() ? kDiffSame : kDiffChanged;
}

}  // namespace zema
