#include <gtest/gtest.h>

#include "differential.h"
#include "duplix_model.h"

using namespace pellix;
using namespace pellix::test;

namespace {

std::unique_ptr<PluginLib> loadDuplix() {
    std::string err;
    auto p = PluginLib::load(distPath("duplix.rpi"), false, true, &err);
    EXPECT_TRUE(p) << err;
    return p;
}

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
    // i * 40503 (odd) runs through all 65536 values; 2047 columns leave a 7-column tail.
    const uint32_t w = 2047, h = 33;
    SourceImage src(w, h, 2 * w + 6, true);
    for (uint32_t i = 0; i < w * h; ++i) src.set(i % w, i / w, static_cast<uint16_t>(i * 40503u));
    std::vector<uint8_t> results[2];
    for (bool plain : {false, true}) {
        ScopedPlainPath path(plain);
        DestImage dst(2 * w, 2 * h, 4 * w + 2);
        RenderPluginRequest r = makeRequest(src, dst);
        p->output(&r);
        ASSERT_TRUE(compareDest(dst, expectedDest(dst, model::duplix(src), w, h), plain ? "plain" : "vector"));
        results[plain].assign(dst.buf.data(), dst.buf.data() + dst.buf.size());
    }
    EXPECT_EQ(results[0], results[1]);
}

}  // namespace
