// What every plugin shares: the info record, the exports, the acceptance tests, the
// silent refusal and the reported output size. Plugins not built yet are skipped.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>

#include "differential.h"

using namespace pellix::test;

namespace {

enum Tests : unsigned { kWidthFits = 1, kHeightFits = 2, kWidthLimit = 4, kRgb565 = 8, kHeightNotZero = 16, kAll = 31 };

struct PluginSpec {
    const char* file;
    const char* name;
    uint32_t flags;
    unsigned tests;
};

const PluginSpec kPlugins[] = {
    {"duplix.rpi", "Duplix (Pellix)", 0x20F02, kAll},
    {"quadrix.rpi", "KestoRGB  (Pellix)", 0x20B02, kAll},
    {"Eagle.rpi", "Eagle (Tamsor)", 0x901, kWidthFits | kHeightFits},
    {"scanline/tristripe.rpi", "RGB Scanline (Pellix)", 0x20B02, kAll},
    {"plain/tristripe.rpi", "RGB (Pellix)", 0x20B02, kAll},
    {"copy/tristripe.rpi", "RGB Copy (Pellix)", 0x20B02, kAll},
};

bool exists(const std::string& path) { return std::ifstream(path).good(); }

class Contract : public ::testing::TestWithParam<PluginSpec> {
protected:
    void SetUp() override {
        path_ = distPath(GetParam().file);
        if (!exists(path_)) GTEST_SKIP() << path_ << " is not built";
        std::string err;
        plugin_ = PluginLib::load(path_, true, true, &err);
        ASSERT_TRUE(plugin_) << err;
    }
    std::string path_;
    std::unique_ptr<PluginLib> plugin_;
};

TEST_P(Contract, InfoRecordHoldsNameFlagsAndKeepsModule) {
    const PluginSpec& s = GetParam();
    RenderPluginInfo* info = plugin_->info();
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->name, s.name);
    for (size_t i = std::strlen(s.name); i < sizeof info->name; ++i) EXPECT_EQ(info->name[i], 0) << "name byte " << i;
    EXPECT_EQ(info->flags, s.flags);
    EXPECT_EQ(info->reserved, 0u);
    EXPECT_EQ(info->module, plugin_->module());
    RenderPluginInfo* again = plugin_->getInfo();
    EXPECT_EQ(again, info);
    EXPECT_EQ(again->module, plugin_->module()) << "a second RenderPluginGetInfo must leave module alone";
    EXPECT_STREQ(again->name, s.name);
    EXPECT_EQ(again->flags, s.flags);
}

#if !defined(_WIN32)
TEST_P(Contract, ExportsExactlyTheTwoEntryPoints) {
    FILE* f = popen(("nm -D --defined-only '" + path_ + "'").c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, f)) {
        char type = 0;
        char name[400];
        unsigned long long addr;
        if (std::sscanf(line, "%llx %c %399s", &addr, &type, name) == 3 && type != 'A') exported.insert(name);
    }
    ASSERT_EQ(pclose(f), 0);
    EXPECT_EQ(exported, (std::set<std::string>{"RenderPluginGetInfo", "RenderPluginOutput"}));
}
#endif

// One request shape of the contract's edge cases, with what the plugin must do.
struct EdgeCase {
    const char* what;
    uint32_t w, h;           // source size
    int64_t dw, dh;          // destination size; negative: 2W or 2H plus this
    bool rgb565;
    unsigned failsTest;      // the test that refuses it (0: accepted)
    uint32_t size = 0;       // request.size override (0: sizeof)
};

const EdgeCase kEdgeCases[] = {
    {"exact fit", 5, 3, 10, 6, true, 0},
    {"destination one column short", 5, 3, 9, 6, true, kWidthFits},
    {"destination one row short", 5, 3, 10, 5, true, kHeightFits},
    {"width 2047 passes the limit", 2047, 2, 4094, 4, true, 0},
    {"width 2048 is the limit", 2048, 2, 4096, 4, true, kWidthLimit},
    {"no RGB565 flag", 9, 2, 18, 4, false, kRgb565},
    {"height zero", 6, 0, 12, 4, true, kHeightNotZero},
    {"width zero", 0, 3, 4, 6, true, 0},
    {"size field ignored", 4, 2, 8, 4, true, 0, 12345},
    {"larger destination", 3, 2, 11, 7, true, 0},
};

