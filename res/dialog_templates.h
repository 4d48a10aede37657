// The program's two windows as data: the main dialog (102) and the progress
// dialog (131), each in English, German and Japanese.
//
// A template lists its controls in tab order with id, kind, caption,
// initial state, position in dialog units and list contents. Positions may
// differ per language so that the longer German and Japanese texts fit; every
// other fact is held once. The toolkit shells (ui/) build their windows from
// these tables; the core only uses the control ids.
#pragma once

#include <array>
#include <span>

#include "res/messages.h"

namespace zema {

// Template numbers.
inline constexpr int kMainDialogTemplate = 102;
inline constexpr int kProgressDialogTemplate = 131;

// Id of labels that the program never addresses.
inline constexpr int kNoControlId = -1;

// Controls of the main dialog (102).
enum MainDialogControl : int {
  kCtlExit = 1,             // EXIT, the dialog's OK command
  kCtlRead = 3,             // READ from the sensor
  kCtlWrite = 4,            // WRITE to the sensor
  kCtlRun = 5,              // RUN: resume the sensor and disconnect
  kCtlPortList = 1000,      // "COM1" .. "COM9"
  kCtlSpeedList = 1002,     // command-mode line speed (hidden)
  kCtlComModeBox = 1003,    // clear: "PC LOAD/SAVE" mode, ticked: command mode (hidden)
  kCtlBaseName = 1004,      // file base name, may hold a folder path
  kCtlCommonParams = 1005,  // data kind: common parameter set
  kCtlBankParams = 1006,    // data kind: bank parameter sets
  kCtlPatterns = 1007,      // data kind: pattern images (hidden)
  kCtlBrightComp = 1008,    // data kind: brightness-compensation table
  kCtlConnect = 1037,       // CONNECT
  kCtlLoadSaveHint = 1039,  // hint for "PC LOAD/SAVE" mode
  kCtlComModeNote = 1040,   // note for command mode (hidden)
  kCtlStartBank = 1041,     // "0" .. "14"
  kCtlEndBank = 1042,       // "0" .. "14"
  kCtlRef = 1043,           // Ref.: choose the base name with a file dialog
  kCtlSpeedLabel = 1044,    // caption of the speed list (hidden)
};

// Controls of the progress dialog (131).
enum ProgressDialogControl : int {
  kCtlOk = 1,  // closes the dialog after the run; disabled until then
  kCtlProgressBar = 1050,
  kCtlStepLine = 1051,  // what the run is doing
  kCtlCancel = 1052,
  kCtlDetailLine = 1053,  // bank number, flash note
};

enum class ControlKind { DropDownList, CheckBox, Button, StaticText, Edit, ProgressBar };

// A rectangle in dialog units: x and width in quarters of the dialog font's
// average character width, y and height in eighths of its height.
struct DialogRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// One text per language, indexed by Language; UTF-8.
using LanguageTexts = std::array<const char*, 3>;
// One rectangle per language, indexed by Language.
using LanguageRects = std::array<DialogRect, 3>;

constexpr int LanguageIndex(Language language) { return static_cast<int>(language); }

struct ControlTemplate {
  int id;  // kNoControlId for an unaddressed label
  ControlKind kind;
  LanguageTexts caption;  // "" where the control has no caption
  bool visible;
  bool enabled;
  // For a drop-down list the height includes the opened list.
  LanguageRects position;
  // Entries of a drop-down list, filled when the dialog is created.
  std::span<const char* const> items;

  const char* Caption(Language language) const { return caption[LanguageIndex(language)]; }
  const DialogRect& Position(Language language) const { return position[LanguageIndex(language)]; }
};

struct DialogTemplate {
  int id;
  LanguageTexts title;
  std::array<DialogRect, 3> size;  // only width and height are used
  // Preferred font; where it is not installed the system's font is used.
  const char* fontFamily;
  int fontPointSize;
  bool centered;                              // centred on its owner (or the screen)
  bool showInTaskbar;                         // a top-level window with its own taskbar entry
  std::span<const ControlTemplate> controls;  // in tab order

  const char* Title(Language language) const { return title[LanguageIndex(language)]; }
  int Width(Language language) const { return size[LanguageIndex(language)].width; }
  int Height(Language language) const { return size[LanguageIndex(language)].height; }
  // The control with this id, or nullptr (kNoControlId is never found).
  const ControlTemplate* FindControl(int controlId) const;
};

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& ProgressDialogTemplate();

}  // namespace zema
