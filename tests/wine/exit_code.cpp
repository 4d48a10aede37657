// zema-exit-code.exe PROGRAM [ARGUMENT]...: runs it, then prints "exit code N", the code
// Windows keeps for it (Wine's server may kill a process still ending: its Linux status is lost).
#include <windows.h>

#include <cstdio>

int main() {
  wchar_t* command = GetCommandLineW();  // after this program's own name
  for (bool quoted = false; *command && (quoted || *command != L' '); ++command) {
    quoted ^= *command == L'"';
  }
  while (*command == L' ') ++command;
  // The program writes to this one's standard streams (the test's pipes)
  // by name, not by whatever console Wine might give a console program.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child{};
  DWORD code = 2;
  if (CreateProcessW(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &child)) {
    WaitForSingleObject(child.hProcess, INFINITE);
    GetExitCodeProcess(child.hProcess, &code);
  }
  std::printf("exit code %lu\n", code);
  return static_cast<int>(code);
}
