// The window and message layer under the program: formatting, the quit request, queue order.
#include "platform/harness/harness.h"
#include "platform/win_user.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(Wsprintf, ConversionsTheProgramUses) {
    struct Case {
        const char* format;
        int value;
        const char* expected;
    } cases[] = {
        {"DirectDraw Init FAILED. Error:%ld", 87, "DirectDraw Init FAILED. Error:87"},
        {"%ld", 65535, "65535"},
        {"%d", -12, "-12"},
        {"%u", 450, "450"},
        {"%04x", 0x2a, "002a"},
        {"%X", 0xBEEF, "BEEF"},
        {"%5d|", 42, "   42|"},
        {"%-5d|", 42, "42   |"},
        {"100%%", 0, "100%"},
    };
    for (const Case& c : cases) {
        char out[1025];
        int n = wsprintfA(out, c.format, c.value);
        EXPECT_STREQ(out, c.expected) << c.format;
        EXPECT_EQ(n, static_cast<int>(std::strlen(c.expected)));
    }
    char out[1025];
    wsprintfA(out, "%s and %c", "text", 'x');
    EXPECT_STREQ(out, "text and x");
}

TEST(Wsprintf, OutputStopsAtTheLimit) {
    std::string longText(3000, 'a');
    char out[1025];
    EXPECT_EQ(wsprintfA(out, "%s", longText.c_str()), 1024);
    EXPECT_EQ(std::strlen(out), 1024u);
}

LRESULT Recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(MessageQueue, QuitComesAfterPostedMessagesAndTheLastCodeWins) {
    harness::Start();
    WNDCLASSA wc{};
    wc.lpfnWndProc = Recorder;
    wc.lpszClassName = "Q";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, "Q", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    PostQuitMessage(0);
    PostMessageA(w, WM_USER, 7, 0);
    PostQuitMessage(-1);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_USER);
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(static_cast<int>(m.wParam), -1);
    harness::Stop();
}

TEST(MessageQueue, IdlePeekWaitsForTheNextTickOnly) {
    harness::Start();
    std::uint64_t before = harness::Now();
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(harness::Now(), before + 1);
    harness::Stop();
}

TEST(Windows, DestroyingAParentDestroysItsChildrenAfterIt) {
    harness::Start();
    static std::vector<std::string> order;
    order.clear();
    WNDCLASSA parentClass{};
    parentClass.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_DESTROY) order.push_back("parent");
        return DefWindowProcA(w, m, wp, lp);
    };
    parentClass.lpszClassName = "P";
    WNDCLASSA childClass = parentClass;
    childClass.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_DESTROY) order.push_back("child");
        return DefWindowProcA(w, m, wp, lp);
    };
    childClass.lpszClassName = "C";
    RegisterClassA(&parentClass);
    RegisterClassA(&childClass);
    HWND parent = CreateWindowExA(0, "P", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowExA(0, "C", "", WS_CHILD, 0, 0, 1, 1, parent, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_FALSE(UnregisterClassA("C", nullptr));  // still in use
    PostMessageA(parent, WM_CLOSE, 0, 0);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    EXPECT_EQ(order, (std::vector<std::string>{"parent", "child"}));
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_TRUE(UnregisterClassA("C", nullptr));
    harness::Stop();
}

}  // namespace
