// GDI text on a plain surface target: the 28-pixel Arial cell, line breaks, word wrap and
// centring, the "&" prefix, clipping, the nearest-colour rule and the glyph cache. Checks are
// structural (which rows and columns carry the text index), so a FreeType upgrade does not break them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/gdi/fonts.h"
#include "platform/surface_target.h"
#include "platform/trace.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kPitch = 704;
constexpr std::uint8_t kBackground = 5;
constexpr std::uint8_t kPadding = 0xEE;
constexpr std::uint8_t kRed = 37;  // the first exact red of the test palette
constexpr UINT kCredits = DT_CENTER | DT_WORDBREAK;

struct Surface {
    std::vector<std::uint8_t> bytes;
    std::uint32_t palette[256];
    HDC dc = nullptr;

    Surface() : bytes(static_cast<std::size_t>(kPitch) * kHeight, kPadding) {
        for (int y = 0; y < kHeight; ++y)
            std::fill_n(&bytes[static_cast<std::size_t>(y) * kPitch], kWidth, kBackground);
        std::fill(std::begin(palette), std::end(palette), 0x404040u);
        palette[0] = 0x000000;
        palette[10] = 0xF10000;  // near red, lower index than the exact reds
        palette[kRed] = 0xFF0000;
        palette[80] = 0xFF0000;
        palette[60] = 0xFF0010;
        palette[200] = 0xFFFFFF;
        platform::SurfaceTarget target;
        target.pixels = bytes.data();
        target.pitch = kPitch;
        target.width = kWidth;
        target.height = kHeight;
        target.readPalette = [this](std::uint32_t* out) {
            std::copy(std::begin(palette), std::end(palette), out);
            return true;
        };
        dc = platform::CreateSurfaceDC(target);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 0, 0));
    }
    ~Surface() { platform::DestroySurfaceDC(dc); }

    std::uint8_t At(int x, int y) const { return bytes[static_cast<std::size_t>(y) * kPitch + x]; }
    bool Ink(int x, int y) const { return At(x, y) == kRed; }
    bool RowHasInk(int y, int x0 = 0, int x1 = kWidth) const {
        for (int x = x0; x < x1; ++x)
            if (Ink(x, y)) return true;
        return false;
    }
    bool ColumnHasInk(int x, int y0 = 0, int y1 = kHeight) const {
        for (int y = y0; y < y1; ++y)
            if (Ink(x, y)) return true;
        return false;
    }
    // The ink inside a box, as a picture of its own (so two placements can be compared).
    std::vector<bool> InkIn(int x0, int y0, int w, int h) const {
        std::vector<bool> out;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                out.push_back(x >= 0 && x < kWidth && y >= 0 && y < kHeight && Ink(x, y));
        return out;
    }
    int InkCount() const {
        int n = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) n += Ink(x, y);
        return n;
    }
    // Every pixel is the background or the text index, and no byte after a row was touched.
    void ExpectOnlyBackgroundAndInk() const {
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kPitch; ++x) {
                std::uint8_t v = bytes[static_cast<std::size_t>(y) * kPitch + x];
                if (x >= kWidth) {
                    ASSERT_EQ(v, kPadding) << "padding touched at " << x << "," << y;
                } else {
                    ASSERT_TRUE(v == kBackground || v == kRed)
                        << "pixel " << x << "," << y << " is " << int(v);
                }
            }
        }
    }
};

class GdiText : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::RunResetHooks();
        font =
            CreateFontA(28, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, VARIABLE_PITCH | FF_DONTCARE, "Arial");
        ASSERT_NE(font, nullptr) << "Arial (Liberation Sans, fonts-liberation2) must be installed";
    }
    void TearDown() override { DeleteObject(font); }

    int Draw(Surface& s, const std::string& text, RECT r, UINT format = kCredits) {
        SelectObject(s.dc, font);
        return DrawTextA(s.dc, text.c_str(), static_cast<int>(text.size()), &r, format);
    }
    // Width of a single line, from DT_CALCRECT.
    int Width(const std::string& text) {
        Surface s;
        SelectObject(s.dc, font);
        RECT r{0, 0, 100000, 100};
        DrawTextA(s.dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE);
        return r.right;
    }

    HFONT font = nullptr;
};

