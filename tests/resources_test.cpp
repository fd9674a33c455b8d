// The program's compiled-in resources: lookup by name and number, bitmap resources without their
// file header, the VXICON icon decoded from its picture and shown as the main window's icon.
#include "platform/resources.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi.h"
#include "platform/harness/harness.h"
#include "platform/resources/resource_table.h"
#include "platform/user/user_internal.h"
#include "platform/win_user.h"

namespace {

class ResourcesTest : public ::testing::Test {
  protected:
    void SetUp() override { harness::Start(); }
    void TearDown() override { harness::Stop(); }
};

TEST_F(ResourcesTest, BitmapResourcesBeginWithTheirInfoHeader) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, "colours16", RT_BITMAP);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "COLOURS16", RT_BITMAP), found);
    HGLOBAL data = LoadResource(module, found);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(data));
    ASSERT_NE(bytes, nullptr);
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes, sizeof header);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biBitCount, 4);
    // Header, 16 colours and two rows of four bytes.
    EXPECT_EQ(SizeofResource(module, found), 40u + 16 * 4 + 2 * 4);

    EXPECT_EQ(FindResourceA(module, "COLOURS16", RT_GROUP_ICON), nullptr);
    EXPECT_EQ(FindResourceA(module, "NOSUCHBITMAP", RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(7), RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceA(reinterpret_cast<HMODULE>(&header), "COLOURS16", RT_BITMAP), nullptr);
    EXPECT_EQ(LoadResource(module, nullptr), nullptr);
    EXPECT_EQ(LockResource(nullptr), nullptr);

    harness::FailCall("LockResource", E_FAIL);
    EXPECT_EQ(LockResource(data), nullptr);
}

TEST_F(ResourcesTest, TheIconIsTheProgramsOwnPicture) {
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), "vxicon");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), "VXICON"), icon);
    platform::IconPicture picture = platform::IconPictureOf(icon);
    ASSERT_EQ(picture.width, 32);
    ASSERT_EQ(picture.height, 32);
    auto at = [&](int x, int y) { return picture.argb[y * 32 + x]; };
    EXPECT_EQ(at(0, 0), 0x00000000u);    // transparent corner
    EXPECT_EQ(at(15, 0), 0xFF000000u);   // the black rim
    EXPECT_EQ(at(6, 5), 0xFF000080u);    // the navy sky
    EXPECT_EQ(at(20, 5), 0xFFFFFF00u);   // the yellow moon
    EXPECT_EQ(at(15, 27), 0xFF008000u);  // the green moor
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), "NOICON"), nullptr);
    EXPECT_EQ(platform::IconPictureOf(nullptr).argb, nullptr);
}

LRESULT Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(ResourcesTest, AWindowOfAClassWithTheIconShowsItOnTheDesktop) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Plain;
    windowClass.hInstance = module;
    windowClass.hIcon = LoadIconA(module, "VXICON");
    windowClass.lpszClassName = "ICONTEST";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND window = CreateWindowExA(0, "ICONTEST", "Vexmoor", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                  nullptr, module, nullptr);
    ASSERT_NE(window, nullptr);
    harness::Picture shown = harness::ScreenIcon();
    platform::IconPicture expected = platform::IconPictureOf(windowClass.hIcon);
    ASSERT_EQ(shown.width, 32);
    ASSERT_EQ(shown.height, 32);
    EXPECT_TRUE(std::equal(shown.rgb.begin(), shown.rgb.end(), expected.argb));
    DestroyWindow(window);
    UnregisterClassA("ICONTEST", module);
}

}  // namespace
