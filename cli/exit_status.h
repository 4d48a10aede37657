// The exit statuses of zema-transfer, which scripts test.
#pragma once

namespace zema {

inline constexpr int kExitDone = 0;       // the run finished (137/138 or 135/136), or equal
inline constexpr int kExitFailed = 1;     // the run, the connection or a comparison failed
inline constexpr int kExitUsage = 2;      // bad usage
inline constexpr int kExitCancelled = 3;  // a stop signal, or a refused overwrite

}  // namespace zema
