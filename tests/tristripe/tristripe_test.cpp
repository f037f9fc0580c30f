// The three RGB-stripe builds through their .rpi files: against the model on random
// frames, worked pixel examples, the copy build's row walk, and the table
// lifecycle (zero before RenderPluginGetInfo, unchanged output after a rebuild).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#if defined(__unix__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "differential.h"
#include "tristripe_model.h"

using namespace pellix;
using namespace pellix::test;
using model::StripeBuild;

namespace {

const char* buildFile(StripeBuild b) {
    switch (b) {
        case StripeBuild::Scanline: return "scanline/tristripe.rpi";
        case StripeBuild::Plain: return "plain/tristripe.rpi";
        default: return "copy/tristripe.rpi";
    }
}

const char* buildName(StripeBuild b) {
    switch (b) {
        case StripeBuild::Scanline: return "scanline";
        case StripeBuild::Plain: return "plain";
        default: return "copy";
    }
}

std::unique_ptr<PluginLib> loadBuild(StripeBuild b, bool fresh = false, bool describe = true) {
    std::string err;
    auto p = PluginLib::load(distPath(buildFile(b)), fresh, describe, &err);
    EXPECT_TRUE(p) << err;
    return p;
}

const StripeBuild kBuilds[] = {StripeBuild::Scanline, StripeBuild::Plain, StripeBuild::Copy};

// Runs one frame on the selected path into a canary-filled destination of dw x dh.
DestImage runFrame(const PluginLib& p, const SourceImage& src, uint32_t dw, uint32_t dh, bool misalign = false) {
    DestImage dst(dw, dh, 2 * dw, misalign);
    RenderPluginRequest r = makeRequest(src, dst);
    p.output(&r);
    EXPECT_EQ(r.outWidth, 2 * src.width);
    EXPECT_EQ(r.outHeight, 2 * src.height);
    return dst;
}

std::vector<uint8_t> bytesOf(const DestImage& d) { return {d.buf.data(), d.buf.data() + d.buf.size()}; }

class TriStripe : public ::testing::TestWithParam<StripeBuild> {};

INSTANTIATE_TEST_SUITE_P(Builds, TriStripe, ::testing::ValuesIn(kBuilds),
                         [](const ::testing::TestParamInfo<StripeBuild>& i) { return std::string(buildName(i.param)); });

TEST_P(TriStripe, MatchesModelOnRandomFramesOnBothPaths) {
    auto p = loadBuild(GetParam());
    ASSERT_TRUE(p);
    std::vector<DiffCase> cases = standardCases();
    // Around the rule-1/rule-2 split (w & ~3) and the eight-column vector steps (a last
    // step that ends at the row's end or one before it, tails of up to eleven columns),
    // and the widest accepted row, whose right border lies at index 2048.
    appendWidthCases(cases, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 23, 24,
                             25, 31, 32, 33, 35, 36, 40, 41, 47, 48, 49, 2043, 2044, 2045, 2046, 2047});
    runDifferential(*p, model::tristripeModel(GetParam()), cases);
}

// Every pixel value in every column position class, with neighbours of all kinds.
TEST_P(TriStripe, PathsAgreeWithModelOverEveryPixelValue) {
    auto p = loadBuild(GetParam());
    ASSERT_TRUE(p);
    DiffCase layout;  // both images misaligned and padded, the destination a column and row larger
    layout.srcPitchExtra = 2;
    layout.misalignSrc = true;
    layout.dstWidthExtra = 1;
    layout.dstHeightExtra = 1;
    layout.dstPitchExtra = 4;
    layout.misalignDst = true;
    runEveryPixelValue(*p, model::tristripeModel(GetParam()), layout);
}

// Worked examples: source pixels and the expected output rows, through the real
// plugin on both paths and through the model.
struct Example {
    const char* what;
    StripeBuild build;
    uint32_t w, h;
    std::vector<uint16_t> src;
    std::vector<std::vector<uint16_t>> rows;
};

std::vector<uint16_t> repeated(std::vector<uint16_t> pattern, size_t times) {
    std::vector<uint16_t> v;
    for (size_t i = 0; i < times; ++i) v.insert(v.end(), pattern.begin(), pattern.end());
    return v;
}

