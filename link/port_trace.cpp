#include "link/port_trace.h"

#include <utility>

namespace zema {

namespace {

PortTraceHook g_portTrace;
// A plain flag, not the hook itself: it is read by exit handlers, which may
// run after the hook's own destructor.
bool g_ended = false;

}  // namespace

void SetPortTraceHook(PortTraceHook hook) { g_portTrace = std::move(hook); }

bool PortTraceWanted() { return !g_ended && static_cast<bool>(g_portTrace); }

void TracePort(const std::string& text) {
  if (PortTraceWanted()) g_portTrace(text);
}

void EndPortTrace() { g_ended = true; }

}  // namespace zema
