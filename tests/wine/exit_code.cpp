// Runs a program and prints the exit code that Windows keeps for it, as a
// script's %ERRORLEVEL% would give it:
//
//   zema-exit-code.exe PROGRAM [ARGUMENT]...
//
// The program shares this one's standard streams; "exit code N" follows on
// standard output once it has ended, and this program ends with N too.
//
// Under Wine the Linux exit status of a program can be lost after the
// program has ended: the Wine server kills a process whose Linux side is
// still winding down half a second after its last Windows thread ended (a
// busy machine), and the status is then that of SIGKILL. The code printed
// here is the one the program ended with.
#include <windows.h>

#include <cstdio>

namespace {

// The command line after this program's own name, as it was given.
const wchar_t* CommandAfterOwnName(const wchar_t* line) {
  bool quoted = false;
  for (; *line != L'\0'; ++line) {
    if (*line == L'"') quoted = !quoted;
    if (!quoted && (*line == L' ' || *line == L'\t')) break;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

}  // namespace

int main() {
  wchar_t* command = const_cast<wchar_t*>(CommandAfterOwnName(GetCommandLineW()));
  if (*command == L'\0') {
    std::fprintf(stderr, "usage: zema-exit-code.exe PROGRAM [ARGUMENT]...\n");
    return 2;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "zema-exit-code.exe: cannot start the program (error %lu)\n",
                 GetLastError());
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  std::printf("exit code %lu\n", code);
  std::fflush(stdout);
  return static_cast<int>(code);
}
