// A dialog template of res/dialog_templates.h as the Win32 dialog manager
// takes it: an extended dialog template (DLGTEMPLATEEX) in memory, for
// DialogBoxIndirectParamW.
//
// Title, size, positions and captions are the template's in the language
// given, in dialog units; the font is the template's where it is installed,
// else the system's dialog font ("MS Shell Dlg"). List entries are not part
// of a Win32 template: FillLists puts them in when the dialog is created.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "res/dialog_templates.h"

namespace zema {

class InMemoryTemplate {
 public:
  InMemoryTemplate(const DialogTemplate& dialogTemplate, Language language);

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  // Fills the drop-down lists of `dialog` with the template's entries, none
  // selected.
  static void FillLists(HWND dialog, const DialogTemplate& dialogTemplate);

 private:
  // DWORDs, so that the template starts DWORD-aligned as it must.
  std::vector<DWORD> words_;
};

}  // namespace zema
