// GDI text through a DirectDraw surface's device context: the back buffer has no palette of its
// own, so the text colour is matched against the primary surface's.
#include <cstring>

#include "app/display.h"
#include "platform/gdi.h"
#include "tests/support/program_fixture.h"

namespace {

class GdiOnSurface : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "GdiOnSurfaceTest";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "GdiOnSurfaceTest", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_TRUE(InitDisplay(window));
    }
    void TearDown() override {
        ShutdownDisplay();
        DestroyWindow(window);
        ProgramTest::TearDown();
    }
    HWND window = nullptr;
};

TEST_F(GdiOnSurface, BackBufferTextUsesThePrimarysPaletteAndThePitch) {
    PALETTEENTRY entries[256] = {};
    entries[77] = PALETTEENTRY{252, 0, 0, 0};
    entries[78] = PALETTEENTRY{252, 0, 0, 0};
    ASSERT_EQ(displayPalette->SetEntries(0, 0, 256, entries), DD_OK);

    HDC dc = nullptr;
    ASSERT_EQ(backBuffer->GetDC(&dc), DD_OK);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 0, 0));
    HFONT font =
        CreateFontA(28, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    NONANTIALIASED_QUALITY, VARIABLE_PITCH | FF_DONTCARE, "Arial");
    SelectObject(dc, font);
    RECT rect{0, 200, 639, 479};
    EXPECT_EQ(DrawTextA(dc, "Credits", -1, &rect, DT_CENTER | DT_WORDBREAK), 28);
    backBuffer->ReleaseDC(dc);
    DeleteObject(font);

    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = kSurfaceDescSize;
    ASSERT_EQ(backBuffer->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    ASSERT_GT(desc.lPitch, 640);
    const auto* bits = static_cast<const std::uint8_t*>(desc.lpSurface);
    int inked = 0, other = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            std::uint8_t v = bits[y * desc.lPitch + x];
            if (v == 77) {
                ++inked;
                EXPECT_TRUE(y >= 200 && y < 228) << x << "," << y;
            } else if (v != 0) {
                ++other;
            }
        }
    }
    backBuffer->Unlock(nullptr);
    EXPECT_GT(inked, 100);
    EXPECT_EQ(other, 0);
}

}  // namespace
