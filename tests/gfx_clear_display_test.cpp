// ClearDisplaySurfaces on the emulated display: both buffers of the flipping pair cleared by lock,
// clear, unlock and flip twice, lost surfaces rebuilt first, and the results it passes on.
#include <cstring>

#include "app/display.h"
#include "gfx/gfx.h"
#include "tests/support/program_fixture.h"

namespace {

class ClearDisplay : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "ClearDisplayTest";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "ClearDisplayTest", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_TRUE(InitDisplay(window));
        // Both buffers and the padding after every row hold non-zero bytes.
        for (std::uint8_t value : {0x21, 0x42}) {
            Fill(value);
            ASSERT_EQ(primarySurface->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        }
        harness::ClearTrace();
    }
    void TearDown() override {
        ShutdownDisplay();
        DestroyWindow(window);
        ProgramTest::TearDown();
    }

    static void Fill(std::uint8_t value) {
        DDSURFACEDESC desc{};
        desc.dwSize = kSurfaceDescSize;
        ASSERT_EQ(backBuffer->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        std::memset(desc.lpSurface, value, static_cast<std::size_t>(desc.lPitch) * desc.dwHeight);
        backBuffer->Unlock(nullptr);
    }

    // The back buffer's bytes: `cleared` counts zeros inside the picture, `padding` the bytes after
    // each row that are still as filled.
    struct Contents {
        long cleared = 0;
        long padding = 0;
    };
    static Contents BackBufferContents() {
        DDSURFACEDESC desc{};
        desc.dwSize = kSurfaceDescSize;
        Contents c;
        if (backBuffer->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return c;
        const auto* bytes = static_cast<const std::uint8_t*>(desc.lpSurface);
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            for (LONG x = 0; x < desc.lPitch; ++x) {
                const std::uint8_t b = bytes[y * desc.lPitch + x];
                if (x < static_cast<LONG>(desc.dwWidth)) {
                    c.cleared += b == 0;
                } else {
                    c.padding += b != 0;
                }
            }
        }
        backBuffer->Unlock(nullptr);
        return c;
    }

    HWND window = nullptr;
};

constexpr long kPicture = 640 * 480;
constexpr long kPadding = 64 * 480;  // the harness's default padding after every row

TEST_F(ClearDisplay, ClearsBothBuffersAndShowsTheFirstAgain) {
    EXPECT_EQ(ClearDisplaySurfaces(), DD_OK);

    // The loss test, then lock, unlock and flip twice, in this order.
    int at = 0;
    for (const char* call : {"IDirectDrawSurface::IsLost primary", "IDirectDrawSurface::IsLost back",
                             "IDirectDrawSurface::Lock back 1", "IDirectDrawSurface::Unlock back",
                             "IDirectDrawSurface::Flip 1", "IDirectDrawSurface::Lock back 1",
                             "IDirectDrawSurface::Unlock back", "IDirectDrawSurface::Flip 1"}) {
        at = At(call, at);
        ASSERT_GE(at, 0) << call;
        ++at;
    }
    EXPECT_EQ(Count("IDirectDrawSurface::Flip"), 2);

    // The screen shows a cleared picture, and so does the buffer behind it. The display is
    // 640 x 480, so the clear stops at the surface's edges: the row padding keeps its bytes.
    const std::vector<std::uint8_t> shown = harness::LastIndices();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), 0), static_cast<long>(shown.size()));
    const Contents back = BackBufferContents();
    EXPECT_EQ(back.cleared, kPicture);
    EXPECT_EQ(back.padding, kPadding);
}

TEST_F(ClearDisplay, RebuildsLostSurfacesFirst) {
    harness::LoseSurfaces();
    EXPECT_EQ(ClearDisplaySurfaces(), DD_OK);
    EXPECT_LT(At("IDirectDraw::CreateSurface"), At("IDirectDrawSurface::Lock back"));
    EXPECT_EQ(BackBufferContents().cleared, kPicture);
    EXPECT_TRUE(harness::MessageBoxes().empty());
}

TEST_F(ClearDisplay, LostSurfacesThatCannotBeRebuiltLeaveEverythingAlone) {
    harness::LoseBackBuffer();
    harness::FailCall("IDirectDraw::CreateSurface", DDERR_OUTOFMEMORY, 2);
    EXPECT_EQ(ClearDisplaySurfaces(), 0);
    EXPECT_EQ(At("IDirectDrawSurface::Lock"), -1);
    const auto boxes = harness::MessageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "cannot restore primary surface");
    // A second call on the released display still does nothing.
    EXPECT_EQ(ClearDisplaySurfaces(), 0);
}

TEST_F(ClearDisplay, PassesOnTheResultsThatMatter) {
    // A failed first lock: its result at once, nothing flipped.
    harness::FailCall("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
    EXPECT_EQ(ClearDisplaySurfaces(), DDERR_SURFACEBUSY);
    EXPECT_EQ(At("IDirectDrawSurface::Flip"), -1);
    EXPECT_EQ(BackBufferContents().cleared, 0);

    // A failed second lock: one buffer cleared and flipped once.
    harness::ClearTrace();
    harness::AfterPresent(harness::PresentCount() + 1,
                          [] { harness::FailCall("IDirectDrawSurface::Lock", DDERR_GENERIC); });
    EXPECT_EQ(ClearDisplaySurfaces(), DDERR_GENERIC);
    EXPECT_EQ(Count("IDirectDrawSurface::Flip"), 1);
    const std::vector<std::uint8_t> shown = harness::LastIndices();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), 0), kPicture);

    // A failed first flip is not looked at; the second flip's result is the result.
    harness::ClearTrace();
    harness::FailCall("IDirectDrawSurface::Flip", DDERR_SURFACEBUSY);
    EXPECT_EQ(ClearDisplaySurfaces(), DD_OK);
    EXPECT_EQ(Count("IDirectDrawSurface::Lock back"), 2);
    harness::FailCall("IDirectDrawSurface::Flip", DDERR_WASSTILLDRAWING, 2);
    EXPECT_EQ(ClearDisplaySurfaces(), DDERR_WASSTILLDRAWING);
}

}  // namespace