TEST_F(GdiText, ArialCellIsTwentyEightPixelsWithTheBaselineAt23) {
    std::shared_ptr<platform::gdi::FontFace> face = platform::gdi::OpenFont({28, 400, false, "Arial"});
    ASSERT_TRUE(face);
    EXPECT_EQ(face->ppem, 25);
    EXPECT_EQ(face->ascent, 23);
    EXPECT_EQ(face->descent, 5);

    Surface s;
    EXPECT_EQ(Draw(s, "HHH\r\nHHH", {0, 100, 639, 479}, DT_LEFT), 56);
    // "H" stands on the baseline: its lowest row is 22 below the line's top, in both lines.
    EXPECT_TRUE(s.RowHasInk(100 + 22));
    EXPECT_FALSE(s.RowHasInk(100 + 23));
    EXPECT_FALSE(s.RowHasInk(99));
    EXPECT_EQ(s.InkIn(0, 100, 100, 28), s.InkIn(0, 128, 100, 28));
    s.ExpectOnlyBackgroundAndInk();
}

TEST_F(GdiText, LineBreaksAndTheLaidOutHeight) {
    struct Case {
        const char* text;
        int lines;
    } cases[] = {
        {"", 1},         {"a", 1},          {"a\r\nb", 2},     {"a\rb", 2},    {"a\nb", 2},
        {"a\n\rb", 2},   {"a\r\rb", 3},     {"a\n\nb", 3},     {"a\r\n", 1},   {"\r\n", 1},
        {"\r\n\r\n", 2}, {"a\r\n\r\nb", 3}, {"a\r\n\n\rb", 3}, {"a\r\n\r", 2},
    };
    for (const Case& c : cases) {
        Surface s;
        RECT calc{0, 10, 639, 479};
        SelectObject(s.dc, font);
        int measured = DrawTextA(s.dc, c.text, -1, &calc, kCredits | DT_CALCRECT);
        EXPECT_EQ(measured, 28 * c.lines) << "text \"" << c.text << "\"";
        EXPECT_EQ(calc.bottom, 10 + 28 * c.lines);
        EXPECT_EQ(s.InkCount(), 0) << "DT_CALCRECT draws nothing";
        EXPECT_EQ(Draw(s, c.text, {0, 10, 639, 479}), measured);
    }
    // The line after a blank one starts two line heights down.
    Surface s;
    Draw(s, "H\r\n\r\nH", {0, 0, 639, 479});
    EXPECT_EQ(s.InkIn(0, 0, 639, 28), s.InkIn(0, 56, 639, 28));
    EXPECT_FALSE(s.RowHasInk(28 + 10));
}

TEST_F(GdiText, WrapsAtSpacesWithinTheWidthAndCentresEveryLine) {
    const int word = Width("mmm");
    const int two = Width("mmm mmm");
    const int left = 20;
    {
        // Exactly as wide as two words: they fit, the third wraps and is centred on its own.
        Surface s;
        EXPECT_EQ(Draw(s, "mmm mmm mmm", {left, 0, left + two, 479}), 56);
        int x = (left + left + two - word) / 2;
        EXPECT_EQ(s.InkIn(x, 28, word, 28), s.InkIn(left, 0, word, 28));
        EXPECT_FALSE(s.RowHasInk(28 + 15, 0, x));
        EXPECT_FALSE(s.RowHasInk(28 + 15, x + word, kWidth));
    }
    {
        // One pixel narrower: every word has a line of its own.
        Surface s;
        EXPECT_EQ(Draw(s, "mmm mmm mmm", {left, 0, left + two - 1, 479}), 84);
    }
    {
        // Tabs and hyphens are no break points.
        Surface s;
        EXPECT_EQ(Draw(s, "mmm\tmmm-mmm", {0, 0, word, 479}), 28);
    }
    {
        // One space is dropped at the wrap; the second starts the next line, and a word wider
        // than the rectangle still stands alone.
        Surface s;
        const int space = Width(" ");
        EXPECT_EQ(Draw(s, "mmm  mmm", {0, 0, word, 479}, DT_LEFT | DT_WORDBREAK | DT_NOCLIP), 56);
        EXPECT_EQ(s.InkIn(space, 28, word, 28), s.InkIn(0, 0, word, 28));
        EXPECT_FALSE(s.ColumnHasInk(space - 1, 28, 56));
    }
}

