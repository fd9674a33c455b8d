// cfftool's commands end to end: PNG to CFF and back, PNGs to image sets and back, info, and the
// errors and exit codes a user meets.
#include "tools/cfftool/commands.h"

#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "gfx/gfx.h"
#include "tools/cfftool/formats.h"
#include "tools/cfftool/png_io.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using cff::Rgb;

class CfftoolTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vexmoor-cfftool-XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    int Run(std::vector<std::string> arguments) {
        std::ostringstream out, err;
        const int code = cff::RunCfftool(arguments, out, err);
        out_ = out.str();
        err_ = err.str();
        return code;
    }

    // An indexed picture whose palette is exactly representable at 6 bits.
    struct Indexed {
        std::uint32_t width, height;
        Bytes indices;
        Rgb palette[256];
    };
    static Indexed MakeIndexed(std::uint32_t width, std::uint32_t height, int seed) {
        Indexed p{width, height, Bytes(std::size_t{width} * height), {}};
        for (int i = 0; i < 256; ++i) {
            p.palette[i] = {cff::SixToEight(static_cast<std::uint8_t>((i + seed) % 64)),
                            cff::SixToEight(static_cast<std::uint8_t>(i / 4)),
                            cff::SixToEight(static_cast<std::uint8_t>((i * 5) % 64))};
        }
        for (std::size_t i = 0; i < p.indices.size(); ++i) {
            // Runs and noise, index 0 included.
            p.indices[i] = static_cast<std::uint8_t>((i / 7) % 3 == 0 ? (i * 31 + seed) : (i / 50 + seed));
        }
        return p;
    }
    std::string WriteIndexed(const std::string& name, const Indexed& p) {
        std::string error;
        EXPECT_TRUE(cff::WriteIndexedPng(Path(name), p.width, p.height, p.indices, p.palette, &error))
            << error;
        return Path(name);
    }
    std::string WriteRgb(const std::string& name, std::uint32_t width, std::uint32_t height,
                         const std::vector<Rgb>& rgb) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = width;
        image.height = height;
        image.format = PNG_FORMAT_RGB;
        EXPECT_TRUE(png_image_write_to_file(&image, Path(name).c_str(), 0, rgb.data(), 0, nullptr));
        return Path(name);
    }
    static cff::PngPicture Read(const std::string& path) {
        cff::PngPicture picture;
        std::string error;
        EXPECT_TRUE(cff::ReadPng(path, &picture, &error)) << error;
        return picture;
    }

    std::string dir_;
    std::string out_, err_;
};

TEST_F(CfftoolTest, PacksAndUnpacksPalettisedPictures) {
    struct Case {
        std::uint32_t width, height;
        std::vector<std::string> sizeOption;
    };
    for (const Case& c :
         {Case{640, 480, {}}, Case{33, 17, {"--size", "33x17"}}, Case{1, 1, {"--size=1x1"}}}) {
        SCOPED_TRACE(c.width);
        const Indexed picture = MakeIndexed(c.width, c.height, static_cast<int>(c.width));
        const std::string png = WriteIndexed("in.png", picture);
        ASSERT_EQ(Run({"pack", png, Path("out.cff")}), cff::kExitOk) << err_;

        // The toolkit's loader reads exactly the indices and the 6-bit palette back.
        Bytes pixels(picture.indices.size());
        Palette6 palette;
        ASSERT_TRUE(LoadCffImage(Path("out.cff").c_str(), &palette, pixels.data(), pixels.size()));
        EXPECT_EQ(pixels, picture.indices);
        for (int i = 0; i < 256; ++i) EXPECT_EQ(cff::SixToEight(palette.bytes[3 * i]), picture.palette[i].r);

        std::vector<std::string> unpack = {"unpack", Path("out.cff"), Path("back.png")};
        unpack.insert(unpack.end(), c.sizeOption.begin(), c.sizeOption.end());
        ASSERT_EQ(Run(unpack), cff::kExitOk) << err_;
        const cff::PngPicture back = Read(Path("back.png"));
        EXPECT_TRUE(back.indexed);
        EXPECT_EQ(back.width, c.width);
        EXPECT_EQ(back.height, c.height);
        EXPECT_EQ(back.indices, picture.indices);
        ASSERT_EQ(back.palette.size(), 256u);
        for (int i = 0; i < 256; ++i) EXPECT_EQ(back.palette[i], picture.palette[i]);
    }
}

