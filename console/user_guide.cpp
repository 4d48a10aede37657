#include "console/user_guide.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "console/settings_location.h"
#include "formats/utf8_path.h"
#include "frontend/operator_dialogs.h"
#include "res/about_text.h"
#include "res/messages.h"
#include "transfer/transfer_log.h"

namespace zema {

namespace fs = std::filesystem;

std::string UserGuidePath(const std::string& executablePath) {
  const fs::path folder = PathFromUtf8(executablePath).parent_path();
#ifdef _WIN32
  return Utf8FromPath(folder / "README.txt");
#else
  std::vector<fs::path> places{folder.parent_path() / "share/doc/zema-loader/user-guide.md"};
#ifdef ZEMA_SOURCE_USER_GUIDE
  places.emplace_back(ZEMA_SOURCE_USER_GUIDE);
#endif
  for (const fs::path& place : places) {
    std::error_code error;
    if (fs::is_regular_file(place, error)) return Utf8FromPath(place);
  }
  return Utf8FromPath(places.front());
#endif
}

void ShowProgramAbout(DialogWindow& window) {
  const std::string log = TransferLogPath();
  window.ShowAbout(AboutTitle(), AboutText(UserGuidePath(ExecutablePath()), log));
}

void ShowUserGuide(DialogWindow& window) {
  const std::string guide = UserGuidePath(ExecutablePath());
  std::error_code error;
  if (fs::is_regular_file(PathFromUtf8(guide), error) &&
      window.ShowDocument(LoadMessage(kMsgUserGuideTitle), guide)) {
    return;
  }
  window.Boxes().ShowError(FillMessage(kMsgUserGuideMissing, {guide}));
}

}  // namespace zema
