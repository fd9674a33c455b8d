// The file loaders: CFF pictures, image sets (layouts 2 and 3) and palette files, well-formed
// files loading as stored and truncated or malformed ones refused without touching the caller's
// buffers.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gfx/gfx.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kUntouched = 0xEE;

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/vexmoor-gfx-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string Write(const std::string& name, const Bytes& bytes) const {
        const std::string path = path_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

void Append(Bytes* out, const Bytes& more) {
    out->insert(out->end(), more.begin(), more.end());
}
void AppendWord(Bytes* out, std::uint16_t v) {
    Append(out, {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
}
void AppendDword(Bytes* out, std::uint32_t v) {
    AppendWord(out, static_cast<std::uint16_t>(v));
    AppendWord(out, static_cast<std::uint16_t>(v >> 16));
}

Palette6 TestPalette(std::uint8_t seed) {
    Palette6 p;
    for (int i = 0; i < 768; ++i) p.bytes[i] = static_cast<std::uint8_t>((i + seed) % 64);
    return p;
}

Bytes Cff(const Bytes& body, const Palette6& palette, std::uint32_t first = 640, std::uint32_t second = 480) {
    Bytes file;
    AppendDword(&file, first);
    AppendDword(&file, second);
    Append(&file, body);
    Append(&file, Bytes(palette.bytes, palette.bytes + 768));
    return file;
}

bool SamePalette(const Palette6& a, const Palette6& b) {
    return std::equal(a.bytes, a.bytes + 768, b.bytes);
}

Palette6 Untouched() {
    Palette6 p;
    std::fill(std::begin(p.bytes), std::end(p.bytes), kUntouched);
    return p;
}

// A picture of 640 × 480 as runs, so the default size is exercised with a real stream.
Bytes FullPictureStream(Bytes* picture) {
    Bytes stream;
    picture->clear();
    for (int row = 0; row < 480; ++row) {
        for (int run = 0; run < 5; ++run) {
            const auto v = static_cast<std::uint8_t>(row + run);
            Append(&stream, {0xFF, v});
            picture->insert(picture->end(), 128, v);
        }
    }
    stream.push_back(0x00);
    return stream;
}

TEST(LoadCffImage, LoadsWellFormedFiles) {
    TempDir dir;
    const Palette6 palette = TestPalette(5);
    Bytes picture;
    const Bytes full = FullPictureStream(&picture);

    struct Case {
        const char* name;
        Bytes file;
        Bytes pixels;  // expected start of the pixel buffer
    };
    const std::vector<Case> cases = {
        {"end byte alone: nothing written", Cff({0x00}, palette), {}},
        {"small stream", Cff({0x82, 9, 0x02, 1, 0, 0x00}, palette), {9, 9, 9, 1, 0}},
        {"header values are ignored",
         Cff({0x82, 9, 0x02, 1, 0, 0x00}, palette, 0xDEADBEEF, 7),
         {9, 9, 9, 1, 0}},
        {"bytes between the end byte and the palette are ignored",
         Cff({0x82, 9, 0x00, 0x85, 3, 0x7F, 0xFF, 0xFF}, palette),
         {9, 9, 9}},
        {"a whole 640 x 480 background", Cff(full, palette), picture},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Write("picture.cff", c.file);
        Bytes expected(kCffPictureSize, kUntouched);
        std::copy(c.pixels.begin(), c.pixels.end(), expected.begin());

        Bytes pixels(kCffPictureSize, kUntouched);
        Palette6 loaded = Untouched();
        EXPECT_TRUE(LoadCffImage(path.c_str(), &loaded, pixels.data()));
        EXPECT_EQ(pixels, expected);
        EXPECT_TRUE(SamePalette(loaded, palette));

        Bytes withoutPalette(kCffPictureSize, kUntouched);
        EXPECT_TRUE(LoadCffImage(path.c_str(), nullptr, withoutPalette.data()));
        EXPECT_EQ(withoutPalette, expected);
    }

    // 777 bytes with a zero at byte 8: the palette is bytes 9 to 776.
    Bytes file(777);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i % 63 + 1);
    file[8] = 0x00;
    Palette6 loaded;
    Bytes pixels(16, kUntouched);
    EXPECT_TRUE(LoadCffImage(dir.Write("short.cff", file).c_str(), &loaded, pixels.data(), pixels.size()));
    EXPECT_TRUE(std::equal(loaded.bytes, loaded.bytes + 768, file.begin() + 9));
    EXPECT_EQ(pixels, Bytes(16, kUntouched));
}

TEST(LoadCffImage, RefusesTruncatedAndOverlongFiles) {
    TempDir dir;
    const Palette6 palette = TestPalette(1);
    Bytes oneTooMany;
    Bytes full = FullPictureStream(&oneTooMany);
    full.insert(full.end() - 1, {0x80, 1});  // one pixel past 640 × 480

    struct Case {
        const char* name;
        Bytes file;
        std::size_t pixelsSize;
    };
    const std::vector<Case> cases = {
        {"empty file", {}, 64},
        {"775 bytes", Bytes(775, 0), 64},
        {"776 bytes: no room for a stream", Bytes(776, 0), 64},
        {"stream without an end byte", Cff({0x81, 1, 0x81, 2}, palette), 64},
        {"literal running into the palette", Cff({0x10, 1, 2}, palette), 64},
        {"stream decoding past the buffer", Cff({0x8A, 1, 0x00}, palette), 10},
        {"one pixel more than the default 640 x 480", Cff(full, palette), kCffPictureSize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Write("bad.cff", c.file);
        Bytes pixels(c.pixelsSize, kUntouched);
        Palette6 loaded = Untouched();
        if (c.pixelsSize == kCffPictureSize) {
            EXPECT_FALSE(LoadCffImage(path.c_str(), &loaded, pixels.data()));
        } else {
            EXPECT_FALSE(LoadCffImage(path.c_str(), &loaded, pixels.data(), c.pixelsSize));
        }
        EXPECT_EQ(pixels, Bytes(c.pixelsSize, kUntouched));
        EXPECT_TRUE(SamePalette(loaded, Untouched()));
    }

    Bytes pixels(8, kUntouched);
    EXPECT_FALSE(LoadCffImage((dir.path() + "/missing.cff").c_str(), nullptr, pixels.data(), pixels.size()));
}

struct SetImage {
    std::uint16_t width;
    std::uint16_t height;
    Bytes stream;
};

// An image-set file as a writer lays it out; `lengths` overrides the packed lengths stored.
Bytes SetFile(std::uint8_t type, const std::vector<SetImage>& images,
              std::vector<std::uint32_t> lengths = {}) {
    if (lengths.empty()) {
        for (const SetImage& image : images)
            lengths.push_back(static_cast<std::uint32_t>(image.stream.size()));
    }
    Bytes file{type};
    AppendWord(&file, static_cast<std::uint16_t>(images.size()));
    if ((type & 0x7F) == 2) {
        AppendWord(&file, images.empty() ? 0 : images[0].width);
        AppendWord(&file, images.empty() ? 0 : images[0].height);
        for (std::uint32_t n : lengths) AppendDword(&file, n);
    } else {
        for (std::size_t i = 0; i < images.size(); ++i) {
            AppendWord(&file, images[i].width);
            AppendWord(&file, images[i].height);
            AppendDword(&file, lengths[i]);
        }
    }
    for (const SetImage& image : images) Append(&file, image.stream);
    return file;
}

// The three images of the layout-2 example: 2 × 2 each, packed in 3, 3 and 5 bytes.
std::vector<SetImage> ThreeSquares() {
    return {{2, 2, {0x83, 1, 0x00}}, {2, 2, {0x83, 2, 0x00}}, {2, 2, {0x81, 3, 0x81, 4, 0x00}}};
}

TEST(ImageSets, LoadBothLayouts) {
    TempDir dir;
    struct Case {
        const char* name;
        std::uint8_t type;
        std::vector<SetImage> images;
        Bytes pixels;  // every image's decoded bytes, one after another
    };
    const std::vector<Case> cases = {
        {"layout 2", 0x02, ThreeSquares(), {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 4, 4}},
        {"layout 2, top bit set", 0x82, ThreeSquares(), {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 4, 4}},
        {"layout 3", 0x03, {{3, 1, {0x82, 7, 0x00}}, {1, 2, {0x02, 8, 9, 0x00}}}, {7, 7, 7, 8, 9}},
        {"layout 3, top bit set",
         0x83,
         {{3, 1, {0x82, 7, 0x00}}, {1, 2, {0x02, 8, 9, 0x00}}},
         {7, 7, 7, 8, 9}},
        {"zero-sized image between two others",
         0x03,
         {{1, 1, {0x80, 5, 0x00}}, {0, 9, {0x00}}, {2, 1, {0x81, 6, 0x00}}},
         {5, 6, 6}},
        {"count 0, layout 2", 0x02, {}, {}},
        {"count 0, layout 3", 0x83, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Write("images.set", SetFile(c.type, c.images));

        Bytes pixels(c.pixels.size() + 4, kUntouched);
        Bytes packed(16, kUntouched);
        EXPECT_TRUE(LoadImageSetInto(path.c_str(), pixels.data(), packed.data()));
        Bytes expected = c.pixels;
        expected.insert(expected.end(), 4, kUntouched);
        EXPECT_EQ(pixels, expected);

        ImageSetEntry* set = LoadImageSet(path.c_str());
        ASSERT_NE(set, nullptr);
        std::size_t at = 0;
        for (std::size_t i = 0; i < c.images.size(); ++i) {
            const std::size_t size = std::size_t{c.images[i].width} * c.images[i].height;
            EXPECT_EQ(set[i].width, c.images[i].width);
            EXPECT_EQ(set[i].height, c.images[i].height);
            ASSERT_NE(set[i].pixels, nullptr) << "image " << i << " ended the set early";
            EXPECT_EQ(Bytes(set[i].pixels, set[i].pixels + size),
                      Bytes(c.pixels.begin() + at, c.pixels.begin() + at + size));
            at += size;
        }
        EXPECT_EQ(set[c.images.size()].pixels, nullptr);
        FreeImageSet(set);
    }
    FreeImageSet(nullptr);
}

TEST(ImageSets, FindStreamsByTheSumOfPackedLengths) {
    // Layout 2: data at 7 + 4 × 3 = 19, streams at 19, 22 and 25.
    const Bytes two = SetFile(0x02, ThreeSquares());
    ASSERT_EQ(two.size(), 19u + 3 + 3 + 5);
    EXPECT_EQ(two[19], 0x83);
    EXPECT_EQ(two[22], 0x83);
    EXPECT_EQ(two[25], 0x81);
    // Layout 3 with two images: table entries at 3 and 11, data at 19.
    const Bytes three = SetFile(0x03, {{3, 1, {0x82, 7, 0x00}}, {1, 2, {0x02, 8, 9, 0x00}}});
    EXPECT_EQ(three[3], 3);
    EXPECT_EQ(three[11], 1);
    EXPECT_EQ(three[19], 0x82);

    // A short stream: the next image still starts after the full size the table gives.
    TempDir dir;
    const std::string path =
        dir.Write("short.set", SetFile(0x02, {{2, 2, {0x81, 1, 0x00}}, {2, 2, {0x83, 2, 0x00}}}));
    Bytes pixels(8, kUntouched);
    Bytes packed(8);
    ASSERT_TRUE(LoadImageSetInto(path.c_str(), pixels.data(), packed.data()));
    EXPECT_EQ(pixels, (Bytes{1, 1, kUntouched, kUntouched, 2, 2, 2, 2}));
    // Pixels the stream does not reach are 0 in an allocated set.
    ImageSetEntry* set = LoadImageSet(path.c_str());
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(Bytes(set[0].pixels, set[0].pixels + 4), (Bytes{1, 1, 0, 0}));
    FreeImageSet(set);
}

TEST(ImageSets, RefuseBadLayoutsAndFilesThatDoNotFit) {
    TempDir dir;
    std::vector<std::pair<const char*, Bytes>> cases;
    for (std::uint8_t type : {0x00, 0x01, 0x04, 0x81, 0x7F})
        cases.push_back({"layout byte", SetFile(type, ThreeSquares())});
    const Bytes good = SetFile(0x02, ThreeSquares());
    cases.push_back({"empty file", {}});
    cases.push_back({"header cut short", Bytes(good.begin(), good.begin() + 5)});
    cases.push_back({"table cut short", Bytes(good.begin(), good.begin() + 15)});
    cases.push_back({"last stream cut short", Bytes(good.begin(), good.end() - 1)});
    cases.push_back({"packed length beyond the file", SetFile(0x02, ThreeSquares(), {3, 3, 6})});
    cases.push_back({"huge packed length", SetFile(0x03, {{1, 1, {0x80, 1, 0x00}}}, {0xFFFFFFF0u})});
    cases.push_back({"stream without an end byte in its length", SetFile(0x02, ThreeSquares(), {3, 2, 6})});
    cases.push_back({"stream decoding past its image",
                     SetFile(0x03, {{2, 2, {0x80, 1, 0x00}}, {1, 2, {0x82, 1, 0x00}}})});
    cases.push_back(
        {"count larger than the table", Bytes{0x03, 0xFF, 0xFF, 1, 0, 1, 0, 3, 0, 0, 0, 0x80, 1, 0}});
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        const std::string path = dir.Write("bad.set", file);
        Bytes pixels(64, kUntouched);
        Bytes packed(64, kUntouched);
        EXPECT_FALSE(LoadImageSetInto(path.c_str(), pixels.data(), packed.data()));
        EXPECT_EQ(pixels, Bytes(64, kUntouched));
        EXPECT_EQ(LoadImageSet(path.c_str()), nullptr);
    }
    Bytes pixels(8);
    EXPECT_FALSE(LoadImageSetInto((dir.path() + "/missing.set").c_str(), pixels.data(), pixels.data()));
    EXPECT_EQ(LoadImageSet((dir.path() + "/missing.set").c_str()), nullptr);
}

TEST(ImageSets, KeepWithinTheBuffersTheyAreGiven) {
    TempDir dir;
    const std::string path = dir.Write("three.set", SetFile(0x02, ThreeSquares()));
    Bytes pixels(12, kUntouched);
    Bytes packed(5, kUntouched);
    // 12 pixel bytes and 5 packed bytes are needed.
    EXPECT_FALSE(LoadImageSetInto(path.c_str(), pixels.data(), packed.data(), 11, 5));
    EXPECT_FALSE(LoadImageSetInto(path.c_str(), pixels.data(), packed.data(), 12, 4));
    EXPECT_EQ(pixels, Bytes(12, kUntouched));
    EXPECT_TRUE(LoadImageSetInto(path.c_str(), pixels.data(), packed.data(), 12, 5));

    // A 3-byte stream cannot fill a 65,535 × 65,535 image: no 4 GiB block is asked for.
    const std::string bomb = dir.Write("bomb.set", SetFile(0x03, {{0xFFFF, 0xFFFF, {0x80, 1, 0x00}}}));
    EXPECT_EQ(LoadImageSet(bomb.c_str()), nullptr);
    // A failure after several images were allocated frees them all (the leak checker watches).
    const std::string late = dir.Write("late.set", SetFile(0x02, ThreeSquares(), {3, 3, 4}));
    EXPECT_EQ(LoadImageSet(late.c_str()), nullptr);
}

TEST(LoadPaletteFile, ReadsTheFirst768Bytes) {
    TempDir dir;
    Bytes file(800);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i % 64);
    Palette6 palette = Untouched();
    EXPECT_TRUE(LoadPaletteFile(dir.Write("long.pal", file).c_str(), &palette));
    EXPECT_TRUE(std::equal(palette.bytes, palette.bytes + 768, file.begin()));

    palette = Untouched();
    EXPECT_FALSE(LoadPaletteFile(dir.Write("short.pal", Bytes(767, 1)).c_str(), &palette));
    EXPECT_FALSE(LoadPaletteFile((dir.path() + "/missing.pal").c_str(), &palette));
    EXPECT_TRUE(SamePalette(palette, Untouched()));
}

TEST(Loaders, OpenNamesRelativeToTheCurrentDirectory) {
    TempDir dir;
    dir.Write("credback.cff", Cff({0x81, 4, 0x00}, TestPalette(2)));
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    Bytes pixels(kCffPictureSize, kUntouched);
    Palette6 palette;
    const bool loaded = LoadCffImage("credback.cff", &palette, pixels.data());
    std::filesystem::current_path(saved);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(pixels[1], 4);
    EXPECT_TRUE(SamePalette(palette, TestPalette(2)));
}

}  // namespace
