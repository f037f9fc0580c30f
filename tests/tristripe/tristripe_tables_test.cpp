// The RGB-stripe lookup tables, the row decomposition and the SSE2 arithmetic that
// stands in for the tables, checked entry by entry on the plugin's core compiled into
// this test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tristripe_core.h"
#include "tristripe_model.h"
#if defined(PELLIX_HAVE_SSE2)
#include "tristripe_sse2_math.h"
#endif

using namespace pellix;
using namespace pellix::tristripe;

namespace {

struct Telling {
    const char* table;
    const void* data;
    bool wide;  // 16-bit entries
    uint32_t index;
    uint32_t value;
};

uint32_t entry(const Telling& t) {
    return t.wide ? static_cast<const uint16_t*>(t.data)[t.index] : static_cast<const uint8_t*>(t.data)[t.index];
}

TEST(TriStripeTables, TellingValues) {
    buildStripeTables();
    const Telling cases[] = {
        {"level5to8", level5to8, false, 1, 8},       {"level5to8", level5to8, false, 4, 32},
        {"level5to8", level5to8, false, 5, 41},      {"level5to8", level5to8, false, 16, 131},
        {"level5to8", level5to8, false, 30, 246},    {"level5to8", level5to8, false, 31, 255},
        {"level6to8", level6to8, false, 1, 4},       {"level6to8", level6to8, false, 16, 64},
        {"level6to8", level6to8, false, 21, 85},     {"level6to8", level6to8, false, 42, 170},
        {"level6to8", level6to8, false, 62, 250},    {"level6to8", level6to8, false, 63, 255},
        {"brightIntensity", brightIntensity, false, 1, 0},   {"brightIntensity", brightIntensity, false, 2, 1},
        {"brightIntensity", brightIntensity, false, 3, 2},   {"brightIntensity", brightIntensity, false, 255, 179},
        {"brightIntensity", brightIntensity, false, 256, 180}, {"brightIntensity", brightIntensity, false, 317, 222},
        {"brightIntensity", brightIntensity, false, 319, 224},
        {"dimIntensity", dimIntensity, false, 5, 0},     {"dimIntensity", dimIntensity, false, 6, 1},
        {"dimIntensity", dimIntensity, false, 8, 2},     {"dimIntensity", dimIntensity, false, 14, 3},
        {"dimIntensity", dimIntensity, false, 255, 66},  {"dimIntensity", dimIntensity, false, 317, 82},
        {"dimIntensity", dimIntensity, false, 319, 83},
        {"redBrightField", redBrightField, true, 0, 0x1800},   {"redBrightField", redBrightField, true, 222, 0xF000},
        {"redBrightField", redBrightField, true, 224, 0xF800}, {"redBrightField", redBrightField, true, 255, 0x1000},
        {"greenBrightField", greenBrightField, true, 0, 0x00E0}, {"greenBrightField", greenBrightField, true, 222, 0x07C0},
        {"greenBrightField", greenBrightField, true, 224, 0x07E0}, {"greenBrightField", greenBrightField, true, 228, 64 << 5},
        {"blueBrightField", blueBrightField, true, 0, 3},     {"blueBrightField", blueBrightField, true, 1, 4},
        {"blueBrightField", blueBrightField, true, 222, 30},  {"blueBrightField", blueBrightField, true, 224, 31},
        {"blueBrightField", blueBrightField, true, 232, 32},  {"blueBrightField", blueBrightField, true, 255, 34},
        {"redDimField", redDimField, true, 0, 0x0800},   {"redDimField", redDimField, true, 82, 0x5800},
        {"redDimField", redDimField, true, 83, 0x6000},
        {"greenDimField", greenDimField, true, 0, 0x0060}, {"greenDimField", greenDimField, true, 82, 0x0300},
        {"greenDimField", greenDimField, true, 83, 0x0300},
        {"blueDimField", blueDimField, true, 0, 1},   {"blueDimField", blueDimField, true, 82, 11},
        {"blueDimField", blueDimField, true, 83, 12},
    };
    for (const Telling& t : cases) EXPECT_EQ(entry(t), t.value) << t.table << "[" << t.index << "]";
}

// Every entry against the model's formulas (written independently of the plugin).
TEST(TriStripeTables, EveryEntryFollowsItsFormula) {
    buildStripeTables();
    for (uint32_t c = 0; c < 32; ++c) EXPECT_EQ(level5to8[c], model::stripeLevels(static_cast<uint16_t>(c), false).blue);
    for (uint32_t g = 0; g < 64; ++g)
        EXPECT_EQ(level6to8[g], model::stripeLevels(static_cast<uint16_t>(g << 5), false).green);
    for (uint32_t s = 0; s < 320; ++s) {
        EXPECT_EQ(brightIntensity[s], model::stripeBrightIntensity(s)) << s;
        EXPECT_EQ(dimIntensity[s], model::stripeDimIntensity(s)) << s;
    }
    for (uint32_t j = 0; j < 256; ++j) {
        EXPECT_EQ(redBrightField[j], model::stripeRedField(j, 32)) << j;
        EXPECT_EQ(greenBrightField[j], model::stripeGreenField(j, 32)) << j;
        EXPECT_EQ(blueBrightField[j], model::stripeBlueField(j, 32)) << j;
        EXPECT_EQ(redDimField[j], model::stripeRedField(j, 16)) << j;
        EXPECT_EQ(greenDimField[j], model::stripeGreenField(j, 16)) << j;
        EXPECT_EQ(blueDimField[j], model::stripeBlueField(j, 16)) << j;
    }
    // Reachable part: sums <= 317 give intensities <= 222 (bright) and <= 82 (dim),
    // and there every field value stays inside its bits.
    EXPECT_EQ(brightIntensity[317], 222);
    EXPECT_EQ(dimIntensity[317], 82);
    uint32_t maxBright[3] = {}, maxDim[3] = {};
    for (uint32_t j = 0; j <= 222; ++j) {
        maxBright[0] = std::max<uint32_t>(maxBright[0], redBrightField[j] >> 11);
        maxBright[1] = std::max<uint32_t>(maxBright[1], greenBrightField[j] >> 5);
        maxBright[2] = std::max<uint32_t>(maxBright[2], blueBrightField[j]);
    }
    for (uint32_t j = 0; j <= 82; ++j) {
        maxDim[0] = std::max<uint32_t>(maxDim[0], redDimField[j] >> 11);
        maxDim[1] = std::max<uint32_t>(maxDim[1], greenDimField[j] >> 5);
        maxDim[2] = std::max<uint32_t>(maxDim[2], blueDimField[j]);
    }
    EXPECT_EQ(maxBright[0], 30u);
    EXPECT_EQ(maxBright[1], 62u);
    EXPECT_EQ(maxBright[2], 30u);
    EXPECT_EQ(maxDim[0], 11u);
    EXPECT_EQ(maxDim[1], 24u);
    EXPECT_EQ(maxDim[2], 11u);
}

TEST(TriStripeTables, RebuildGivesTheSameTablesAndClearsTheRowArrays) {
    // As loaded: all zero, and the vector path must not be taken.
    std::memset(dimIntensity, 0, sizeof dimIntensity);
    EXPECT_FALSE(stripeTablesBuilt());
    buildStripeTables();
    EXPECT_TRUE(stripeTablesBuilt());
    std::vector<uint8_t> before;
    auto snapshot = [](std::vector<uint8_t>& v) {
        v.clear();
        for (const auto& t : {std::make_pair((const void*)level5to8, sizeof level5to8),
                              std::make_pair((const void*)level6to8, sizeof level6to8),
                              std::make_pair((const void*)brightIntensity, sizeof brightIntensity),
                              std::make_pair((const void*)dimIntensity, sizeof dimIntensity),
                              std::make_pair((const void*)redBrightField, sizeof redBrightField),
                              std::make_pair((const void*)greenBrightField, sizeof greenBrightField),
                              std::make_pair((const void*)blueBrightField, sizeof blueBrightField),
                              std::make_pair((const void*)redDimField, sizeof redDimField),
                              std::make_pair((const void*)greenDimField, sizeof greenDimField),
                              std::make_pair((const void*)blueDimField, sizeof blueDimField)}) {
            const uint8_t* p = static_cast<const uint8_t*>(t.first);
            v.insert(v.end(), p, p + t.second);
        }
    };
    snapshot(before);
    uint8_t* rows[] = {rowRed, rowGreen, rowBlue, rowRedBleed, rowGreenBleed, rowBlueBleed};
    for (uint8_t* r : rows) std::memset(r, 0xA5, kRowArraySize);
    buildStripeTables();
    std::vector<uint8_t> after;
    snapshot(after);
    EXPECT_EQ(before, after);
    for (uint8_t* r : rows)
        for (uint32_t i = 0; i < kRowArraySize; ++i) ASSERT_EQ(r[i], 0) << i;
}

using Decompose = void (*)(const uint8_t*, uint32_t);

std::vector<std::pair<const char*, Decompose>> decomposers() {
    return {{"plain", decomposeRow_c}};
}

// 0x2204 is r = 4, g = 16, b = 4: rule 1 gives 33, 65, 33 and rule 2 32, 64, 32; the
// bleed is 4, 8, 4 under both. Width 22 has a sixteen-column vector step, four rule-1
// columns after it and two rule-2 columns.
TEST(TriStripeDecompose, RuleOneBeforeW4AndRuleTwoAfter) {
    buildStripeTables();
    for (uint32_t w : {6u, 22u}) {
        const std::vector<uint16_t> row(w, 0x2204);
        for (const auto& d : decomposers()) {
            SCOPED_TRACE(std::string(d.first) + " w=" + std::to_string(w));
            std::memset(rowRedBleed, 0x77, kRowArraySize);  // stale right border
            d.second(reinterpret_cast<const uint8_t*>(row.data()), w);
            const uint32_t w4 = w & ~3u;
            for (uint32_t i = 1; i <= w; ++i) {
                const bool rule1 = i <= w4;
                EXPECT_EQ(rowRed[i], rule1 ? 33 : 32) << i;
                EXPECT_EQ(rowGreen[i], rule1 ? 65 : 64) << i;
                EXPECT_EQ(rowBlue[i], rule1 ? 33 : 32) << i;
                EXPECT_EQ(rowRedBleed[i], 4) << i;
                EXPECT_EQ(rowGreenBleed[i], 8) << i;
                EXPECT_EQ(rowBlueBleed[i], 4) << i;
            }
            EXPECT_EQ(rowRedBleed[w + 1], 0) << "right border";
        }
    }
}

// The widest row's right border is index 2048, which must read 0 for column 2046.
TEST(TriStripeDecompose, WidestRowHasZeroRightBorder) {
    buildStripeTables();
    const std::vector<uint16_t> row(2047, 0xFFFF);
    for (const auto& d : decomposers()) {
        SCOPED_TRACE(d.first);
        for (uint8_t* b : {rowRedBleed, rowGreenBleed, rowBlueBleed}) b[2048] = 0x1F;
        d.second(reinterpret_cast<const uint8_t*>(row.data()), 2047);
        EXPECT_EQ(rowRedBleed[2048] | rowGreenBleed[2048] | rowBlueBleed[2048], 0);
        const StripePair last = stripePixels(2046), middle = stripePixels(1000);
        EXPECT_EQ(last.bright, 0xE73C);
        EXPECT_EQ(last.dim, 0x5ACB);
        EXPECT_EQ(middle.bright, 0xF7DE);
        EXPECT_EQ(middle.dim, 0x5B0B);
    }
}

// The two level rules differ (rule 1 one higher) exactly for these channel values.
TEST(TriStripeDecompose, LevelRulesDifferOnlyWhereExpected) {
    buildStripeTables();
    const std::vector<uint32_t> redBlue = {4, 8, 12, 13, 16, 17, 20, 21, 22, 24, 25, 26, 28, 29, 30};
    std::vector<uint32_t> green;
    for (uint32_t g = 16; g <= 20; ++g) green.push_back(g);
    for (uint32_t g = 32; g <= 41; ++g) green.push_back(g);
    for (uint32_t g = 48; g <= 62; ++g) green.push_back(g);
    std::vector<uint32_t> diffRB, diffG;
    for (uint32_t c = 0; c < 32; ++c) {
        const uint32_t rule1 = 33 * c / 4;
        EXPECT_TRUE(rule1 == level5to8[c] || rule1 == level5to8[c] + 1u) << c;
        EXPECT_EQ(rule1 >> 3, level5to8[c] >> 3u) << c;
        if (rule1 != level5to8[c]) diffRB.push_back(c);
    }
    for (uint32_t g = 0; g < 64; ++g) {
        const uint32_t rule1 = 65 * g / 16;
        EXPECT_TRUE(rule1 == level6to8[g] || rule1 == level6to8[g] + 1u) << g;
        EXPECT_EQ(rule1 >> 3, level6to8[g] >> 3u) << g;
        if (rule1 != level6to8[g]) diffG.push_back(g);
    }
    EXPECT_EQ(diffRB, redBlue);
    EXPECT_EQ(diffG, green);
}

#if defined(PELLIX_HAVE_SSE2)

// Lanes 0..7 of a vector as integers.
std::vector<uint32_t> lanes(__m128i v) {
    uint16_t a[8];
    std::memcpy(a, &v, sizeof a);
    return std::vector<uint32_t>(a, a + 8);
}

__m128i indexVector(uint32_t first) {
    return _mm_setr_epi16(static_cast<short>(first), static_cast<short>(first + 1), static_cast<short>(first + 2),
                          static_cast<short>(first + 3), static_cast<short>(first + 4), static_cast<short>(first + 5),
                          static_cast<short>(first + 6), static_cast<short>(first + 7));
}

// Every table the vector path replaces, at every index the table has (which includes
// every index a pass can reach), against the vector formula that replaces it.
TEST(TriStripeVectorFormulas, EqualTheTablesAtEveryIndex) {
    buildStripeTables();
    for (uint32_t s = 0; s < 320; s += 8) {
        const std::vector<uint32_t> b = lanes(brightIntensity_v(indexVector(s)));
        const std::vector<uint32_t> d = lanes(dimIntensity_v(indexVector(s)));
        for (uint32_t l = 0; l < 8; ++l) {
            EXPECT_EQ(b[l], brightIntensity[s + l]) << "brightIntensity[" << s + l << "]";
            EXPECT_EQ(d[l], dimIntensity[s + l]) << "dimIntensity[" << s + l << "]";
        }
    }
    struct Field {
        const char* name;
        const uint16_t* table;
        __m128i (*formula)(__m128i, int);
        int lift;
    };
    const Field fields[] = {
        {"redBrightField", redBrightField, redField_v, 32},     {"greenBrightField", greenBrightField, greenField_v, 32},
        {"blueBrightField", blueBrightField, blueField_v, 32},  {"redDimField", redDimField, redField_v, 16},
        {"greenDimField", greenDimField, greenField_v, 16},     {"blueDimField", blueDimField, blueField_v, 16},
    };
    for (const Field& f : fields)
        for (uint32_t j = 0; j < 256; j += 8) {
            const std::vector<uint32_t> v = lanes(f.formula(indexVector(j), f.lift));
            for (uint32_t l = 0; l < 8; ++l) EXPECT_EQ(v[l], f.table[j + l]) << f.name << "[" << j + l << "]";
        }
}

// The composed pixels for every triple of reachable channel sums would be 317^3; the
// fields are independent per channel, so each channel is swept over all sums with the
// other two fixed at a few values, against the table lookups of the plain path.
TEST(TriStripeVectorFormulas, BrightAndDimPixelsEqualTableLookups) {
    buildStripeTables();
    for (uint32_t other : {0u, 1u, 158u, 317u}) {
        for (uint32_t s = 0; s < 320; s += 8) {
            const __m128i v = indexVector(s), o = _mm_set1_epi16(static_cast<short>(other));
            const __m128i in[3][3] = {{v, o, o}, {o, v, o}, {o, o, v}};
            for (int c = 0; c < 3; ++c) {
                const std::vector<uint32_t> b = lanes(brightPixel_v(in[c][0], in[c][1], in[c][2]));
                const std::vector<uint32_t> d = lanes(dimPixel_v(in[c][0], in[c][1], in[c][2]));
                for (uint32_t l = 0; l < 8 && s + l <= 317; ++l) {
                    const uint32_t sum[3] = {c == 0 ? s + l : other, c == 1 ? s + l : other, c == 2 ? s + l : other};
                    const uint32_t bright = redBrightField[brightIntensity[sum[0]]] |
                                            greenBrightField[brightIntensity[sum[1]]] |
                                            blueBrightField[brightIntensity[sum[2]]];
                    const uint32_t dim = redDimField[dimIntensity[sum[0]]] | greenDimField[dimIntensity[sum[1]]] |
                                         blueDimField[dimIntensity[sum[2]]];
                    EXPECT_EQ(b[l], bright) << sum[0] << "," << sum[1] << "," << sum[2];
                    EXPECT_EQ(d[l], dim) << sum[0] << "," << sum[1] << "," << sum[2];
                }
            }
        }
    }
}

// Rule 1 on the vector unit, for all 65536 pixel values.
TEST(TriStripeVectorFormulas, RuleOneLevelsForEveryPixel) {
    for (uint32_t p = 0; p < 65536; p += 8) {
        __m128i r, g, b;
        levelsRule1_v(indexVector(p), r, g, b);
        const std::vector<uint32_t> lr = lanes(r), lg = lanes(g), lb = lanes(b);
        for (uint32_t l = 0; l < 8; ++l) {
            const model::StripeLevels m = model::stripeLevels(static_cast<uint16_t>(p + l), true);
            ASSERT_EQ(lr[l], m.red) << std::hex << p + l;
            ASSERT_EQ(lg[l], m.green) << std::hex << p + l;
            ASSERT_EQ(lb[l], m.blue) << std::hex << p + l;
        }
    }
}

// The SSE2 path takes a neighbour's bleed from its pixel, not from its level: for every
// pixel value, under both level rules, and for the sum of two neighbours.
TEST(TriStripeVectorFormulas, NeighbourBleedsForEveryPixel) {
    for (uint32_t other : {0x0000u, 0xFFFFu, 0x2204u, 0x7BEFu, 0x8410u}) {
        const model::StripeLevels o = model::stripeLevels(static_cast<uint16_t>(other), true);
        for (uint32_t p = 0; p < 65536; p += 8) {
            __m128i r, g, b;
            neighbourBleeds_v(indexVector(p), _mm_set1_epi16(static_cast<short>(other)), r, g, b);
            const std::vector<uint32_t> lr = lanes(r), lg = lanes(g), lb = lanes(b);
            for (uint32_t l = 0; l < 8; ++l) {
                for (bool rule1 : {true, false}) {
                    const model::StripeLevels m = model::stripeLevels(static_cast<uint16_t>(p + l), rule1);
                    ASSERT_EQ(lr[l], m.red / 8 + o.red / 8) << std::hex << p + l << " " << other;
                    ASSERT_EQ(lg[l], m.green / 8 + o.green / 8) << std::hex << p + l << " " << other;
                    ASSERT_EQ(lb[l], m.blue / 8 + o.blue / 8) << std::hex << p + l << " " << other;
                }
            }
        }
    }
}

#endif

}  // namespace
