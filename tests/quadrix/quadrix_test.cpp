#include <gtest/gtest.h>

#include "differential.h"
#include "quadrix_model.h"

using namespace pellix;
using namespace pellix::test;

namespace {

std::unique_ptr<PluginLib> loadQuadrix() { return loadDistPlugin("quadrix.rpi"); }

TEST(Quadrix, MatchesModelOnRandomFramesOnBothPaths) {
    auto p = loadQuadrix();
    ASSERT_TRUE(p);
    std::vector<DiffCase> cases = standardCases();
    // Around the 8-column split of the vector body: all tail, no tail, body plus tail.
    appendWidthCases(cases, {1, 7, 8, 9, 13, 15, 16, 17, 2047});
    runDifferential(*p, model::quadrix, cases);
}

// One-colour frames of the worked values: every cell must be the literal cell below,
// with nothing written outside the block. 13 columns: 8 through the vector body and 5
// through the tail; the destination is wider and taller than the block.
TEST(Quadrix, OneColourFramesGiveTheWorkedCells) {
    struct Row {
        uint16_t p;
        uint16_t upperLeft, upperRight, lowerLeft, lowerRight;
    };
    const Row table[] = {
        {0xFFFF, 0xF800, 0x07E0, 0x001F, 0xFFFF},
        {0x8410, 0x8000, 0x0400, 0x0010, 0x8410},
        {0x0000, 0x0000, 0x0000, 0x0000, 0x0000},
        {0x5AB3, 0x5800, 0x02A0, 0x0013, 0x5AB3},
    };
    auto p = loadQuadrix();
    ASSERT_TRUE(p);
    const uint32_t w = 13, h = 3;
    for (const Row& row : table) {
        SourceImage src(w, h, 2 * w + 4, true);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) src.set(x, y, row.p);
        std::vector<uint16_t> block(4 * size_t{w} * h);
        for (uint32_t y = 0; y < 2 * h; ++y)
            for (uint32_t x = 0; x < 2 * w; ++x) {
                const bool right = x % 2, lower = y % 2;
                block[y * 2 * w + x] = lower ? (right ? row.lowerRight : row.lowerLeft)
                                             : (right ? row.upperRight : row.upperLeft);
            }
        for (bool plain : {false, true}) {
            ScopedPlainPath path(plain);
            DestImage dst(2 * w + 3, 2 * h + 2, 2 * (2 * w + 3) + 6, true);
            RenderPluginRequest r = makeRequest(src, dst);
            p->output(&r);
            EXPECT_EQ(r.outWidth, 2 * w);
            EXPECT_EQ(r.outHeight, 2 * h);
            char what[64];
            std::snprintf(what, sizeof what, "colour 0x%04X, %s path", row.p, plain ? "plain" : "vector");
            EXPECT_TRUE(compareDest(dst, expectedDest(dst, block, w, h), what));
        }
    }
}

TEST(Quadrix, PathsGiveIdenticalBytesForEveryPixelValue) {
    auto p = loadQuadrix();
    ASSERT_TRUE(p);
    DiffCase layout;  // misaligned, padded source; destination of the exact block size
    layout.srcPitchExtra = 6;
    layout.misalignSrc = true;
    layout.dstPitchExtra = 2;
    runEveryPixelValue(*p, model::quadrix, layout);
}

}  // namespace
