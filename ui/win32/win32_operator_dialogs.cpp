#include "ui/win32/win32_operator_dialogs.h"

#include "res/wide_text.h"

namespace zema {

namespace {

UINT IconStyle(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Stop:
      return MB_ICONERROR;
    case BoxIcon::Warning:
      return MB_ICONEXCLAMATION;
    case BoxIcon::Question:
      return MB_ICONQUESTION;
  }
  return 0;
}

}  // namespace

bool Win32OperatorDialogs::AskYesNo(int /*question*/, const std::string& text,
                                    const std::string& caption, BoxIcon icon) {
  return ::MessageBoxW(owner_, WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(),
                       MB_YESNO | IconStyle(icon)) == IDYES;
}

void Win32OperatorDialogs::ShowError(const std::string& text, const std::string& detail) {
  // The system's reason, in English, on a paragraph of its own below the
  // translated text.
  const std::string shown = detail.empty() ? text : text + "\n\n" + detail;
  ::MessageBoxW(owner_, WideFromUtf8(shown).c_str(), WideFromUtf8(kCaptionError).c_str(),
                MB_OK | IconStyle(BoxIcon::Stop));
}

}  // namespace zema
