#include "tests/wine/wine_desktop.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/file_bytes.h"
#include "support/program_run.h"
#include "tests/wine/wine_program.h"

namespace zema {

namespace {

// A quoted field of a zema-window-texts line: up to the last quote.
std::string Quoted(const std::string& line, std::size_t from) {
  const std::size_t open = line.find('"', from);
  const std::size_t close = line.rfind('"');
  if (open == std::string::npos || close <= open) return {};
  std::string text = line.substr(open + 1, close - open - 1);
  for (std::size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at)) {
    text.replace(at, 2, "\n");
  }
  return text;
}

void RunXdotool(const std::vector<std::string>& arguments) {
  const ProgramOutcome done = RunProgram("/usr/bin/xdotool", arguments, {WineDisplay()});
  if (done.status != 0) throw std::runtime_error("xdotool failed: " + done.err);
}

}  // namespace

ShownControl ShownWindow::Control(int id) const {
  for (const ShownControl& control : controls) {
    if (control.id == id) return control;
  }
  return {};
}

std::string ShownWindow::FirstText(const std::string& kind) const {
  for (const ShownControl& control : controls) {
    if (control.kind == kind && !control.text.empty()) return control.text;
  }
  return {};
}

std::string WineDisplay() {
  const char* prefix = std::getenv("WINEPREFIX");
  std::ifstream file(std::string(prefix == nullptr ? "" : prefix) + "/.display");
  std::string number;
  if (!(file >> number)) throw std::runtime_error("the Wine prefix has no X display (Xvfb)");
  return "DISPLAY=:" + number;
}

void StartOnDesktop(ProgramRun& run, const std::string& program,
                    const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment, const std::string& outputFile) {
  std::vector<std::string> command{
      "-c", "exec \"$0\" \"$@\" </dev/null >\"$ZEMA_OUTPUT\" 2>/dev/null", ZEMA_WINE, program};
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<std::string> fullEnvironment{"WINEDEBUG=-all", WineDisplay(),
                                           "ZEMA_OUTPUT=" + outputFile};
  fullEnvironment.insert(fullEnvironment.end(), environment.begin(), environment.end());
  run.Start("/bin/sh", command, fullEnvironment);
}

std::vector<ShownWindow> ShownWindows() {
  const std::string listing = std::string(std::getenv("WINEPREFIX")) + "/.window-texts";
  ProgramRun texts;
  StartOnDesktop(texts, std::string(ZEMA_WINDOWS_BIN) + "/zema-window-texts.exe", {}, {}, listing);
  texts.Wait();
  std::vector<ShownWindow> windows;
  std::istringstream lines(WithLineFeeds(ReadFileBytes(listing)));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string word;
    fields >> word;
    if (word == "window") {
      ShownWindow window;
      window.title = Quoted(line, 0);
      std::istringstream rest(line.substr(line.rfind('"') + 1));
      rest >> word >> window.x >> window.y >> window.width >> window.height;
      windows.push_back(window);
    } else if (word == "control" && !windows.empty()) {
      ShownControl control;
      int enabled = 0;
      int visible = 0;
      int checked = 0;
      fields >> control.id >> control.kind >> enabled >> visible >> checked;
      control.checked = checked != 0;
      control.enabled = enabled != 0;
      control.visible = visible != 0;
      control.text = Quoted(line, 0);
      windows.back().controls.push_back(control);
    }
  }
  return windows;
}

std::optional<ShownWindow> WaitForWindow(const std::string& title,
                                         const std::function<bool(const ShownWindow&)>& ready,
                                         std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    for (const ShownWindow& window : ShownWindows()) {
      if (window.title == title && (!ready || ready(window))) return window;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return std::nullopt;
}

bool WaitUntilGone(const std::string& title, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    bool shown = false;
    for (const ShownWindow& window : ShownWindows()) shown = shown || window.title == title;
    if (!shown) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return false;
}

void ClickControl(const ShownWindow& window, const DialogTemplate& dialogTemplate,
                  Language language, int id) {
  const ControlTemplate* control = dialogTemplate.FindControl(id);
  if (control == nullptr) throw std::runtime_error("no control " + std::to_string(id));
  const DialogRect& rect = control->Position(language);
  // A drop-down list's height includes its opened list: aim at the box.
  const int height = control->kind == ControlKind::DropDownList ? 12 : rect.height;
  const int x =
      window.x + (2 * rect.x + rect.width) * window.width / (2 * dialogTemplate.Width(language));
  const int y =
      window.y + (2 * rect.y + height) * window.height / (2 * dialogTemplate.Height(language));
  RunXdotool({"mousemove", std::to_string(x), std::to_string(y), "click", "1"});
}

void PressKey(const std::string& key) { RunXdotool({"key", key}); }

}  // namespace zema
