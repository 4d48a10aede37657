#include "cli/program_arguments.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "res/wide_text.h"
#endif

namespace zema {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
#ifdef _WIN32
  int count = 0;
  if (LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return arguments;
  }
#endif
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace zema
