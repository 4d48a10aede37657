// The settings reader, given any bytes as the settings file: whatever the
// file holds, the controls end up inside their lists and the base name
// within its room, and the program-wide values agree with the controls.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "console/settings_file.h"
#include "res/dialog_templates.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/fake_dialogs.h"

namespace {

// One file in memory for the whole run, rewritten with every input and
// named through /proc: the reader takes a path, as the program gives it one.
std::string g_path;
int g_fd = -1;

bool InList(int selection, int last) { return selection >= 0 && selection <= last; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_fd = ::memfd_create("zema-loader.ini", MFD_CLOEXEC);
  if (g_fd < 0) std::abort();
  g_path = "/proc/self/fd/" + std::to_string(g_fd);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (::ftruncate(g_fd, 0) != 0 ||
      ::pwrite(g_fd, data, size, 0) != static_cast<ssize_t>(size)) {
    std::abort();
  }
  FakeControls controls;
  const SettingsChoices loaded = LoadSettings(g_path, controls);

  FUZZ_REQUIRE(InList(controls[kCtlPortList].selection, 8));
  FUZZ_REQUIRE(loaded.portNo == controls[kCtlPortList].selection + 1);
  FUZZ_REQUIRE(InList(controls[kCtlSpeedList].selection, 4));
  FUZZ_REQUIRE(InList(controls[kCtlStartBank].selection, 14));
  FUZZ_REQUIRE(InList(controls[kCtlEndBank].selection, 14));
  FUZZ_REQUIRE(loaded.startBank == controls[kCtlStartBank].selection);
  FUZZ_REQUIRE(loaded.endBank == controls[kCtlEndBank].selection);
  FUZZ_REQUIRE(loaded.commonParams == (controls[kCtlCommonParams].checked ? 1 : 0));
  FUZZ_REQUIRE(loaded.brightComp == (controls[kCtlBrightComp].checked ? 1 : 0));
  FUZZ_REQUIRE(loaded.bankParams == (controls[kCtlBankParams].checked ? 1 : 0));
  // The patterns line is never taken.
  FUZZ_REQUIRE(!controls[kCtlPatterns].checked && loaded.patterns == 0);
  const std::string& baseName = controls[kCtlBaseName].text;
  FUZZ_REQUIRE(baseName.size() <= 259);
  FUZZ_REQUIRE(baseName.find('\n') == std::string::npos);
  return 0;
}