TEST_F(GdiText, AWordWiderThanTheRectangleIsCentredAndClipped) {
    Surface s;
    std::string longWord(40, 'W');
    ASSERT_GT(Width(longWord), 200);
    EXPECT_EQ(Draw(s, "ab " + longWord + " cd", {0, 100, 200, 479}), 84);
    EXPECT_TRUE(s.ColumnHasInk(0, 128, 156));
    EXPECT_TRUE(s.ColumnHasInk(199, 128, 156));
    EXPECT_FALSE(s.ColumnHasInk(200));
    s.ExpectOnlyBackgroundAndInk();

    // Without clipping to the rectangle the word runs on both sides of it.
    Surface unclipped;
    Draw(unclipped, longWord, {200, 100, 400, 479}, kCredits | DT_NOCLIP);
    EXPECT_TRUE(unclipped.ColumnHasInk(150));
    EXPECT_TRUE(unclipped.ColumnHasInk(450));
}

TEST_F(GdiText, ClipsToTheRegionAndTheRectangle) {
    std::string text;
    for (int i = 0; i < 30; ++i) text += std::string(60, 'W') + "\r\n";
    for (int top : {-30000, -200, 100, 139, 140, 300, 478}) {
        Surface s;
        HRGN region = CreateRectRgn(0, 140, 639, 479);
        EXPECT_EQ(SelectClipRgn(s.dc, region), SIMPLEREGION);
        DeleteObject(region);  // the device context keeps its own copy
        EXPECT_EQ(Draw(s, text, {0, top, 639, 479}), 30 * 28);
        for (int y = 0; y < 140; ++y) ASSERT_FALSE(s.RowHasInk(y)) << "row " << y << " at top " << top;
        EXPECT_FALSE(s.RowHasInk(479));
        EXPECT_FALSE(s.ColumnHasInk(639));
        if (top > -800 && top <= 300) {
            EXPECT_TRUE(s.ColumnHasInk(0));
            EXPECT_TRUE(s.ColumnHasInk(638));
        }
        s.ExpectOnlyBackgroundAndInk();
    }
    // An empty region shows nothing; removing the clip region shows everything again.
    Surface s;
    HRGN empty = CreateRectRgn(10, 10, 10, 400);
    EXPECT_EQ(SelectClipRgn(s.dc, empty), NULLREGION);
    Draw(s, text, {0, 0, 639, 479});
    EXPECT_EQ(s.InkCount(), 0);
    SelectClipRgn(s.dc, nullptr);
    Draw(s, text, {0, 0, 639, 479});
    EXPECT_TRUE(s.RowHasInk(20));
    DeleteObject(empty);
}

TEST_F(GdiText, AmpersandPrefixUnderlinesAndDoubledDrawsOne) {
    const int m = Width("m");
    EXPECT_EQ(Width("&m"), m);
    EXPECT_EQ(Width("&&"), Width("&"));
    {
        Surface prefixed, plain;
        Draw(prefixed, "a&&b", {0, 0, 639, 479});
        Draw(plain, "a&b", {0, 0, 639, 479}, kCredits | DT_NOPREFIX);
        EXPECT_EQ(prefixed.bytes, plain.bytes);
    }
    {
        Surface prefixed, plain;
        Draw(prefixed, "m&", {0, 0, 639, 479});
        Draw(plain, "m&", {0, 0, 639, 479}, kCredits | DT_NOPREFIX);
        EXPECT_EQ(prefixed.bytes, plain.bytes) << "a final & is drawn as itself";
    }
    {
        Surface underlined, plain;
        Draw(underlined, "&m", {0, 0, 639, 479}, DT_LEFT);
        Draw(plain, "m", {0, 0, 639, 479}, DT_LEFT);
        // The underline is the one row at baseline + 1, under the character's width.
        for (int x = 0; x < kWidth; ++x) EXPECT_EQ(underlined.Ink(x, 24), x < m) << "column " << x;
        for (int y = 0; y < kHeight; ++y) {
            if (y != 24) {
                EXPECT_EQ(underlined.InkIn(0, y, kWidth, 1), plain.InkIn(0, y, kWidth, 1));
            }
        }
        EXPECT_FALSE(plain.RowHasInk(24));
    }
}

