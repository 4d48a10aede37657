#include "tests/support/private_transfer_log.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace zema {

void KeepTransferLogsInATestFolder() {
  // Never destroyed: the exit handler that removes it runs after the
  // destructors of statics made before it.
  static const std::string* folder = [] {
    auto* name = new std::string(
        (std::filesystem::temp_directory_path() / "zema-test-state-XXXXXX").string());
    if (::mkdtemp(name->data()) == nullptr) *name = "/nonexistent";
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*folder, ignored);
    });
    return name;
  }();
  ::setenv("XDG_STATE_HOME", folder->c_str(), 1);
}

}  // namespace zema
