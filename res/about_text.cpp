#include "res/about_text.h"

#include "res/messages.h"

namespace zema {

const char* ProgramVersion() { return ZEMA_VERSION; }

const std::string& AboutTitle() { return LoadMessage(kMsgAboutTitle); }

std::string AboutText(const std::string& userGuide, const std::string& transferLog) {
  return FillMessage(kMsgAboutVersion, {ProgramVersion()}) + "\n\n" +
         LoadMessage(kMsgAboutLicence) + "\n\n" + FillMessage(kMsgAboutUserGuide, {userGuide}) +
         "\n" + FillMessage(kMsgAboutTransferLog, {transferLog});
}

}  // namespace zema
