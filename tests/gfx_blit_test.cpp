// The frame-buffer blitters: pixel access with signed coordinates, rectangle copies and reductions
// between buffers of different pitches, the transparent copies and their clipping, and row clears.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/credits.h"
#include "gfx/gfx.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kUntouched = 0xEE;

// A width × height picture stored with a pitch, its pixels a pattern that includes index 0.
struct Buffer {
    std::int32_t pitch;
    std::int32_t rows;
    Bytes bytes;
    Buffer(std::int32_t p, std::int32_t r, std::uint8_t fill = kUntouched)
        : pitch(p), rows(r), bytes(static_cast<std::size_t>(p) * r, fill) {}
    std::uint8_t& At(int x, int y) { return bytes[static_cast<std::size_t>(y) * pitch + x]; }
    void Pattern() {
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 251);
    }
};

TEST(PixelAccess, AddressesAreSignedAndUnchecked) {
    Buffer buffer(640, 4);
    buffer.Pattern();
    EXPECT_EQ(GetBufferPixel(-1, 1, buffer.bytes.data(), 640), buffer.bytes[639]);
    EXPECT_EQ(GetBufferPixel(3, 2, buffer.bytes.data(), 640), buffer.At(3, 2));

    Buffer frame(704, 8);
    LockedFrame = {frame.bytes.data() + 704 * 4, 704};
    PutFramePixel(5, -2, 0x11);
    PutFramePixel(-3, 1, 0x22);
    EXPECT_EQ(frame.At(5, 2), 0x11);
    EXPECT_EQ(frame.At(701, 4), 0x22);
    EXPECT_EQ(GetFramePixel(5, -2), 0x11);
    PutBufferPixel(7, 3, 0x33, frame.bytes.data(), 704);
    EXPECT_EQ(frame.At(7, 3), 0x33);
    LockedFrame = {};
}

TEST(RectangleCopies, MoveBlocksBetweenPitches) {
    struct Case {
        const char* name;
        std::uint16_t x, y, width, height;
    };
    const std::vector<Case> cases = {{"origin", 0, 0, 16, 4},
                                     {"odd width off origin", 3, 2, 7, 5},
                                     {"width 0", 4, 4, 0, 3},
                                     {"single byte", 9, 6, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Buffer big(40, 12);
        big.Pattern();
        const Buffer original = big;

        // Out to a block of pitch 24, then back: the block returns unchanged and nothing else moves.
        Buffer block(24, 6);
        CopyRectFromBuffer(c.x, c.y, c.width, c.height, big.bytes.data(), big.pitch, block.bytes.data(),
                           block.pitch);
        Buffer expectedBlock(24, 6);
        for (int r = 0; r < c.height; ++r) {
            for (int col = 0; col < c.width; ++col) expectedBlock.At(col, r) = big.At(c.x + col, c.y + r);
        }
        EXPECT_EQ(block.bytes, expectedBlock.bytes);

        for (int r = 0; r < c.height; ++r) {
            for (int col = 0; col < c.width; ++col) big.At(c.x + col, c.y + r) = 0;
        }
        CopyRectToBuffer(block.bytes.data(), block.pitch, c.x, c.y, c.width, c.height, big.bytes.data(),
                         big.pitch);
        EXPECT_EQ(big.bytes, original.bytes);
    }
}

TEST(CopyScreenToFrame, CopiesTheBackgroundSlotIntoAWiderFrame) {
    Buffer picture(800, 600);
    picture.Pattern();
    Buffer frame(832, 600);
    LockedFrame = {frame.bytes.data(), 832};
    std::uint8_t* savedBackground = backgroundPixels;
    backgroundPixels = picture.bytes.data();
    CopyScreenToFrame();
    backgroundPixels = savedBackground;
    LockedFrame = {};

    for (int y = 0; y < 600; y += 599) {
        for (int x : {0, 1, 399, 799}) EXPECT_EQ(frame.At(x, y), picture.At(x, y));
        for (int x = 800; x < 832; ++x) ASSERT_EQ(frame.At(x, y), kUntouched) << x;
    }
}

TEST(Reductions, SamplePixelsWithoutAveraging) {
    Buffer source(704, 480);
    source.Pattern();

    Bytes eighth(4800 + 1, kUntouched);
    DownscaleEighth(source.bytes.data(), source.pitch, 640, 480, eighth.data());
    EXPECT_EQ(eighth[81], source.At(8, 8));
    EXPECT_EQ(eighth[4799], source.At(632, 472));
    for (int k = 0; k < 60; ++k) {
        for (int j = 0; j < 80; ++j) ASSERT_EQ(eighth[k * 80 + j], source.At(8 * j, 8 * k));
    }
    EXPECT_EQ(eighth[4800], kUntouched);

    Buffer half(800, 600);
    DownscaleHalf(source.bytes.data(), source.pitch, 400, 300, 640, 480, half.bytes.data(), 800);
    Buffer expected(800, 600);
    for (int k = 0; k < 240; ++k) {
        for (int j = 0; j < 320; ++j) expected.At(400 + j, 300 + k) = source.At(2 * j, 2 * k);
    }
    EXPECT_EQ(half.bytes, expected.bytes);
}

TEST(BlitTransparent, ZeroKeepsTheDestination) {
    Buffer source(12, 3, 0);
    source.At(2, 1) = 255;
    source.At(5, 2) = 1;
    Buffer destination(30, 8);
    BlitTransparent(source.bytes.data(), source.pitch, 4, 2, 10, 3, destination.bytes.data(),
                    destination.pitch);
    Buffer expected(30, 8);
    expected.At(6, 3) = 255;
    expected.At(9, 4) = 1;
    EXPECT_EQ(destination.bytes, expected.bytes);

    // Long rows mix all-opaque, all-transparent and mixed groups of eight.
    Buffer wide(100, 2);
    wide.Pattern();
    for (int x = 20; x < 45; ++x) wide.At(x, 0) = 0;
    wide.At(61, 1) = 0;
    Buffer target(120, 4, 0x55);
    BlitTransparent(wide.bytes.data(), wide.pitch, 7, 1, 97, 2, target.bytes.data(), target.pitch);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 97; ++x) {
            const std::uint8_t want = wide.At(x, y) ? wide.At(x, y) : 0x55;
            ASSERT_EQ(target.At(7 + x, 1 + y), want) << x << "," << y;
        }
    }
}

