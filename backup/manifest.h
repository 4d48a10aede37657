// manifest.json: what a backup folder holds and how it came to be. A
// backup is good only while its manifest reads back whole and every file
// it lists still has its size and SHA-256.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "backup/inventory.h"

namespace zema {

inline constexpr char kManifestName[] = "manifest.json";
// The outcome of a backup whose every item was read.
inline constexpr char kOutcomeComplete[] = "complete";

struct ManifestFile {
  std::string name;  // in the backup's folder, no folder part
  std::uint64_t size = 0;
  std::string sha256;  // 64 lower-case hexadecimal digits
  bool operator==(const ManifestFile&) const = default;
};

struct Manifest {
  std::string program;   // "zema-transfer 1.0"
  std::string sensor;    // the inventory's name
  std::string baseName;  // the files' base name inside the folder
  SensorPlace place;
  SensorConnection connection;
  CopySelection copied;
  std::string started;  // ISO 8601 with the offset from UTC
  std::string ended;
  std::vector<ManifestFile> files;
  std::string outcome = kOutcomeComplete;
  bool operator==(const Manifest&) const = default;
};

std::string ManifestText(const Manifest& manifest);

// Strict: false with `error` (which field, what is wrong) for text that
// is not JSON, a field missing or of the wrong kind, a file name with a
// folder part, a digest that is not 64 hexadecimal digits.
bool ParseManifest(std::string_view text, Manifest& manifest, std::string& error);

// Reads `folder`/manifest.json (UTF-8 path).
bool LoadManifest(const std::string& folder, Manifest& manifest, std::string& error);

// The names of the kinds in `copied`, in the order of the command line's
// options: "params", "common", "compensation", "patterns".
std::vector<std::string> KindNames(const CopySelection& copied);

}  // namespace zema
