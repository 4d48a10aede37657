// Qt's own catalogue for the user's language, so that standard buttons
// read "&Ja" / "&Nein" in German and their Japanese words in Japanese.
#pragma once

#include "res/messages.h"

namespace zema {

// Installs qtbase_de or qtbase_ja from Qt's translations folder on the
// running application, replacing one installed before; English needs no
// catalogue. True when a catalogue was installed.
bool InstallQtTranslations(Language language);

}  // namespace zema