std::vector<Example> examples() {
    const std::vector<uint16_t> r0 = {0xCE99, 0x4A89, 0x4228, 0x18E3, 0xAD75, 0x4228};
    const std::vector<uint16_t> r2 = {0x4B09, 0x1923, 0xD6BA, 0x528A, 0x31A6, 0x10A2};
    const std::vector<uint16_t> white5 = {0xE73C, 0x5ACB, 0xF7DE, 0x5B0B, 0xF7DE,
                                          0x5B0B, 0xF7DE, 0x5B0B, 0xE73C, 0x5ACB};
    const std::vector<uint16_t> src3x2 = {0xFFFF, 0x0000, 0xCE79, 0x2204, 0xFFFF, 0x0000};
    const std::vector<uint16_t> black = repeated({0x18E3, 0x0861}, 7);
    using S = StripeBuild;
    return {
        // Column values, seen through the plain build.
        {"black pixel, borders both sides", S::Plain, 1, 1, {0x0000}, {{0x18E3, 0x0861}, {0x18E3, 0x0861}}},
        {"white pixel, borders both sides", S::Plain, 1, 1, {0xFFFF}, {{0xCE99, 0x4A89}, {0xCE99, 0x4A89}}},
        {"white pixels with one white neighbour", S::Plain, 2, 1, {0xFFFF, 0xFFFF},
         {{0xE73C, 0x5ACB, 0xE73C, 0x5ACB}, {0xE73C, 0x5ACB, 0xE73C, 0x5ACB}}},
        {"white pixel between white neighbours", S::Plain, 3, 1, {0xFFFF, 0xFFFF, 0xFFFF},
         {{0xE73C, 0x5ACB, 0xF7DE, 0x5B0B, 0xE73C, 0x5ACB}, {0xE73C, 0x5ACB, 0xF7DE, 0x5B0B, 0xE73C, 0x5ACB}}},
        // Six 0xCE79: columns 0..3 by rule 1, 4..5 by rule 2, which differ in the dim
        // pixel of column 4.
        {"row of six 0xCE79", S::Plain, 6, 1, std::vector<uint16_t>(6, 0xCE79),
         {{0xBE17, 0x4A69, 0xCE99, 0x528A, 0xCE99, 0x528A, 0xCE99, 0x528A, 0xCE99, 0x4A89, 0xBDF7, 0x4A49},
          {0xBE17, 0x4A69, 0xCE99, 0x528A, 0xCE99, 0x528A, 0xCE99, 0x528A, 0xCE99, 0x4A89, 0xBDF7, 0x4A49}}},

        {"scanline 1x1 black", S::Scanline, 1, 1, {0x0000}, {{0x18E3, 0x0861}, {0x18E3, 0x0861}}},
        {"scanline 1x2 white", S::Scanline, 1, 2, {0xFFFF, 0xFFFF},
         {{0xCE99, 0x4A89}, {0xCE99, 0x4A89}, {0xCE99, 0x4A89}, {0x4A89, 0x4A89}}},
        {"scanline 3x2", S::Scanline, 3, 2, src3x2, {r0, r0, r2, {0x1923, 0x1923, 0x528A, 0x528A, 0x10A2, 0x10A2}}},

        {"plain 1x1 white", S::Plain, 1, 1, {0xFFFF}, {{0xCE99, 0x4A89}, {0xCE99, 0x4A89}}},
        {"plain all black 7x3", S::Plain, 7, 3, std::vector<uint16_t>(21, 0), std::vector<std::vector<uint16_t>>(6, black)},
        {"plain white row of 5", S::Plain, 5, 1, std::vector<uint16_t>(5, 0xFFFF), {white5, white5}},
        {"plain 3x2", S::Plain, 3, 2, src3x2, {r0, r0, r2, r2}},
        {"plain odd height 3", S::Plain, 5, 3, repeated({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, 3),
         std::vector<std::vector<uint16_t>>(6, white5)},

        {"copy 3x2, row 1 never shown", S::Copy, 3, 2, src3x2, {r0, r0, r0, r0}},
        {"copy 3x2 with another row 1", S::Copy, 3, 2, {0xFFFF, 0x0000, 0xCE79, 0x1234, 0x0000, 0xFFFF},
         {r0, r0, r0, r0}},
        {"copy all black 7x3", S::Copy, 7, 3, std::vector<uint16_t>(21, 0), std::vector<std::vector<uint16_t>>(6, black)},
        {"copy white row of 5 at rows 0 and 2", S::Copy, 5, 4,
         repeated({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000}, 2),
         std::vector<std::vector<uint16_t>>(8, white5)},
    };
}

TEST(TriStripeExamples, WorkedExamplesOnBothPathsAndInTheModel) {
    std::unique_ptr<PluginLib> libs[3];
    for (StripeBuild b : kBuilds) {
        libs[static_cast<int>(b)] = loadBuild(b);
        ASSERT_TRUE(libs[static_cast<int>(b)]);
    }
    for (const Example& e : examples()) {
        SCOPED_TRACE(e.what);
        ASSERT_EQ(e.rows.size(), 2 * size_t{e.h});
        std::vector<uint16_t> block;
        for (const auto& row : e.rows) {
            ASSERT_EQ(row.size(), 2 * size_t{e.w});
            block.insert(block.end(), row.begin(), row.end());
        }
        const SourceImage src = makeSource(e.w, e.h, e.src);
        EXPECT_EQ(model::tristripe(src, e.build), block) << "model";
        for (bool plain : {false, true}) {
            ScopedPlainPath path(plain);
            // One spare column and row around the block: they must keep the canary.
            DestImage dst = runFrame(*libs[static_cast<int>(e.build)], src, 2 * e.w + 1, 2 * e.h + 1);
            EXPECT_TRUE(compareDest(dst, expectedDest(dst, block, e.w, e.h), plain ? "plain path" : "vector path"));
        }
    }
}

// Replacing each odd row by the row above must not change the copy build's output,
// and the plain build on that frame gives the same output.
TEST(TriStripeCopy, EqualsPlainBuildOnFrameWithOddRowsRepeated) {
    auto copy = loadBuild(StripeBuild::Copy);
    auto plainBuild = loadBuild(StripeBuild::Plain);
    ASSERT_TRUE(copy && plainBuild);
    Rng rng(0xC0B1E5);
    const uint32_t sizes[][2] = {{1, 1}, {3, 2}, {5, 3}, {16, 4}, {17, 5}, {40, 7}, {333, 8}, {2047, 3}};
    for (const auto& sz : sizes) {
        const uint32_t w = sz[0], h = sz[1];
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        SourceImage src(w, h, 2 * w, true);
        fillRandom(src, rng, w % 2 ? 0 : 3);
        SourceImage repeatedRows(w, h, 2 * w);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) repeatedRows.set(x, y, src.at(x, y & ~1u));
        for (bool plain : {false, true}) {
            ScopedPlainPath path(plain);
            const DestImage a = runFrame(*copy, src, 2 * w, 2 * h);
            const DestImage b = runFrame(*copy, repeatedRows, 2 * w, 2 * h);
            const DestImage c = runFrame(*plainBuild, repeatedRows, 2 * w, 2 * h);
            EXPECT_EQ(bytesOf(a), bytesOf(b)) << (plain ? "plain path" : "vector path");
            EXPECT_EQ(bytesOf(a), bytesOf(c)) << (plain ? "plain path" : "vector path");
        }
    }
}