// What a clipped copy must produce: each non-zero source pixel whose frame position lies inside
// the view is written there, nothing else changes.
Buffer ClippedModel(const Bytes& image, int x, int y, int width, int height, Buffer frame, int right,
                    int bottom) {
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            const int fx = x + c;
            const int fy = y + r;
            const std::uint8_t v = image[static_cast<std::size_t>(r) * width + c];
            if (fx >= 10 && fx < right && fy >= 10 && fy < bottom && v != 0) frame.At(fx, fy) = v;
        }
    }
    return frame;
}

TEST(BlitTransparentClipped, ClipsToTheViewOnce) {
    struct Case {
        const char* name;
        bool wide;  // the 800 variant
        std::int16_t x, y, width, height;
        int firstColumn, columns, firstRow, rows;  // the drawn rectangle, -1 when nothing
        long firstSourceByte;
    };
    const std::vector<Case> cases = {
        {"20 x 20 at the origin", false, 0, 0, 20, 20, 10, 10, 10, 10, 210},
        {"700 wide at (5, 100)", false, 5, 100, 700, 8, 10, 630, 100, 8, 5},
        {"640 x 300 at (0, -200)", false, 0, -200, 640, 300, 10, 630, 10, 90, 134410},
        {"20 wide at x 785 (800)", true, 785, 50, 20, 4, 785, 5, 50, 4, 0},
        {"20 wide at x 625 (640)", false, 625, 50, 20, 4, 625, 15, 50, 4, 0},
        {"inside the 800 view", true, 100, 580, 30, 30, 100, 30, 580, 10, 0},
        {"x at the right bound", false, 640, 50, 20, 4, -1, 0, 0, 0, 0},
        {"x at the 800 right bound", true, 790, 50, 20, 4, -1, 0, 0, 0, 0},
        {"y at the bottom bound", false, 50, 480, 20, 4, -1, 0, 0, 0, 0},
        {"y at the 800 bottom bound", true, 50, 590, 20, 4, -1, 0, 0, 0, 0},
        {"ends at column 10", false, -10, 50, 20, 4, -1, 0, 0, 0, 0},
        {"ends at row 10", true, 50, 6, 20, 4, -1, 0, 0, 0, 0},
        {"far off to the left and top", false, -30000, -30000, 100, 100, -1, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int right = c.wide ? 790 : 640;
        const int bottom = c.wide ? 590 : 480;
        Buffer frame(c.wide ? 850 : 700, c.wide ? 600 : 480);
        // No zeros, so every drawn pixel shows: the written bytes are exactly the drawn rectangle.
        Bytes image(static_cast<std::size_t>(c.width) * c.height);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(1 + i % 200);

        const Buffer model = ClippedModel(image, c.x, c.y, c.width, c.height, frame, right, bottom);
        if (c.wide) {
            BlitTransparentClipped800(image.data(), c.x, c.y, c.width, c.height, frame.bytes.data(),
                                      frame.pitch);
        } else {
            BlitTransparentClipped640(image.data(), c.x, c.y, c.width, c.height, frame.bytes.data(),
                                      frame.pitch);
        }
        EXPECT_EQ(frame.bytes, model.bytes);

        long written = 0;
        for (std::uint8_t b : frame.bytes) written += b != kUntouched;
        if (c.firstColumn < 0) {
            EXPECT_EQ(written, 0);
            continue;
        }
        EXPECT_EQ(written, static_cast<long>(c.columns) * c.rows);
        EXPECT_EQ(frame.At(c.firstColumn, c.firstRow), image[c.firstSourceByte]);
        EXPECT_NE(frame.At(c.firstColumn + c.columns - 1, c.firstRow + c.rows - 1), kUntouched);
    }
}

TEST(BlitTransparentClipped, ZeroIsTransparent) {
    Bytes image(30 * 20);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i % 3 == 0 ? 0 : i);
    Buffer frame(704, 480);
    const Buffer model = ClippedModel(image, 0, 3, 30, 20, frame, 640, 480);
    BlitTransparentClipped640(image.data(), 0, 3, 30, 20, frame.bytes.data(), frame.pitch);
    EXPECT_EQ(frame.bytes, model.bytes);
}

TEST(ClearRows, ZeroesTheRowStartsOnly) {
    struct Case {
        std::int32_t pitch;
        std::uint32_t width;
        std::int32_t rows;
    };
    for (const Case& c : {Case{1000, 800, 600}, Case{640, 6, 2}, Case{9, 7, 3}}) {
        SCOPED_TRACE(c.pitch);
        Buffer buffer(c.pitch, c.rows + 1);
        ClearRows(buffer.bytes.data(), c.pitch, c.width, c.rows);
        Buffer expected(c.pitch, c.rows + 1);
        for (int r = 0; r < c.rows; ++r) {
            for (std::uint32_t x = 0; x < c.width; ++x) expected.At(static_cast<int>(x), r) = 0;
        }
        EXPECT_EQ(buffer.bytes, expected.bytes);
    }
}

}  // namespace
