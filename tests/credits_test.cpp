// The credits roll: the measuring pass, the scroll and its wrap, where text may show, the
// credits file rules and the failures that must not stop the show.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/credits.h"
#include "app/display.h"
#include "app/main_loop.h"
#include "tests/support/program_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kRed = kFixtureRed;

class CreditsTest : public ProgramTest {
protected:
    static void WriteText(const std::string& text) { WriteFile("credits.dat", text); }
    // Sets up the window and the display the way InitApplication does, without the loop.
    static void SetUpDisplay() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = MainWindowProc;
        wc.lpszClassName = "VEXMOR";
        RegisterClassA(&wc);
        mainWindow = CreateWindowExA(0, "VEXMOR", "Vexmoor", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                     nullptr, nullptr, nullptr);
        ASSERT_TRUE(InitDisplay(mainWindow));
    }
    // Rows and columns of the last picture that hold the text's index.
    struct Extent {
        int top = 9999, bottom = -1, left = 9999, right = -1, count = 0;
    };
    static Extent TextExtent(std::uint8_t index = kRed) {
        std::vector<std::uint8_t> pixels = harness::LastIndices();
        Extent e;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (pixels[y * 640 + x] == index) {
                    e.top = std::min(e.top, y), e.bottom = std::max(e.bottom, y);
                    e.left = std::min(e.left, x), e.right = std::max(e.right, x);
                    ++e.count;
                }
        return e;
    }
};

TEST_F(CreditsTest, ACycleRunsFrom480ToMinusTheHeightAndWraps) {
    SetUpDisplay();
    textHeight = 1000;
    scrollY = 480;
    std::vector<int> drawnAt;
    for (int i = 0; i < 745; ++i) {
        drawnAt.push_back(scrollY);
        DrawCreditsFrame();
    }
    EXPECT_EQ(drawnAt[0], 480);
    EXPECT_EQ(drawnAt[1], 478);
    EXPECT_EQ(drawnAt[740], -1000);  // drawn exactly at -textHeight ...
    EXPECT_EQ(drawnAt[741], 480);    // ... and the next one at 480: 741 frames a cycle
    EXPECT_EQ(drawnAt[742], 478);
}

TEST_F(CreditsTest, TheMeasuringPassGivesTheTextHeightAndTheFirstFrameShowsNoText) {
    WriteText("Vexmoor\r\nA line\r\n\r\nThe end");
    harness::AfterPresent(2, [this] {
        EXPECT_EQ(TextExtent().count, 0);  // the frame before the fade, at 480
    });
    harness::ClickAt(103000);
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(textHeight, 4 * 28);
}

TEST_F(CreditsTest, TextRisesFromTheBottomAndNeverLeavesItsArea) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "A long line of credits that is wide enough to wrap across the screen twice over\r\n";
    WriteText(text);
    Extent all;
    int framesWithText = 0;
    harness::OnEveryPresent([&] {
        Extent e = TextExtent();
        if (e.count == 0) return;
        ++framesWithText;
        all.top = std::min(all.top, e.top), all.bottom = std::max(all.bottom, e.bottom);
        all.left = std::min(all.left, e.left), all.right = std::max(all.right, e.right);
    });
    harness::ClickAt(100000 + 60 * 1000);
    RunProgram();
    EXPECT_GT(framesWithText, 200);
    EXPECT_EQ(all.top, 140);     // text reaches the top of its area, never row 139
    EXPECT_LE(all.bottom, 478);  // never row 479
    EXPECT_GE(all.bottom, 470);  // rising in from the bottom edge
    EXPECT_LE(all.right, 638);   // never column 639
    EXPECT_GE(all.left, 0);
}

TEST_F(CreditsTest, OnlyTheFirst1900BytesAreReadAndAZeroByteEndsTheText) {
    WriteText(std::string(2500, 'x'));
    LoadCreditsText();
    EXPECT_EQ(std::string(creditsText, 1900), std::string(1900, 'x'));
    EXPECT_EQ(creditsText[1900], 0);

    ResetCreditsState();
    std::string withZero(300, 'y');
    withZero[100] = '\0';
    WriteText(withZero);
    SetUpDisplay();
    InitCredits();
    int heightWithZero = textHeight;
    ShutdownCredits();

    ResetCreditsState();
    WriteText(std::string(100, 'y'));
    InitCredits();
    EXPECT_EQ(textHeight, heightWithZero);
    EXPECT_GT(textHeight, 0);
    ShutdownCredits();
}

TEST_F(CreditsTest, ALostSurfaceDuringTheRollIsRebuiltAndDrawnInTheSameCall) {
    WriteText("Credits");
    SetUpDisplay();
    InitCredits();
    SetPalette6(backgroundPalette);  // the colours the fade-in would have reached
    scrollY = 300;
    harness::LoseSurfaces();
    harness::ClearTrace();
    DrawCreditsFrame();
    int create = At("IDirectDraw::CreateSurface");
    EXPECT_GE(create, 0);
    EXPECT_GT(At("IDirectDrawSurface::Flip", create), create);
    EXPECT_EQ(scrollY, 298);
    EXPECT_GT(TextExtent().count, 0);
    ShutdownCredits();
}

TEST_F(CreditsTest, AMissingCreditsFileIsReportedAndTheShutdownStillRuns) {
    fs::remove("credits.dat");
    EXPECT_EQ(RunProgram(), 0);
    auto boxes = harness::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Error");
    EXPECT_EQ(boxes[0].text, "TEXTFILE not found");
    EXPECT_TRUE(boxes[0].error);
    EXPECT_FALSE(harness::GaveUp());
    // The display is released and the cursor given back although the loop ended on the quit request.
    int destroy = At("DestroyWindow VEXMOR");
    EXPECT_GE(destroy, 0);
    EXPECT_GE(At("ShowCursor 1", destroy), 0);
    EXPECT_GE(At("IDirectDraw::Release", destroy), 0);
}

TEST_F(CreditsTest, AMissingOrMalformedBackgroundGivesABlackPictureAndTheProgramRunsOn) {
    for (const char* content : std::vector<const char*>{"", "short", nullptr}) {
        SCOPED_TRACE(content ? content : "missing");
        harness::Start(HarnessOptions());
        ResetProgramState();
        ResetCreditsState();
        fs::remove("credback.cff");
        if (content) WriteFile("credback.cff", content);
        WriteText("Credits");
        harness::ClickAt(102000);
        EXPECT_EQ(RunProgram(), 0);
        harness::Picture picture = harness::LastPicture();
        bool allBlack = true;
        for (std::uint32_t c : picture.rgb) allBlack = allBlack && c == 0;
        EXPECT_TRUE(allBlack);
        EXPECT_TRUE(harness::MessageBoxes().empty());
    }
}

}  // namespace
