// The test harness over the headless backend (see harness.h).
#include "platform/harness/harness.h"

#include "platform/backend/headless/headless_backend.h"
#include "platform/core/trace_store.h"
#include "platform/ddraw/ddraw_internal.h"
#include "platform/trace.h"
#include "platform/user/user_internal.h"

namespace harness {
namespace {

platform::HeadlessBackend* current = nullptr;

platform::HeadlessBackend& Backend() {
    if (!current) Start();
    return *current;
}

}  // namespace

void Start(const Options& options) {
    platform::SetTracing(false);
    if (current) platform::RunResetHooks();
    platform::HeadlessBackend::Settings settings;
    settings.desktopWidth = options.desktopWidth;
    settings.desktopHeight = options.desktopHeight;
    settings.pitchPadding = options.pitchPadding;
    settings.refreshMs = options.refreshMs;
    settings.startMs = options.startTick;
    auto backend = std::make_unique<platform::HeadlessBackend>(settings);
    current = backend.get();
    platform::InstallBackend(std::move(backend));
    // Twice: a platform thread stopped by one area's reset may have posted to another area that
    // was already reset.
    platform::RunResetHooks();
    platform::RunResetHooks();
    platform::ClearTraceAndFaults(true);
    platform::SetTracing(true);
}

void Stop() {
    platform::SetTracing(false);
    platform::ClearTraceAndFaults(true);
}

std::uint64_t Now() { return Backend().Milliseconds(); }
void Advance(std::uint64_t ms) { Backend().Advance(ms); }

void ScheduleEvent(std::uint64_t atMs, const platform::DesktopEvent& event) { Backend().Schedule(atMs, event); }

void ClickAt(std::uint64_t atMs, int x, int y) {
    using Kind = platform::DesktopEvent::Kind;
    ScheduleEvent(atMs, platform::DesktopEvent{Kind::MouseMove, x, y, 0});
    ScheduleEvent(atMs, platform::DesktopEvent{Kind::ButtonDown, x, y, 1});
    ScheduleEvent(atMs, platform::DesktopEvent{Kind::ButtonUp, x, y, 1});
}

void FocusLostAt(std::uint64_t atMs) { ScheduleEvent(atMs, {platform::DesktopEvent::Kind::FocusLost}); }
void FocusGainedAt(std::uint64_t atMs) { ScheduleEvent(atMs, {platform::DesktopEvent::Kind::FocusGained}); }
void CloseRequestAt(std::uint64_t atMs) { ScheduleEvent(atMs, {platform::DesktopEvent::Kind::CloseRequest}); }

void AfterPresent(int n, std::function<void()> action) { Backend().AfterPresent(n, std::move(action)); }
void OnEveryPresent(std::function<void()> observer) { Backend().everyPresent = std::move(observer); }
void AtTime(std::uint64_t atMs, std::function<void()> action) { Backend().ScheduleAction(atMs, std::move(action)); }

void FailCall(const std::string& call, HRESULT result, int times) { platform::SetFault(call, result, times); }

void LoseSurfaces() { platform::LoseSurfaces(false); }
void LoseBackBuffer() { platform::LoseSurfaces(true); }

int PresentCount() { return Backend().presents; }
std::vector<std::uint64_t> PresentTimes() { return Backend().presentTimes; }
bool GaveUp() { return Backend().gaveUp; }

Picture LastPicture() {
    platform::HeadlessBackend& b = Backend();
    Picture p;
    p.width = b.pictureWidth;
    p.height = b.pictureHeight;
    p.rgb.resize(b.indices.size());
    for (std::size_t i = 0; i < b.indices.size(); ++i) p.rgb[i] = b.colours[b.indices[i]];
    return p;
}

std::vector<std::uint8_t> LastIndices() { return Backend().indices; }

Picture ScreenIcon() {
    platform::HeadlessBackend& b = Backend();
    return Picture{b.iconWidth, b.iconHeight, b.icon};
}

std::vector<MessageBoxRecord> MessageBoxes() {
    std::vector<MessageBoxRecord> out;
    for (auto& box : Backend().boxes) out.push_back(MessageBoxRecord{box.title, box.text, box.error});
    return out;
}

std::vector<std::string> TraceEntries() { return platform::TraceSnapshot(); }
void ClearTrace() { platform::ClearTraceAndFaults(false); }

int FindTrace(const std::string& prefix, int from) {
    std::vector<std::string> entries = platform::TraceSnapshot();
    for (int i = std::max(from, 0); i < static_cast<int>(entries.size()); ++i) {
        if (entries[i].compare(0, prefix.size(), prefix) == 0) return i;
    }
    return -1;
}

std::vector<std::string> DebugOutput() { return platform::DebugTexts(); }

int VerticalBlankCount() { return Backend().verticalBlanks; }
bool CursorVisible() { return Backend().cursorVisible; }

}  // namespace harness
