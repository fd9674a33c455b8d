// The palette operations on the emulated display: what the fades publish and at how many vertical
// blanks, the peFlags each operation writes, the 6-to-8-bit conversion, a null palette object,
// a refused write, and the reference FadeOutPalette gets from GetPalette.
#include <array>
#include <vector>

#include "app/display.h"
#include "gfx/gfx.h"
#include "tests/support/program_fixture.h"

// Beside the type, so the test framework's comparisons find it.
static bool operator==(const PALETTEENTRY& a, const PALETTEENTRY& b) {
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue && a.peFlags == b.peFlags;
}

namespace {

using Entries = std::array<PALETTEENTRY, 256>;

class PaletteOps : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "PaletteOpsTest";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "PaletteOpsTest", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_TRUE(InitDisplay(window));
        ASSERT_NE(displayPalette, nullptr);
        // The screen shows a picture from the first flip on; palette writes then show at once.
        ASSERT_EQ(primarySurface->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    }
    void TearDown() override {
        ShutdownDisplay();
        DestroyWindow(window);
        ProgramTest::TearDown();
    }

    static Entries Read(IDirectDrawPalette* palette = displayPalette) {
        Entries out{};
        EXPECT_EQ(palette->GetEntries(0, 0, 256, out.data()), DD_OK);
        return out;
    }
    // Every palette state shown while `action` runs (each write shows at once on an 8-bit display).
    static std::vector<Entries> Shown(const std::function<void()>& action) {
        std::vector<Entries> shown;
        harness::OnEveryPresent([&] { shown.push_back(Read()); });
        action();
        harness::OnEveryPresent(nullptr);
        return shown;
    }
    static ULONG References(IDirectDrawPalette* palette) {
        palette->AddRef();
        return palette->Release();
    }

    HWND window = nullptr;
};

TEST_F(PaletteOps, FadeInPublishesThirtyTwoStepsAtVerticalBlanksEndingOnTheTarget) {
    Palette6 target{};
    for (int i = 0; i < 256; ++i) {
        target.bytes[3 * i] = static_cast<std::uint8_t>(i % 64);
        target.bytes[3 * i + 1] = static_cast<std::uint8_t>(63 - i % 64);
        target.bytes[3 * i + 2] = static_cast<std::uint8_t>(i / 4);
    }
    target.bytes[3 * 10] = 63;
    target.bytes[3 * 11] = 32;
    target.bytes[3 * 12] = 1;
    int blanks = harness::VerticalBlankCount();
    harness::ClearTrace();
    std::vector<Entries> shown = Shown([&] { FadeInPalette(target); });

    EXPECT_EQ(harness::VerticalBlankCount() - blanks, 32);
    ASSERT_EQ(shown.size(), 32u);
    EXPECT_EQ(Count("IDirectDrawPalette::SetEntries 0 256"), 32);
    // Each write follows its wait.
    int from = 0;
    for (int k = 0; k < 32; ++k) {
        int wait = At("IDirectDraw::WaitForVerticalBlank", from);
        int write = At("IDirectDrawPalette::SetEntries", from);
        ASSERT_GE(wait, 0);
        ASSERT_GT(write, wait);
        from = write + 1;
    }
    for (const Entries& e : shown)
        for (const PALETTEENTRY& entry : e) ASSERT_EQ(entry.peFlags, PC_RESERVED);
    EXPECT_EQ(shown[0][10].peRed, 7);
    EXPECT_EQ(shown[10][10].peRed, 86);
    EXPECT_EQ(shown[4][11].peRed, 20);
    EXPECT_EQ(shown[6][12].peRed, 0);
    EXPECT_EQ(shown[7][12].peRed, 1);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(shown.back()[i],
                  (PALETTEENTRY{static_cast<BYTE>(4 * target.bytes[3 * i]),
                                static_cast<BYTE>(4 * target.bytes[3 * i + 1]),
                                static_cast<BYTE>(4 * target.bytes[3 * i + 2]), PC_RESERVED}))
            << "entry " << i;
    }
}

