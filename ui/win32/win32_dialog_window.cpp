#include "ui/win32/win32_dialog_window.h"

#include <commctrl.h>

#include "res/wide_text.h"
#include "ui/win32/in_memory_template.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/win32_file_picker.h"
#include "ui/win32/win32_help.h"
#include "ui/win32/win32_operator_dialogs.h"

namespace zema {

namespace {

// How often the progress bar may be repainted. Wine's progress bar
// repaints itself within PBM_SETPOS, and the repaint reaches the X server
// before the call returns: measured under Wine 8 on Xvfb, 1.3 to 2 ms
// for each position, on the run's thread between a block's reply and the
// next command. A paced block takes 45 ms, so repainting after each of
// the 22 blocks a second slowed the compensation table's READ to 1.029 x
// its wire time. The bar moves a few pixels a block; shown five times a
// second it moves as steadily to the eye.
constexpr ULONGLONG kProgressRepaintMs = 200;
// The timer that shows a position held back, when no newer one follows
// soon enough; its number is above any the handlers use.
constexpr UINT_PTR kProgressTimerId = 0x5A50;

// UTF-16 units in the first `bytes` bytes of a UTF-8 text.
int Utf16Position(const std::string& text, std::size_t bytes) {
  return static_cast<int>(WideFromUtf8(text.substr(0, bytes)).size());
}

HICON LoadProgramIcon(int metricX, int metricY) {
  return static_cast<HICON>(
      ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ZEMA_ICON_RESOURCE), IMAGE_ICON,
                   ::GetSystemMetrics(metricX), ::GetSystemMetrics(metricY), LR_DEFAULTCOLOR));
}

}  // namespace

Win32DialogWindow::Win32DialogWindow(DialogHandlers& handlers) : handlers_(handlers) {}

Win32DialogWindow::~Win32DialogWindow() {
  if (largeIcon_ != nullptr) ::DestroyIcon(largeIcon_);
  if (smallIcon_ != nullptr) ::DestroyIcon(smallIcon_);
}

int Win32DialogWindow::Run(DialogHandlers& handlers, HWND owner) {
  Win32DialogWindow window(handlers);
  const InMemoryTemplate image(handlers.Template(), CurrentLanguage());
  const INT_PTR result =
      ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), image.Get(), owner,
                                &Win32DialogWindow::DialogProc, reinterpret_cast<LPARAM>(&window));
  return static_cast<int>(result);
}

INT_PTR CALLBACK Win32DialogWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* window = reinterpret_cast<Win32DialogWindow*>(lParam);
    ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    window->dialog_ = dialog;
  }
  auto* window = reinterpret_cast<Win32DialogWindow*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  return window == nullptr ? FALSE : window->OnMessage(message, wParam, lParam);
}

INT_PTR Win32DialogWindow::OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG:
      InMemoryTemplate::FillLists(dialog_, handlers_.Template());
      if (const std::string about = handlers_.AboutMenuText(); !about.empty()) {
        AddAboutToSystemMenu(dialog_, about);
      }
      handlers_.OnInitDialog(*this);
      // TRUE lets the dialog manager give the focus to the first control.
      return focusSet_ ? FALSE : TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDCANCEL) {
        handlers_.OnCancel();
        return TRUE;
      }
      // Enter sends the default button's id even where that button is
      // disabled (OK during a run): a disabled control commands nothing.
      const HWND control = Item(id);
      if (HIWORD(wParam) != BN_CLICKED || control == nullptr || !::IsWindowEnabled(control)) {
        return FALSE;
      }
      // Buttons and check boxes only: a static or an edit field sends
      // other codes, but a list's CBN_SELCHANGE has BN_CLICKED's value 1.
      wchar_t className[16] = {};
      ::GetClassNameW(control, className, 16);
      if (::lstrcmpiW(className, L"Button") != 0) return FALSE;
      handlers_.OnCommand(id);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam == kProgressTimerId) {
        ShowPendingProgress();
      } else {
        handlers_.OnTimer(static_cast<int>(wParam));
      }
      return TRUE;
    case WM_SYSCOMMAND:
      // The system's own commands (move, close, ...) go on to the dialog
      // manager.
      if ((wParam & 0xFFF0) != kAboutSystemCommand) return FALSE;
      handlers_.OnAbout();
      return TRUE;
    case WM_HELP:
      handlers_.OnHelp();
      return TRUE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(largeIcon_);
    default:
      return FALSE;
  }
}

void Win32DialogWindow::EnableControl(int id, bool enabled) {
  if (HWND control = Item(id)) ::EnableWindow(control, enabled ? TRUE : FALSE);
}

bool Win32DialogWindow::IsControlEnabled(int id) const {
  HWND control = Item(id);
  return control != nullptr && ::IsWindowEnabled(control);
}

void Win32DialogWindow::SetControlText(int id, const std::string& text) {
  ::SetDlgItemTextW(dialog_, id, WideFromUtf8(text).c_str());
}

std::string Win32DialogWindow::ControlText(int id) const {
  HWND control = Item(id);
  if (control == nullptr) return {};
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  const int length = ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return Utf8FromWide(text);
}

bool Win32DialogWindow::IsChecked(int id) const {
  return ::IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
}

