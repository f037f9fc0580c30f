// Every built plugin against its model with both images in guard-paged memory: any
// read or write one byte outside the rows the host handed over faults and fails the
// test. Each plugin runs on both paths, in four layouts:
//   - source and destination ending on a guard page (the destination cut right after
//     the output block's last row when the block reaches the last row),
//   - both starting right after a guard page,
//   - every row of both ending on a guard page (page-sized pitches),
//   - every row of both starting right after a guard page,
// with the standard cases (tight and padded pitches) plus, for the first two layouts,
// a copy of every case with no padding at all. After every call the x87 register stack
// must be empty, as a host's floating-point code expects (MMX use leaves it full
// unless the plugin empties it).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "duplix_model.h"
#include "guarded.h"
#include "eagle_model.h"
#include "quadrix_model.h"
#include "tristripe_model.h"

using namespace pellix;
using namespace pellix::test;

namespace {

struct PluginCase {
    const char* label;
    const char* file;
    Model model;
    std::vector<uint32_t> widths;  // widths around the plugin's own steps and splits
};

std::vector<PluginCase> plugins() {
    std::vector<PluginCase> v;
    v.push_back({"duplix", "duplix.rpi", model::duplix, {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 2047}});
    v.push_back({"quadrix", "quadrix.rpi", model::quadrix, {1, 7, 8, 9, 13, 15, 16, 17, 2047}});
    v.push_back({"eagle", "Eagle.rpi", model::eagle, {1, 2, 3, 4, 5, 7, 8, 9, 1016, 1017, 1023, 1024, 1025, 2048, 3072}});
    const std::vector<uint32_t> stripeWidths = {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 19, 20, 21, 33, 2044, 2047};
    v.push_back({"tristripe_scanline", "scanline/tristripe.rpi", model::tristripeModel(model::StripeBuild::Scanline),
                 stripeWidths});
    v.push_back({"tristripe_plain", "plain/tristripe.rpi", model::tristripeModel(model::StripeBuild::Plain),
                 stripeWidths});
    v.push_back({"tristripe_copy", "copy/tristripe.rpi", model::tristripeModel(model::StripeBuild::Copy),
                 stripeWidths});
    return v;
}

struct LayoutCase {
    const char* label;
    GuardMode src, dst;
    bool addUnpadded;  // the Rows layouts choose their own pitches
};

const LayoutCase kLayouts[] = {
    {"after", GuardMode::After, GuardMode::After, true},
    {"before", GuardMode::Before, GuardMode::Before, true},
    {"rows_after", GuardMode::RowsAfter, GuardMode::RowsAfter, false},
    {"rows_before", GuardMode::RowsBefore, GuardMode::RowsBefore, false},
};

std::vector<DiffCase> casesFor(const PluginCase& p, const LayoutCase& l) {
    std::vector<DiffCase> cases = standardCases();
    appendWidthCases(cases, p.widths);
    if (l.addUnpadded) {
        const size_t n = cases.size();
        for (size_t i = 0; i < n; ++i) {
            DiffCase c = cases[i];
            c.index = static_cast<uint32_t>(cases.size());
            c.srcPitchExtra = c.dstWidthExtra = c.dstHeightExtra = c.dstPitchExtra = 0;
            cases.push_back(c);
        }
    }
    return cases;
}

#if defined(__i386__) || defined(__x86_64__)
// The x87 tag word: 0xFFFF when all eight registers are empty.
uint16_t x87TagWord() {
    struct {
        uint32_t control, status, tags, rest[4];
    } env;
    __asm__ volatile("fnstenv %0" : "=m"(env));
    __asm__ volatile("fldenv %0" : : "m"(env));  // fnstenv masks exceptions; put them back
    return static_cast<uint16_t>(env.tags);
}
#else
uint16_t x87TagWord() { return 0xFFFF; }
#endif

// The layout with a check of the x87 state after each call.
ImageLayout checkingFpuState(ImageLayout l) {
    auto inner = l.aroundCall;
    l.aroundCall = [inner](const std::string& what, const std::function<void()>& call) {
        inner(what, call);
        const uint16_t tags = x87TagWord();
        EXPECT_EQ(tags, 0xFFFF) << what << ": the x87/MMX registers are not empty after the call";
    };
    return l;
}

class Guarded : public ::testing::TestWithParam<std::tuple<size_t, size_t>> {};

TEST_P(Guarded, MatchesModelWithNothingTouchedOutsideTheImages) {
    const PluginCase p = plugins()[std::get<0>(GetParam())];
    const LayoutCase& l = kLayouts[std::get<1>(GetParam())];
    const std::string path = distPath(p.file);
    if (!std::ifstream(path).good()) GTEST_SKIP() << path << " is not built";
    if (!guardPagesAvailable()) GTEST_SKIP() << "no page protection on this platform";
    std::string err;
    auto lib = PluginLib::load(path, false, true, &err);
    ASSERT_TRUE(lib) << err;
    ASSERT_EQ(x87TagWord(), 0xFFFF);
    runDifferential(*lib, p.model, casesFor(p, l), checkingFpuState(guardedLayout(l.src, l.dst)));
}

INSTANTIATE_TEST_SUITE_P(Plugins, Guarded,
                         ::testing::Combine(::testing::Range<size_t>(0, plugins().size()),
                                            ::testing::Range<size_t>(0, sizeof kLayouts / sizeof kLayouts[0])),
                         [](const ::testing::TestParamInfo<std::tuple<size_t, size_t>>& i) {
                             return std::string(plugins()[std::get<0>(i.param)].label) + "_" +
                                    kLayouts[std::get<1>(i.param)].label;
                         });

// The request record itself on guarded memory, ending right before a guard page and
// starting right after one: the plugin reads and writes nothing around it, and writes
// only outWidth and outHeight in it, for an accepted, a refused and an empty frame.
class GuardedRequest : public ::testing::TestWithParam<size_t> {};

TEST_P(GuardedRequest, OnlyOutWidthAndOutHeightAreWritten) {
    const PluginCase p = plugins()[GetParam()];
    const std::string path = distPath(p.file);
    if (!std::ifstream(path).good()) GTEST_SKIP() << path << " is not built";
    if (!guardPagesAvailable()) GTEST_SKIP() << "no page protection on this platform";
    std::string err;
    auto lib = PluginLib::load(path, false, true, &err);
    ASSERT_TRUE(lib) << err;
    struct Frame {
        uint32_t w, h, dstWidth, dstHeight;
    };
    const Frame frames[] = {{9, 3, 18, 6}, {9, 3, 17, 6}, {9, 0, 18, 0}};
    for (GuardMode mode : {GuardMode::After, GuardMode::Before}) {
        for (const Frame& f : frames) {
            SourceImage src = guardedSource(f.w, f.h, 2 * f.w, GuardMode::After);
            DestImage dst = guardedDest(f.dstWidth, f.dstHeight, 2 * f.dstWidth, GuardMode::After, 2 * f.w, 2 * f.h);
            GuardedMemory mem(mode, 1, sizeof(RenderPluginRequest), sizeof(RenderPluginRequest), "request");
            RenderPluginRequest want = makeRequest(src, dst);
            want.size = 0x5A5A5A5A;  // ignored by every plugin
            std::memcpy(mem.data(), &want, sizeof want);
            auto* r = reinterpret_cast<RenderPluginRequest*>(mem.data());
            {
                ArmedGuards armed(std::string(p.file) + " with the request " + guardModeName(mode));
                lib->output(r);
            }
            want.outWidth = 2 * f.w;
            want.outHeight = 2 * f.h;
            EXPECT_EQ(std::memcmp(r, &want, sizeof want), 0)
                << p.file << ", " << f.w << "x" << f.h << " into " << f.dstWidth << "x" << f.dstHeight
                << ": request fields other than outWidth/outHeight changed, or those are wrong (" << r->outWidth
                << "x" << r->outHeight << ")";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Plugins, GuardedRequest, ::testing::Range<size_t>(0, plugins().size()),
                         [](const ::testing::TestParamInfo<size_t>& i) { return std::string(plugins()[i.param].label); });

// The guards themselves: a one-byte stray access on each side of each layout kills the
// process with a report naming where it landed, and the memory in between is usable.
#if !defined(_WIN32)
struct ScopedStray {
    explicit ScopedStray(const char* mode) { setEnv("PELLIX_STRAY", mode); }
    ~ScopedStray() { setEnv("PELLIX_STRAY", nullptr); }
};

uint8_t touch(const uint8_t* p) { return *static_cast<const volatile uint8_t*>(p); }

TEST(GuardPagesDeathTest, OneByteOutsideFaults) {
    if (!guardPagesAvailable()) GTEST_SKIP() << "no page protection on this platform";
    SourceImage after = guardedSource(5, 3, 14, GuardMode::After);
    EXPECT_EQ(after.buf.size(), 14u * 2 + 10);
    EXPECT_DEATH(touch(after.buf.data() + after.buf.size()), "byte 0 past the last byte of the source");

    SourceImage before = guardedSource(5, 3, 14, GuardMode::Before);
    EXPECT_DEATH(touch(before.buf.data() - 1), "1 byte\\(s\\) before the first byte of the source");

    // Cut right after the block's last row although the destination is wider.
    DestImage dst = guardedDest(13, 4, 30, GuardMode::After, 10, 4);
    EXPECT_EQ(dst.buf.size(), 30u * 3 + 20);
    EXPECT_DEATH(touch(static_cast<uint8_t*>(dst.data()) + 30 * 3 + 20), "past the last byte of the destination");

    SourceImage empty = guardedSource(0, 0, 0, GuardMode::After);
    EXPECT_DEATH(touch(empty.buf.data()), "past the last byte of the source");
    EXPECT_DEATH(touch(empty.buf.data() - 1), "before the first byte of the source");
}

TEST(GuardPagesDeathTest, RowGuardsFaultOnlyWhileArmed) {
    if (!guardPagesAvailable()) GTEST_SKIP() << "no page protection on this platform";
    SourceImage s = guardedSource(7, 3, 14, GuardMode::RowsAfter);
    EXPECT_EQ(s.pitch % pageSize(), 0u);
    const uint8_t* row0End = s.buf.data() + 14;
    touch(row0End);  // disarmed: padding is ordinary memory for the harness
    EXPECT_DEATH(
        {
            ArmedGuards armed("row guard probe");
            touch(row0End);
        },
        "byte 0 past the end of row 0 of the source");
    {
        ArmedGuards armed("row reads");
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t x = 0; x < 7; ++x) EXPECT_EQ(s.at(x, y), 0);
    }

    DestImage d = guardedDest(6, 4, 12, GuardMode::RowsBefore, 6, 4);
    const uint8_t* row2 = static_cast<uint8_t*>(d.data()) + 2 * size_t{d.pitch};
    EXPECT_DEATH(
        {
            ArmedGuards armed("row guard probe");
            touch(row2 - 1);
        },
        "1 byte\\(s\\) before the start of row 2 of the destination");
}

// A doubler with a deliberate stray access dies in the guarded layout that catches that
// kind of access, with a report of where the access landed. (On plain heap images the
// reads go unseen without AddressSanitizer: they land in pitch padding or next to the
// allocation.)
TEST(GuardPagesDeathTest, StrayPluginAccessesKillTheRun) {
    if (!guardPagesAvailable()) GTEST_SKIP() << "no page protection on this platform";
    std::string err;
    auto lib = PluginLib::load(PELLIX_STRAY_PLUGIN, false, true, &err);
    ASSERT_TRUE(lib) << err;
    struct Probe {
        const char* stray;
        GuardMode src, dst;
        const char* report;
    };
    const Probe probes[] = {
        {"read_past_row", GuardMode::RowsAfter, GuardMode::RowsAfter, "byte 0 past the end of row 0 of the source"},
        {"read_past_row", GuardMode::After, GuardMode::After, "byte 0 past the last byte of the source"},
        {"read_before_row", GuardMode::RowsBefore, GuardMode::RowsBefore, "before the first byte of the source"},
        {"read_before_row", GuardMode::Before, GuardMode::Before, "1 byte\\(s\\) before the first byte of the source"},
        {"write_past_block", GuardMode::After, GuardMode::After, "byte 0 past the last byte of the destination"},
        {"write_before_block", GuardMode::Before, GuardMode::Before, "before the first byte of the destination"},
    };
    DiffCase c;
    c.width = 9;
    c.height = 3;
    c.dstWidthExtra = 4;  // the destination is wider than the block: the cut last row still catches it
    c.seed = 7;
    for (const Probe& p : probes) {
        ScopedStray stray(p.stray);
        EXPECT_DEATH(runCase(*lib, model::duplix, c, guardedLayout(p.src, p.dst)), p.report) << p.stray;
    }
}

#if defined(__i386__) || defined(__x86_64__)
// The x87 check sees a plugin that leaves MMX state behind.
TEST(FpuState, MmxWithoutEmmsIsSeen) {
    std::string err;
    auto lib = PluginLib::load(PELLIX_STRAY_PLUGIN, false, true, &err);
    ASSERT_TRUE(lib) << err;
    SourceImage src(4, 2, 8);
    DestImage dst(8, 4, 16);
    RenderPluginRequest r = makeRequest(src, dst);
    ASSERT_EQ(x87TagWord(), 0xFFFF);
    {
        ScopedStray stray("mmx_without_emms");
        lib->output(&r);
    }
    const uint16_t tags = x87TagWord();
    __asm__ volatile("emms");
    EXPECT_NE(tags, 0xFFFF);
    EXPECT_EQ(x87TagWord(), 0xFFFF);
}
#endif
#endif

}  // namespace
