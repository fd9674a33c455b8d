// Call traces, injected failures and reset hooks for the test harness (see platform/trace.h).
#include "platform/trace.h"

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "platform/core/trace_store.h"

namespace platform {
namespace {

struct Fault {
    HRESULT result;
    int remaining;
};

struct TraceState {
    std::mutex mutex;
    std::atomic<bool> on{false};  // read without the lock by the audio thread's traces
    std::vector<std::string> entries;
    std::map<std::string, Fault> faults;
    std::vector<std::pair<std::string, std::function<void()>>> hooks;
};

TraceState& State() {
    static TraceState state;
    return state;
}

}  // namespace

bool TracingOn() { return State().on; }

void Trace(const std::string& entry) {
    TraceState& s = State();
    if (!s.on) return;
    std::lock_guard<std::mutex> lock(s.mutex);
    s.entries.push_back(entry);
}

bool InjectedFailure(const char* call, HRESULT* result) {
    TraceState& s = State();
    if (!s.on) return false;
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.faults.find(call);
    if (it == s.faults.end() || it->second.remaining == 0) return false;
    if (it->second.remaining > 0) --it->second.remaining;
    if (result) *result = it->second.result;
    return true;
}

void RegisterResetHook(const char* area, std::function<void()> hook) {
    TraceState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (auto& entry : s.hooks) {
        if (entry.first == area) {
            entry.second = std::move(hook);
            return;
        }
    }
    s.hooks.emplace_back(area, std::move(hook));
}

void RunResetHooks() {
    std::vector<std::function<void()>> hooks;
    {
        TraceState& s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        for (auto& entry : s.hooks) hooks.push_back(entry.second);
    }
    for (auto& hook : hooks) hook();
}

void SetTracing(bool on) {
    TraceState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.on = on;
}

std::vector<std::string> TraceSnapshot() {
    TraceState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.entries;
}

void ClearTraceAndFaults(bool faultsToo) {
    TraceState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.entries.clear();
    if (faultsToo) s.faults.clear();
}

void SetFault(const std::string& call, HRESULT result, int times) {
    TraceState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.faults[call] = Fault{result, times};
}

}  // namespace platform