// srcHeight 1..4 into a destination with three spare rows: the last group of an odd
// height stops at row 2H-1, and the spare rows keep the canary.
TEST(TriStripeCopy, ShortFramesFillExactlyTheOutputBlock) {
    auto copy = loadBuild(StripeBuild::Copy);
    ASSERT_TRUE(copy);
    Rng rng(0x5407);
    for (uint32_t h = 1; h <= 4; ++h) {
        for (uint32_t w : {1u, 5u, 19u}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
            SourceImage src(w, h, 2 * w);
            fillRandom(src, rng);
            const std::vector<uint16_t> block = model::tristripe(src, StripeBuild::Copy);
            for (uint32_t r = 0; r < 2 * h; ++r)  // rows 4m..4m+3 show source row 2m
                for (uint32_t x = 0; x < 2 * w; ++x) ASSERT_EQ(block[r * 2 * w + x], block[(r & ~3u) * 2 * w + x]);
            for (bool plain : {false, true}) {
                ScopedPlainPath path(plain);
                DestImage dst = runFrame(*copy, src, 2 * w, 2 * h + 3, true);
                EXPECT_TRUE(compareDest(dst, expectedDest(dst, block, w, h), plain ? "plain path" : "vector path"));
            }
        }
    }
}

#if defined(__unix__)
// Odd source rows lie on pages with no access: reading one would fault.
TEST(TriStripeCopy, NeverReadsOddSourceRows) {
    auto copy = loadBuild(StripeBuild::Copy);
    ASSERT_TRUE(copy);
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    ASSERT_GE(page, 2 * size_t{2047});
    Rng rng(0x0DD);
    for (uint32_t w : {3u, 16u, 35u, 2047u}) {
        for (uint32_t h : {2u, 5u}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
            SourceImage src(w, h, 2 * w);
            fillRandom(src, rng);
            void* mem = mmap(nullptr, page * h, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            ASSERT_NE(mem, MAP_FAILED);
            uint8_t* base = static_cast<uint8_t*>(mem);
            for (uint32_t y = 0; y < h; y += 2) std::memcpy(base + y * page, src.buf.data() + y * src.pitch, 2 * w);
            for (uint32_t y = 1; y < h; y += 2) ASSERT_EQ(mprotect(base + y * page, page, PROT_NONE), 0);
            const std::vector<uint16_t> block = model::tristripe(src, StripeBuild::Copy);
            for (bool plain : {false, true}) {
                ScopedPlainPath path(plain);
                DestImage dst(2 * w, 2 * h, 4 * w);
                RenderPluginRequest r = makeRequest(src, dst);
                r.src = base;
                r.srcPitch = static_cast<uint32_t>(page);
                copy->output(&r);
                EXPECT_TRUE(compareDest(dst, expectedDest(dst, block, w, h), plain ? "plain path" : "vector path"));
            }
            munmap(mem, page * h);
        }
    }
}
#endif

// A fresh copy whose RenderPluginGetInfo was never called has all-zero tables: every
// pixel of the block is written as 0, on either path. After the call, the real output.
TEST_P(TriStripe, WritesZeroPixelsBeforeFirstGetInfo) {
    auto p = loadBuild(GetParam(), true, false);
    ASSERT_TRUE(p);
    Rng rng(0x2E80);
    const uint32_t w = 37, h = 5;
    SourceImage src(w, h, 2 * w + 4, true);
    fillRandom(src, rng);
    const std::vector<uint16_t> zeros(4 * size_t{w} * h, 0);
    for (bool plain : {false, true}) {
        ScopedPlainPath path(plain);
        DestImage dst = runFrame(*p, src, 2 * w + 2, 2 * h + 1, true);
        EXPECT_TRUE(compareDest(dst, expectedDest(dst, zeros, w, h), plain ? "plain path" : "vector path"));
    }
    p->getInfo();
    for (bool plain : {false, true}) {
        ScopedPlainPath path(plain);
        DestImage dst = runFrame(*p, src, 2 * w + 2, 2 * h + 1, true);
        EXPECT_TRUE(compareDest(dst, expectedDest(dst, model::tristripe(src, GetParam()), w, h),
                                plain ? "plain path after GetInfo" : "vector path after GetInfo"));
    }
}

// Rebuilding the tables and clearing the row arrays between frames changes nothing,
// nor does a wide row left in the arrays before a narrow frame.
TEST_P(TriStripe, GetInfoBetweenFramesChangesNothing) {
    auto p = loadBuild(GetParam(), true);
    ASSERT_TRUE(p);
    Rng rng(0x6E7);
    SourceImage wide(2047, 3, 2 * 2047);
    SourceImage narrow(9, 4, 2 * 9);
    fillRandom(wide, rng);
    fillRandom(narrow, rng);
    for (bool plain : {false, true}) {
        ScopedPlainPath path(plain);
        const DestImage first = runFrame(*p, wide, 2 * 2047, 6);
        RenderPluginInfo* info = p->getInfo();
        EXPECT_EQ(info, p->info());
        const DestImage second = runFrame(*p, wide, 2 * 2047, 6);
        EXPECT_EQ(bytesOf(first), bytesOf(second));
        EXPECT_TRUE(compareDest(second, expectedDest(second, model::tristripe(wide, GetParam()), 2047, 3), "wide"));
        const DestImage afterWide = runFrame(*p, narrow, 18, 8);
        p->getInfo();
        const DestImage afterRebuild = runFrame(*p, narrow, 18, 8);
        EXPECT_EQ(bytesOf(afterWide), bytesOf(afterRebuild));
        EXPECT_TRUE(compareDest(afterWide, expectedDest(afterWide, model::tristripe(narrow, GetParam()), 9, 4), "narrow"));
    }
}

}  // namespace
