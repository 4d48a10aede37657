#include "backup/backup_diff.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "backup/backup_store.h"
#include "backup/png_file.h"
#include "formats/file_naming.h"
#include "formats/image_file.h"
#include "formats/parameter_file.h"
#include "formats/source_file.h"
#include "formats/staged_file.h"
#include "link/commands.h"

namespace {

using Kind = BackupItemChange::Kind;
using Change = BackupItemChange::Change;

constexpr std::size_t kPixels = static_cast<std::size_t>(kImageWidth) * kImageHeight;

// The name of `suffix`'s file in a backup, or empty when it has none.
std::string FileIn(const Manifest& manifest, const std::string& suffix) {
  const std::string name = manifest.baseName + suffix;
  for (const ManifestFile& file : manifest.files) {
    if (file.name == name) return name;
  }
  return {};
}

bool ReadImage(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  SourceFile file;
  bytes.assign(kImageFileBytes, 0);
  if (!file.Open(path) || file.Read(bytes) != kImageFileBytes) {
    error = path + ": not a whole image file";
    return false;
  }
  return true;
}

bool CompareParams(const std::string& before, const std::string& after, BackupItemChange& item,
                   std::string& error) {
  ParamFile older;
  ParamFile newer;
  for (auto [path, file] : {std::pair{&before, &older}, std::pair{&after, &newer}}) {
    if (LoadParamFile(path->c_str(), *file) != ParamFileStatus::Ok) {
      error = *path + ": not a parameter file";
      return false;
    }
  }
  for (int i = 0; i < kParamValuesPerSet; ++i) {
    if (older.values[i] != newer.values[i])
      item.values.push_back({i + 1, older.values[i], newer.values[i]});
  }
  return true;
}

// The newer image in dimmed grey with the changed pixels in red, the top
// row first (the bitmap keeps the bottom row first).
std::vector<std::uint8_t> ChangePicture(const std::vector<std::uint8_t>& older,
                                        const std::vector<std::uint8_t>& newer) {
  std::vector<std::uint8_t> rgb(3 * kPixels);
  for (std::size_t p = 0; p < kPixels; ++p) {
    const std::size_t at = kImageHeaderBytes + 3 * p;
    const std::size_t row = kImageHeight - 1 - p / kImageWidth;
    std::uint8_t* out = &rgb[3 * (row * kImageWidth + p % kImageWidth)];
    if (!std::equal(&older[at], &older[at] + 3, &newer[at])) {
      out[0] = 255;
      out[1] = out[2] = 0;
      continue;
    }
    const int grey = (29 * newer[at] + 150 * newer[at + 1] + 77 * newer[at + 2]) >> 8;
    out[0] = out[1] = out[2] = static_cast<std::uint8_t>(40 + grey / 3);
  }
  return rgb;
}

void WriteChangeImage(const std::string& imageFolder, const std::string& suffix,
                      const std::vector<std::uint8_t>& older,
                      const std::vector<std::uint8_t>& newer, BackupDiff& diff,
                      BackupItemChange& item) {
  // ".pt3.bmp" gives "changes-pt3.png".
  const std::string name = "changes-" + suffix.substr(1, suffix.size() - 5) + ".png";
  const std::vector<std::uint8_t> png =
      EncodePng(kImageWidth, kImageHeight, ChangePicture(older, newer));
  StagedFile file;
  if (file.Create(JoinPath(imageFolder, name)) && file.Write(png) && file.Commit()) {
    item.image = name;
  } else {
    diff.problems.push_back(JoinPath(imageFolder, name) + ": cannot be written");
  }
}

bool CompareImages(const std::string& before, const std::string& after,
                   const std::string& imageFolder, const std::string& suffix, BackupDiff& diff,
                   BackupItemChange& item, std::string& error) {
  std::vector<std::uint8_t> older;
  std::vector<std::uint8_t> newer;
  if (!ReadImage(before, older, error) || !ReadImage(after, newer, error)) return false;
  for (std::size_t p = 0; p < kPixels; ++p) {
    const std::size_t at = kImageHeaderBytes + 3 * p;
    if (!std::equal(&older[at], &older[at] + 3, &newer[at])) ++item.changedPixels;
  }
  if (item.changedPixels > 0 && !imageFolder.empty()) {
    WriteChangeImage(imageFolder, suffix, older, newer, diff, item);
  }
  return true;
}

std::string Plural(std::size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

const char* ChangeName(Change change) {
  switch (change) {
    case Change::Added:
      return "added";
    case Change::Removed:
      return "removed";
    case Change::Changed:
      break;
  }
  return "changed";
}

}  // namespace

std::string BackupItemChange::Where() const {
  if (kind == Kind::Compensation) return "compensation table";
  const std::string bank = "bank " + std::to_string(slot);
  if (kind == Kind::Pattern) return "pattern of " + bank;
  return slot == kCommonSlot ? "the common set" : bank;
}

std::string BackupItemChange::Name() const {
  if (kind != Kind::Params) return Where();
  return slot == kCommonSlot ? "common parameters" : "parameters of bank " + std::to_string(slot);
}

bool CompareBackups(const std::string& oldFolder, const Manifest& older,
                    const std::string& newFolder, const Manifest& newer,
                    const std::string& imageFolder, BackupDiff& diff, std::string& error) {
  diff = BackupDiff{};
  diff.oldFolder = oldFolder;
  diff.newFolder = newFolder;
  diff.since = older.started.substr(0, 10);
  std::vector<BackupItemChange> items;
  const auto add = [&items](Kind kind, int slot) {
    items.emplace_back();
    items.back().kind = kind;
    items.back().slot = slot;
  };
  for (int slot = 0; slot <= kCommonSlot; ++slot) add(Kind::Params, slot);
  add(Kind::Compensation, kCommonSlot);
  for (int bank = 0; bank < kBankCount; ++bank) add(Kind::Pattern, bank);

  for (BackupItemChange& item : items) {
    const std::string suffix = FileSuffix(item.slot, item.kind != Kind::Params);
    const std::string before = FileIn(older, suffix);
    const std::string after = FileIn(newer, suffix);
    if (before.empty() && after.empty()) continue;
    item.file = after.empty() ? before : after;
    if (before.empty() || after.empty()) {
      item.change = before.empty() ? Change::Added : Change::Removed;
    } else if (item.kind == Kind::Params) {
      if (!CompareParams(JoinPath(oldFolder, before), JoinPath(newFolder, after), item, error)) {
        return false;
      }
      if (item.values.empty()) continue;
    } else {
      if (!CompareImages(JoinPath(oldFolder, before), JoinPath(newFolder, after), imageFolder,
                         suffix, diff, item, error)) {
        return false;
      }
      if (item.changedPixels == 0) continue;
    }
    diff.items.push_back(std::move(item));
  }
  return true;
}

std::string SummaryLine(const BackupDiff& diff) {
  if (diff.Same()) return "unchanged since " + diff.since;
  std::string line = "changed since " + diff.since + ":";
  const char* separator = " ";
  for (const BackupItemChange& item : diff.items) {
    line += separator;
    separator = ", ";
    if (item.change != Change::Changed) {
      line += item.Name() + " " + ChangeName(item.change);
    } else if (item.kind == Kind::Params) {
      line += Plural(item.values.size(), "value") + " in " + item.Where();
    } else {
      line += item.Name();
    }
  }
  return line;
}

std::string DiffReport(const BackupDiff& diff) {
  std::string report;
  for (const BackupItemChange& item : diff.items) {
    if (item.change != Change::Changed) {
      report += item.Name() + ": " + ChangeName(item.change) + " (" + item.file + ")\n";
      continue;
    }
    for (const ValueChange& value : item.values) {
      report += item.Where() + ", line " + std::to_string(value.line) + ": " +
                std::to_string(value.before) + " -> " + std::to_string(value.after) + "\n";
    }
    if (item.kind != Kind::Params) {
      report += item.Name() + ": " + Plural(item.changedPixels, "pixel") + " changed" +
                (item.image.empty() ? std::string() : ", shown in " + item.image) + "\n";
    }
  }
  return report + SummaryLine(diff) + "\n";
}

std::string DiffJson(const BackupDiff& diff) {
  using json = nlohmann::ordered_json;
  json items = json::array();
  for (const BackupItemChange& item : diff.items) {
    static constexpr const char* kKinds[] = {"params", "compensation", "pattern"};
    json entry = {{"item", item.Name()},
                  {"kind", kKinds[static_cast<int>(item.kind)]},
                  {"slot", item.slot},
                  {"change", ChangeName(item.change)},
                  {"file", item.file}};
    if (item.kind == Kind::Params && item.change == Change::Changed) {
      json values = json::array();
      for (const ValueChange& value : item.values) {
        values.push_back({{"line", value.line}, {"old", value.before}, {"new", value.after}});
      }
      entry["values"] = values;
    } else if (item.change == Change::Changed) {
      entry["changed-pixels"] = item.changedPixels;
      entry["image"] = item.image.empty() ? json(nullptr) : json(item.image);
    }
    items.push_back(entry);
  }
  const json report = {{"old", diff.oldFolder},        {"new", diff.newFolder},
                       {"since", diff.since},          {"same", diff.Same()},
                       {"summary", SummaryLine(diff)}, {"changes", items},
                       {"problems", diff.problems}};
  return report.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
