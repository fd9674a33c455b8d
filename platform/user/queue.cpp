// The thread's message queue: posted messages, desktop input turned into window messages, the
// quit request, and the waits behind PeekMessageA, GetMessageA and WaitMessage. Also the tick
// counter, and SIGINT/SIGTERM, which arrive as a close request for the main window.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <deque>
#include <limits>
#include <mutex>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/trace.h"
#include "platform/user/user_internal.h"

namespace {

constexpr std::uint64_t kForever = std::numeric_limits<std::uint64_t>::max();

struct QueueState {
    std::mutex mutex;               // other threads (the CD audio thread) post too
    std::deque<MSG> posted;
    std::deque<MSG> input;
    bool quitRequested = false;
    int quitCode = 0;
    bool closeRequested = false;    // from a signal, waiting for a main window
    std::function<void(bool)> focusListener;
    // The tick the program saw when an idle PeekMessageA last returned; a frame presented after it
    // was paced against a tick at least this late, so the next one is not due before it + 51.
    std::uint64_t lastIdleMs = 0;
    std::uint64_t frameMs = 0;
    bool framePending = false;
};

int wakePipe[2] = {-1, -1};
volatile std::sig_atomic_t signalSeen = 0;

void OpenWakePipe() {
    if (wakePipe[0] >= 0) return;
    if (pipe(wakePipe) != 0) return;
    for (int fd : wakePipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
}

void Wake() {
    if (wakePipe[1] < 0) return;
    char byte = 'w';
    ssize_t ignored = write(wakePipe[1], &byte, 1);
    (void)ignored;
}

void DrainWakePipe() {
    if (wakePipe[0] < 0) return;
    char buffer[64];
    while (read(wakePipe[0], buffer, sizeof buffer) > 0) {
    }
}

extern "C" void OnTerminationSignal(int) {
    signalSeen = 1;
    Wake();
}

QueueState& State();

void ResetQueue() {
    QueueState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.posted.clear();
    s.input.clear();
    s.quitRequested = false;
    s.quitCode = 0;
    s.closeRequested = false;
    s.lastIdleMs = s.frameMs = 0;
    s.framePending = false;
    signalSeen = 0;
    DrainWakePipe();
}

QueueState& State() {
    static QueueState state;
    static bool ready = (OpenWakePipe(), platform::RegisterResetHook("queue", ResetQueue), true);
    (void)ready;
    return state;
}

void PushInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    QueueState& s = State();
    MSG m{window, message, wParam, lParam, GetTickCount(), {0, 0}};
    s.input.push_back(m);
}

// Turns what the desktop reported into messages for the window under the pointer: the one
// visible top-level window (child windows are never visible).
void CollectDesktopEvents() {
    QueueState& s = State();
    if (signalSeen) {
        signalSeen = 0;
        s.closeRequested = true;
    }
    HWND screen = platform::ScreenWindow();
    if (s.closeRequested && screen) {
        s.closeRequested = false;
        platform::Trace("signal: WM_CLOSE");
        PostMessageA(screen, WM_CLOSE, 0, 0);
    }
    std::vector<platform::DesktopEvent> events;
    platform::ActiveBackend().TakeEvents(&events);
    using Kind = platform::DesktopEvent::Kind;
    for (const auto& e : events) {
        if (!screen) break;
        LPARAM where = MAKELPARAM(e.x, e.y);
        switch (e.kind) {
            case Kind::FocusGained:
            case Kind::FocusLost: {
                bool focused = e.kind == Kind::FocusGained;
                if (s.focusListener) s.focusListener(focused);
                PushInput(screen, WM_ACTIVATEAPP, focused ? 1 : 0, 0);
                break;
            }
            case Kind::MouseMove:
                PushInput(screen, WM_SETCURSOR, reinterpret_cast<WPARAM>(screen),
                          MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
                PushInput(screen, WM_MOUSEMOVE, 0, where);
                break;
            case Kind::ButtonDown:
            case Kind::ButtonUp: {
                bool down = e.kind == Kind::ButtonDown;
                UINT message = e.button == 3 ? (down ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                                             : (down ? WM_LBUTTONDOWN : WM_LBUTTONUP);
                if (e.button != 1 && e.button != 3) break;
                if (down) {
                    PushInput(screen, WM_SETCURSOR, reinterpret_cast<WPARAM>(screen),
                              MAKELPARAM(HTCLIENT, message));
                }
                PushInput(screen, message, down ? (e.button == 1 ? 1 : 2) : 0, where);
                break;
            }
            case Kind::CloseRequest:
                PushInput(screen, WM_CLOSE, 0, 0);
                break;
            case Kind::Key:
                PushInput(screen, WM_KEYDOWN, 0, 0);
                break;
            case Kind::Exposed:
                break;
        }
    }
}

bool Matches(const MSG& m, HWND window, UINT low, UINT high) {
    if (window && m.hwnd != window) return false;
    if (low == 0 && high == 0) return true;
    return m.message >= low && m.message <= high;
}

// Looks for a message: posted ones first, then input, then the quit request once nothing else waits.
bool FindMessage(MSG* out, HWND window, UINT low, UINT high, bool remove) {
    QueueState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (auto* queue : {&s.posted, &s.input}) {
        for (auto it = queue->begin(); it != queue->end(); ++it) {
            if (!Matches(*it, window, low, high)) continue;
            if (out) *out = *it;
            if (remove) queue->erase(it);
            return true;
        }
    }
    // The quit request is returned whatever the caller filters for.
    if (s.quitRequested) {
        if (out) *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(static_cast<LPARAM>(s.quitCode)), 0, 0, {0, 0}};
        if (remove) s.quitRequested = false;
        return true;
    }
    return false;
}

bool AnyMessage() {
    QueueState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return !s.posted.empty() || !s.input.empty() || s.quitRequested;
}

void WaitUntil(std::uint64_t deadlineMs) {
    platform::ActiveBackend().WaitForEvents(deadlineMs, wakePipe[0]);
    DrainWakePipe();
}

}  // namespace

namespace platform {

void SetFocusListener(std::function<void(bool)> listener) { State().focusListener = std::move(listener); }

void NoteFramePresented() {
    QueueState& s = State();
    s.frameMs = s.lastIdleMs;
    s.framePending = true;
}

void InstallTerminationSignals() {
    State();
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    // A second signal while the first is still being handled ends the process the default way.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace platform

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    QueueState& s = State();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.posted.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
    }
    Wake();
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    QueueState& s = State();
    platform::Trace("PostQuitMessage " + std::to_string(exitCode));
    std::lock_guard<std::mutex> lock(s.mutex);
    // One quit request per queue; a later one replaces the code of an earlier one.
    s.quitRequested = true;
    s.quitCode = exitCode;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    QueueState& s = State();
    bool remove = (removeFlags & PM_REMOVE) != 0;
    CollectDesktopEvents();
    if (FindMessage(message, window, filterMin, filterMax, remove)) return TRUE;

