// DrawRleSprite: the 48-wide skip/count sprite drawn into an 800-byte-stride frame, clipped to
// columns 10..639 and rows 10..479 in all three row procedures.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "gfx/gfx.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kUntouched = 0xEE;
constexpr int kStride = 800;
constexpr int kRows = 480;

// One sprite row as (skip, count) runs adding up to 48; a final skip that completes the row is
// written as a run with count 0 and no count byte.
using Row = std::vector<std::pair<int, int>>;

struct Sprite {
    Bytes stream;
    // 48 × height cells: -1 transparent, else the palette index.
    std::vector<std::vector<int>> cells;
};

Sprite Build(const std::vector<Row>& rows) {
    Sprite sprite;
    int value = 0;
    for (const Row& row : rows) {
        std::vector<int> cells(48, -1);
        int position = 0;
        for (auto [skip, count] : row) {
            sprite.stream.push_back(static_cast<std::uint8_t>(skip));
            position += skip;
            if (position == 48) break;
            sprite.stream.push_back(static_cast<std::uint8_t>(count));
            for (int i = 0; i < count; ++i) {
                // Index 0 occurs inside runs and is drawn like any other.
                const auto v = static_cast<std::uint8_t>(value++ % 200);
                sprite.stream.push_back(v);
                cells[position++] = v;
            }
        }
        EXPECT_EQ(position, 48) << "test sprite row does not add up to 48";
        sprite.cells.push_back(cells);
    }
    return sprite;
}

Sprite Opaque(int height) {
    return Build(std::vector<Row>(height, Row{{0, 48}}));
}

Sprite Mixed(int height) {
    const std::vector<Row> patterns = {
        {{10, 20}, {18, 0}},        // 10 transparent, 20 opaque, 18 transparent
        {{48, 0}},                  // fully transparent
        {{0, 48}},                  // fully opaque
        {{5, 10}, {33, 0}},         // a run from column 5 to 14
        {{0, 0}, {3, 1}, {0, 44}},  // zero-length runs
        {{30, 18}},                 // a run ending at the row's end
        {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 19}},
    };
    std::vector<Row> rows;
    for (int i = 0; i < height; ++i) rows.push_back(patterns[i % patterns.size()]);
    return Build(rows);
}

Bytes Frame() {
    return Bytes(static_cast<std::size_t>(kStride) * kRows, kUntouched);
}

Bytes Model(const Sprite& sprite, int x, int y) {
    Bytes frame = Frame();
    for (std::size_t r = 0; r < sprite.cells.size(); ++r) {
        for (int c = 0; c < 48; ++c) {
            const int fx = x + c;
            const int fy = y + static_cast<int>(r);
            if (sprite.cells[r][c] >= 0 && fx >= 10 && fx < 640 && fy >= 10 && fy < 480) {
                frame[static_cast<std::size_t>(fy) * kStride + fx] =
                    static_cast<std::uint8_t>(sprite.cells[r][c]);
            }
        }
    }
    return frame;
}

Bytes Draw(const Sprite& sprite, int x, int y) {
    Bytes frame = Frame();
    // The record's pitch is not what the blitter steps by; a different value shows if it were.
    LockedFrame = {frame.data(), 1024};
    // An exactly sized copy of the stream, so a read beyond it shows under the sanitizers.
    const Bytes stream = sprite.stream;
    DrawRleSprite(stream.data(), static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                  static_cast<std::int16_t>(sprite.cells.size()));
    LockedFrame = {};
    return frame;
}

struct Written {
    int first = -1;
    int count = 0;
};
Written ColumnsWritten(const Bytes& frame, int row) {
    Written w;
    for (int x = 0; x < kStride; ++x) {
        if (frame[static_cast<std::size_t>(row) * kStride + x] != kUntouched) {
            if (w.first < 0) w.first = x;
            ++w.count;
        }
    }
    return w;
}

TEST(DrawRleSprite, ClipsColumnsAtTheViewsSides) {
    struct Case {
        int x;
        int firstColumn;  // -1 when nothing is drawn
        int columns;
    };
    const std::vector<Case> cases = {
        {10, 10, 48}, {592, 592, 48}, {593, 593, 47}, {9, 10, 47},   {3, 10, 41},  {-37, 10, 1},
        {-38, -1, 0}, {-300, -1, 0},  {620, 620, 20}, {639, 639, 1}, {640, -1, 0}, {1000, -1, 0},
    };
    const Sprite sprite = Opaque(3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        const Bytes frame = Draw(sprite, c.x, 100);
        EXPECT_EQ(frame, Model(sprite, c.x, 100));
        const Written w = ColumnsWritten(frame, 101);
        EXPECT_EQ(w.first, c.firstColumn);
        EXPECT_EQ(w.count, c.columns);
        // Column 0 of the drawn part comes from the sprite column that lands on it.
        if (c.firstColumn >= 0) {
            EXPECT_EQ(frame[101 * kStride + c.firstColumn], sprite.cells[1][c.firstColumn - c.x]);
        }
    }
}

TEST(DrawRleSprite, ClipsRowsAtTheViewsTopAndBottom) {
    struct Case {
        int y;
        int height;
        int firstRow;  // -1 when nothing is drawn
        int rows;
    };
    const std::vector<Case> cases = {
        {9, 48, 10, 47}, {433, 48, 433, 47}, {479, 48, 479, 1}, {480, 48, -1, 0},
        {0, 10, -1, 0},  {-5, 15, -1, 0},    {-5, 16, 10, 1},   {100, 1, 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        const Sprite sprite = Opaque(c.height);
        const Bytes frame = Draw(sprite, 200, c.y);
        EXPECT_EQ(frame, Model(sprite, 200, c.y));
        int first = -1, rows = 0;
        for (int r = 0; r < kRows; ++r) {
            if (ColumnsWritten(frame, r).count > 0) {
                if (first < 0) first = r;
                ++rows;
            }
        }
        EXPECT_EQ(first, c.firstRow);
        EXPECT_EQ(rows, c.rows);
    }
}

TEST(DrawRleSprite, DrawsOnlyOpaqueRunsInEveryRowProcedure) {
    // Left clip (run 5..14 at x 3 keeps its last eight pixels), no clip, right clip (runs that
    // cross column 640), each with rows hidden above the view as well.
    for (int x : {-20, 0, 3, 9, 10, 300, 592, 593, 600, 610, 630}) {
        for (int y : {-3, 9, 200, 450}) {
            SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
            const Sprite sprite = Mixed(40);
            EXPECT_EQ(Draw(sprite, x, y), Model(sprite, x, y));
        }
    }
    const Sprite sprite = Mixed(4);
    const Bytes frame = Draw(sprite, 3, 100);
    // Row 3 is the run from sprite column 5 to 14: frame columns 8, 9 hidden, 10..17 drawn.
    const Written w = ColumnsWritten(frame, 103);
    EXPECT_EQ(w.first, 10);
    EXPECT_EQ(w.count, 8);
    EXPECT_EQ(frame[103 * kStride + 10], sprite.cells[3][7]);
}

}  // namespace
