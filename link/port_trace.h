// What the serial driver does to a port beyond carrying bytes (its
// low-latency flag, for one), in plain words for the trace: zema-transfer
// --trace prints it among the frames. Unset, nothing is formatted.
#pragma once

#include <functional>
#include <string>

namespace zema {

using PortTraceHook = std::function<void(const std::string& text)>;
void SetPortTraceHook(PortTraceHook hook);

// True when a hook is set: the words are worth making.
bool PortTraceWanted();
void TracePort(const std::string& text);

// Nothing is traced any more, hook or not: the program is ending, and what
// a hook writes to may already be gone.
void EndPortTrace();

}  // namespace zema
