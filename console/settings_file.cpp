#include "console/settings_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "console/settings_text.h"
#include "formats/source_file.h"
#include "formats/staged_file.h"
#include "formats/utf8_path.h"
#include "link/failure.h"
#include "res/dialog_templates.h"
#include "res/messages.h"

namespace {

// Characters of a line the reader takes, its line feed included: the rest
// of a longer numeric line is read as the next line, as it always was.
constexpr std::size_t kNumberLineRoom = 6;
// The base name's 259 characters: a byte each in the ANSI code page; on
// Windows they may also be UTF-8 (after a mark, or as an editor saved
// them), up to three bytes each.
#ifdef _WIN32
constexpr std::size_t kBaseNameRoom = 3 + 3 * 259;
#else
constexpr std::size_t kBaseNameRoom = 259;
#endif

constexpr int kLastPortIndex = 8;  // "COM9"
constexpr int kLastSpeedIndex = 4;
constexpr int kLastBank = 14;

// Reads the file as the program writes it, and as an editor such as
// Notepad saves it after a change: a UTF-8 byte-order mark at its start and
// a carriage return before each line feed are no part of any line, so
// neither moves a value into the next line.
class LineReader {
 public:
  explicit LineReader(std::FILE* file) : file_(file) {
    char mark[3] = {};
    if (std::fread(mark, 1, sizeof mark, file_) != sizeof mark ||
        std::string_view(mark, sizeof mark) != "\xEF\xBB\xBF") {
      std::rewind(file_);
    }
  }

  // The next numeric line; false at the end of the file. A line without
  // digits reads as 0, the text -1 as -1.
  bool ReadNumber(int& value) {
    const std::string line = ReadLine(kNumberLineRoom);
    if (line.empty()) return false;
    const unsigned long number = std::strtoul(line.c_str(), nullptr, 10);
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
    return true;
  }

  // The next line, as much of it as the base name's room takes, without
  // its line end and up to a zero byte; empty at the end of the file.
  std::string ReadText() {
    std::string text = ReadLine(kBaseNameRoom);
    text.resize(std::min(text.find('\0'), text.size()));
    // The program never ends this line, but a file edited by hand often
    // does: a line end is not part of a name.
    if (text.ends_with('\n')) text.pop_back();
    if (text.ends_with('\r')) text.pop_back();
    return text;
  }

 private:
  // At most `room` characters, up to and including a line feed.
  std::string ReadLine(std::size_t room) {
    std::string line;
    while (line.size() < room) {
      const int c = NextCharacter();
      if (c == EOF) break;
      line += static_cast<char>(c);
      if (c == '\n') break;
    }
    return line;
  }

  int NextCharacter() {
    const int c = std::fgetc(file_);
    if (c != '\r') return c;
    const int next = std::fgetc(file_);
    if (next == '\n') return next;
    if (next != EOF) std::ungetc(next, file_);
    return c;
  }

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

SettingsChoices ReadChoices(std::FILE* file) {
  SettingsChoices choices;
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

void ApplyChoices(const SettingsChoices& choices, DialogControls& controls) {
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

SettingsChoices LoadSettings(const std::string& path, DialogControls& controls) {
  SettingsChoices choices;
  // Only a regular file: a FIFO of that name would block the start.
  if (std::FILE* file = OpenRegularFile(path)) {
    choices = ReadChoices(file);
    std::fclose(file);
  }
  ApplyChoices(choices, controls);
  return choices;
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
