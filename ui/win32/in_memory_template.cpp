#include "ui/win32/in_memory_template.h"

#include <commctrl.h>

#include <cstring>
#include <string>

#include "res/wide_text.h"

namespace zema {

namespace {

// The byte stream of a template, with the alignments its parts need.
class TemplateWriter {
 public:
  void Word(WORD value) { Append(&value, sizeof value); }
  void Dword(DWORD value) { Append(&value, sizeof value); }
  void Short(short value) { Append(&value, sizeof value); }
  void Byte(BYTE value) { Append(&value, sizeof value); }
  void Text(const std::wstring& text) { Append(text.c_str(), (text.size() + 1) * sizeof(wchar_t)); }
  void AlignToDword() {
    while (bytes_.size() % sizeof(DWORD) != 0) bytes_.push_back(0);
  }
  const std::vector<unsigned char>& bytes() const { return bytes_; }

 private:
  void Append(const void* data, std::size_t size) {
    const auto* first = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), first, first + size);
  }
  std::vector<unsigned char> bytes_;
};

// The button that Enter presses when no other button has the focus.
constexpr int kDefaultCommandId = IDOK;

// The template's font when the system has it; else the system's dialog
// font ("MS Shell Dlg" with DS_SHELLFONT), at the template's size either
// way, so the layout keeps its proportions.
//
// Measured under Wine 8 on Debian 12 (fonts-noto-cjk installed): no Windows
// font is enumerated at all, neither "MS UI Gothic" nor "MS Shell Dlg" nor
// Tahoma. A 10 point request for any of them gives Liberation Sans, 15
// pixels high, dialog base units 8 x 15 (the main dialog's client area 572
// x 349 pixels) under an English or German locale; under ja_JP it gives
// Noto Sans CJK JP, 19 pixels high, base units 8 x 19 (572 x 442). Windows
// itself has "MS UI Gothic" on Japanese systems and maps "MS Shell Dlg" to
// Tahoma elsewhere: other pixel sizes, the same dialog units.
bool FontInstalled(const std::wstring& family) {
  struct Search {
    static int CALLBACK Found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
      *reinterpret_cast<bool*>(found) = true;
      return 0;
    }
  };
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  if (family.size() >= LF_FACESIZE) return false;
  std::wmemcpy(wanted.lfFaceName, family.c_str(), family.size() + 1);
  bool found = false;
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(screen, &wanted, &Search::Found, reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

const wchar_t* ClassName(ControlKind kind) {
  switch (kind) {
    case ControlKind::DropDownList:
      return L"COMBOBOX";
    case ControlKind::CheckBox:
    case ControlKind::Button:
      return L"BUTTON";
    case ControlKind::StaticText:
      return L"STATIC";
    case ControlKind::Edit:
      return L"EDIT";
    case ControlKind::ProgressBar:
      return PROGRESS_CLASSW;
  }
  return L"STATIC";
}

DWORD ControlStyle(const ControlTemplate& control) {
  DWORD style = WS_CHILD;
  if (control.visible) style |= WS_VISIBLE;
  if (!control.enabled) style |= WS_DISABLED;
  switch (control.kind) {
    case ControlKind::DropDownList:
      return style | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    case ControlKind::CheckBox:
      return style | BS_AUTOCHECKBOX | WS_TABSTOP;
    case ControlKind::Button:
      return style | WS_TABSTOP |
             (control.id == kDefaultCommandId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    case ControlKind::StaticText:
      return style | SS_LEFT;  // wraps at word boundaries
    case ControlKind::Edit:
      return style | ES_AUTOHSCROLL | ES_LEFT | WS_BORDER | WS_TABSTOP;
    case ControlKind::ProgressBar:
      return style | WS_BORDER;
  }
  return style;
}

// A label without an id gets the one resource compilers give them
// (IDC_STATIC, -1).
DWORD ControlId(const ControlTemplate& control) {
  return control.id == kNoControlId ? static_cast<DWORD>(-1) : static_cast<DWORD>(control.id);
}

}  // namespace

InMemoryTemplate::InMemoryTemplate(const DialogTemplate& dialogTemplate, Language language) {
  const std::wstring preferredFont = WideFromUtf8(dialogTemplate.fontFamily);
  const bool ownFont = FontInstalled(preferredFont);

  DWORD style =
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | (ownFont ? DS_SETFONT : DS_SHELLFONT);
  if (dialogTemplate.centered) style |= DS_CENTER;
  const DWORD exStyle = dialogTemplate.showInTaskbar ? WS_EX_APPWINDOW : 0;

  TemplateWriter out;
  out.Word(1);       // dlgVer
  out.Word(0xFFFF);  // signature of the extended template
  out.Dword(0);      // helpID
  out.Dword(exStyle);
  out.Dword(style);
  out.Word(static_cast<WORD>(dialogTemplate.controls.size()));
  out.Short(0);
  out.Short(0);
  out.Short(static_cast<short>(dialogTemplate.Width(language)));
  out.Short(static_cast<short>(dialogTemplate.Height(language)));
  out.Word(0);  // no menu
  out.Word(0);  // the dialog manager's own window class
  out.Text(WideFromUtf8(dialogTemplate.Title(language)));
  out.Word(static_cast<WORD>(dialogTemplate.fontPointSize));
  out.Word(FW_NORMAL);
  out.Byte(FALSE);  // italic
  out.Byte(DEFAULT_CHARSET);
  out.Text(ownFont ? preferredFont : std::wstring(L"MS Shell Dlg"));

  for (const ControlTemplate& control : dialogTemplate.controls) {
    out.AlignToDword();
    const DialogRect& rect = control.Position(language);
    out.Dword(0);  // helpID
    out.Dword(control.kind == ControlKind::Edit ? WS_EX_CLIENTEDGE : 0);
    out.Dword(ControlStyle(control));
    out.Short(static_cast<short>(rect.x));
    out.Short(static_cast<short>(rect.y));
    out.Short(static_cast<short>(rect.width));
    out.Short(static_cast<short>(rect.height));
    out.Dword(ControlId(control));
    out.Text(ClassName(control.kind));
    out.Text(WideFromUtf8(control.Caption(language)));
    out.Word(0);  // no creation data
  }

  const std::vector<unsigned char>& bytes = out.bytes();
  words_.assign((bytes.size() + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
  std::memcpy(words_.data(), bytes.data(), bytes.size());
}

void InMemoryTemplate::FillLists(HWND dialog, const DialogTemplate& dialogTemplate) {
  for (const ControlTemplate& control : dialogTemplate.controls) {
    if (control.kind != ControlKind::DropDownList) continue;
    for (const char* item : control.items) {
      ::SendDlgItemMessageW(dialog, control.id, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(WideFromUtf8(item).c_str()));
    }
    ::SendDlgItemMessageW(dialog, control.id, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  }
}

}  // namespace zema