TEST_F(CfftoolTest, PacksTrueColourPictures) {
    // Few colours: kept exactly (at 6 bits). Many colours: reduced, but the picture stays close.
    std::vector<Rgb> few, many;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 80; ++x) {
            few.push_back({cff::SixToEight(static_cast<std::uint8_t>(x / 10 * 8)),
                           cff::SixToEight(static_cast<std::uint8_t>(y / 10 * 8)), 0});
            many.push_back({static_cast<std::uint8_t>(x * 3), static_cast<std::uint8_t>(y * 4),
                            static_cast<std::uint8_t>(x + y)});
        }
    }
    ASSERT_EQ(Run({"pack", WriteRgb("few.png", 80, 60, few), Path("few.cff")}), cff::kExitOk) << err_;
    EXPECT_NE(out_.find("kept exactly"), std::string::npos) << out_;
    ASSERT_EQ(Run({"unpack", Path("few.cff"), Path("few-back.png"), "--size", "80x60"}), cff::kExitOk)
        << err_;
    const cff::PngPicture fewBack = Read(Path("few-back.png"));
    for (std::size_t i = 0; i < few.size(); ++i) ASSERT_EQ(fewBack.palette[fewBack.indices[i]], few[i]) << i;

    ASSERT_EQ(Run({"pack", WriteRgb("many.png", 80, 60, many), Path("many.cff"), "--encoder", "greedy"}),
              cff::kExitOk);
    EXPECT_NE(out_.find("Wu's quantiser"), std::string::npos) << out_;
    ASSERT_EQ(Run({"unpack", Path("many.cff"), Path("many-back.png"), "--size", "80x60"}), cff::kExitOk)
        << err_;
    const cff::PngPicture manyBack = Read(Path("many-back.png"));
    double worst = 0;
    for (std::size_t i = 0; i < many.size(); ++i) {
        const Rgb shown = manyBack.palette[manyBack.indices[i]];
        worst = std::max({worst, std::abs(shown.r - many[i].r) * 1.0, std::abs(shown.g - many[i].g) * 1.0,
                          std::abs(shown.b - many[i].b) * 1.0});
    }
    EXPECT_LT(worst, 24.0);
}

TEST_F(CfftoolTest, RefusesWhatItCannotDo) {
    const std::string png = WriteIndexed("in.png", MakeIndexed(20, 10, 1));
    ASSERT_EQ(Run({"pack", png, Path("small.cff")}), cff::kExitOk);
    struct Case {
        std::vector<std::string> arguments;
        int code;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{}, cff::kExitUsage, "no command"},
        {{"shrink", png}, cff::kExitUsage, "unknown command"},
        {{"pack", png}, cff::kExitUsage, "pack takes"},
        {{"pack", png, Path("x.cff"), "--encoder", "fast"}, cff::kExitUsage, "--encoder"},
        {{"pack", png, Path("x.cff"), "--colours", "16"}, cff::kExitUsage, "unknown option --colours"},
        {{"unpack", Path("small.cff"), Path("x.png"), "--size", "0x5"}, cff::kExitUsage, "--size"},
        {{"unpack", Path("small.cff"), Path("x.png"), "--size"}, cff::kExitUsage, "needs a value"},
        {{"pack", Path("missing.png"), Path("x.cff")}, cff::kExitFailed, "No such file"},
        {{"pack", Path("small.cff"), Path("x.cff")}, cff::kExitFailed, "not a PNG"},
        {{"pack", png, Path("no/such/dir/x.cff")}, cff::kExitFailed, "cannot write"},
        {{"unpack", Path("small.cff"), Path("x.png")},
         cff::kExitFailed,
         "decodes to 200 pixels, not 640 x 480"},
        {{"unpack", Path("small.cff"), Path("x.png")}, cff::kExitFailed, "try --size 20x10"},
        {{"unpack", Path("small.cff"), Path("x.png"), "--size", "10x10"}, cff::kExitFailed, "not 10 x 10"},
        {{"unpack", png, Path("x.png")}, cff::kExitFailed, "stream"},
        {{"set-pack", Path("x.set")}, cff::kExitUsage, "set-pack takes"},
        {{"set-pack", Path("x.set"), png, "--layout", "4"}, cff::kExitUsage, "--layout"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        EXPECT_EQ(Run(c.arguments), c.code);
        EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("x.cff")));
    EXPECT_FALSE(std::filesystem::exists(Path("x.png")));
    EXPECT_EQ(Run({"--help"}), cff::kExitOk);
    EXPECT_NE(out_.find("set-unpack"), std::string::npos);
    EXPECT_EQ(Run({"unpack", "--help"}), cff::kExitOk);
}

