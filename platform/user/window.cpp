// Window classes and windows: registration, creation with parent/child relations, showing,
// destruction (WM_DESTROY to the window, then to its children) and the default window procedure.
// The one visible top-level window owns the backend's screen.
#include <algorithm>
#include <cctype>
#include <deque>
#include <memory>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/trace.h"
#include "platform/user/user_internal.h"

namespace {

struct RegisteredClass {
    std::string name;
    HINSTANCE instance;
    WNDCLASSA fields;
    std::string menuName;
};

struct WindowState {
    std::vector<RegisteredClass> classes;
    // Window records live until the next reset so a stale handle never points at freed memory.
    std::deque<std::unique_ptr<WindowObject>> windows;
    HWND screen = nullptr;
};

WindowState& State();

void ResetWindows() {
    WindowState& s = State();
    if (s.screen) platform::ActiveBackend().CloseScreen();
    s = WindowState{};
}

WindowState& State() {
    static WindowState state;
    static bool hooked = (platform::RegisterResetHook("windows", ResetWindows), true);
    (void)hooked;
    return state;
}

bool SameName(const std::string& a, const char* b) {
    if (!b) return false;
    std::size_t n = std::char_traits<char>::length(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

RegisteredClass* FindClass(const char* name, HINSTANCE instance) {
    WindowState& s = State();
    RegisteredClass* any = nullptr;
    for (auto& c : s.classes) {
        if (!SameName(c.name, name)) continue;
        if (c.instance == instance) return &c;
        any = &c;
    }
    return any;
}

void ShowScreen(HWND window) {
    WindowState& s = State();
    if (s.screen) return;
    platform::Backend& backend = platform::ActiveBackend();
    if (!backend.OpenScreen(window->title, window->width, window->height)) return;
    s.screen = window;
    window->ownsScreen = true;
    platform::IconPicture icon = platform::IconPictureOf(window->icon);
    if (icon.argb) backend.SetScreenIcon(icon.argb, icon.width, icon.height);
    // Showing a new top-level window activates the application, as the desktop does.
    PostMessageA(window, WM_ACTIVATEAPP, 1, 0);
}

}  // namespace

namespace platform {

HWND ScreenWindow() { return State().screen; }

bool IsLiveWindow(HWND window) {
    if (!window) return false;
    for (auto& w : State().windows) {
        if (w.get() == window) return w->alive;
    }
    return false;
}

}  // namespace platform

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    HRESULT ignored;
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc ||
        platform::InjectedFailure("RegisterClassA", &ignored)) {
        platform::Trace("RegisterClassA failed");
        return 0;
    }
    WindowState& s = State();
    for (auto& c : s.classes) {
        if (SameName(c.name, windowClass->lpszClassName) && c.instance == windowClass->hInstance) {
            platform::Trace(std::string("RegisterClassA ") + windowClass->lpszClassName + " exists");
            return 0;
        }
    }
    RegisteredClass c{windowClass->lpszClassName, windowClass->hInstance, *windowClass,
                      windowClass->lpszMenuName && !IS_INTRESOURCE(windowClass->lpszMenuName)
                          ? windowClass->lpszMenuName
                          : ""};
    s.classes.push_back(c);
    platform::Trace(std::string("RegisterClassA ") + windowClass->lpszClassName);
    return static_cast<ATOM>(0xC000 + s.classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    WindowState& s = State();
    platform::Trace(std::string("UnregisterClassA ") + (className ? className : ""));
    for (auto it = s.classes.begin(); it != s.classes.end(); ++it) {
        if (SameName(it->name, className) && it->instance == instance) {
            for (auto& w : s.windows) {
                if (w->alive && SameName(w->className, className)) return FALSE;  // still in use
            }
            s.classes.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU, HINSTANCE instance, LPVOID) {
    platform::Trace(std::string("CreateWindowExA ") + (className ? className : ""));
    HRESULT ignored;
    if (platform::InjectedFailure("CreateWindowExA", &ignored)) return nullptr;
    RegisteredClass* c = FindClass(className, instance);
    if (!c) return nullptr;
    if ((style & WS_CHILD) && !platform::IsLiveWindow(parent)) return nullptr;
    if (parent && !platform::IsLiveWindow(parent)) return nullptr;

    WindowState& s = State();
    auto window = std::make_unique<WindowObject>();
    window->className = c->name;
    window->title = windowName ? windowName : "";
    window->proc = c->fields.lpfnWndProc;
    window->parent = parent;
    window->instance = instance;
    window->style = style;
    window->x = x;
    window->y = y;
    window->width = width;
    window->height = height;
    window->icon = c->fields.hIcon;
    HWND handle = window.get();
    s.windows.push_back(std::move(window));

    if (handle->proc(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL ShowWindow(HWND window, int showCommand) {
    if (!platform::IsLiveWindow(window)) return FALSE;
    platform::Trace("ShowWindow " + std::to_string(showCommand));
    bool wasVisible = window->visible;
    if (showCommand == SW_HIDE) {
        window->visible = false;
        return wasVisible;
    }
    window->visible = true;
    // Child windows have no screen of their own; only a top-level popup is shown on the desktop.
    if (!(window->style & WS_CHILD) && !window->parent) ShowScreen(window);
    return wasVisible;
}

BOOL UpdateWindow(HWND window) { return platform::IsLiveWindow(window) ? TRUE : FALSE; }

BOOL IsWindow(HWND window) { return platform::IsLiveWindow(window) ? TRUE : FALSE; }

HWND GetParent(HWND window) { return platform::IsLiveWindow(window) ? window->parent : nullptr; }

BOOL DestroyWindow(HWND window) {
    if (!platform::IsLiveWindow(window) || window->destroying) return FALSE;
    platform::Trace("DestroyWindow " + window->className);
    WindowState& s = State();
    window->destroying = true;
    window->proc(window, WM_DESTROY, 0, 0);
    // Children that the window's own WM_DESTROY handling did not remove go after it.
    std::vector<HWND> children;
    for (auto& w : s.windows) {
        if (w->alive && w->parent == window) children.push_back(w.get());
    }
    for (HWND child : children) DestroyWindow(child);
    window->alive = false;
    window->visible = false;
    if (window->ownsScreen) {
        window->ownsScreen = false;
        s.screen = nullptr;
        platform::ActiveBackend().CloseScreen();
        // The pointer is over the desktop now, which shows its own arrow.
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    }
    return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SETCURSOR: {
            RegisteredClass* c = platform::IsLiveWindow(window) ? FindClass(window->className.c_str(),
                                                                          window->instance)
                                                                : nullptr;
            if (c) SetCursor(c->fields.hCursor);
            return FALSE;
        }
        default:
            return 0;
    }
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!platform::IsLiveWindow(window)) return 0;
    return window->proc(window, message, wParam, lParam);
}