void Win32DialogWindow::SetChecked(int id, bool checked) {
  ::CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

int Win32DialogWindow::ListSelection(int id) const {
  const LRESULT index = ::SendDlgItemMessageW(dialog_, id, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? -1 : static_cast<int>(index);
}

void Win32DialogWindow::SetListSelection(int id, int index) {
  ::SendDlgItemMessageW(dialog_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Win32DialogWindow::SetFocusTo(int id) {
  HWND control = Item(id);
  if (control == nullptr) return;
  // Through the dialog manager, so that the default button follows the
  // focus as it does for Tab.
  ::SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
  focusSet_ = true;
}

void Win32DialogWindow::SelectText(int id, std::size_t start, std::size_t end) {
  const std::string text = ControlText(id);
  ::SendDlgItemMessageW(dialog_, id, EM_SETSEL, static_cast<WPARAM>(Utf16Position(text, start)),
                        static_cast<LPARAM>(Utf16Position(text, end)));
  ::SendDlgItemMessageW(dialog_, id, EM_SCROLLCARET, 0, 0);
}

void Win32DialogWindow::SetProgressRange(int id, int low, int high) {
  progressLow_ = low;
  progressHigh_ = high;
  ::SendDlgItemMessageW(dialog_, id, PBM_SETRANGE32, static_cast<WPARAM>(low),
                        static_cast<LPARAM>(high));
}

// At most one repaint every kProgressRepaintMs; a position in between waits
// for the next one, or for the timer when none comes. A step's start and
// the end of the range are shown at once, so the bar never shows less than
// the last position asked for once it is idle, and always its end.
void Win32DialogWindow::SetProgressPosition(int id, int position) {
  pendingBar_ = id;
  pendingPosition_ = position;
  const ULONGLONG sinceShown = ::GetTickCount64() - progressShownAt_;
  if (position <= progressLow_ || position >= progressHigh_ || sinceShown >= kProgressRepaintMs) {
    ShowPendingProgress();
  } else if (!progressTimerRunning_) {
    ::SetTimer(dialog_, kProgressTimerId, static_cast<UINT>(kProgressRepaintMs - sinceShown),
               nullptr);
    progressTimerRunning_ = true;
  }
}

void Win32DialogWindow::ShowPendingProgress() {
  if (progressTimerRunning_) {
    ::KillTimer(dialog_, kProgressTimerId);
    progressTimerRunning_ = false;
  }
  if (pendingBar_ == 0) return;
  ::SendDlgItemMessageW(dialog_, pendingBar_, PBM_SETPOS, static_cast<WPARAM>(pendingPosition_), 0);
  pendingBar_ = 0;
  progressShownAt_ = ::GetTickCount64();
}

void Win32DialogWindow::StartTimer(int timerId, int milliseconds) {
  // No callback: the timer arrives as WM_TIMER in the dialog's procedure.
  ::SetTimer(dialog_, static_cast<UINT_PTR>(timerId), static_cast<UINT>(milliseconds), nullptr);
}

void Win32DialogWindow::KillTimer(int timerId) {
  ::KillTimer(dialog_, static_cast<UINT_PTR>(timerId));
}

void Win32DialogWindow::SetProgramIcon() {
  if (largeIcon_ == nullptr) largeIcon_ = LoadProgramIcon(SM_CXICON, SM_CYICON);
  if (smallIcon_ == nullptr) smallIcon_ = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);
  ::SendMessageW(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
  ::SendMessageW(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
}

void Win32DialogWindow::ShowWindow() { ::ShowWindow(dialog_, SW_SHOW); }

void Win32DialogWindow::PumpPendingEvents() {
  // One waiting message of the thread, of any window, as the cancel poll
  // has always taken it: a click on CANCEL is a few messages (button down,
  // button up, which sends BN_CLICKED) and is seen after a few blocks.
  // (What a block costs the dialog under Wine is the progress bar's
  // repaint, which SetProgressPosition holds back.)
  MSG message;
  if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
  if (message.message == WM_QUIT) {
    // The modal loop that owns the thread must see it.
    ::PostQuitMessage(static_cast<int>(message.wParam));
    return;
  }
  // Keys reach the dialog as they would in its own loop: Esc is IDCANCEL,
  // Space presses the focused button.
  if (::IsDialogMessageW(dialog_, &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

void Win32DialogWindow::EndDialog(int result) { ::EndDialog(dialog_, result); }

int Win32DialogWindow::RunModal(DialogHandlers& dialog) { return Run(dialog, dialog_); }

OperatorDialogs& Win32DialogWindow::Boxes() {
  if (!boxes_) boxes_ = std::make_unique<Win32OperatorDialogs>(dialog_);
  return *boxes_;
}

FilePicker& Win32DialogWindow::FileOpenDialog() {
  if (!picker_) picker_ = std::make_unique<Win32FilePicker>(dialog_);
  return *picker_;
}

void Win32DialogWindow::AddListEntry(int id, const std::string& text) {
  ::SendDlgItemMessageW(dialog_, id, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(WideFromUtf8(text).c_str()));
}

void Win32DialogWindow::ShowAbout(const std::string& title, const std::string& text) {
  ShowWin32AboutBox(dialog_, title, text);
}

bool Win32DialogWindow::ShowDocument(const std::string& /*title*/, const std::string& path) {
  return OpenWin32Document(dialog_, path);
}

}  // namespace zema
