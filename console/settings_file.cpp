#include "console/settings_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "console/connection_control.h"
#include "console/settings_text.h"
#include "link/last_error.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "transfer/source_file.h"
#include "transfer/staged_file.h"
#include "transfer/transfer_target.h"
#include "transfer/utf8_path.h"

namespace {

// Room of the line buffers, terminating zero included.
constexpr int kNumberLineRoom = 6 + 1;
constexpr int kBaseNameRoom = 259 + 1;

constexpr int kLastPortIndex = 8;  // "COM9"
constexpr int kLastSpeedIndex = 4;
constexpr int kLastBank = 14;

struct Choices {
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

class LineReader {
 public:
  explicit LineReader(std::FILE* file) : file_(file) {}

  // The next numeric line; false at the end of the file. A line without
  // digits reads as 0, the text -1 as -1.
  bool ReadNumber(int& value) {
    char line[kNumberLineRoom];
    if (std::fgets(line, sizeof line, file_) == nullptr) return false;
    const unsigned long number = std::strtoul(line, nullptr, 10);
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
    return true;
  }

  // The next line, at most 259 characters of it, without its line end;
  // empty at the end of the file.
  std::string ReadText() {
    char line[kBaseNameRoom];
    if (std::fgets(line, sizeof line, file_) == nullptr) return {};
    std::string_view text(line);
    // The program never ends this line, but a file edited by hand often
    // does: a line end is not part of a name.
    if (text.ends_with('\n')) text.remove_suffix(1);
    if (text.ends_with('\r')) text.remove_suffix(1);
    return std::string(text);
  }

 private:
  std::FILE* file_;
};

bool InRange(int value, int low, int high) { return low <= value && value <= high; }

// Applies one numeric line: a value outside [low, high] becomes `outside`;
// a missing line leaves `target` at its first-start value.
bool ReadRanged(LineReader& reader, int& target, int low, int high, int outside) {
  int value = 0;
  if (!reader.ReadNumber(value)) return false;
  target = InRange(value, low, high) ? value : outside;
  return true;
}

Choices ReadChoices(std::FILE* file) {
  Choices choices;
  LineReader reader(file);
  // Each line that is missing keeps its first-start value, and so does
  // every line after it.
  int portIndex = 0;
  if (!reader.ReadNumber(portIndex)) return choices;
  // The port is stored as a list index. An index the list cannot show
  // selects "COM1", so that CONNECT always has a port to open.
  choices.portNo = InRange(portIndex, 0, kLastPortIndex) ? portIndex + 1 : 1;
  if (!ReadRanged(reader, choices.speedIndex, 0, kLastSpeedIndex, 4) ||
      !ReadRanged(reader, choices.startBank, 0, kLastBank, 0) ||
      !ReadRanged(reader, choices.endBank, 0, kLastBank, kLastBank) ||
      !ReadRanged(reader, choices.commonParams, 0, 1, 1) ||
      !ReadRanged(reader, choices.brightComp, 0, 1, 1) ||
      !ReadRanged(reader, choices.bankParams, 0, 1, 1)) {
    return choices;
  }
  // Patterns are read past and never taken: they start clear.
  int patternsLine = 0;
  if (!reader.ReadNumber(patternsLine) ||
      !ReadRanged(reader, choices.comMode, 0, 1, 1)) {
    return choices;
  }
  // All nine numeric lines were there, so the program wrote this file: no
  // tenth line means the operator had emptied the field.
  choices.baseName = BaseNameFromSettings(reader.ReadText());
  return choices;
}

void ApplyChoices(const Choices& choices, DialogControls& controls) {
  controls.SetListSelection(kCtlPortList, choices.portNo - 1);
  controls.SetListSelection(kCtlSpeedList, choices.speedIndex);
  controls.SetListSelection(kCtlStartBank, choices.startBank);
  controls.SetListSelection(kCtlEndBank, choices.endBank);
  controls.SetChecked(kCtlCommonParams, choices.commonParams != 0);
  controls.SetChecked(kCtlBrightComp, choices.brightComp != 0);
  controls.SetChecked(kCtlBankParams, choices.bankParams != 0);
  controls.SetChecked(kCtlPatterns, choices.patterns != 0);
  controls.SetChecked(kCtlComModeBox, choices.comMode != 0);
  controls.SetControlText(kCtlBaseName, choices.baseName);

  g_portNo = choices.portNo;
  g_transferTarget.startBank = choices.startBank;
  g_transferTarget.endBank = choices.endBank;
  g_transferTarget.commonParams = choices.commonParams;
  g_transferTarget.brightComp = choices.brightComp;
  g_transferTarget.bankParams = choices.bankParams;
  g_transferTarget.patterns = choices.patterns;
}

std::string FileContent(const DialogControls& controls) {
  std::string content;
  for (int id : {kCtlPortList, kCtlSpeedList, kCtlStartBank, kCtlEndBank}) {
    content += std::to_string(controls.ListSelection(id)) + '\n';
  }
  for (int id : {kCtlCommonParams, kCtlBrightComp, kCtlBankParams, kCtlPatterns,
                 kCtlComModeBox}) {
    content += controls.IsChecked(id) ? "1\n" : "0\n";
  }
  content += BaseNameForSettings(controls.ControlText(kCtlBaseName));
  return content;
}

}  // namespace

void LoadSettings(const std::string& path, DialogControls& controls) {
  Choices choices;
  // Only a regular file: a FIFO of that name would block the start.
  if (std::FILE* file = OpenRegularFile(path)) {
    choices = ReadChoices(file);
    std::fclose(file);
  }
  ApplyChoices(choices, controls);
}

bool SaveSettings(const std::string& path, const DialogControls& controls,
                  OperatorDialogs& dialogs) {
  // The fallback folder under the user's config home may not exist yet.
  std::error_code ignored;
  const std::filesystem::path folder = PathFromUtf8(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ignored);

  const std::string content = FileContent(controls);
  StagedFile file;
  errno = 0;
  const bool saved = file.Create(path) && file.Write(content) && file.Commit();
  // The operator has to know which file, and why, to do anything about it.
  // Without a system error the target itself was refused before writing.
  if (!saved) {
    const int cause = errno;
    dialogs.ShowError(LoadMessage(kMsgSetupFileWriteFailed),
                      cause != 0 ? SystemCauseDetail(path, cause)
                                 : path + ": not a file that can be replaced");
  }
  return saved;
}
