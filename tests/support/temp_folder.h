// A fresh, uniquely named folder under the system's temporary folder for
// one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>

namespace zema {

class TempFolder {
 public:
  // `prefix` names the folder so that a leftover can be traced to its test.
  explicit TempFolder(const std::string& prefix);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  operator const std::filesystem::path&() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace zema
