// The toolkit's surface bitmap helpers: lookup order (resource before file), surfaces sized to
// the delivered bitmap, palettes from colour tables over the 3-3-2 default on both paths (and a
// file that ends early), colour matching on 8- and 32-bit surfaces, colour keys and the debugger texts.
#include <gtest/gtest.h>

#include <functional>

#include "gfx/gfx.h"
#include "platform/gdi.h"
#include "tests/support/bitmap_fixture.h"
#include "tests/support/test_bitmaps.h"

namespace {

struct Colour {
    int r, g, b;
    bool operator==(const Colour&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Colour& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

Colour Of(const PALETTEENTRY& e) {
    return {e.peRed, e.peGreen, e.peBlue};
}
Colour Of(std::uint32_t rgb) {
    return {int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF)};
}
Colour Default(int i) {
    return Of(testbmp::ThreeThreeTwo()[i]);
}

class BitmapSurfaceTest : public BitmapTest {
  protected:
    std::vector<PALETTEENTRY> Entries(IDirectDrawPalette* palette) {
        std::vector<PALETTEENTRY> entries(256);
        EXPECT_NE(palette, nullptr);
        if (palette) {
            EXPECT_EQ(palette->GetEntries(0, 0, 256, entries.data()), DD_OK);
        }
        return entries;
    }
    std::vector<PALETTEENTRY> PaletteOf(const char* name) {
        return Entries(Own(LoadBitmapPalette(ddraw_, name)));
    }