    // Nothing waits. The tick count moves only once a millisecond, so the caller can learn nothing
    // new before the next tick: wait for it, or for input. After a presented frame the program's
    // 50 ms pace cannot make another frame due before 51 ms past the tick it was paced against.
    platform::Backend& backend = platform::ActiveBackend();
    std::uint64_t now = backend.Milliseconds();
    std::uint64_t deadline = now + 1;
    if (s.framePending) {
        std::uint64_t due = s.frameMs + 51;
        if (due > deadline) deadline = due;
        s.framePending = false;
    }
    WaitUntil(deadline);
    s.lastIdleMs = backend.Milliseconds();
    CollectDesktopEvents();
    return FindMessage(message, window, filterMin, filterMax, remove) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
    for (;;) {
        CollectDesktopEvents();
        MSG m;
        if (FindMessage(&m, window, filterMin, filterMax, true)) {
            if (message) *message = m;
            return m.message == WM_QUIT ? FALSE : TRUE;
        }
        WaitUntil(kForever);
    }
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* message) {
    if (!message || !message->hwnd || !platform::IsLiveWindow(message->hwnd)) return 0;
    return message->hwnd->proc(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL WaitMessage() {
    platform::Trace("WaitMessage");
    for (;;) {
        CollectDesktopEvents();
        if (AnyMessage()) return TRUE;
        WaitUntil(kForever);
    }
}

DWORD GetTickCount() {
    return static_cast<DWORD>(platform::ActiveBackend().Milliseconds() & 0xFFFFFFFFu);
}
