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
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
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
