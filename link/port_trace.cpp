#include "link/port_trace.h"

#include <utility>

namespace {

PortTraceHook g_portTrace;

}  // namespace

void SetPortTraceHook(PortTraceHook hook) { g_portTrace = std::move(hook); }

bool PortTraceWanted() { return static_cast<bool>(g_portTrace); }

void TracePort(const std::string& text) {
  if (g_portTrace) g_portTrace(text);
}
