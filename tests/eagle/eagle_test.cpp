#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "differential.h"
#include "eagle_model.h"

using namespace pellix;
using namespace pellix::test;

namespace {

std::unique_ptr<PluginLib> loadEagle() { return loadDistPlugin("Eagle.rpi"); }

// The output block after one call, 2W x 2H row-major, from an exact-size destination.
std::vector<uint16_t> render(const PluginLib& p, const SourceImage& src) {
    DestImage dst(2 * src.width, 2 * src.height, 4 * src.width + 2, true);
    RenderPluginRequest r = makeRequest(src, dst);
    p.output(&r);
    std::vector<uint16_t> block(size_t{4} * src.width * src.height);
    for (uint32_t y = 0; y < 2 * src.height; ++y)
        for (uint32_t x = 0; x < 2 * src.width; ++x) block[size_t{y} * 2 * src.width + x] = dst.at(x, y);
    return block;
}

void forBothPaths(const std::function<void(const char*)>& body) {
    for (bool plain : {false, true}) {
        ScopedPlainPath path(plain);
        body(plain ? "plain path" : "vector path");
    }
}

SourceImage randomSource(uint32_t w, uint32_t h, Rng& rng, unsigned palette, bool misalign = false) {
    SourceImage s(w, h, 2 * w + 2 * static_cast<uint32_t>(rng() % 3), misalign);
    fillRandom(s, rng, palette);
    return s;
}

TEST(Eagle, MatchesModelOnRandomFramesOnBothPaths) {
    auto p = loadEagle();
    ASSERT_TRUE(p);
    std::vector<DiffCase> cases = standardCases();
    // Around the 4- and 8-pixel steps, the single-piece capacity (1023) and the
    // 1016-pixel pieces of wider rows; no width limit applies.
    appendWidthCases(cases, {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 1016, 1017, 1022, 1023, 1024, 1025, 2039, 2040,
                             2048, 3072, 5000});
    runDifferential(*p, model::eagle, cases);
}

TEST(Eagle, ModelAgreesWithTheWindowPassesWhereTheyFixTheOutput) {
    Rng rng(0xEA61E);
    for (int i = 0; i < 400; ++i) {
        const uint32_t w = 1 + static_cast<uint32_t>(rng() % 40), h = 1 + static_cast<uint32_t>(rng() % 6);
        const SourceImage s = randomSource(w, h, rng, static_cast<unsigned>(rng() % 4));
        const std::vector<uint16_t> rule = model::eagle(s);
        const model::WindowForm wf = model::eagleWindowForm(s);
        size_t fixedCount = 0;
        for (size_t k = 0; k < rule.size(); ++k) {
            if (!wf.fixed[k]) continue;
            ++fixedCount;
            ASSERT_EQ(rule[k], wf.block[k]) << "frame " << i << " (" << w << "x" << h << ") pixel (" << k % (2 * w)
                                            << ", " << k / (2 * w) << ")";
        }
        // Rows 0 .. 2H-2, columns 0 .. 2*W4-2.
        const size_t w4 = w / 4 * 4;
        EXPECT_EQ(fixedCount, w4 ? (2 * w4 - 1) * (2 * h - 1) : 0);
    }
}

// Mirroring the source mirrors the output, left-right and top-bottom: the edges are
// served alike on all four sides.
TEST(Eagle, MirroredSourceGivesMirroredOutput) {
    auto p = loadEagle();
    ASSERT_TRUE(p);
    Rng rng(0xF11B);
    const uint32_t widths[] = {1, 2, 3, 5, 8, 9, 13, 16, 31, 33, 100, 1023, 1030, 2100};
    forBothPaths([&](const char* path) {
        for (uint32_t w : widths) {
            for (unsigned palette : {0u, 2u, 3u}) {
                const uint32_t h = 1 + static_cast<uint32_t>(rng() % 7);
                const SourceImage s = randomSource(w, h, rng, palette, rng() % 2);
                SourceImage lr(w, h, 2 * w), tb(w, h, 2 * w);
                for (uint32_t y = 0; y < h; ++y)
                    for (uint32_t x = 0; x < w; ++x) {
                        lr.set(w - 1 - x, y, s.at(x, y));
                        tb.set(x, h - 1 - y, s.at(x, y));
                    }
                const std::vector<uint16_t> out = render(*p, s), outLr = render(*p, lr), outTb = render(*p, tb);
                const uint32_t ow = 2 * w, oh = 2 * h;
                for (uint32_t r = 0; r < oh; ++r)
                    for (uint32_t c = 0; c < ow; ++c) {
                        const uint16_t v = out[size_t{r} * ow + c];
                        ASSERT_EQ(outLr[size_t{r} * ow + (ow - 1 - c)], v)
                            << path << ": left-right, " << w << "x" << h << " palette " << palette << " at (" << c
                            << ", " << r << ")";
                        ASSERT_EQ(outTb[size_t{oh - 1 - r} * ow + c], v)
                            << path << ": top-bottom, " << w << "x" << h << " palette " << palette << " at (" << c
                            << ", " << r << ")";
                    }
            }
        }
    });
}

TEST(Eagle, OneColourFrameGivesThatColourEverywhere) {
    auto p = loadEagle();
    ASSERT_TRUE(p);
    forBothPaths([&](const char* path) {
        for (uint16_t colour : {uint16_t{0}, uint16_t{0xFFFF}, uint16_t{0x1234}})
            for (uint32_t w : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 17u, 1030u})
                for (uint32_t h : {1u, 2u, 5u}) {
                    const SourceImage s = makeSource(w, h, std::vector<uint16_t>(size_t{w} * h, colour));
                    const std::vector<uint16_t> out = render(*p, s);
                    for (size_t k = 0; k < out.size(); ++k)
                        ASSERT_EQ(out[k], colour) << path << ": " << w << "x" << h << " pixel " << k;
                }
    });
}