TEST_F(PaletteOps, FadeOutGoesToBlackKeepingFlagsAndBalancesTheReference) {
    PALETTEENTRY start[256];
    for (int i = 0; i < 256; ++i)
        start[i] = PALETTEENTRY{255, static_cast<BYTE>(i), 17, static_cast<BYTE>(i & 1)};
    ASSERT_EQ(displayPalette->SetEntries(0, 0, 256, start), DD_OK);
    IDirectDrawPalette* before = displayPalette;
    ULONG references = References(displayPalette);
    int blanks = harness::VerticalBlankCount();

    std::vector<Entries> shown = Shown([] { EXPECT_EQ(FadeOutPalette(), DD_OK); });

    EXPECT_EQ(harness::VerticalBlankCount() - blanks, 32);
    ASSERT_EQ(shown.size(), 32u);
    for (int k = 1; k <= 32; ++k) EXPECT_EQ(shown[k - 1][0].peRed, 256 - 8 * k);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(shown.back()[i], (PALETTEENTRY{0, 0, 0, static_cast<BYTE>(i & 1)})) << "entry " << i;
    }
    EXPECT_EQ(displayPalette, before);
    EXPECT_EQ(References(displayPalette), references);

    // An already black palette still takes 32 blanks and is published black 32 times.
    blanks = harness::VerticalBlankCount();
    shown = Shown([] { FadeOutPalette(); });
    EXPECT_EQ(harness::VerticalBlankCount() - blanks, 32);
    EXPECT_EQ(shown.size(), 32u);
    EXPECT_EQ(shown.back(), shown.front());
}

TEST_F(PaletteOps, FadeOutStopsWhenThePrimaryHandsBackNoPalette) {
    harness::FailCall("IDirectDrawSurface::GetPalette", DDERR_NOPALETTEATTACHED);
    Entries before = Read();
    int blanks = harness::VerticalBlankCount();
    EXPECT_EQ(FadeOutPalette(), DDERR_NOPALETTEATTACHED);
    EXPECT_EQ(harness::VerticalBlankCount(), blanks);
    EXPECT_EQ(Read(), before);
    EXPECT_EQ(At("IDirectDrawPalette::SetEntries"), -1);
}

TEST_F(PaletteOps, SetPalette6ConvertsToEightBitsWithFlagsZero) {
    struct Case {
        std::uint8_t component;
        BYTE shown;
    } cases[] = {{0, 0}, {1, 4}, {32, 128}, {63, 252}, {64, 0}, {65, 4}, {255, 252}};
    Palette6 colours{};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        colours.bytes[3 * i] = cases[i].component;
        colours.bytes[3 * i + 2] = cases[i].component;
    }
    int blanks = harness::VerticalBlankCount();
    EXPECT_EQ(SetPalette6(colours), DD_OK);
    EXPECT_EQ(harness::VerticalBlankCount(), blanks) << "no wait for the vertical blank";
    Entries e = Read();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(e[i], (PALETTEENTRY{cases[i].shown, 0, cases[i].shown, 0}))
            << "component " << int(cases[i].component);
    }

    // The fade-in converts the same way.
    Shown([&] { FadeInPalette(colours); });
    e = Read();
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(e[i].peRed, cases[i].shown);

    EXPECT_EQ(SetBlackPalette(), DD_OK);
    for (const PALETTEENTRY& entry : Read()) ASSERT_EQ(entry, (PALETTEENTRY{0, 0, 0, 0}));
}

TEST_F(PaletteOps, SetPaletteEntry6WritesOneEntryAndAnIndexPastTheEndChangesNothing) {
    EXPECT_EQ(SetPaletteEntry6(200, 63, 1, 65), DD_OK);
    Entries e = Read();
    EXPECT_EQ(e[200], (PALETTEENTRY{252, 4, 4, 0}));
    EXPECT_EQ(e[199], (PALETTEENTRY{0, 0, 0, 0}));
    EXPECT_EQ(e[201], (PALETTEENTRY{0, 0, 0, 0}));

    harness::ClearTrace();
    EXPECT_NE(SetPaletteEntry6(256, 63, 63, 63), DD_OK);
    EXPECT_GE(At("IDirectDrawPalette::SetEntries 256 1"), 0) << "the index is passed on unchecked";
    EXPECT_EQ(Read(), e);
}

TEST_F(PaletteOps, WithoutAPaletteObjectNothingIsWrittenButTheFadeStillWaits) {
    IDirectDrawPalette* palette = displayPalette;
    Palette6 white;
    std::fill(std::begin(white.bytes), std::end(white.bytes), 63);
    ASSERT_EQ(SetPalette6(white), DD_OK);
    displayPalette = nullptr;
    harness::ClearTrace();
    int blanks = harness::VerticalBlankCount();

    EXPECT_EQ(SetBlackPalette(), DD_OK);
    EXPECT_EQ(SetPaletteEntry6(3, 0, 0, 0), DD_OK);
    FadeInPalette(Palette6{});
    EXPECT_EQ(harness::VerticalBlankCount() - blanks, 32);
    EXPECT_EQ(At("IDirectDrawPalette::SetEntries"), -1);

    displayPalette = palette;
    EXPECT_EQ(Read()[3], (PALETTEENTRY{252, 252, 252, 0}));
}

}  // namespace