TEST_F(GdiText, DrawsInTheNearestPaletteEntry) {
    struct Case {
        COLORREF colour;
        std::uint8_t index;
    } cases[] = {
        {RGB(255, 0, 0), kRed},     // exact, and the lower of two exact matches
        {RGB(241, 0, 0), 10},       // exact near red
        {RGB(248, 0, 0), 10},       // 7 from both: ties go to the lower index
        {RGB(249, 0, 0), kRed},     // nearer the pure red
        {RGB(255, 0, 8), kRed},     // as near the pure red as the pink one above it
        {RGB(255, 255, 255), 200},  // white
        {RGB(10, 0, 0), 0},         // black
    };
    for (const Case& c : cases) {
        Surface s;
        SetTextColor(s.dc, c.colour);
        Draw(s, "m", {0, 0, 639, 479});
        int inked = 0, other = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                if (s.At(x, y) == c.index)
                    ++inked;
                else if (s.At(x, y) != kBackground)
                    ++other;
            }
        EXPECT_GT(inked, 20) << "colour " << std::hex << c.colour;
        EXPECT_EQ(other, 0);
    }
    // A surface without a palette is matched against the twenty static colours.
    std::vector<std::uint8_t> pixels(64 * 64, 1);
    platform::SurfaceTarget bare;
    bare.pixels = pixels.data();
    bare.pitch = bare.width = bare.height = 64;
    HDC dc = platform::CreateSurfaceDC(bare);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 0, 0));
    SelectObject(dc, font);
    RECT r{0, 0, 64, 64};
    DrawTextA(dc, "m", 1, &r, DT_LEFT);
    EXPECT_NE(std::find(pixels.begin(), pixels.end(), 249), pixels.end());
    platform::DestroySurfaceDC(dc);
}

TEST_F(GdiText, OpaqueModeFillsTheLineBoxInTheBackgroundColour) {
    Surface s;
    SetBkMode(s.dc, OPAQUE);
    const int m = Width("m");
    Draw(s, "m", {0, 50, 639, 479}, DT_LEFT);
    for (int y = 50; y < 78; ++y)
        for (int x = 0; x < m; ++x) ASSERT_TRUE(s.At(x, y) == 200 || s.Ink(x, y)) << x << "," << y;
    EXPECT_EQ(s.At(m, 60), kBackground);
    EXPECT_EQ(s.At(0, 78), kBackground);
}

TEST_F(GdiText, ThirtyTwoBitTargetsGetTheColourInTheirMasks) {
    struct Case {
        std::uint32_t red, green, blue, expected;
    } cases[] = {
        {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FF8000},
        {0x000000FF, 0x0000FF00, 0x00FF0000, 0x000080FF},
        {0x0000F800, 0x000007E0, 0x0000001F, 0x0000FC00},
    };
    for (const Case& c : cases) {
        std::vector<std::uint32_t> pixels(100 * 40, 0x12345678);
        platform::SurfaceTarget target;
        target.pixels = reinterpret_cast<std::uint8_t*>(pixels.data());
        target.pitch = 400;
        target.width = 90;
        target.height = 40;
        target.bitsPerPixel = 32;
        target.redMask = c.red;
        target.greenMask = c.green;
        target.blueMask = c.blue;
        HDC dc = platform::CreateSurfaceDC(target);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 128, 0));
        SelectObject(dc, font);
        RECT r{0, 0, 90, 40};
        DrawTextA(dc, "mm", 2, &r, DT_LEFT);
        int inked = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 100; ++x) {
                std::uint32_t v = pixels[y * 100 + x];
                if (x >= 90) {
                    ASSERT_EQ(v, 0x12345678u);
                } else if (v != 0x12345678u) {
                    ASSERT_EQ(v, c.expected);
                    ++inked;
                }
            }
        EXPECT_GT(inked, 20);
        platform::DestroySurfaceDC(dc);
    }
}

TEST_F(GdiText, TextIsWindows1252) {
    struct Case {
        std::uint8_t byte;
        char32_t code;
    } cases[] = {
        {0x41, U'A'},   {0x80, 0x20AC}, {0x81, 0x0081}, {0x8A, 0x0160}, {0x8D, 0x008D}, {0x92, 0x2019},
        {0x99, 0x2122}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF}, {0x09, 0x0009},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::gdi::Cp1252ToUnicode(c.byte), c.code) << int(c.byte);

    // The euro sign has a glyph; an undefined byte and a tab both draw the missing-glyph box.
    Surface euro, undefined, tab;
    Draw(euro, "\x80", {0, 0, 639, 479});
    Draw(undefined, "\x81", {0, 0, 639, 479});
    Draw(tab, "\t", {0, 0, 639, 479});
    EXPECT_GT(euro.InkCount(), 0);
    EXPECT_GT(tab.InkCount(), 0);
    EXPECT_EQ(undefined.bytes, tab.bytes);
    EXPECT_NE(euro.bytes, tab.bytes);
}