TEST_F(CfftoolTest, PacksAndUnpacksImageSets) {
    const Indexed a = MakeIndexed(16, 8, 1), b = MakeIndexed(16, 8, 2), c = MakeIndexed(5, 3, 3);
    const std::string pa = WriteIndexed("a.png", a), pb = WriteIndexed("b.png", b),
                      pc = WriteIndexed("c.png", c);
    struct Case {
        std::vector<std::string> arguments;
        std::vector<const Indexed*> pictures;
        int layout;
    };
    const std::vector<Case> cases = {
        {{"set-pack", Path("x.set"), pa, pb}, {&a, &b}, 2},
        {{"set-pack", Path("x.set"), pa, pc, pb}, {&a, &c, &b}, 3},
        {{"set-pack", Path("x.set"), pa, pb, "--layout", "3"}, {&a, &b}, 3},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.layout);
        ASSERT_EQ(Run(k.arguments), cff::kExitOk) << err_;
        Bytes file;
        std::string error;
        ASSERT_TRUE(cff::ReadWholeFile(Path("x.set"), &file, &error));
        EXPECT_EQ(file[0], k.layout);

        ImageSetEntry* set = LoadImageSet(Path("x.set").c_str());
        ASSERT_NE(set, nullptr);
        for (std::size_t i = 0; i < k.pictures.size(); ++i) {
            const Indexed& p = *k.pictures[i];
            EXPECT_EQ(set[i].width, p.width);
            EXPECT_EQ(set[i].height, p.height);
            EXPECT_EQ(Bytes(set[i].pixels, set[i].pixels + p.indices.size()), p.indices);
        }
        EXPECT_EQ(set[k.pictures.size()].pixels, nullptr);
        FreeImageSet(set);

        ASSERT_EQ(Run({"set-unpack", Path("x.set"), Path("img-")}), cff::kExitOk) << err_;
        for (std::size_t i = 0; i < k.pictures.size(); ++i) {
            const cff::PngPicture back = Read(Path("img-00" + std::to_string(i) + ".png"));
            EXPECT_EQ(back.indices, k.pictures[i]->indices);
            EXPECT_EQ(back.palette[200], (Rgb{200, 200, 200})) << "grey ramp without --palette";
        }
        ASSERT_EQ(Run({"info", Path("x.set")}), cff::kExitOk) << err_;
        EXPECT_NE(out_.find("layout " + std::to_string(k.layout)), std::string::npos) << out_;
        EXPECT_NE(out_.find("loads with the toolkit: yes"), std::string::npos) << out_;
    }
    EXPECT_EQ(Run({"set-pack", Path("y.set"), pa, pc, "--layout", "2"}), cff::kExitFailed);
    EXPECT_NE(err_.find("one size"), std::string::npos);

    // True colour needs a palette; with one, pixels take their nearest entries.
    const std::string rgb = WriteRgb("rgb.png", 2, 1, {{0, 0, 0}, {255, 255, 255}});
    EXPECT_EQ(Run({"set-pack", Path("y.set"), rgb}), cff::kExitFailed);
    EXPECT_NE(err_.find("--palette"), std::string::npos);
    ASSERT_EQ(Run({"pack", pa, Path("a.cff")}), cff::kExitOk);
    ASSERT_EQ(Run({"set-pack", Path("y.set"), rgb, "--palette", Path("a.cff")}), cff::kExitOk) << err_;
    ASSERT_EQ(Run({"set-unpack", Path("y.set"), Path("y-"), "--palette", Path("a.cff")}), cff::kExitOk)
        << err_;
    EXPECT_EQ(Read(Path("y-000.png")).palette[7], a.palette[7]);
}

TEST_F(CfftoolTest, DescribesFilesAndRefusesBrokenOnes) {
    const Indexed picture = MakeIndexed(640, 480, 4);
    ASSERT_EQ(Run({"pack", WriteIndexed("bg.png", picture), Path("bg.cff")}), cff::kExitOk);
    ASSERT_EQ(Run({"info", Path("bg.cff")}), cff::kExitOk) << err_;
    EXPECT_NE(out_.find("header values: 640, 480"), std::string::npos) << out_;
    EXPECT_NE(out_.find("decodes to 307200 pixels"), std::string::npos) << out_;

    Bytes file;
    std::string error;
    ASSERT_TRUE(cff::ReadWholeFile(Path("bg.cff"), &file, &error));
    // The same picture with its stream replaced by a literal packet that runs into the palette.
    Bytes broken(8 + 4 + 768);
    std::copy(file.begin(), file.begin() + 8, broken.begin());
    broken[8] = 0x7F;
    std::copy(file.end() - 768, file.end(), broken.begin() + 12);
    ASSERT_TRUE(cff::WriteWholeFile(Path("broken.cff"), broken, &error));
    const Bytes badSet = {0x02, 0x01, 0x00, 0x02, 0x00, 0x02, 0x00, 0x09, 0x00, 0x00, 0x00, 0x83, 0x01};
    ASSERT_TRUE(cff::WriteWholeFile(Path("bad.set"), badSet, &error));
    const Bytes tiny = {1, 2, 3};
    ASSERT_TRUE(cff::WriteWholeFile(Path("tiny.cff"), tiny, &error));

    EXPECT_EQ(Run({"info", Path("broken.cff")}), cff::kExitFailed);
    EXPECT_NE(out_.find("incomplete"), std::string::npos) << out_;
    EXPECT_EQ(Run({"info", Path("bad.set"), "--set"}), cff::kExitFailed);
    EXPECT_NE(err_.find("beyond the end of the file"), std::string::npos) << err_;
    EXPECT_EQ(Run({"info", Path("tiny.cff")}), cff::kExitFailed);
    EXPECT_NE(err_.find("at least"), std::string::npos) << err_;
    EXPECT_EQ(Run({"unpack", Path("broken.cff"), Path("x.png")}), cff::kExitFailed);
    EXPECT_EQ(Run({"set-unpack", Path("bad.set"), Path("x-")}), cff::kExitFailed);
    // One bad file among good ones still fails the whole command, after describing them all.
    EXPECT_EQ(Run({"info", Path("bg.cff"), Path("tiny.cff")}), cff::kExitFailed);
    EXPECT_NE(out_.find("bg.cff: CFF picture"), std::string::npos);
}

}  // namespace