// The four output pixels around the centre of a window depend on its four pixels only;
// the window is placed on every column of a 17-wide frame (step seams included) on
// random surroundings.
TEST(Eagle, WindowCasesAnywhereInTheFrame) {
    auto p = loadEagle();
    ASSERT_TRUE(p);
    const uint16_t X = 0x7BEF, Y = 0x0841;
    struct Case {
        const char* what;
        uint16_t a, b, c, d;
        uint16_t bottomRightA, bottomLeftB, topRightC, topLeftD;
    } cases[] = {
        {"a=b=c=X, d=Y", X, X, X, Y, X, X, X, X},
        {"a=d=X, b=c=Y", X, Y, Y, X, X, Y, Y, X},
        {"b=c=d=X, a=Y", Y, X, X, X, X, X, X, X},
        {"all different", 1, 2, 3, 4, 1, 2, 3, 4},
    };
    Rng rng(0x3A9);
    const uint32_t w = 17, h = 5;
    forBothPaths([&](const char* path) {
        for (const Case& k : cases)
            for (uint32_t x = 0; x + 1 < w; ++x)
                for (uint32_t y = 0; y + 1 < h; ++y) {
                    SourceImage s = randomSource(w, h, rng, 3);
                    s.set(x, y, k.a);
                    s.set(x + 1, y, k.b);
                    s.set(x, y + 1, k.c);
                    s.set(x + 1, y + 1, k.d);
                    const std::vector<uint16_t> out = render(*p, s);
                    auto at = [&](uint32_t c, uint32_t r) { return out[size_t{r} * 2 * w + c]; };
                    const std::string where = std::string(path) + ": " + k.what + " at column " +
                                              std::to_string(x) + ", row " + std::to_string(y);
                    EXPECT_EQ(at(2 * x + 1, 2 * y + 1), k.bottomRightA) << where;
                    EXPECT_EQ(at(2 * x + 2, 2 * y + 1), k.bottomLeftB) << where;
                    EXPECT_EQ(at(2 * x + 1, 2 * y + 2), k.topRightC) << where;
                    EXPECT_EQ(at(2 * x + 2, 2 * y + 2), k.topLeftD) << where;
                }
    });
}

// Whole blocks worked out by hand, edges included.
TEST(Eagle, SmallFramesWorkedByHand) {
    auto p = loadEagle();
    ASSERT_TRUE(p);
    const uint16_t X = 0x1111, Y = 0x2222, K = 0;
    struct Case {
        const char* what;
        uint32_t w, h;
        std::vector<uint16_t> src, out;
    } cases[] = {
        {"X X / X Y", 2, 2, {X, X, X, Y},
         {X, X, X, X,
          X, X, X, X,
          X, X, X, Y,
          X, X, Y, Y}},
        // Black next to the left and right edges: the corners beside black turn black.
        {"K X K / X K X", 3, 2, {K, X, K, X, K, X},
         {K, K, X, X, K, K,
          K, K, X, X, K, K,
          K, X, K, K, X, K,
          X, X, K, K, X, X}},
        {"single pixel", 1, 1, {Y}, {Y, Y, Y, Y}},
        {"X over black", 1, 2, {X, K},
         {X, X,
          K, K,
          K, K,
          K, K}},
    };
    forBothPaths([&](const char* path) {
        for (const Case& c : cases) {
            const std::vector<uint16_t> out = render(*p, makeSource(c.w, c.h, c.src));
            EXPECT_EQ(out, c.out) << path << ": " << c.what;
        }
    });
}

