#include <gtest/gtest.h>

#include "differential.h"
#include "duplix_model.h"

using namespace pellix;
using namespace pellix::test;

namespace {

std::unique_ptr<PluginLib> loadDuplix() { return loadDistPlugin("duplix.rpi"); }

TEST(Duplix, MatchesModelOnRandomFramesOnBothPaths) {
    auto p = loadDuplix();
    ASSERT_TRUE(p);
    std::vector<DiffCase> cases = standardCases();
    // Around the 8-column split of the vector body: all tail, no tail, one and seven.
    appendWidthCases(cases, {1, 7, 8, 9, 15, 16, 17, 23, 2039, 2047});
    runDifferential(*p, model::duplix, cases);
}

TEST(Duplix, SinglePixelFillsItsBlock) {
    auto p = loadDuplix();
    ASSERT_TRUE(p);
    SourceImage src = makeSource(1, 1, {0x1234});
    DestImage dst(3, 3, 8);
    RenderPluginRequest r = makeRequest(src, dst);
    p->output(&r);
    EXPECT_EQ(r.outWidth, 2u);
    EXPECT_EQ(r.outHeight, 2u);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 2; ++x) EXPECT_EQ(dst.at(x, y), 0x1234) << x << "," << y;
    EXPECT_NE(dst.at(2, 0), 0x1234);
    EXPECT_NE(dst.at(0, 2), 0x1234);
}

TEST(Duplix, PathsGiveIdenticalBytesForEveryPixelValue) {
    auto p = loadDuplix();
    ASSERT_TRUE(p);
    DiffCase layout;  // misaligned, padded source; destination of the exact block size
    layout.srcPitchExtra = 6;
    layout.misalignSrc = true;
    layout.dstPitchExtra = 2;
    runEveryPixelValue(*p, model::duplix, layout);
}

}  // namespace
