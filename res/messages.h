// User-visible texts, loaded by number in the user's interface language.
#pragma once

#include <initializer_list>
#include <string>

namespace zema {

enum class Language { English, German, Japanese };

// Numbers of the message table.
enum MessageId : int {
  kMsgAgreeToExit = 102,
  kMsgSetupFileWriteFailed = 103,
  kMsgConnectStopZema = 104,
  kMsgConfirmCommunication = 105,
  kMsgComOpenFailed = 106,
  kMsgAgreeStopOperation = 107,
  kMsgBaudRateInvalid = 108,
  kMsgIfPcLoadSave = 109,
  kMsgAgreeOverwriteSettings = 110,
  kMsgNoResponse = 111,
  kMsgSensorGotInvalidData = 112,
  kMsgInvalidResponse = 113,
  kMsgModeNotSecured = 114,
  kMsgFailedToSecureMode = 115,
  kMsgChecksumError = 116,
  kMsgReadingBankParams = 117,
  kMsgReadingCommonParams = 118,
  kMsgFoundSameFilename = 119,
  kMsgFailedToCreateFile = 120,
  kMsgReadingCompensation = 121,
  kMsgReadingPatterns = 122,
  kMsgBankNo = 123,
  kMsgWritingBankParams = 124,
  kMsgWritingCommonParams = 125,
  kMsgBankParamsFile = 126,
  kMsgIsNotFoundAbort = 127,
  kMsgTransferAborted = 128,
  kMsgWritingCompensation = 129,
  kMsgCompensationFileNotFound = 130,
  kMsgWritingFlash = 131,
  kMsgWritingPatterns = 132,
  kMsgPatternsFile = 133,
  kMsgAborted = 134,
  kMsgNoTargetForReading = 135,
  kMsgNoTargetForWriting = 136,
  kMsgReadingCompleted = 137,
  kMsgWritingCompleted = 138,
  // Texts of our own, for faults of the original that this program refuses.
  kMsgParamFileTooShort = 139,  // followed by the file's path
  kMsgBaseNameTooLong = 140,
  kMsgImageFileRejected = 141,  // followed by the file's path
  // Comparing the sensor with files (zema-transfer compare, write --verify).
  kMsgDiffersFromFile = 142,    // followed by the file's path
  kMsgValueDiffers = 143,       // %1 line, %2 its text in the file, %3 in the sensor
  kMsgBlockValueDiffers = 144,  // %1 block, %2 value, %3 file, %4 sensor
  kMsgSameAsFiles = 145,
  kMsgFileNotFound = 146,  // followed by the file's path
  // Refused before anything is sent.
  kMsgParamNotANumber = 147,     // %1 file, %2 line, %3 its text
  kMsgParamTooManyValues = 148,  // %1 file, %2 line, %3 its text
  kMsgBaseNameWithoutName = 149,
  kMsgVerifying = 150,
  // Leaving the program while connected.
  kMsgResumeBeforeExit = 151,
  kMsgParamFileUtf16 = 153,  // %1 file
  // Windows: after the system's words in a COM port's detail line.
  kMsgPortInUse = 158,
  kMsgNoSuchComPort = 159,
  // The About box and the user guide.
  kMsgAboutMenuItem = 160,  // the main dialog's item in its window menu
  kMsgAboutTitle = 161,
  kMsgAboutVersion = 162,  // %1 the version
  kMsgAboutLicence = 163,
  kMsgAboutUserGuide = 164,    // %1 where the user guide is
  kMsgAboutTransferLog = 165,  // %1 where the transfer log is
  kMsgUserGuideMissing = 166,  // %1 where the user guide was looked for
  kMsgUserGuideTitle = 167,
};

// The language of the user interface: on Linux the first of LC_ALL,
// LC_MESSAGES and LANG that is set ("de*" German, "ja*" Japanese, anything
// else English); on Windows the user's default UI language.
Language DetectLanguage();

// The language LoadMessage uses; detected on first use unless set.
Language CurrentLanguage();
void SetLanguage(Language language);

// Message `id` in the current language (UTF-8); an empty text for a number
// the table does not have.
const std::string& LoadMessage(int id);
const std::string& LoadMessage(int id, Language language);

// Message `id` with %1, %2, ... replaced by the arguments in that order.
std::string FillMessage(int id, std::initializer_list<std::string> arguments);

}  // namespace zema
