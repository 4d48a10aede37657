#include "cli/backup_restore.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "backup/backup_store.h"
#include "cli/exit_status.h"

namespace zema {

namespace {

void Say(const std::string& text) { std::fprintf(stderr, "zema-transfer: %s\n", text.c_str()); }

// The part of the backup the options name; false when they name
// something it does not hold.
bool NarrowTo(const CliOptions& options, CopySelection& copied, std::string& missing) {
  const bool named = options.params || options.common || options.compensation || options.patterns;
  if (!named) return true;
  const std::pair<bool, const char*> wanted[] = {
      {options.params && !copied.params, "bank parameter sets"},
      {options.common && !copied.common, "common parameter set"},
      {options.compensation && !copied.compensation, "compensation table"},
      {options.patterns && !copied.patterns, "pattern images"}};
  for (const auto& [lacking, what] : wanted) {
    if (lacking) {
      missing = what;
      return false;
    }
  }
  copied.params = options.params;
  copied.common = options.common;
  copied.compensation = options.compensation;
  copied.patterns = options.patterns;
  copied.firstBank = std::max(copied.firstBank, options.startBank);
  copied.lastBank = std::min(copied.lastBank, options.endBank);
  if ((copied.params || copied.patterns) && copied.firstBank > copied.lastBank) {
    missing = "bank of --banks";
    return false;
  }
  return true;
}

}  // namespace

int PrepareBackupWrite(CliOptions& options) {
  std::string folder;
  std::string error;
  std::vector<std::string> skipped;
  if (!ResolveBackup(options.backup, folder, error, &skipped)) {
    Say(error);
    return kExitFailed;
  }
  for (const std::string& damaged : skipped) Say("passed over the damaged backup " + damaged);
  Manifest manifest;
  const BackupCheck check = VerifyBackup(folder, &manifest);
  if (!check.good) {
    Say(folder + (check.manifestRead ? ": the backup is damaged; nothing was sent"
                                     : ": not a backup folder; nothing was sent"));
    std::fprintf(stderr, "%s\n", check.Text().c_str());
    return kExitFailed;
  }
  CopySelection copied = manifest.copied;
  std::string missing;
  if (!NarrowTo(options, copied, missing)) {
    Say(folder + ": the backup holds no " + missing);
    return kExitUsage;
  }
  options.base = JoinPath(folder, manifest.baseName);
  options.params = copied.params;
  options.common = copied.common;
  options.compensation = copied.compensation;
  options.patterns = copied.patterns;
  options.startBank = copied.firstBank;
  options.endBank = copied.lastBank;
  if (!options.quiet) {
    Say("writing the backup " + folder + " of " + manifest.sensor + ", made " + manifest.started);
  }
  return kExitDone;
}

}  // namespace zema
