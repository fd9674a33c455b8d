// The fade arithmetic on its own: the remainder scheme over 256 steps and the 32 values a fade
// shows, for the documented components and for every amount 0..255 in both directions.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/gfx.h"

namespace {

using Publications = std::vector<std::vector<PALETTEENTRY>>;

void Collect(const PALETTEENTRY* entries, void* context) {
    static_cast<Publications*>(context)->emplace_back(entries, entries + 256);
}

// Runs a fade where entry i's red amount is amounts[i] and returns the red values shown.
std::vector<std::vector<int>> ShownReds(const std::vector<int>& redAmounts, bool fadeIn) {
    PALETTEENTRY amounts[256] = {};
    PALETTEENTRY current[256] = {};
    for (std::size_t i = 0; i < redAmounts.size(); ++i) {
        amounts[i].peRed = static_cast<BYTE>(redAmounts[i]);
        if (!fadeIn) current[i].peRed = static_cast<BYTE>(redAmounts[i]);
    }
    Publications shown;
    RunPaletteFade(amounts, current, fadeIn, Collect, &shown);
    std::vector<std::vector<int>> reds(redAmounts.size());
    for (const auto& publication : shown)
        for (std::size_t i = 0; i < redAmounts.size(); ++i) reds[i].push_back(publication[i].peRed);
    return reds;
}

TEST(PaletteFade, DocumentedFadeInSequences) {
    std::vector<int> fourK, one(32), zero(32, 0);
    for (int k = 1; k <= 32; ++k) {
        fourK.push_back(4 * k);
        one[k - 1] = k / 8;
    }
    struct Case {
        int component6;
        std::vector<int> shown;
    } cases[] = {
        {63, {7,   15,  23,  31,  39,  47,  55,  63,  71,  79,  86,  94,  102, 110, 118, 126,
              134, 142, 150, 158, 166, 173, 181, 189, 197, 205, 213, 221, 229, 237, 245, 252}},
        {32, fourK},
        {1, one},
        {0, zero},
    };
    std::vector<int> amounts;
    for (const Case& c : cases) amounts.push_back(4 * c.component6);
    std::vector<std::vector<int>> shown = ShownReds(amounts, true);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(shown[i], cases[i].shown) << "component " << cases[i].component6;
    }
}

TEST(PaletteFade, FadeOutOf255ShowsEighthsDownToBlack) {
    std::vector<int> expected;
    for (int k = 1; k <= 32; ++k) expected.push_back(256 - 8 * k);
    EXPECT_EQ(ShownReds({255}, false)[0], expected);
}

// After step n a fade-in shows floor((n·a − 1) / 255) (0 for a = 0), a fade-out a minus that;
// so every fade ends exactly on its target.
TEST(PaletteFade, EveryAmountFollowsTheRemainderFormulaBothWays) {
    std::vector<int> amounts(256);
    for (int a = 0; a < 256; ++a) amounts[a] = a;
    for (bool fadeIn : {true, false}) {
        std::vector<std::vector<int>> shown = ShownReds(amounts, fadeIn);
        for (int a = 0; a < 256; ++a) {
            ASSERT_EQ(shown[a].size(), 32u);
            for (int k = 1; k <= 32; ++k) {
                int moved = a == 0 ? 0 : (8 * k * a - 1) / 255;
                ASSERT_EQ(shown[a][k - 1], fadeIn ? moved : a - moved)
                    << "amount " << a << " publication " << k;
            }
        }
    }
}

TEST(PaletteFade, ComponentsAreIndependentAndFlagsUntouched) {
    PALETTEENTRY amounts[256] = {};
    PALETTEENTRY accumulators[256] = {};
    PALETTEENTRY current[256] = {};
    amounts[7] = {255, 128, 1, 0};
    current[7].peFlags = PC_RESERVED;
    accumulators[7] = {0, 200, 254, 0};
    FadePaletteStep(amounts, accumulators, current, true);
    EXPECT_EQ(current[7].peRed, 0);  // 0 + 255 is not above 255
    EXPECT_EQ(accumulators[7].peRed, 255);
    EXPECT_EQ(current[7].peGreen, 1);  // 200 + 128 - 255
    EXPECT_EQ(accumulators[7].peGreen, 73);
    EXPECT_EQ(current[7].peBlue, 0);  // 254 + 1 = 255, still not above
    EXPECT_EQ(accumulators[7].peBlue, 255);
    EXPECT_EQ(current[7].peFlags, PC_RESERVED);
    FadePaletteStep(amounts, accumulators, current, true);
    EXPECT_EQ(current[7].peRed, 1);
    EXPECT_EQ(accumulators[7].peRed, 255);
    EXPECT_EQ(current[7].peBlue, 1);
    EXPECT_EQ(accumulators[7].peBlue, 1);
}

}  // namespace
