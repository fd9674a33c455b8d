// cfftool's encoders: every stream decodes back through the toolkit's decoder, the smallest one
// is never longer than the greedy choice, and known inputs get their known shortest length.
#include "tools/cfftool/encoder.h"

#include <gtest/gtest.h>

#include <random>

#include "gfx/gfx.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Decode(const Bytes& stream, std::size_t expected) {
    Bytes out(expected);
    std::size_t decoded = 0;
    EXPECT_TRUE(RleDecodeBounded(stream.data(), stream.size(), out.data(), out.size(), &decoded));
    EXPECT_EQ(decoded, expected);
    return out;
}

Bytes Pattern(std::size_t n, const Bytes& unit) {
    Bytes out;
    while (out.size() < n) out.push_back(unit[out.size() % unit.size()]);
    return out;
}

TEST(Encoder, StreamsDecodeBackAndAreNoLongerThanGreedy) {
    std::mt19937 random(7);
    Bytes noise(5000), blocks;
    for (auto& b : noise) b = static_cast<std::uint8_t>(random());
    while (blocks.size() < 20000)
        blocks.insert(blocks.end(), 1 + random() % 300, static_cast<std::uint8_t>(random() % 4));

    struct Case {
        const char* name;
        Bytes pixels;
        std::size_t smallest;  // 0 when only the bound against greedy is checked
    };
    const std::vector<Case> cases = {
        {"nothing", {}, 1},
        {"one byte", {9}, 3},
        {"two different bytes", {1, 2}, 4},
        {"300 equal bytes: 128 + 128 + 44", Bytes(300, 5), 7},
        {"127 different bytes: one literal", Pattern(127, {1, 2, 3}), 129},
        {"128 different bytes", Pattern(128, {1, 2, 3}), 131},
        {"zeros are data", Bytes(10, 0), 3},
        {"pairs between singles", Pattern(4000, {1, 1, 2, 3}), 0},
        {"noise", noise, 0},
        {"blocks of up to 300", blocks, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes smallest = cff::EncodeSmallest(c.pixels.data(), c.pixels.size());
        EXPECT_EQ(Decode(smallest, c.pixels.size()), c.pixels);
        if (c.smallest) {
            EXPECT_EQ(smallest.size(), c.smallest);
        }
        for (std::size_t minimumRun : {2, 3}) {
            const Bytes greedy = cff::EncodeGreedy(c.pixels.data(), c.pixels.size(), minimumRun);
            EXPECT_EQ(Decode(greedy, c.pixels.size()), c.pixels);
            EXPECT_LE(smallest.size(), greedy.size());
        }
    }
    // Where greedy breaks literals for every pair, the smallest stream keeps them whole.
    const Bytes pairs = Pattern(4000, {1, 1, 2, 3});
    EXPECT_LT(cff::EncodeSmallest(pairs.data(), pairs.size()).size() * 6 / 5,
              cff::EncodeGreedy(pairs.data(), pairs.size()).size());
}

// The shortest length by exhaustive search, for tiny inputs: an independent check that the
// dynamic programme finds the optimum.
std::size_t Shortest(const Bytes& p, std::size_t at) {
    if (at == p.size()) return 1;
    std::size_t best = SIZE_MAX;
    for (std::size_t k = 1; k <= 127 && at + k <= p.size(); ++k)
        best = std::min(best, 1 + k + Shortest(p, at + k));
    for (std::size_t k = 1; k <= 128 && at + k <= p.size() && p[at + k - 1] == p[at]; ++k) {
        best = std::min(best, 2 + Shortest(p, at + k));
    }
    return best;
}

TEST(Encoder, FindsTheShortestStream) {
    std::mt19937 random(3);
    for (int trial = 0; trial < 300; ++trial) {
        Bytes p(1 + random() % 11);
        for (auto& b : p) b = static_cast<std::uint8_t>(random() % 3);
        EXPECT_EQ(cff::EncodeSmallest(p.data(), p.size()).size(), Shortest(p, 0))
            << ::testing::PrintToString(p);
    }
}

}  // namespace
