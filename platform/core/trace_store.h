// The harness's side of the trace store: switching tracing on, reading and clearing it, setting faults.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform {

void SetTracing(bool on);
std::vector<std::string> TraceSnapshot();
void ClearTraceAndFaults(bool faultsToo);
// times < 0: every call fails until cleared.
void SetFault(const std::string& call, HRESULT result, int times);

}  // namespace platform
