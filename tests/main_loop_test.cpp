// The shell as a user meets it: start-up, the paced loop, activation, closing, signals.
#include <algorithm>
#include <csignal>

#include "app/main_loop.h"
#include "platform/user/user_internal.h"
#include "tests/support/program_fixture.h"

namespace {

class MainLoopTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        // A paced frame is one drawn by the loop: lastFrameTick has just been set to the present's tick.
        harness::OnEveryPresent([this] {
            if (lastFrameTick != 0 && lastFrameTick == static_cast<std::uint32_t>(harness::Now())) {
                paced_.push_back(harness::Now());
            } else if (paced_.empty()) {
                lastSetUpPresent_ = harness::Now();
            }
        });
    }
    std::vector<std::uint64_t> PacedFrameTimes() const { return paced_; }
    // Paced frames drawn at virtual times in [from, to).
    int FramesBetween(std::uint64_t from, std::uint64_t to) const {
        return static_cast<int>(std::count_if(paced_.begin(), paced_.end(),
                                              [&](std::uint64_t t) { return t >= from && t < to; }));
    }
    std::vector<std::uint64_t> paced_;
    std::uint64_t lastSetUpPresent_ = 0;
};

TEST_F(MainLoopTest, ClickEndsWithExitCodeZeroAfterTheShutdownInOrder) {
    harness::ClickAt(101000);
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_FALSE(harness::GaveUp());

    int destroy = At("DestroyWindow VEXMOR");
    ASSERT_GE(destroy, 0);
    int cursor = At("ShowCursor 1", destroy);
    int back = At("IDirectDrawSurface::Release back", cursor);
    int primary = At("IDirectDrawSurface::Release primary", back);
    int palette = At("IDirectDrawPalette::Release", primary);
    int display = At("IDirectDraw::Release", palette);
    int quit = At("PostQuitMessage 0", display);
    EXPECT_GT(cursor, destroy);
    EXPECT_GT(back, cursor);
    EXPECT_GT(primary, back);
    EXPECT_GT(palette, primary);
    EXPECT_GT(display, palette);
    EXPECT_GT(quit, display);
    EXPECT_TRUE(harness::CursorVisible());
}

TEST_F(MainLoopTest, SetUpRunsInOrderAndHidesTheCursor) {
    bool hiddenWhileRunning = true;
    harness::AtTime(100500, [&] { hiddenWhileRunning = !harness::CursorVisible(); });
    harness::ClickAt(101000);
    RunProgram();
    EXPECT_TRUE(hiddenWhileRunning);
    int reg = At("RegisterClassA VEXMOR");
    int create = At("CreateWindowExA VEXMOR", reg);
    int show = At("ShowWindow 10", create);
    int dd = At("DirectDrawCreate", show);
    int coop = At("IDirectDraw::SetCooperativeLevel 17", dd);
    int mode = At("IDirectDraw::SetDisplayMode 640x480x8", coop);
    int surface = At("IDirectDraw::CreateSurface 16920", mode);
    int palette = At("IDirectDraw::CreatePalette 68", surface);
    int attach = At("IDirectDrawSurface::SetPalette primary", palette);
    int cursor = At("ShowCursor 0", attach);
    for (int index : {reg, create, show, dd, coop, mode, surface, palette, attach, cursor}) EXPECT_GE(index, 0);
}

TEST_F(MainLoopTest, FramesArePacedStrictlyMoreThanFiftyMillisecondsApart) {
    harness::ClickAt(102600);
    RunProgram();
    std::vector<std::uint64_t> times = PacedFrameTimes();
    ASSERT_GT(times.size(), 30u);
    // lastFrameTick starts at 0, so the first pass of the loop draws at once.
    EXPECT_LE(times[0] - lastSetUpPresent_, 1u);
    // A tick exactly 50 past the stored one draws nothing: frames are 51 ms apart, never 50.
    for (std::size_t i = 1; i < times.size(); ++i) EXPECT_EQ(times[i] - times[i - 1], 51u) << "frame " << i;
}

class WrappingClockTest : public MainLoopTest {
protected:
    harness::Options HarnessOptions() const override {
        harness::Options options;
        options.startTick = 0xFFFFFFFFull - 300;  // the 32-bit tick counter wraps a moment after start
        return options;
    }
};

TEST_F(WrappingClockTest, TheWrapAroundDoesNotStopFrames) {
    std::uint64_t start = harness::Now();
    harness::ClickAt(start + 1500);
    RunProgram();
    std::vector<std::uint64_t> times = PacedFrameTimes();
    ASSERT_GT(times.size(), 20u);
    EXPECT_GT(times.back(), 0xFFFFFFFFull + 1000);
    for (std::size_t i = 1; i < times.size(); ++i) EXPECT_EQ(times[i] - times[i - 1], 51u) << "frame " << i;
}

TEST_F(MainLoopTest, InactiveApplicationWaitsAndDrawsNothing) {
    harness::FocusLostAt(100500);
    harness::FocusGainedAt(103000);
    harness::ClickAt(103500);
    RunProgram();
    std::vector<std::uint64_t> times = PacedFrameTimes();
    EXPECT_EQ(FramesBetween(100502, 103000), 0);
    EXPECT_GT(FramesBetween(103000, 200000), 5);
    EXPECT_GE(At("WaitMessage"), 0);
    // Switching back resumes at the same pace, with nothing caught up.
    for (std::size_t i = 1; i < times.size(); ++i) {
        if (times[i - 1] >= 103000) {
            EXPECT_EQ(times[i] - times[i - 1], 51u);
        }
    }
}

TEST_F(MainLoopTest, ASteadyMessageStreamStarvesFrames) {
    // After the fade-in (32 vertical blanks, about 533 ms) the loop is running.
    for (std::uint64_t t = 100900; t < 101400; ++t) {
        harness::ScheduleEvent(t, platform::DesktopEvent{platform::DesktopEvent::Kind::MouseMove, 5, 5, 0});
    }
    harness::ClickAt(102100);
    RunProgram();
    EXPECT_EQ(FramesBetween(100901, 101400), 0);
    EXPECT_GT(FramesBetween(101400, 200000), 5);
}

TEST_F(MainLoopTest, KeyboardIsIgnoredAndTheWindowManagersCloseEndsInOrder) {
    harness::ScheduleEvent(100400, platform::DesktopEvent{platform::DesktopEvent::Kind::Key});
    harness::CloseRequestAt(101000);
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_FALSE(harness::GaveUp());
    std::vector<std::uint64_t> times = PacedFrameTimes();
    ASSERT_FALSE(times.empty());
    EXPECT_GT(times.back(), 100900u);  // the key press ended nothing
    EXPECT_GE(At("PostQuitMessage 0", At("IDirectDraw::Release")), 0);
}

TEST_F(MainLoopTest, TerminationSignalRunsTheOrderlyShutdown) {
    platform::InstallTerminationSignals();
    harness::AtTime(100700, [] { std::raise(SIGTERM); });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_FALSE(harness::GaveUp());
    int close = At("signal: WM_CLOSE");
    ASSERT_GE(close, 0);
    EXPECT_GE(At("IDirectDraw::Release", close), 0);
    std::signal(SIGTERM, SIG_DFL);
}

TEST_F(MainLoopTest, WindowCreationFailureEndsAtOnceWithZero) {
    harness::FailCall("CreateWindowExA", E_FAIL);
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(At("DirectDrawCreate"), -1);
    EXPECT_TRUE(harness::MessageBoxes().empty());
}

}  // namespace
