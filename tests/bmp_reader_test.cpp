// The BMP reader: every supported layout gives the pixels it was written with; malformed and
// hostile files (a table of broken headers, every truncation of a good file) fail with a reason
// and never read outside the data (the sanitizer build checks that).
#include "platform/bmp/bmp_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"

namespace {

using platform::bmp::Dib;

struct Layout {
    const char* name;
    testbmp::BmpLayout description;
    // The colour (0x00RRGGBB) the reader should see at (x, y), y from the top.
    std::function<std::uint32_t(int, int)> expected;
};

std::vector<Layout> Layouts() {
    std::vector<Layout> all;
    auto table = [](int x, int y) { return testbmp::DistinctColours(256)[(x + 3 * y) & 0xFF]; };
    auto indexed = [](int mask) {
        return [mask](int x, int y) { return static_cast<std::uint32_t>((x + 3 * y) & mask); };
    };
    testbmp::BmpLayout s;
    s.width = 13, s.height = 5;

    s.bitCount = 1, s.pixel = indexed(1);
    all.push_back({"1 bpp", s, [](int x, int y) { return testbmp::DistinctColours(2)[(x + 3 * y) & 1]; }});
    s.bitCount = 4, s.pixel = indexed(15);
    all.push_back({"4 bpp", s, [](int x, int y) { return testbmp::DistinctColours(16)[(x + 3 * y) & 15]; }});
    s.bitCount = 8, s.pixel = indexed(255);
    all.push_back({"8 bpp", s, table});
    s.height = -5;
    all.push_back({"8 bpp top-down", s, table});
    s.height = 5, s.headerSize = 12;
    all.push_back({"8 bpp core header", s, table});
    s.headerSize = 124;
    all.push_back({"8 bpp V5 header", s, table});
    s.headerSize = 40, s.clrUsed = 20, s.pixel = [](int x, int y) { return std::uint32_t((x + 3 * y) % 25); };
    // Indices past a short table show black.
    all.push_back({"8 bpp, 20 colours", s, [](int x, int y) {
                       int i = (x + 3 * y) % 25;
                       return i < 20 ? testbmp::DistinctColours(20)[i] : 0u;
                   }});
    s.clrUsed = 0;

    auto rgb = [](int x, int y) {
        return static_cast<std::uint32_t>((x * 19) << 16 | (y * 50) << 8 | (x * y));
    };
    s.bitCount = 24, s.pixel = rgb;
    all.push_back({"24 bpp", s, rgb});
    s.bitCount = 32;
    all.push_back({"32 bpp", s, rgb});
    s.height = -5, s.headerSize = 124, s.compression = 3;
    s.masks[0] = 0x0000FF00, s.masks[1] = 0x00FF0000, s.masks[2] = 0xFF000000;
    s.pixel = [rgb](int x, int y) {
        std::uint32_t c = rgb(x, y);
        return ((c >> 16) & 0xFF) << 8 | ((c >> 8) & 0xFF) << 16 | (c & 0xFF) << 24;
    };
    all.push_back({"32 bpp V5 bit fields, top-down", s, rgb});
    // 5-6-5 after a 40-byte header: 31 and 63 are full intensity.
    s.height = 5, s.headerSize = 40, s.bitCount = 16;
    s.masks[0] = 0xF800, s.masks[1] = 0x07E0, s.masks[2] = 0x001F;
    s.pixel = [](int x, int) { return std::uint32_t(x % 2 ? 0xFFFF : 0xF800); };
    all.push_back({"16 bpp 5-6-5", s, [](int x, int) { return x % 2 ? 0xFFFFFFu : 0xFF0000u; }});
    s.compression = 0;
    s.pixel = [](int x, int) { return std::uint32_t(x % 2 ? 0x03E0 : 0x001F); };
    all.push_back({"16 bpp 5-5-5", s, [](int x, int) { return x % 2 ? 0x00FF00u : 0x0000FFu; }});
    return all;
}

TEST(BmpReader, ReadsEveryLayoutAsWritten) {
    for (const Layout& layout : Layouts()) {
        SCOPED_TRACE(layout.name);
        std::vector<std::uint8_t> file = testbmp::Build(layout.description);
        Dib dib;
        std::string error;
        ASSERT_TRUE(platform::bmp::ReadFile(file.data(), file.size(), &dib, &error)) << error;
        EXPECT_EQ(dib.width, 13);
        EXPECT_EQ(dib.height, 5);
        EXPECT_EQ(dib.bitCount, layout.description.bitCount);
        for (int y = 0; y < dib.height; ++y)
            for (int x = 0; x < dib.width; ++x)
                ASSERT_EQ(dib.ColourAt(x, y), layout.expected(x, y)) << "at " << x << "," << y;

        // The same bitmap as a resource holds it: without the file header.
        Dib packed;
        ASSERT_TRUE(platform::bmp::ReadPacked(file.data() + 14, file.size() - 14, &packed, &error)) << error;
        EXPECT_EQ(packed.bits, dib.bits);
    }
}

TEST(BmpReader, HonoursThePixelOffsetOfTheFileHeader) {
    testbmp::BmpLayout s;
    std::vector<std::uint8_t> file = testbmp::Build(s);
    std::uint32_t offset = file[10] | file[11] << 8;
    file.insert(file.begin() + offset, 6, 0xEE);  // a gap before the rows
    file[10] = static_cast<std::uint8_t>(offset + 6);
    Dib dib;
    std::string error;
    ASSERT_TRUE(platform::bmp::ReadFile(file.data(), file.size(), &dib, &error)) << error;
    EXPECT_EQ(dib.RawAt(3, 1), 4u);
}

struct Broken {
    const char* name;
    std::function<void(testbmp::BmpLayout&)> description;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    const char* reason;  // part of the message
};

void Field(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value) {
    testbmp::Set32(file, at, value);
}

TEST(BmpReader, RefusesMalformedFilesWithAReason) {
    auto none = [](testbmp::BmpLayout&) {};
    auto intact = [](std::vector<std::uint8_t>&) {};
    const Broken cases[] = {
        {"empty", none, [](auto& f) { f.clear(); }, "too short"},
        {"no BM", none, [](auto& f) { f[0] = 'X'; }, "not a BMP"},
        {"header size 20", none, [](auto& f) { Field(f, 14, 20); }, "header size"},
        {"header size past the end", none, [](auto& f) { Field(f, 14, 0xFFFFFFF0); }, "header"},
        {"width 0", none, [](auto& f) { Field(f, 18, 0); }, "width"},
        {"negative width", none, [](auto& f) { Field(f, 18, 0xFFFFFFFC); }, "width"},
        {"height 0", none, [](auto& f) { Field(f, 22, 0); }, "height"},
        {"most negative height", none, [](auto& f) { Field(f, 22, 0x80000000u); }, "height"},
        {"absurd width", none, [](auto& f) { Field(f, 18, 0x7FFFFFFF); }, "too large"},
        {"area too large", none, [](auto& f) { Field(f, 18, 30000), Field(f, 22, 30000); }, "too large"},
        {"3 bits per pixel", [](auto& s) { s.bitCount = 3; }, intact, "bits per pixel"},
        {"RLE8", [](auto& s) { s.compression = 1; }, intact, "RLE"},
        {"RLE4", [](auto& s) { s.bitCount = 4, s.compression = 2; }, intact, "RLE"},
        {"PNG inside", [](auto& s) { s.compression = 5; }, intact, "PNG"},
        {"unknown compression", [](auto& s) { s.compression = 77; }, intact, "compression"},
        {"bit fields on 24 bpp", [](auto& s) { s.bitCount = 24, s.compression = 3; }, intact, "16 or 32"},
        {"mask with a gap",
         [](auto& s) {
             s.bitCount = 32, s.compression = 3, s.masks[0] = 0xF0F00000, s.masks[1] = 0xFF00,
             s.masks[2] = 0xFF;
         },
         intact, "mask"},
        {"overlapping masks",
         [](auto& s) {
             s.bitCount = 16, s.compression = 3, s.masks[0] = 0xFF00, s.masks[1] = 0x0FF0,
             s.masks[2] = 0x000F;
         },
         intact, "overlap"},
        {"mask beyond 16 bits",
         [](auto& s) {
             s.bitCount = 16, s.compression = 3, s.masks[0] = 0x1F0000, s.masks[1] = 0x07E0,
             s.masks[2] = 0x001F;
         },
         intact, "mask"},
        {"masks cut off", [](auto& s) { s.bitCount = 32, s.compression = 3; },
         [](auto& f) { f.resize(14 + 40 + 6); }, "masks"},
        {"colour count past the end", none, [](auto& f) { Field(f, 46, 0xFFFFFFFF); }, "colour table"},
        {"short colour table", [](auto& s) { s.colours = testbmp::DistinctColours(10); },
         [](auto& f) { f.resize(14 + 40 + 40); }, "colour table"},
        {"rows start inside the table", none, [](auto& f) { Field(f, 10, 14 + 40 + 100); }, "inside"},
        {"rows start past the end", none, [](auto& f) { Field(f, 10, 0xFFFFFF00); }, "pixel rows"},
        {"rows cut short", none, [](auto& f) { f.pop_back(); }, "pixel rows"},
    };
    for (const Broken& c : cases) {
        SCOPED_TRACE(c.name);
        testbmp::BmpLayout s;
        c.description(s);
        std::vector<std::uint8_t> file = testbmp::Build(s);
        c.damage(file);
        Dib dib;
        std::string error;
        EXPECT_FALSE(platform::bmp::ReadFile(file.data(), file.size(), &dib, &error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST(BmpReader, EveryTruncationOfAGoodBitmapFailsCleanly) {
    testbmp::BmpLayout s;
    s.width = 5, s.height = 3, s.headerSize = 124, s.bitCount = 32, s.compression = 3;
    s.masks[0] = 0xFF0000, s.masks[1] = 0xFF00, s.masks[2] = 0xFF;
    for (const testbmp::BmpLayout& description : {s, testbmp::BmpLayout{}}) {
        std::vector<std::uint8_t> file = testbmp::Build(description);
        for (std::size_t n = 0; n < file.size(); ++n) {
            // A copy of exactly n bytes, so reading past them is caught.
            std::vector<std::uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
            Dib dib;
            std::string error;
            EXPECT_FALSE(platform::bmp::ReadFile(cut.data(), cut.size(), &dib, &error)) << n;
            EXPECT_FALSE(platform::bmp::ReadPacked(cut.data() + std::min<std::size_t>(n, 14),
                                                   n - std::min<std::size_t>(n, 14), &dib, &error))
                << n;
        }
    }
}

TEST(BmpReader, ScalesByTheNearestPixel) {
    testbmp::BmpLayout s;
    s.width = 3, s.height = 2, s.pixel = [](int x, int y) { return std::uint32_t(10 * y + x); };
    std::vector<std::uint8_t> file = testbmp::Build(s);
    Dib dib;
    std::string error;
    ASSERT_TRUE(platform::bmp::ReadFile(file.data(), file.size(), &dib, &error));
    Dib up = platform::bmp::Scaled(dib, 6, 4);
    EXPECT_EQ(up.RawAt(0, 0), 0u);
    EXPECT_EQ(up.RawAt(1, 1), 0u);
    EXPECT_EQ(up.RawAt(5, 3), 12u);
    EXPECT_EQ(up.RawAt(2, 2), 11u);
    Dib down = platform::bmp::Scaled(dib, 1, 1);
    EXPECT_EQ(down.RawAt(0, 0), 0u);
    EXPECT_EQ(down.colours, dib.colours);
}

TEST(BmpReader, IconImagesCarryTheirTransparencyMask) {
    // A 4 × 2 16-colour icon image: the header counts both the colour and the mask rows.
    testbmp::BmpLayout s;
    s.width = 4, s.height = 4, s.bitCount = 4;
    s.pixel = [](int x, int) { return std::uint32_t(x); };
    std::vector<std::uint8_t> file = testbmp::Build(s);
    std::vector<std::uint8_t> image(file.begin() + 14, file.end());
    // The last two stored rows (bottom-up: the mask's rows) become the mask: left pixel transparent.
    std::size_t rows = image.size() - 2 * 4;
    image[rows] = 0x80, image[rows + 4] = 0x80;
    Dib dib;
    std::vector<std::uint8_t> mask;
    std::string error;
    ASSERT_TRUE(platform::bmp::ReadIconImage(image.data(), image.size(), &dib, &mask, &error)) << error;
    EXPECT_EQ(dib.height, 2);
    ASSERT_EQ(mask.size(), 8u);
    EXPECT_EQ(mask, (std::vector<std::uint8_t>{1, 0, 0, 0, 1, 0, 0, 0}));
}

}  // namespace
