// The rest of the user interface the program calls: the cursor, message boxes, wsprintfA,
// system metrics, the module handle and debugger output. Icons are in platform/resources.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/trace.h"
#include "platform/user/user_internal.h"

struct InstanceObject {
    int unused;
};
struct CursorObject {
    int unused;
};

namespace {

InstanceObject programModule{};
CursorObject arrowCursor{};

struct CursorState {
    int showCount = 0;
    HCURSOR current = &arrowCursor;
    bool shownOnBackend = true;
};

struct SystemState {
    CursorState cursor;
    std::mutex debugMutex;
    std::vector<std::string> debugTexts;
};

SystemState& State();

void ApplyCursor() {
    CursorState& c = State().cursor;
    bool visible = c.showCount >= 0 && c.current != nullptr;
    if (visible != c.shownOnBackend) {
        c.shownOnBackend = visible;
        platform::ActiveBackend().SetCursorVisible(visible);
    }
}

void ResetSystem() {
    SystemState& s = State();
    s.cursor = CursorState{};
    std::lock_guard<std::mutex> lock(s.debugMutex);
    s.debugTexts.clear();
}

SystemState& State() {
    static SystemState state;
    static bool hooked = (platform::RegisterResetHook("system", ResetSystem), true);
    (void)hooked;
    return state;
}

}  // namespace

namespace platform {

void RecordDebugOutput(const char* text) {
    SystemState& s = State();
    {
        std::lock_guard<std::mutex> lock(s.debugMutex);
        s.debugTexts.emplace_back(text ? text : "");
    }
    if (DebugSettingOn() && text) std::fputs(text, stderr);
}

bool DebugSettingOn() {
    static const bool on = [] {
        const char* v = std::getenv("VEXMOOR_DEBUG");
        return v && *v && std::strcmp(v, "0") != 0;
    }();
    return on;
}

std::vector<std::string> DebugTexts() {
    SystemState& s = State();
    std::lock_guard<std::mutex> lock(s.debugMutex);
    return s.debugTexts;
}

}  // namespace platform

int ShowCursor(BOOL show) {
    CursorState& c = State().cursor;
    c.showCount += show ? 1 : -1;
    platform::Trace("ShowCursor " + std::to_string(show ? 1 : 0));
    ApplyCursor();
    return c.showCount;
}

HCURSOR SetCursor(HCURSOR cursor) {
    CursorState& c = State().cursor;
    HCURSOR previous = c.current;
    c.current = cursor;
    ApplyCursor();
    return previous;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) { return name == IDC_ARROW ? &arrowCursor : nullptr; }

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    std::string title = caption ? caption : "Error";
    std::string body = text ? text : "";
    platform::Trace("MessageBoxA " + title + ": " + body);
    std::fprintf(stderr, "%s: %s\n", title.c_str(), body.c_str());
    platform::ActiveBackend().ShowMessageBox(title, body, (type & MB_ICONERROR) != 0);
    return IDOK;
}

// wsprintfA's conversions: %d %i %u %x %X %c %s %%, with flags '-', '0', '#', a width, a
// precision for strings, and the 'l' and 'h' sizes. Its "long" is 32 bits, as on the original
// platform, so %ld reads an int. The output holds at most 1,024 characters and a NUL.
int wvsprintfA(LPSTR out, LPCSTR format, std::va_list args) {
    constexpr std::size_t kLimit = 1024;
    std::string result;
    for (const char* p = format; *p && result.size() < kLimit; ++p) {
        if (*p != '%') {
            result += *p;
            continue;
        }
        ++p;
        if (*p == '%') {
            result += '%';
            continue;
        }
        bool left = false, zero = false, alt = false;
        for (;; ++p) {
            if (*p == '-') left = true;
            else if (*p == '0') zero = true;
            else if (*p == '#') alt = true;
            else break;
        }
        int width = 0;
        while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
        int precision = -1;
        if (*p == '.') {
            precision = 0;
            ++p;
            while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
        }
        bool shortSize = false;
        if (*p == 'l' || *p == 'L') ++p;
        else if (*p == 'h') {
            shortSize = true;
            ++p;
        }
        std::string piece;
        switch (*p) {
            case 'd':
            case 'i': {
                int v = va_arg(args, int);
                if (shortSize) v = static_cast<short>(v);
                piece = std::to_string(v);
                break;
            }
            case 'u': {
                unsigned v = va_arg(args, unsigned);
                if (shortSize) v &= 0xFFFF;
                piece = std::to_string(v);
                break;
            }
            case 'x':
            case 'X': {
                unsigned v = va_arg(args, unsigned);
                if (shortSize) v &= 0xFFFF;
                char buffer[16];
                std::snprintf(buffer, sizeof buffer, *p == 'x' ? "%x" : "%X", v);
                piece = buffer;
                if (alt && v) piece = (*p == 'x' ? "0x" : "0X") + piece;
                break;
            }
            case 'c':
                piece = static_cast<char>(va_arg(args, int));
                break;
            case 's': {
                const char* s = va_arg(args, const char*);
                piece = s ? s : "(null)";
                if (precision >= 0 && piece.size() > static_cast<std::size_t>(precision)) piece.resize(precision);
                break;
            }
            case '\0':
                --p;
                continue;
            default:
                piece = *p;
                break;
        }
        if (static_cast<int>(piece.size()) < width) {
            std::size_t pad = width - piece.size();
            if (left) piece.append(pad, ' ');
            else if (zero && *p != 's' && *p != 'c') {
                std::size_t at = (!piece.empty() && piece[0] == '-') ? 1 : 0;
                piece.insert(at, pad, '0');
            } else piece.insert(0, pad, ' ');
        }
        result += piece;
    }
    if (result.size() > kLimit) result.resize(kLimit);
    std::memcpy(out, result.c_str(), result.size() + 1);
    return static_cast<int>(result.size());
}

int wsprintfA(LPSTR out, LPCSTR format, ...) {
    std::va_list args;
    va_start(args, format);
    int n = wvsprintfA(out, format, args);
    va_end(args);
    return n;
}

int GetSystemMetrics(int index) {
    int width = 0, height = 0;
    platform::ActiveBackend().DesktopSize(&width, &height);
    if (index == SM_CXSCREEN) return width;
    if (index == SM_CYSCREEN) return height;
    return 0;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) { return moduleName ? nullptr : &programModule; }

void OutputDebugStringA(LPCSTR text) { platform::RecordDebugOutput(text); }
