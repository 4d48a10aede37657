// A program started with a standard stream closed (by a daemon, or `2>&-`
// in a script) would give that number to the first port or file it opens,
// and what it prints would then go to the sensor or into a backup file.
// Each program calls KeepStandardStreamsOpen first thing in main.
#pragma once

namespace zema {

#ifdef _WIN32
// The C runtime keeps the numbers of missing standard streams reserved.
inline void KeepStandardStreamsOpen() {}
#else
// Opens /dev/null as each closed one of standard input, output and error.
void KeepStandardStreamsOpen();
#endif

}  // namespace zema
