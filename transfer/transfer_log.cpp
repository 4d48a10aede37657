#include "transfer/transfer_log.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include "res/wide_text.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "formats/utf8_path.h"
#include "res/messages.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

constexpr char kLogFolderName[] = "zema-loader";
constexpr char kLogFileName[] = "transfer.log";
#ifdef _WIN32
// The log is read in Notepad as often as with a tool.
constexpr char kLineEnd[] = "\r\n";
#else
constexpr char kLineEnd[] = "\n";
#endif

// Local time with its offset from UTC, ISO 8601: 2026-03-04T09:15:02+01:00.
std::string LocalTimeText(std::time_t when) {
  std::tm local{};
  std::tm utc{};
#ifdef _WIN32
  ::localtime_s(&local, &when);
  ::gmtime_s(&utc, &when);
#else
  ::localtime_r(&when, &local);
  ::gmtime_r(&when, &utc);
#endif
  // The offset from the two broken-down times: they differ by less than a
  // day, across a year's end too.
  int days = local.tm_yday - utc.tm_yday;
  if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
  const int minutes =
      days * 24 * 60 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
  char text[64];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  std::snprintf(text + length, sizeof text - length, "%c%02d:%02d", minutes < 0 ? '-' : '+',
                std::abs(minutes) / 60, std::abs(minutes) % 60);
  return text;
}

// A field never holds the separators of fields and lines.
std::string Field(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text.empty() ? "-" : text;
}

std::string AbsoluteBaseName(const std::string& baseName) {
  if (baseName.empty()) return baseName;
  std::error_code error;
  const fs::path absolute = fs::absolute(PathFromUtf8(baseName), error);
  return error ? baseName : Utf8FromPath(absolute);
}

std::string Kinds(const TransferTarget& target) {
  std::string kinds;
  const auto add = [&kinds](int selected, const char* name) {
    if (selected == 0) return;
    if (!kinds.empty()) kinds += ',';
    kinds += name;
  };
  add(target.commonParams, "common");
  add(target.brightComp, "compensation");
  add(target.bankParams, "params");
  add(target.patterns, "patterns");
  return kinds;
}

const char* Outcome(const TransferRun& run, RunEnd end) {
  switch (end) {
    case RunEnd::Finished:
      return run.flags.anyDone ? "completed" : "nothing";
    case RunEnd::Cancelled:
      return "cancelled";
    case RunEnd::OverwriteRefused:
      return "refused";
    case RunEnd::Failed:
      break;
  }
  return "failed";
}

// What the operator was shown at the end.
std::string Message(const TransferRun& run, RunEnd end) {
  const bool reading = IsReadRun(run.target);
  switch (end) {
    case RunEnd::Finished:
      if (run.flags.anyDone) {
        return LoadMessage(reading ? kMsgReadingCompleted : kMsgWritingCompleted);
      }
      return LoadMessage(reading ? kMsgNoTargetForReading : kMsgNoTargetForWriting);
    case RunEnd::Cancelled:
      return LoadMessage(kMsgAborted);
    case RunEnd::OverwriteRefused:
      return LoadMessage(kMsgFoundSameFilename);
    case RunEnd::Failed:
      break;
  }
  const Failure failure = run.failure.value_or(Failure{});
  return failure.detail.empty() ? failure.text : failure.text + " (" + failure.detail + ")";
}

bool AppendBytes(const std::string& path, const std::string& bytes) {
#ifdef _WIN32
  // FILE_APPEND_DATA alone: every write goes to the file's end, as one.
  const HANDLE file = ::CreateFileW(WideFromUtf8(path).c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL done =
      ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  return done && written == bytes.size();
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // One write of a line this short is never split by another writer's.
  const ssize_t written = ::write(fd, bytes.data(), bytes.size());
  ::close(fd);
  return written == static_cast<ssize_t>(bytes.size());
#endif
}

void Rotate(const std::string& path) {
  const std::string older = path + ".1";
#ifdef _WIN32
  ::MoveFileExW(WideFromUtf8(path).c_str(), WideFromUtf8(older).c_str(), MOVEFILE_REPLACE_EXISTING);
#else
  ::rename(path.c_str(), older.c_str());
#endif
}

}  // namespace

std::string TransferLogPath() {
#ifdef _WIN32
  // The local (not roaming) profile's folder: a log of this PC's runs.
  const wchar_t* localAppData = ::_wgetenv(L"LOCALAPPDATA");
  if (localAppData == nullptr || !fs::path(localAppData).is_absolute()) return {};
  const fs::path home(localAppData);
#else
  fs::path home;
  const char* stateHome = std::getenv("XDG_STATE_HOME");
  const char* userHome = std::getenv("HOME");
  if (stateHome != nullptr && *stateHome == '/') {
    home = stateHome;
  } else if (userHome != nullptr && *userHome != '\0') {
    home = fs::path(userHome) / ".local" / "state";
  } else {
    return {};
  }
#endif
  return Utf8FromPath(home / kLogFolderName / kLogFileName);
}

std::string TransferLogLine(std::time_t when, const std::string& program, const TransferRun& run,
                            RunEnd end) {
  const TransferTarget& target = run.target;
  const std::string fields[] = {
      LocalTimeText(when),
      program,
      IsReadRun(target) ? "READ" : "WRITE",
      run.link.IsOpen() ? run.link.Port().Name() : std::string(),
      AbsoluteBaseName(target.baseName),
      Kinds(target),
      std::to_string(target.startBank) + "-" + std::to_string(target.endBank),
      Outcome(run, end),
      Message(run, end),
  };
  std::string line;
  for (const std::string& field : fields) {
    if (!line.empty()) line += '\t';
    line += Field(field);
  }
  return line;
}

bool AppendToTransferLog(const std::string& path, const std::string& line, std::uintmax_t limit) {
  std::error_code error;
  fs::create_directories(PathFromUtf8(path).parent_path(), error);
  // Two programs past the limit at once may both rename: the second then
  // renames the first one's new log, a line or two, over the older
  // lines. Rare enough for a log that keeps its last megabyte.
  const std::uintmax_t size = fs::file_size(PathFromUtf8(path), error);
  if (!error && size >= limit) Rotate(path);
  return AppendBytes(path, line + kLineEnd);
}

void LogTransferRun(const std::string& program, const TransferRun& run, RunEnd end) {
  const std::string path = TransferLogPath();
  if (path.empty()) return;
  AppendToTransferLog(path, TransferLogLine(std::time(nullptr), program, run, end));
}

}  // namespace zema
