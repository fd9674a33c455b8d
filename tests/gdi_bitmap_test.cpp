// GDI bitmaps as the surface helpers use them: LoadImageA from resources and files (with a wanted
// size), GetObjectA, memory device contexts and bitmap selection, StretchBlt into 8- and 32-bit
// surfaces (scaling, mirroring, clipping, colour conversion), GetPixel and SetPixel, and the
// _lopen family.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/gdi.h"
#include "platform/lfile.h"
#include "platform/win_user.h"
#include "tests/support/bitmap_fixture.h"
#include "tests/support/test_bitmaps.h"

namespace {

class GdiBitmapTest : public BitmapTest {
  protected:
    static HBITMAP Load(const char* name, int width = 0, int height = 0, UINT flags = LR_CREATEDIBSECTION) {
        HINSTANCE module = (flags & LR_LOADFROMFILE) ? nullptr : GetModuleHandleA(nullptr);
        return reinterpret_cast<HBITMAP>(LoadImageA(module, name, IMAGE_BITMAP, width, height, flags));
    }
    static HBITMAP LoadFile(const char* name, int width = 0, int height = 0) {
        return Load(name, width, height, LR_CREATEDIBSECTION | LR_LOADFROMFILE);
    }
    static BITMAP Record(HBITMAP bitmap) {
        BITMAP record{};
        EXPECT_EQ(GetObjectA(bitmap, sizeof record, &record), static_cast<int>(sizeof record));
        return record;
    }
    // Draws `bitmap` stretched over a whole surface, as CopyBitmapToSurface does.
    static void Copy(IDirectDrawSurface* surface, HBITMAP bitmap, int sx, int sy, int sw, int sh) {
        HDC memory = CreateCompatibleDC(nullptr);
        ASSERT_NE(SelectObject(memory, bitmap), nullptr);
        DDSURFACEDESC desc{};
        desc.dwSize = kSurfaceDescSize;
        surface->GetSurfaceDesc(&desc);
        HDC dc;
        ASSERT_EQ(surface->GetDC(&dc), DD_OK);
        EXPECT_TRUE(StretchBlt(dc, 0, 0, static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight),
                               memory, sx, sy, sw, sh, SRCCOPY));
        surface->ReleaseDC(dc);
        DeleteDC(memory);
    }
    // An 8-bit surface showing the 3-3-2 colours.
    IDirectDrawSurface* ThreeThreeTwoSurface(int width, int height) {
        IDirectDrawSurface* surface = Surface(width, height);
        PALETTEENTRY entries[256];
        std::vector<std::uint32_t> colours = testbmp::ThreeThreeTwo();
        for (int i = 0; i < 256; ++i)
            entries[i] = {BYTE(colours[i] >> 16), BYTE(colours[i] >> 8), BYTE(colours[i]), 0};
        IDirectDrawPalette* palette = nullptr;
        EXPECT_EQ(ddraw_->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
        surface->SetPalette(palette);
        palette->Release();
        return surface;
    }
};

TEST_F(GdiBitmapTest, LoadsResourcesAndFilesInTheirOwnFormatAndAtAWantedSize) {
    HBITMAP resource = Load("gradient");  // names of resources ignore case
    ASSERT_NE(resource, nullptr);
    BITMAP record = Record(resource);
    EXPECT_EQ(record.bmWidth, 16);
    EXPECT_EQ(record.bmHeight, 8);
    EXPECT_EQ(record.bmBitsPixel, 8);
    EXPECT_EQ(record.bmWidthBytes, 16);
    EXPECT_EQ(record.bmPlanes, 1);
    EXPECT_NE(record.bmBits, nullptr);
    EXPECT_EQ(GetObjectA(resource, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(GetObjectA(resource, sizeof(BITMAP) - 1, &record), 0);
    EXPECT_TRUE(DeleteObject(resource));
    EXPECT_EQ(GetObjectA(resource, sizeof record, &record), 0);

    testbmp::BmpLayout s;
    s.width = 5, s.height = -3, s.bitCount = 24;
    WriteFile("picture.bmp", testbmp::Build(s));
    HBITMAP file = LoadFile("picture.bmp", 10, 0);
    ASSERT_NE(file, nullptr);
    record = Record(file);
    EXPECT_EQ(record.bmWidth, 10);
    EXPECT_EQ(record.bmHeight, 3);
    EXPECT_EQ(record.bmBitsPixel, 24);
    DeleteObject(file);

    // Each way finds only its own kind of name.
    EXPECT_EQ(Load("picture.bmp"), nullptr);
    EXPECT_EQ(LoadFile("GRADIENT"), nullptr);
    EXPECT_EQ(Load("GRADIENT", -1, 4), nullptr);
    EXPECT_EQ(Load("GRADIENT", 40000, 1), nullptr);
    EXPECT_EQ(reinterpret_cast<HBITMAP>(LoadImageA(nullptr, "GRADIENT", IMAGE_BITMAP, 0, 0, 0)), nullptr);
}

TEST_F(GdiBitmapTest, UnreadableFilesGiveNoBitmap) {
    testbmp::BmpLayout rle;
    rle.compression = 1;
    WriteFile("rle.bmp", testbmp::Build(rle));
    std::vector<std::uint8_t> whole = testbmp::Build(testbmp::BmpLayout{});
    WriteFile("cut.bmp", std::vector<std::uint8_t>(whole.begin(), whole.end() - 3));
    WriteFile("empty.bmp", {});
    std::filesystem::create_directory("folder.bmp");
    for (const char* name : {"rle.bmp", "cut.bmp", "empty.bmp", "folder.bmp", "missing.bmp"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(LoadFile(name), nullptr);
    }
}

TEST_F(GdiBitmapTest, MemoryDeviceContextsHoldOneBitmapEach) {
    HBITMAP bitmap = Load("GRADIENT");
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(first);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    HGDIOBJ original = SelectObject(first, bitmap);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(Record(reinterpret_cast<HBITMAP>(original)).bmWidth, 1);  // the 1 × 1 it started with
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);                   // already held by `first`
    EXPECT_EQ(SelectObject(first, original), bitmap);
    EXPECT_NE(SelectObject(second, bitmap), nullptr);

    // A bitmap deleted while selected lives until its device context lets go of it.
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(second));
    EXPECT_FALSE(DeleteDC(second));
    EXPECT_TRUE(DeleteDC(first));

    // A surface's device context takes no bitmap and goes back with ReleaseDC, not DeleteDC.
    IDirectDrawSurface* surface = Surface(4, 4);
    HDC dc;
    ASSERT_EQ(surface->GetDC(&dc), DD_OK);
    HBITMAP other = Load("GRADIENT");
    EXPECT_EQ(SelectObject(dc, other), nullptr);
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(surface->ReleaseDC(dc), DD_OK);
    DeleteObject(other);

    harness::FailCall("CreateCompatibleDC", E_FAIL);
    EXPECT_EQ(CreateCompatibleDC(nullptr), nullptr);
}

TEST_F(GdiBitmapTest, StretchBltScalesBothWaysAndKeepsIndicesOfMatchingColours) {
    HBITMAP bitmap = Load("GRADIENT");  // 16 × 8, index 16y + x, drawn in the 3-3-2 colours
    IDirectDrawSurface* same = ThreeThreeTwoSurface(16, 8);
    Copy(same, bitmap, 0, 0, 16, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(Pixel(same, x, y), std::uint32_t(16 * y + x)) << x << "," << y;

    IDirectDrawSurface* up = ThreeThreeTwoSurface(32, 24);
    Copy(up, bitmap, 0, 0, 16, 8);
    EXPECT_EQ(Pixel(up, 0, 0), 0u);
    EXPECT_EQ(Pixel(up, 1, 2), 0u);
    EXPECT_EQ(Pixel(up, 3, 3), 17u);
    EXPECT_EQ(Pixel(up, 31, 23), 127u);

    IDirectDrawSurface* down = ThreeThreeTwoSurface(4, 2);
    Copy(down, bitmap, 0, 0, 16, 8);
    EXPECT_EQ(Pixel(down, 1, 1), std::uint32_t(16 * 4 + 4));

    // A source rectangle inside the bitmap, mirrored by a negative width.
    IDirectDrawSurface* part = ThreeThreeTwoSurface(2, 1);
    Copy(part, bitmap, 6, 3, -2, 1);
    EXPECT_EQ(Pixel(part, 0, 0), std::uint32_t(16 * 3 + 5));
    EXPECT_EQ(Pixel(part, 1, 0), std::uint32_t(16 * 3 + 4));
    DeleteObject(bitmap);
}

TEST_F(GdiBitmapTest, StretchBltConvertsColoursToTheSurfaceFormat) {
    // Index 0 (0, 255, 0) and 1 (1, 254, 7) of the distinct-colour table.
    HBITMAP bitmap = Load("BOTHWAYS");
    IDirectDrawSurface* wide = Surface(4, 2, 32);
    Copy(wide, bitmap, 0, 0, 4, 2);
    EXPECT_EQ(Pixel(wide, 0, 0, 32), 0x0000FF00u);
    EXPECT_EQ(Pixel(wide, 1, 0, 32), 0x0001FE07u);

    // On 8 bits the nearest entry, the lowest index on ties.
    IDirectDrawSurface* narrow = Surface(4, 2);
    PALETTEENTRY entries[256] = {};
    entries[5] = {0, 250, 0, 0};
    entries[9] = {0, 250, 0, 0};
    entries[200] = {255, 255, 255, 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(ddraw_->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    narrow->SetPalette(palette);
    palette->Release();
    Copy(narrow, bitmap, 0, 0, 4, 2);
    EXPECT_EQ(Pixel(narrow, 0, 0), 5u);
    DeleteObject(bitmap);

    // A 24-bit bitmap converts through the same rules.
    HBITMAP deep = Load("DEEP24");  // (x + 1) * 0x102030
    Copy(wide, deep, 0, 0, 4, 2);
    EXPECT_EQ(Pixel(wide, 2, 1, 32), 0x00306090u);
    DeleteObject(deep);
}

TEST_F(GdiBitmapTest, StretchBltKeepsToTheClipRegionAndTheSource) {
    HBITMAP bitmap = Load("GRADIENT");
    IDirectDrawSurface* surface = ThreeThreeTwoSurface(8, 4);
    for (int x = 0; x < 8; ++x) SetPixelValue(surface, x, 0, 255);
    HDC memory = CreateCompatibleDC(nullptr);
    SelectObject(memory, bitmap);
    HDC dc;
    ASSERT_EQ(surface->GetDC(&dc), DD_OK);
    HRGN region = CreateRectRgn(2, 0, 4, 4);
    SelectClipRgn(dc, region);
    DeleteObject(region);
    // Destination column x shows source column x + 13, which runs past the bitmap from x = 3 on.
    EXPECT_TRUE(StretchBlt(dc, -2, 0, 8, 4, memory, 11, 0, 8, 4, SRCCOPY));
    EXPECT_FALSE(StretchBlt(dc, 0, 0, 8, 4, memory, 0, 0, 8, 4, 0x00EE0086));  // SRCPAINT is not offered
    surface->ReleaseDC(dc);
    DeleteDC(memory);
    EXPECT_EQ(Pixel(surface, 1, 0), 255u);  // outside the clip region
    EXPECT_EQ(Pixel(surface, 2, 0), 15u);   // source column 15
    EXPECT_EQ(Pixel(surface, 3, 0), 255u);  // source column 16 does not exist
    DeleteObject(bitmap);
}

TEST_F(GdiBitmapTest, PixelsReadAndWriteThroughTheSurfaceFormat) {
    IDirectDrawSurface* narrow = ThreeThreeTwoSurface(3, 3);
    IDirectDrawSurface* wide = Surface(3, 3, 32);
    HDC dc;
    ASSERT_EQ(narrow->GetDC(&dc), DD_OK);
    EXPECT_EQ(SetPixel(dc, 1, 1, RGB(250, 5, 5)), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 3, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(dc, -1, 0, RGB(1, 2, 3)), CLR_INVALID);
    narrow->ReleaseDC(dc);
    EXPECT_EQ(Pixel(narrow, 1, 1), 224u);

    ASSERT_EQ(wide->GetDC(&dc), DD_OK);
    EXPECT_EQ(SetPixel(dc, 2, 2, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(1, 2, 3));
    wide->ReleaseDC(dc);
    EXPECT_EQ(Pixel(wide, 2, 2, 32), 0x00010203u);
    EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);  // released
}

TEST_F(GdiBitmapTest, OldStyleFilesReadWhatIsThere) {
    WriteFile("ten.bin", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    HFILE file = _lopen("ten.bin", OF_READ);
    ASSERT_NE(file, HFILE_ERROR);
    char buffer[16] = {};
    EXPECT_EQ(_lread(file, buffer, 4), 4u);
    EXPECT_EQ(_lread(file, buffer, 16), 6u);
    EXPECT_EQ(buffer[5], 9);
    EXPECT_EQ(_lread(file, buffer, 16), 0u);
    EXPECT_EQ(_lclose(file), 0);
    EXPECT_EQ(_lclose(file), HFILE_ERROR);
    EXPECT_EQ(_lread(file, buffer, 1), static_cast<UINT>(HFILE_ERROR));
    EXPECT_EQ(_lopen("missing.bin", OF_READ), HFILE_ERROR);
    std::filesystem::create_directory("folder");
    EXPECT_EQ(_lopen("folder", OF_READ), HFILE_ERROR);
    EXPECT_EQ(_lclose(1), HFILE_ERROR);  // never a descriptor it did not open
}

}  // namespace
