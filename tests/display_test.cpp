// The display device: set-up failures, the video-memory fallback, loss and rebuild, shutdown.
#include "app/display.h"
#include "app/main_loop.h"
#include "tests/support/program_fixture.h"

namespace {

class DisplayTest : public ProgramTest {};

TEST_F(DisplayTest, SetUpFailuresShowTheLowSixteenBitsAndEndWithZero) {
    struct Case {
        const char* call;
        HRESULT result;
        const char* text;
    } cases[] = {
        {"DirectDrawCreate", DDERR_INVALIDPARAMS, "DirectDraw Init FAILED. Error:87"},
        {"IDirectDraw::SetCooperativeLevel", DDERR_SURFACELOST, "DirectDraw Init FAILED. Error:450"},
        {"IDirectDraw::SetDisplayMode", DDERR_INVALIDMODE, "DirectDraw Init FAILED. Error:120"},
        {"IDirectDrawSurface::GetAttachedSurface", DDERR_NOTFOUND, "DirectDraw Init FAILED. Error:255"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        harness::Start(HarnessOptions());
        ResetProgramState();
        harness::FailCall(c.call, c.result);
        EXPECT_EQ(RunProgram(), 0);
        auto boxes = harness::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "Vexmoor");
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_FALSE(boxes[0].error);
        // Quit 0 from WM_DESTROY, then -1; WinMain does not enter the loop.
        int zero = At("PostQuitMessage 0");
        EXPECT_GT(At("PostQuitMessage -1", zero), zero);
        EXPECT_EQ(directDraw, nullptr);
        EXPECT_EQ(primarySurface, nullptr);
        EXPECT_EQ(At("ShowCursor 0"), -1);
    }
}

TEST_F(DisplayTest, BothSurfaceCreationsFailingIsReported) {
    harness::FailCall("IDirectDraw::CreateSurface", DDERR_OUTOFMEMORY, 2);
    EXPECT_EQ(RunProgram(), 0);
    auto boxes = harness::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "DirectDraw Init FAILED. Error:14");
    EXPECT_EQ(At("IDirectDraw::CreatePalette"), -1);
}

TEST_F(DisplayTest, NoRoomInVideoMemoryFallsBackToSystemMemory) {
    harness::FailCall("IDirectDraw::CreateSurface", DDERR_OUTOFMEMORY, 1);
    harness::ClickAt(100800);
    EXPECT_EQ(RunProgram(), 0);
    int first = At("IDirectDraw::CreateSurface 16920");
    int second = At("IDirectDraw::CreateSurface 536", first);
    EXPECT_GE(first, 0);
    EXPECT_GT(second, first);
    EXPECT_TRUE(harness::MessageBoxes().empty());
    EXPECT_GT(harness::PresentCount(), 5);
}

TEST_F(DisplayTest, ALostBackBufferAloneRebuildsBothSurfacesAndReattachesThePalette) {
    harness::AfterPresent(5, [] {
        harness::ClearTrace();
        harness::LoseBackBuffer();
    });
    harness::ClickAt(101000);
    RunProgram();
    int primaryTest = At("IDirectDrawSurface::IsLost primary");
    int backTest = At("IDirectDrawSurface::IsLost back", primaryTest);
    int releaseBack = At("IDirectDrawSurface::Release back", backTest);
    int releasePrimary = At("IDirectDrawSurface::Release primary", releaseBack);
    int create = At("IDirectDraw::CreateSurface 16920", releasePrimary);
    int attach = At("IDirectDrawSurface::SetPalette primary", create);
    int flip = At("IDirectDrawSurface::Flip", attach);
    for (int index : {primaryTest, backTest, releaseBack, releasePrimary, create, attach, flip}) EXPECT_GE(index, 0);
    EXPECT_EQ(At("IDirectDraw::CreatePalette"), -1);  // the palette object outlives the rebuild
}

TEST_F(DisplayTest, SurfacesLostWhileInactiveAreRebuiltByTheFirstFrameAfter) {
    harness::FocusLostAt(100500);
    harness::AtTime(100600, [] { harness::ClearTrace(); });
    harness::FocusGainedAt(101000);
    harness::ClickAt(101300);
    RunProgram();
    int rebuild = At("IDirectDraw::CreateSurface");
    ASSERT_GE(rebuild, 0);
    EXPECT_GT(At("IDirectDrawSurface::Flip", rebuild), rebuild);
    EXPECT_EQ(At("IDirectDrawSurface::Flip"), At("IDirectDrawSurface::Flip", rebuild));
}

TEST_F(DisplayTest, ARebuildThatFailsReportsTwiceAndPostsZeroMinusOneZero) {
    harness::AfterPresent(4, [] {
        harness::ClearTrace();
        harness::LoseSurfaces();
        harness::FailCall("IDirectDraw::CreateSurface", DDERR_OUTOFMEMORY, 2);
    });
    EXPECT_EQ(RunProgram(), 0);
    auto boxes = harness::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "DirectDraw Init FAILED. Error:14");
    EXPECT_EQ(boxes[0].title, "Vexmoor");
    EXPECT_EQ(boxes[1].text, "cannot restore primary surface");
    EXPECT_EQ(boxes[1].title, "Error");
    EXPECT_TRUE(boxes[1].error);
    int zero = At("PostQuitMessage 0");
    int minusOne = At("PostQuitMessage -1", zero);
    int zeroAgain = At("PostQuitMessage 0", minusOne);
    EXPECT_GE(zero, 0);
    EXPECT_GT(minusOne, zero);
    EXPECT_GT(zeroAgain, minusOne);
    EXPECT_EQ(harness::PresentCount(), 4);
}

TEST_F(DisplayTest, ShutdownTwiceIsHarmless) {
    HWND window = nullptr;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "PLAIN";
    RegisterClassA(&wc);
    window = CreateWindowExA(0, "PLAIN", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    mainWindow = window;
    ASSERT_TRUE(InitDisplay(window));
    ShutdownDisplay();
    harness::ClearTrace();
    ShutdownDisplay();
    EXPECT_TRUE(harness::TraceEntries().empty());
    EXPECT_EQ(directDraw, nullptr);
    EXPECT_EQ(displayPalette, nullptr);
}

}  // namespace
