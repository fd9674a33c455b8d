// CopyToFrame: a packed image laid into the locked frame, row by row, one pitch apart, with the
// bytes beyond the image's rows left as they were.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gfx/gfx.h"

namespace {

constexpr std::uint8_t kUntouched = 0xEE;

// A frame buffer with a pitch larger than any width copied into it.
struct Frame {
    std::int32_t pitch;
    std::int32_t rows;
    std::vector<std::uint8_t> bytes;
    Frame(std::int32_t p, std::int32_t r)
        : pitch(p), rows(r), bytes(static_cast<std::size_t>(p) * r, kUntouched) {
        LockedFrame = {bytes.data(), pitch};
    }
    ~Frame() { LockedFrame = {}; }
};

std::vector<std::uint8_t> Image(int width, int height) {
    std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height);
    // Index 0 appears in the image and must be copied like any other index.
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
    return image;
}

TEST(CopyToFrame, WritesExactlyTheImageRectangle) {
    struct Case {
        const char* name;
        std::uint16_t x, y, width, height;
        std::int32_t pitch, rows;
    };
    const std::vector<Case> cases = {
        {"background into a pitch-704 frame", 0, 0, 640, 480, 704, 480},
        {"width 6: one group and two single bytes", 0, 0, 6, 3, 20, 4},
        {"placed off the origin", 5, 3, 7, 4, 24, 9},
        {"width 0 writes nothing", 2, 2, 0, 3, 16, 6},
        {"one column", 9, 1, 1, 5, 12, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Frame frame(c.pitch, c.rows);
        const std::vector<std::uint8_t> image = Image(c.width, c.height);
        CopyToFrame(image.data(), c.x, c.y, c.width, c.height);

        std::vector<std::uint8_t> expected(frame.bytes.size(), kUntouched);
        for (int r = 0; r < c.height; ++r) {
            for (int col = 0; col < c.width; ++col) {
                expected[static_cast<std::size_t>(c.y + r) * c.pitch + c.x + col] = image[r * c.width + col];
            }
        }
        EXPECT_EQ(frame.bytes, expected);
    }
}

}  // namespace