    static DDSURFACEDESC Describe(IDirectDrawSurface* surface) {
        DDSURFACEDESC desc{};
        desc.dwSize = kSurfaceDescSize;
        EXPECT_EQ(surface->GetSurfaceDesc(&desc), DD_OK);
        return desc;
    }
    // An 8-bit surface showing the default palette, so copied 3-3-2 bitmaps keep their indices.
    IDirectDrawSurface* ShowingDefault(IDirectDrawSurface* surface) {
        IDirectDrawPalette* palette = LoadBitmapPalette(ddraw_, nullptr);
        surface->SetPalette(palette);
        palette->Release();
        return surface;
    }
    static std::vector<std::uint8_t> FileBytes(const testbmp::BmpLayout& description) { return testbmp::Build(description); }
};

TEST_F(BitmapSurfaceTest, ANameThatIsBothAResourceAndAFileIsTakenFromTheResource) {
    testbmp::BmpLayout file;
    file.width = 6, file.height = 3, file.colours = testbmp::SixteenColours(), file.bitCount = 4;
    WriteFile("BOTHWAYS", FileBytes(file));
    WriteFile("only.bmp", FileBytes(file));

    harness::ClearTrace();
    IDirectDrawSurface* surface = Own(LoadBitmapSurface(ddraw_, "BOTHWAYS", 0, 0));
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(Describe(surface).dwWidth, 4u);
    EXPECT_EQ(Describe(surface).dwHeight, 2u);
    EXPECT_EQ(Count("LoadImageA BOTHWAYS 0 0 8192"), 1);
    EXPECT_EQ(Count("LoadImageA BOTHWAYS 0 0 8208"), 0);
    EXPECT_EQ(ReloadBitmapSurface(surface, "BOTHWAYS"), DD_OK);
    EXPECT_EQ(Count("LoadImageA BOTHWAYS 0 0 8208"), 0);

    std::vector<PALETTEENTRY> palette = PaletteOf("BOTHWAYS");
    EXPECT_EQ(Of(palette[0]), Of(testbmp::DistinctColours(256)[0]));
    EXPECT_EQ(Of(palette[200]), Of(testbmp::DistinctColours(256)[200]));
    EXPECT_EQ(Count("_lopen"), 0);

    // A name only a file has is tried as a resource first, then read from the file.
    harness::ClearTrace();
    IDirectDrawSurface* fromFile = Own(LoadBitmapSurface(ddraw_, "only.bmp", 0, 0));
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(Describe(fromFile).dwWidth, 6u);
    int resource = harness::FindTrace("LoadImageA only.bmp 0 0 8192");
    EXPECT_GE(resource, 0);
    EXPECT_GT(harness::FindTrace("LoadImageA only.bmp 0 0 8208"), resource);
    EXPECT_EQ(Of(PaletteOf("only.bmp")[15]), Of(testbmp::SixteenColours()[15]));
}

TEST_F(BitmapSurfaceTest, TheSurfaceIsExactlyAsLargeAsTheDeliveredBitmap) {
    struct Case {
        int width, height;
        DWORD surfaceWidth, surfaceHeight;
    };
    const Case cases[] = {{0, 0, 16, 8}, {40, 20, 40, 20}, {40, 0, 40, 8}, {3, 2, 3, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        harness::ClearTrace();
        IDirectDrawSurface* surface = Own(LoadBitmapSurface(ddraw_, "GRADIENT", c.width, c.height));
        ASSERT_NE(surface, nullptr);
        DDSURFACEDESC desc = Describe(surface);
        EXPECT_EQ(desc.dwWidth, c.surfaceWidth);
        EXPECT_EQ(desc.dwHeight, c.surfaceHeight);
        EXPECT_EQ(desc.ddsCaps.dwCaps, DDSCAPS_OFFSCREENPLAIN);
        EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 8u);  // the display's format
        EXPECT_GE(harness::FindTrace("IDirectDraw::CreateSurface 64"), 0);
        EXPECT_GT(harness::FindTrace("DeleteObject"), harness::FindTrace("StretchBlt"));
    }

    // The picture itself, once the surface shows the bitmap's colours: a 2× stretch.
    IDirectDrawSurface* surface = ShowingDefault(Own(LoadBitmapSurface(ddraw_, "GRADIENT", 32, 16)));
    EXPECT_EQ(ReloadBitmapSurface(surface, "GRADIENT"), DD_OK);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_EQ(Pixel(surface, x, y), std::uint32_t(16 * (y / 2) + x / 2));
}

TEST_F(BitmapSurfaceTest, SurfaceLoadingFailures) {
    EXPECT_EQ(LoadBitmapSurface(ddraw_, "NOSUCHBITMAP", 0, 0), nullptr);
    EXPECT_EQ(Count("IDirectDraw::CreateSurface"), 0);

    harness::FailCall("IDirectDraw::CreateSurface", DDERR_OUTOFMEMORY);
    harness::ClearTrace();
    EXPECT_EQ(LoadBitmapSurface(ddraw_, "GRADIENT", 0, 0), nullptr);
    EXPECT_GT(harness::FindTrace("DeleteObject"), harness::FindTrace("IDirectDraw::CreateSurface"));

    // A failed copy still hands the surface over.
    harness::FailCall("IDirectDrawSurface::GetDC", DDERR_SURFACEBUSY);
    EXPECT_NE(Own(LoadBitmapSurface(ddraw_, "GRADIENT", 0, 0)), nullptr);
    EXPECT_TRUE(harness::DebugOutput().empty());
}

TEST_F(BitmapSurfaceTest, ReloadingRestoresALostSurface) {
    IDirectDrawSurface* surface = ShowingDefault(Own(LoadBitmapSurface(ddraw_, "GRADIENT", 0, 0)));
    harness::LoseSurfaces();
    EXPECT_EQ(ReloadBitmapSurface(surface, "GRADIENT"), DD_OK);
    EXPECT_EQ(surface->IsLost(), DD_OK);
    EXPECT_EQ(Pixel(surface, 5, 7), 16u * 7 + 5);
}

TEST_F(BitmapSurfaceTest, WithoutABitmapThePaletteIsTheDefaultThreeThreeTwo) {
    const struct {
        int index;
        Colour colour;
    } expected[] = {{0, {0, 0, 0}},         {3, {0, 0, 255}},   {28, {0, 255, 0}},     {73, {72, 72, 85}},
                    {146, {145, 145, 170}}, {224, {255, 0, 0}}, {255, {255, 255, 255}}};
    for (const char* name : {static_cast<const char*>(nullptr), "neither a resource nor a file"}) {
        SCOPED_TRACE(name ? name : "null");
        std::vector<PALETTEENTRY> palette = PaletteOf(name);
        for (const auto& e : expected) EXPECT_EQ(Of(palette[e.index]), e.colour) << e.index;
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(Of(palette[i]), Default(i)) << i;
            ASSERT_EQ(palette[i].peFlags, 0) << i;
        }
    }
    EXPECT_GE(harness::FindTrace("IDirectDraw::CreatePalette 4"), 0);
}

TEST_F(BitmapSurfaceTest, ResourceColourTablesOverTheDefaultPalette) {
    const std::vector<std::uint32_t> sixteen = testbmp::SixteenColours();
    const std::vector<std::uint32_t> many = testbmp::DistinctColours(300);
    const struct {
        const char* name;
        int taken;  // entries from the table; the rest keep the default palette
        const std::vector<std::uint32_t>* table;
    } cases[] = {
        {"COLOURS16", 16, &sixteen}, {"V4COLOURS16", 16, &sixteen},  // any header from 40 bytes on
        {"CORE12", 0, nullptr},      {"DEEP24", 0, nullptr},
        {"MANY300", 256, &many},  // all 256 entries and nothing beyond them
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<PALETTEENTRY> palette = PaletteOf(c.name);
        for (int i = 0; i < 256; ++i) {
            Colour want = i < c.taken ? Of((*c.table)[i]) : Default(i);
            ASSERT_EQ(Of(palette[i]), want) << i;
            ASSERT_EQ(palette[i].peFlags, 0) << i;
        }
    }
}

TEST_F(BitmapSurfaceTest, FileColourTablesAreReadStraightOverThePalette) {
    // 16 colours with a flag byte, then 8 bytes of pixels, then the end of the file.
    testbmp::BmpLayout four;
    four.width = 8, four.height = 2, four.bitCount = 4, four.colours = testbmp::SixteenColours(),
    four.reserved = 0x5A;
    std::vector<std::uint8_t> bytes = FileBytes(four);
    WriteFile("four.bmp", bytes);
    std::vector<PALETTEENTRY> palette = PaletteOf("four.bmp");
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(Of(palette[i]), Of(four.colours[i])) << i;
        EXPECT_EQ(palette[i].peFlags, 0x5A) << i;
    }
    // The pixel bytes that follow land unconverted in entries 16 and 17; the rest was never read.
    const std::uint8_t* pixels = bytes.data() + 54 + 64;
    EXPECT_EQ(palette[16].peRed, pixels[0]);
    EXPECT_EQ(palette[17].peFlags, pixels[7]);
    for (int i = 18; i < 256; ++i) ASSERT_EQ(Of(palette[i]), Default(i)) << i;

