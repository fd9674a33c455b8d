// Call traces, injected failures and debugger output, shared by every platform area.
// The program never includes this; platform code records the calls that matter with Trace()
// and asks InjectedFailure() before doing real work, so tests can check order and fail calls.
#pragma once

#include <functional>
#include <string>

#include "platform/win_types.h"

namespace platform {

// Records one entry ("IDirectDrawSurface::Flip", "ShowCursor 0", "mciSendCommand MCI_OPEN 0x2200")
// while a test harness has tracing on; costs one branch otherwise.
bool TracingOn();
void Trace(const std::string& entry);

// True when a test asked the next call of this name to fail; *result then holds its HRESULT
// (or the call's own failure code, as the caller interprets it).
bool InjectedFailure(const char* call, HRESULT* result);

// Every platform area with process-wide state registers a function that puts it back to its
// start-up state; the test harness runs them all between tests.
void RegisterResetHook(const char* area, std::function<void()> hook);
void RunResetHooks();

}  // namespace platform
