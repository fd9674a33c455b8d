// Putting the 8-bit picture on the desktop: where it goes and how it is scaled.
#include <gtest/gtest.h>

#include <vector>

#include "platform/backend/sdl/present.h"

namespace {

TEST(Present, ThePictureKeepsItsShapeWithBlackBars) {
    struct Case {
        int outputWidth, outputHeight;
        bool wholeFactors;
        int x, y, width, height;
    } cases[] = {
        {1024, 768, false, 0, 0, 1024, 768},   {1920, 1080, false, 240, 0, 1440, 1080},
        {1920, 1080, true, 320, 60, 1280, 960}, {800, 600, true, 80, 60, 640, 480},
        {1280, 1024, false, 0, 32, 1280, 960},  {640, 480, true, 0, 0, 640, 480},
        {320, 240, true, 0, 0, 320, 240},  // never larger than the output, even below a factor of 1
    };
    for (const Case& c : cases) {
        platform::ScreenRect r = platform::FitPicture(640, 480, c.outputWidth, c.outputHeight, c.wholeFactors);
        EXPECT_EQ(r.x, c.x) << c.outputWidth << "x" << c.outputHeight;
        EXPECT_EQ(r.y, c.y) << c.outputWidth << "x" << c.outputHeight;
        EXPECT_EQ(r.width, c.width) << c.outputWidth << "x" << c.outputHeight;
        EXPECT_EQ(r.height, c.height) << c.outputWidth << "x" << c.outputHeight;
    }
}

TEST(Present, ConversionLooksUpEveryIndexAndRepeatsPixelsAtWholeFactors) {
    const int pitch = 7;  // wider than the picture, so pitch mistakes show
    std::vector<std::uint8_t> pixels(pitch * 3, 0xEE);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) pixels[y * pitch + x] = static_cast<std::uint8_t>(y * 5 + x);
    std::uint32_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 3);
    platform::PictureView view{pixels.data(), pitch, 5, 3, table};

    platform::ScaleMap map;
    platform::BuildScaleMap(&map, 5, 3, 10, 6);
    std::vector<std::uint32_t> out(10 * 6);
    platform::ConvertScaled(view, table, map, reinterpret_cast<std::uint8_t*>(out.data()), 10 * 4);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(out[y * 10 + x], table[(y / 2) * 5 + x / 2]) << x << "," << y;

    platform::BuildScaleMap(&map, 5, 3, 5, 3);
    std::vector<std::uint32_t> same(5 * 3);
    platform::ConvertScaled(view, table, map, reinterpret_cast<std::uint8_t*>(same.data()), 5 * 4);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(same[i], table[i]);
}

}  // namespace
