// The times a backup records and the names of its folders.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace zema {

using WallClock = std::chrono::system_clock;

// Local time in ISO 8601 with the offset from UTC, to the second:
// "2026-12-09T20:30:05+01:00".
std::string LocalIsoTime(WallClock::time_point when);

// The name of a backup folder: the UTC time to the second,
// "2026-12-09T193005Z", which sorts as the times do, needs no character
// Windows forbids in a name, and does not jump back when summer time ends.
std::string FolderStamp(WallClock::time_point when);

// A folder stamp, or one with a count of "-02" to "-99" added for a second
// backup within the same second (they sort after the first).
bool IsFolderStamp(std::string_view name);

}  // namespace zema