    // Only an exactly 40-byte header counts on this path: a V4 file's bytes stay as they are.
    testbmp::BmpLayout v4 = four;
    v4.headerSize = 108;
    bytes = FileBytes(v4);
    WriteFile("v4.bmp", bytes);
    palette = PaletteOf("v4.bmp");
    EXPECT_EQ(palette[0].peRed, bytes[54]);
    EXPECT_EQ(palette[0].peBlue, bytes[56]);
}

TEST_F(BitmapSurfaceTest, AFileThatEndsEarlyLeavesTheDefaultPaletteInWhatWasNotRead) {
    std::vector<std::uint8_t> full = FileBytes(testbmp::BmpLayout{});  // 8 bits, 256 colours
    const std::vector<std::uint32_t> table = testbmp::DistinctColours(256);
    const struct {
        const char* name;
        std::size_t size;
        int converted;
    } cases[] = {
        {"inside the eleventh entry", 54 + 10 * 4 + 2, 10},
        {"inside the info header", 30, 0},
        {"inside the file header", 9, 0},
        {"the whole table", 54 + 1024, 256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("short.bmp", std::vector<std::uint8_t>(full.begin(), full.begin() + c.size));
        std::vector<PALETTEENTRY> palette = PaletteOf("short.bmp");
        for (int i = 0; i < 256; ++i) {
            Colour want = i < c.converted ? Of(table[i]) : Default(i);
            ASSERT_EQ(Of(palette[i]), want) << i;
            ASSERT_EQ(palette[i].peFlags, 0) << i;
        }
    }
}

TEST_F(BitmapSurfaceTest, MatchingOnAnEightBitSurfaceGivesAnIndexAndPutsThePixelBack) {
    IDirectDrawSurface* surface = ShowingDefault(Surface(4, 4));
    SetPixelValue(surface, 0, 0, 77);
    EXPECT_EQ(MatchSurfaceColor(surface, RGB(255, 0, 0)), 224u);
    EXPECT_EQ(MatchSurfaceColor(surface, RGB(0, 250, 5)), 28u);
    EXPECT_EQ(Pixel(surface, 0, 0), 77u);

    harness::ClearTrace();
    EXPECT_EQ(MatchSurfaceColor(surface, CLR_INVALID), 77u);
    EXPECT_EQ(Count("IDirectDrawSurface::GetDC"), 0);  // pixel (0, 0) is left alone

    // The lock is asked again at once while the surface is still drawing.
    harness::FailCall("IDirectDrawSurface::Lock", DDERR_WASSTILLDRAWING, 3);
    harness::ClearTrace();
    EXPECT_EQ(MatchSurfaceColor(surface, RGB(0, 0, 255)), 3u);
    EXPECT_EQ(Count("IDirectDrawSurface::Lock offscreen 0"), 4);

    harness::FailCall("IDirectDrawSurface::Lock", DDERR_SURFACELOST);
    EXPECT_EQ(MatchSurfaceColor(surface, RGB(0, 0, 255)), CLR_INVALID);
    EXPECT_EQ(Pixel(surface, 0, 0), 77u);
}

TEST_F(BitmapSurfaceTest, MatchingOnAThirtyTwoBitSurfaceGivesAllThirtyTwoBits) {
    IDirectDrawSurface* surface = Surface(2, 2, 32);
    SetPixelValue(surface, 0, 0, 0xAB123456u, 32);
    EXPECT_EQ(MatchSurfaceColor(surface, CLR_INVALID), 0xAB123456u);
    EXPECT_EQ(MatchSurfaceColor(surface, RGB(1, 2, 3)), 0x00010203u);
    EXPECT_EQ(Pixel(surface, 0, 0, 32) & 0xFFFFFF, 0x123456u);  // the colour it had
}

TEST_F(BitmapSurfaceTest, ColourKeysTakeTheMatchedValueAtBothEnds) {
    IDirectDrawSurface* surface = ShowingDefault(Surface(2, 2));
    EXPECT_EQ(SetSurfaceColorKey(surface, RGB(0, 255, 0)), DD_OK);
    DDCOLORKEY key{};
    ASSERT_EQ(surface->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 28u);
    EXPECT_EQ(key.dwColorSpaceHighValue, 28u);

    harness::FailCall("IDirectDrawSurface::Lock", DDERR_SURFACELOST);
    EXPECT_EQ(SetSurfaceColorKey(surface, RGB(0, 255, 0)), DD_OK);
    ASSERT_EQ(surface->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0xFFFFFFFFu);
    EXPECT_EQ(key.dwColorSpaceHighValue, 0xFFFFFFFFu);

    harness::FailCall("IDirectDrawSurface::SetColorKey", DDERR_SURFACELOST);
    EXPECT_EQ(SetSurfaceColorKey(surface, RGB(0, 255, 0)), DDERR_SURFACELOST);
}

class NarrowSurfaceTest : public BitmapSurfaceTest {
  protected:
    harness::Options HarnessOptions() const override {
        harness::Options options;
        options.pitchPadding = 0;
        return options;
    }
};

TEST_F(NarrowSurfaceTest, MatchingReadsOnlyThePixelOfASurfaceNarrowerThanFourBytes) {
    IDirectDrawSurface* surface = ShowingDefault(Surface(1, 1));
    EXPECT_EQ(MatchSurfaceColor(surface, RGB(255, 255, 255)), 255u);
}

TEST_F(BitmapSurfaceTest, FailuresWriteTheirDebuggerTexts) {
    const struct {
        const char* name;
        std::function<void()> fault;
        std::function<HRESULT(IDirectDrawSurface*)> act;
        HRESULT result;
        std::vector<std::string> texts;
    } cases[] = {
        {"no bitmap to reload",
         [] {},
         [](auto* s) { return ReloadBitmapSurface(s, "NOSUCHBITMAP"); },
         E_FAIL,
         {"handle is null\n"}},
        {"reload without a device context",
         [] { harness::FailCall("IDirectDrawSurface::GetDC", DDERR_SURFACEBUSY); },
         [](auto* s) { return ReloadBitmapSurface(s, "GRADIENT"); },
         DDERR_SURFACEBUSY,
         {"ddcopybitmap failed\n"}},
        {"copy without a memory device context",
         [] { harness::FailCall("CreateCompatibleDC", E_FAIL); },
         [](auto* s) { return ReloadBitmapSurface(s, "GRADIENT"); },
         DD_OK,
         {"createcompatible dc failed\n"}},
        {"copy of a null bitmap",
         [] {},
         [](auto* s) { return CopyBitmapToSurface(s, nullptr, 0, 0, 0, 0); },
         E_FAIL,
         {}},
        {"palette resource that cannot be locked",
         [] { harness::FailCall("LockResource", E_FAIL); },
         [this](auto*) { return Of(PaletteOf("COLOURS16")[0]) == Default(0) ? DD_OK : E_FAIL; },
         DD_OK,
         {"lock resource failed\n"}},
        {"no palette object",
         [] { harness::FailCall("IDirectDraw::CreatePalette", DDERR_OUTOFMEMORY); },
         [this](auto*) { return LoadBitmapPalette(ddraw_, "COLOURS16") ? DD_OK : E_FAIL; },
         E_FAIL,
         {}},
    };
    IDirectDrawSurface* surface = ShowingDefault(Surface(16, 8));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetPixelValue(surface, 3, 3, 200);
        std::size_t before = harness::DebugOutput().size();
        c.fault();
        EXPECT_EQ(c.act(surface), c.result);
        std::vector<std::string> texts = harness::DebugOutput();
        EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<std::ptrdiff_t>(before), texts.end()),
                  c.texts);
        EXPECT_EQ(Pixel(surface, 3, 3), 200u);  // nothing drawn
    }
}

}  // namespace
