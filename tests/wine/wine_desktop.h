// The Windows build's dialogs under Wine, seen and driven as an operator
// would: what the Windows API says is on the screen (zema-window-texts.exe)
// and clicks and keys on the prefix's X display (xdotool).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "res/dialog_templates.h"
#include "support/program_run.h"

namespace zema {

struct ShownControl {
  int id = 0;
  std::string kind;  // the window class, "Button", "Static", ...
  bool enabled = false;
  bool visible = false;
  bool checked = false;  // a check box
  std::string text;
};

struct ShownWindow {
  std::string title;
  // The client area on the screen, in pixels.
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::vector<ShownControl> controls;

  // The control with this id; an empty one when there is none.
  ShownControl Control(int id) const;
  // The first control of this class whose text is not empty (a message
  // box's text).
  std::string FirstText(const std::string& kind) const;
};

// "DISPLAY=:N" of the run's prefix (wine_prefix.sh).
std::string WineDisplay();

// Starts a Windows program with `arguments` under Wine on the prefix's
// display, its standard output going to `outputFile` (else nowhere). The
// first windowing program of a session starts Wine's desktop process,
// which inherits that program's standard files and keeps them open: a pipe
// would never reach its end, so the program gets no pipe at all.
void StartOnDesktop(ProgramRun& run, const std::string& program,
                    const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment,
                    const std::string& outputFile = "/dev/null");

// The visible top-level windows with a title.
std::vector<ShownWindow> ShownWindows();

// Waits until a window titled `title` is shown and `ready` holds for it;
// empty after `limit`.
std::optional<ShownWindow> WaitForWindow(
    const std::string& title, const std::function<bool(const ShownWindow&)>& ready = nullptr,
    std::chrono::milliseconds limit = std::chrono::seconds(30));
// Waits until no window titled `title` is shown; false after `limit`.
bool WaitUntilGone(const std::string& title,
                   std::chrono::milliseconds limit = std::chrono::seconds(30));

// A click in the middle of control `id` of a dialog built from
// `dialogTemplate` in `language`: its place is the template's, in the
// dialog units that the window's client size gives.
void ClickControl(const ShownWindow& window, const DialogTemplate& dialogTemplate,
                  Language language, int id);
// A key (an X key name: "Escape", "Return", "n") to the focused window.
void PressKey(const std::string& key);

}  // namespace zema
