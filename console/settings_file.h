// The settings file: the main dialog's choices from one run of the program
// to the next.
//
// Ten lines, by position: port list index, speed list index, start bank,
// end bank, then the check states (0/1) of common parameters, brightness
// compensation, bank parameters, patterns and com-mode, each written with
// "%d\n"; the tenth line is the file base name with no line end.
//
// The file is read as the earliest versions of the program read it, so that
// files from the field load the same way: each numeric line with room for
// six characters (line end included; the rest of a longer line is read as
// the next line), converted like strtoul and taken as a signed 32-bit value,
// then tested against its range; the base name with room for 259
// characters. A file an editor saved (a UTF-8 byte-order mark at its start,
// CR LF line ends, the name in UTF-8) reads as the user wrote it; the
// program itself writes line feeds only and the name as settings_text.h
// says. Some asymmetries are kept on purpose:
//  - the patterns line is written but never read back: patterns start clear;
//  - com-mode is 0 without a file but 1 for any stored value other than 0/1;
//  - the port is stored as a list index and read as a port number.
#pragma once

#include <string>

#include "frontend/dialog_controls.h"
#include "frontend/operator_dialogs.h"

// The choices the settings file keeps, as read (the port as its number).
struct SettingsChoices {
  int portNo = 1;
  int speedIndex = 4;  // "57600 (5)"
  int startBank = 0;
  int endBank = 14;
  int commonParams = 1;
  int brightComp = 1;
  int bankParams = 1;
  int patterns = 0;
  int comMode = 0;
  std::string baseName = "Untitled";
};

// Reads `path` into the main dialog's controls (port, speed and bank
// lists, the five check boxes, the base name field) and returns what it
// took from it. Never fails visibly: a
// missing or unreadable file, or one that is not a regular file, gives the
// first-start choices (COM1,
// "57600 (5)", banks 0 to 14, the three visible data kinds ticked, patterns
// and com-mode clear, "Untitled"); a value out of range gives that line's
// replacement; a file that ends before its ninth line gives the first-start
// choices for the lines it lacks.
SettingsChoices LoadSettings(const std::string& path, DialogControls& controls);

// Writes the controls to `path` through a temporary file renamed over it
// (into the existing file itself, once the content is complete, where the
// folder takes no new file), creating its folder when needed. When that fails the operator is shown
// message 103, an earlier file stays as it was, and the result is false.
bool SaveSettings(const std::string& path, const DialogControls& controls,
                  OperatorDialogs& dialogs);
