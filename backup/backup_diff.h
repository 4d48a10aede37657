// What changed between two backups of a sensor: the parameter values, item
// by item, and how many pixels of each image, with a picture of where.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "backup/manifest.h"

namespace zema {

struct ValueChange {
  int line = 0;  // in the file, counted from 1 as an editor counts
  std::uint16_t before = 0;
  std::uint16_t after = 0;
};

// One item (a parameter set, the compensation table, a pattern) that is
// not the same in both backups.
struct BackupItemChange {
  enum class Kind { Params, Compensation, Pattern };
  enum class Change { Changed, Added, Removed };  // Added: only in the newer backup
  Kind kind = Kind::Params;
  int slot = 0;  // 0 to 14 a bank, 15 the common set or the compensation table
  Change change = Change::Changed;
  std::string file;                 // its name in the newer backup (the older when removed)
  std::vector<ValueChange> values;  // Params
  std::uint64_t changedPixels = 0;  // Compensation, Pattern
  std::string image;                // the change image written beside the newer backup

  // "bank 4", "the common set" (where values are), "pattern of bank 3",
  // "compensation table", "parameters of bank 4", "common parameters".
  std::string Where() const;
  std::string Name() const;
};

struct BackupDiff {
  std::string oldFolder;
  std::string newFolder;
  std::string since;                    // the date the older backup was started: "2026-11-08"
  std::vector<BackupItemChange> items;  // in the order a run handles them
  std::vector<std::string> problems;    // change images that could not be written

  bool Same() const { return items.empty(); }
};

// Compares two backups, each verified against its manifest beforehand,
// item by item by the files' suffixes (the base names may differ). With an
// `imageFolder` each changed image gets a PNG there: the newer image in
// dimmed grey, the changed pixels in red ("changes-cmp.png",
// "changes-pt3.png"). False with `error` when a file cannot be read.
bool CompareBackups(const std::string& oldFolder, const Manifest& older,
                    const std::string& newFolder, const Manifest& newer,
                    const std::string& imageFolder, BackupDiff& diff, std::string& error);

// "unchanged since 2026-11-08", or "changed since 2026-11-08: 3 values in
// bank 4, compensation table, pattern of bank 3 added".
std::string SummaryLine(const BackupDiff& diff);

// A line per changed value and per other item, then the summary line.
std::string DiffReport(const BackupDiff& diff);

// The whole comparison as JSON.
std::string DiffJson(const BackupDiff& diff);

}  // namespace zema