TEST_F(GdiText, EachGlyphIsRasterisedOnce) {
    std::string text =
        "The quick brown fox jumps over the lazy dog.\r\nPack my box with five dozen liquor jugs.";
    Surface s;
    Draw(s, text, {0, 0, 639, 479});
    long after = platform::gdi::GlyphsRasterised();
    for (int top = -100; top < 400; top += 50) Draw(s, text, {0, top, 639, 479});
    EXPECT_EQ(platform::gdi::GlyphsRasterised(), after);
}

TEST_F(GdiText, AFaceThatIsNotInstalledFailsAndTheOwnFontIsUsed) {
    HFONT missing = CreateFontA(28, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                                VARIABLE_PITCH, "No Such Face Anywhere");
    EXPECT_EQ(missing, nullptr);
    Surface s;
    RECT r{0, 0, 639, 479};
    int height = DrawTextA(s.dc, "own\r\nfont", -1, &r, kCredits);
    EXPECT_GT(height, 0);
    EXPECT_LE(height, 32);
    EXPECT_GT(s.InkCount(), 0);
}

TEST_F(GdiText, WithoutAnyFontNothingIsDrawnAndItIsSaidOnce) {
    std::string config = ::testing::TempDir() + "vexmoor_no_fonts.conf";
    std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
    const char* previous = std::getenv("FONTCONFIG_FILE");
    std::string saved = previous ? previous : "";
    setenv("FONTCONFIG_FILE", config.c_str(), 1);
    DeleteObject(font);
    platform::RunResetHooks();

    HFONT arial = CreateFontA(28, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                              VARIABLE_PITCH, "Arial");
    Surface s;
    RECT r{0, 0, 639, 479};
    ::testing::internal::CaptureStderr();
    int first = DrawTextA(s.dc, "text", -1, &r, kCredits);
    int second = DrawTextA(s.dc, "text", -1, &r, kCredits);
    std::string said = ::testing::internal::GetCapturedStderr();

    if (previous)
        setenv("FONTCONFIG_FILE", saved.c_str(), 1);
    else
        unsetenv("FONTCONFIG_FILE");
    platform::RunResetHooks();
    font = nullptr;

    EXPECT_EQ(arial, nullptr);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(s.InkCount(), 0);
    EXPECT_NE(said.find("no font"), std::string::npos) << said;
    EXPECT_EQ(said.find("no font"), said.rfind("no font")) << "said once: " << said;
}

TEST_F(GdiText, HandlesAreCheckedNotFollowed) {
    Surface s;
    EXPECT_EQ(DeleteObject(nullptr), FALSE);
    static unsigned char foreign;
    EXPECT_EQ(SelectObject(s.dc, reinterpret_cast<HGDIOBJ>(&foreign)), nullptr);
    EXPECT_EQ(SetBkMode(nullptr, TRANSPARENT), 0);

    // A font deleted while selected stays usable until it is deselected.
    HFONT other = CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                              VARIABLE_PITCH, "Arial");
    ASSERT_NE(other, nullptr);
    HGDIOBJ own = SelectObject(s.dc, other);
    EXPECT_NE(own, nullptr);
    EXPECT_EQ(DeleteObject(other), TRUE);
    RECT r{0, 0, 639, 479};
    EXPECT_GT(DrawTextA(s.dc, "bold", -1, &r, kCredits), 0);
    EXPECT_GT(s.InkCount(), 0);
    EXPECT_EQ(SelectObject(s.dc, own), other);
    EXPECT_EQ(DeleteObject(other), FALSE) << "already gone";
    EXPECT_EQ(DeleteObject(own), TRUE) << "the own font is a stock object";

    HRGN region = CreateRectRgn(639, 479, 0, 140);  // given the wrong way round
    EXPECT_EQ(SelectObject(s.dc, region), reinterpret_cast<HGDIOBJ>(SIMPLEREGION));
    EXPECT_EQ(DeleteObject(region), TRUE);
    EXPECT_EQ(DeleteObject(region), FALSE);

    HDC dc = s.dc;
    platform::DestroySurfaceDC(dc);
    s.dc = nullptr;
    EXPECT_EQ(DrawTextA(dc, "x", 1, &r, kCredits), 0);
    EXPECT_EQ(SelectClipRgn(dc, nullptr), ERROR);
}

}  // namespace