TEST_P(Contract, AcceptanceTestsAndReportedSize) {
    const PluginSpec& s = GetParam();
    for (const EdgeCase& e : kEdgeCases) {
        SCOPED_TRACE(e.what);
        Rng rng(e.w * 31 + e.h);
        SourceImage src(e.w, e.h, 2 * e.w + 4, true);
        fillRandom(src, rng);
        const uint32_t dw = static_cast<uint32_t>(e.dw), dh = static_cast<uint32_t>(e.dh);
        DestImage dst(dw, dh, 2 * dw + 6, true);
        const std::vector<uint8_t> before(dst.buf.data(), dst.buf.data() + dst.buf.size());
        RenderPluginRequest r = makeRequest(src, dst);
        if (!e.rgb565) r.flags = 0x20302;
        if (e.size) r.size = e.size;
        plugin_->output(&r);
        EXPECT_EQ(r.outWidth, 2 * e.w);
        EXPECT_EQ(r.outHeight, 2 * e.h);
        const bool refused = (e.failsTest & s.tests) != 0;
        const bool writes = !refused && e.w > 0 && e.h > 0;
        // Outside the block nothing changes in any case; inside, only an accepted frame writes.
        std::vector<uint8_t> outside = before;
        std::vector<uint8_t> now(dst.buf.data(), dst.buf.data() + dst.buf.size());
        if (writes)
            for (uint32_t y = 0; y < 2 * e.h; ++y)
                for (size_t b = 0; b < 4 * size_t{e.w}; ++b) outside[y * dst.pitch + b] = now[y * dst.pitch + b] = 0;
        EXPECT_EQ(now, outside) << (writes ? "wrote outside the output block" : "a refused frame wrote");
        if (writes) {
            EXPECT_NE(std::vector<uint8_t>(dst.buf.data(), dst.buf.data() + dst.buf.size()), before);
        }
    }
}

// Doubled sizes compare without wrap-around: 2 * 2^31 is not 0.
TEST_P(Contract, HugeSizesAreRefusedWithoutWrapAround) {
    uint16_t px = 0x1234;
    DestImage dst(8, 8, 16);
    const std::vector<uint8_t> before(dst.buf.data(), dst.buf.data() + dst.buf.size());
    struct { uint32_t w, h, dw, dh; } shapes[] = {
        {1, 0x80000000u, 8, 8},
        {1, 0x80000000u, 8, 0xFFFFFFFFu},
        {0x80000000u, 1, 0xFFFFFFFFu, 8},
        {0x80000001u, 1, 2, 8},
    };
    for (auto& sh : shapes) {
        RenderPluginRequest r{};
        r.size = sizeof r;
        r.flags = RENDER_FLAG_RGB565;
        r.src = &px;
        r.srcPitch = 2;
        r.srcWidth = sh.w;
        r.srcHeight = sh.h;
        r.dst = dst.data();
        r.dstPitch = 16;
        r.dstWidth = sh.dw;
        r.dstHeight = sh.dh;
        plugin_->output(&r);
        EXPECT_EQ(r.outWidth, 2u * sh.w);
        EXPECT_EQ(r.outHeight, 2u * sh.h);
    }
    EXPECT_EQ(std::vector<uint8_t>(dst.buf.data(), dst.buf.data() + dst.buf.size()), before);
}

// A zero-width frame of the tallest height a destination can take is accepted and has
// nothing to write. A plugin that walks its 2^31 - 1 empty rows anyway stalls the host;
// the plugin fuzzer's seed corpus holds this request, and its per-input timeout fails
// on such a stall.
TEST_P(Contract, ZeroWidthFrameOfHugeHeightReturnsAtOnce) {
    uint16_t px = 0x1234;
    DestImage dst(8, 8, 16);
    const std::vector<uint8_t> before(dst.buf.data(), dst.buf.data() + dst.buf.size());
    RenderPluginRequest r{};
    r.size = sizeof r;
    r.flags = RENDER_FLAG_RGB565;
    r.src = &px;
    r.srcPitch = 0;
    r.srcWidth = 0;
    r.srcHeight = 0x7FFFFFFFu;
    r.dst = dst.data();
    r.dstPitch = 0;
    r.dstWidth = 8;
    r.dstHeight = 0xFFFFFFFEu;
    plugin_->output(&r);
    EXPECT_EQ(r.outWidth, 0u);
    EXPECT_EQ(r.outHeight, 0xFFFFFFFEu);
    EXPECT_EQ(std::vector<uint8_t>(dst.buf.data(), dst.buf.data() + dst.buf.size()), before);
}

INSTANTIATE_TEST_SUITE_P(AllPlugins, Contract, ::testing::ValuesIn(kPlugins),
                         [](const ::testing::TestParamInfo<PluginSpec>& i) {
                             std::string n = i.param.file;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