// Column 0 sees black to its left: row 2k-1 is black when S[k][0] is black, else
// S[k-1][0]; row 2k is black when S[k-1][0] is black, else S[k][0]. The last column
// mirrors this against the black right of it.
TEST(Eagle, FirstAndLastColumnsAgainstTheBlackBeyondTheEdge) {
    auto p = loadEagle();
    ASSERT_TRUE(p);
    Rng rng(0xC010);
    forBothPaths([&](const char* path) {
        for (uint32_t w : {1u, 4u, 6u, 8u, 12u, 21u}) {
            const uint32_t h = 12;
            SourceImage s = randomSource(w, h, rng, 3);
            const uint16_t choices[] = {0, 0x5555, 0xAAAA};
            for (uint32_t y = 0; y < h; ++y) {
                s.set(0, y, choices[rng() % 3]);
                s.set(w - 1, y, choices[rng() % 3]);
            }
            const std::vector<uint16_t> out = render(*p, s);
            const uint32_t ow = 2 * w;
            for (uint32_t k = 1; k < h; ++k) {
                const std::string where = std::string(path) + ", width " + std::to_string(w) + ", k " + std::to_string(k);
                const uint16_t up0 = s.at(0, k - 1), lo0 = s.at(0, k);
                EXPECT_EQ(out[size_t{2 * k - 1} * ow], lo0 == 0 ? 0 : up0) << where;
                EXPECT_EQ(out[size_t{2 * k} * ow], up0 == 0 ? 0 : lo0) << where;
                const uint16_t upL = s.at(w - 1, k - 1), loL = s.at(w - 1, k);
                EXPECT_EQ(out[size_t{2 * k - 1} * ow + ow - 1], loL == 0 ? 0 : upL) << where;
                EXPECT_EQ(out[size_t{2 * k} * ow + ow - 1], upL == 0 ? 0 : loL) << where;
            }
        }
    });
}

// The top output row is source row 0 doubled and the bottom one the last source row
// doubled, whatever lies next to them.
TEST(Eagle, TopAndBottomRowsAreTheEdgeRowsDoubled) {
    auto p = loadEagle();
    ASSERT_TRUE(p);
    Rng rng(0x70B);
    forBothPaths([&](const char* path) {
        for (uint32_t w : {1u, 5u, 8u, 19u, 1500u})
            for (uint32_t h : {1u, 2u, 3u, 7u}) {
                const SourceImage s = randomSource(w, h, rng, 2);
                const std::vector<uint16_t> out = render(*p, s);
                const uint32_t ow = 2 * w;
                for (uint32_t c = 0; c < ow; ++c) {
                    ASSERT_EQ(out[c], s.at(c / 2, 0)) << path << ": top row, " << w << "x" << h << " column " << c;
                    ASSERT_EQ(out[size_t{2 * h - 1} * ow + c], s.at(c / 2, h - 1))
                        << path << ": bottom row, " << w << "x" << h << " column " << c;
                }
            }
    });
}

// Requests at the edges of acceptance: what is written and what is reported.
TEST(Eagle, AcceptanceAndReportedSize) {
    auto p = loadEagle();
    ASSERT_TRUE(p);
    struct Case {
        const char* what;
        uint32_t w, h;
        uint32_t dw, dh;
        uint32_t flags;
        bool filtered;
    } cases[] = {
        {"height 0 writes nothing", 6, 0, 12, 4, RENDER_FLAG_RGB565, false},
        {"width 0 writes nothing", 0, 3, 4, 6, RENDER_FLAG_RGB565, false},
        {"destination one column short", 7, 3, 13, 6, RENDER_FLAG_RGB565, false},
        {"destination one row short", 7, 3, 14, 5, RENDER_FLAG_RGB565, false},
        {"no RGB565 flag is still filtered", 9, 3, 18, 6, 0x20302, true},
        {"no flags at all", 9, 3, 18, 6, 0, true},
        {"height 1", 11, 1, 22, 2, RENDER_FLAG_RGB565, true},
        {"wider and taller destination", 9, 2, 25, 9, RENDER_FLAG_RGB565, true},
        {"no width limit", 2048, 2, 4096, 4, RENDER_FLAG_RGB565, true},
    };
    Rng rng(0xACC);
    forBothPaths([&](const char* path) {
        for (const Case& c : cases) {
            const SourceImage src = randomSource(c.w, c.h, rng, 2, true);
            DestImage dst(c.dw, c.dh, 2 * c.dw + 4, true);
            const std::vector<uint8_t> expected =
                c.filtered ? expectedDest(dst, model::eagle(src), c.w, c.h)
                           : std::vector<uint8_t>(dst.buf.data(), dst.buf.data() + dst.buf.size());
            RenderPluginRequest r = makeRequest(src, dst);
            r.flags = c.flags;
            p->output(&r);
            EXPECT_EQ(r.outWidth, 2 * c.w) << path << ": " << c.what;
            EXPECT_EQ(r.outHeight, 2 * c.h) << path << ": " << c.what;
            EXPECT_TRUE(compareDest(dst, expected, std::string(path) + ": " + c.what));
        }
    });
}

}  // namespace
