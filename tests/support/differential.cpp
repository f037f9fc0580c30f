#include "differential.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace pellix {
namespace test {

std::vector<DiffCase> standardCases(uint64_t seed) {
    std::vector<DiffCase> cases;
    Rng rng(seed);
    auto add = [&](uint32_t w, uint32_t h) {
        DiffCase c;
        c.index = static_cast<uint32_t>(cases.size());
        c.width = w;
        c.height = h;
        c.srcPitchExtra = 2 * static_cast<uint32_t>(rng() % 4 == 0 ? rng() % 9 : 0);
        c.dstWidthExtra = static_cast<uint32_t>(rng() % 3 == 0 ? rng() % 5 : 0);
        c.dstHeightExtra = static_cast<uint32_t>(rng() % 3 == 0 ? rng() % 3 : 0);
        c.dstPitchExtra = 2 * static_cast<uint32_t>(rng() % 3 == 0 ? rng() % 9 : 0);
        c.misalignSrc = rng() % 2;
        c.misalignDst = rng() % 2;
        c.palette = static_cast<unsigned>(rng() % 5 < 2 ? 1 + rng() % 3 : 0);
        c.seed = rng();
        cases.push_back(c);
    };
    for (uint32_t w = 0; w <= 70; ++w) add(w, w % 10);
    for (uint32_t w = 0; w <= 70; ++w) add(w, static_cast<uint32_t>(rng() % 10));
    for (uint32_t w : {127u, 128u, 129u, 255u, 256u, 1023u, 1024u, 1025u, 2040u, 2041u, 2044u, 2045u, 2046u, 2047u})
        add(w, 1 + static_cast<uint32_t>(rng() % 3));
    return cases;
}

void appendWidthCases(std::vector<DiffCase>& cases, const std::vector<uint32_t>& widths, uint64_t seed) {
    Rng rng(seed);
    for (uint32_t w : widths) {
        for (uint32_t h = 1; h <= 4; ++h) {
            DiffCase c;
            c.index = static_cast<uint32_t>(cases.size());
            c.width = w;
            c.height = h;
            c.srcPitchExtra = 2 * static_cast<uint32_t>(rng() % 3);
            c.dstWidthExtra = static_cast<uint32_t>(rng() % 3);
            c.dstPitchExtra = 2 * static_cast<uint32_t>(rng() % 3);
            c.misalignSrc = rng() % 2;
            c.misalignDst = rng() % 2;
            c.palette = static_cast<unsigned>(h % 2 ? 0 : 1 + rng() % 3);
            c.seed = rng();
            cases.push_back(c);
        }
    }
}

RenderPluginRequest makeRequest(const SourceImage& src, DestImage& dst) {
    RenderPluginRequest r{};
    r.size = sizeof(RenderPluginRequest);
    r.flags = RENDER_FLAG_RGB565;
    r.src = src.data();
    r.srcPitch = src.pitch;
    r.srcWidth = src.width;
    r.srcHeight = src.height;
    r.dst = dst.data();
    r.dstPitch = dst.pitch;
    r.dstWidth = dst.width;
    r.dstHeight = dst.height;
    r.outWidth = 0xDEADBEEF;
    r.outHeight = 0xDEADBEEF;
    return r;
}

std::vector<uint8_t> expectedDest(const DestImage& dst, const std::vector<uint16_t>& block, uint32_t w, uint32_t h) {
    std::vector<uint8_t> e(dst.buf.data(), dst.buf.data() + dst.buf.size());
    if (w == 0 || h == 0 || block.size() != size_t{4} * w * h) return e;
    for (uint32_t r = 0; r < 2 * h; ++r)
        std::memcpy(e.data() + size_t{r} * dst.pitch, block.data() + size_t{r} * 2 * w, 4 * size_t{w});
    return e;
}

::testing::AssertionResult compareDest(const DestImage& dst, const std::vector<uint8_t>& expected,
                                       const std::string& what) {
    if (expected.size() != dst.buf.size()) return ::testing::AssertionFailure() << what << ": size mismatch";
    const uint8_t* a = dst.buf.data();
    for (size_t i = 0; i < expected.size(); ++i) {
        if (a[i] == expected[i]) continue;
        const size_t row = i / dst.pitch, col = (i % dst.pitch) / 2, at = row * dst.pitch + col * 2;
        auto px = [&](const uint8_t* p) {
            return at + 1 < expected.size() ? static_cast<unsigned>(p[at] | (p[at + 1] << 8)) : static_cast<unsigned>(p[at]);
        };
        char buf[160];
        std::snprintf(buf, sizeof buf, "first differing pixel at (x=%zu, y=%zu): expected 0x%04X, actual 0x%04X%s", col,
                      row, px(expected.data()), px(a), 2 * col >= size_t{dst.pitch} ? " (pitch padding)" : "");
        return ::testing::AssertionFailure() << what << ": " << buf;
    }
    return ::testing::AssertionSuccess();
}

ImageLayout heapLayout() {
    ImageLayout l;
    l.makeSource = [](const DiffCase& c, uint32_t w, uint32_t h, uint32_t pitch) {
        return SourceImage(w, h, pitch, c.misalignSrc);
    };
    l.makeDest = [](const DiffCase& c, uint32_t w, uint32_t h, uint32_t pitch) {
        return DestImage(w, h, pitch, c.misalignDst);
    };
    l.aroundCall = [](const std::string&, const std::function<void()>& call) { call(); };
    return l;
}

::testing::AssertionResult runCase(const PluginLib& plugin, const Model& model, const DiffCase& c) {
    return runCase(plugin, model, c, heapLayout());
}

::testing::AssertionResult runCase(const PluginLib& plugin, const Model& model, const DiffCase& c,
                                   const ImageLayout& layout) {
    Rng rng(c.seed);
    SourceImage src = layout.makeSource(c, c.width, c.height, 2 * c.width + c.srcPitchExtra);
    fillRandom(src, rng, c.palette);
    const std::vector<uint8_t> srcBefore(src.buf.data(), src.buf.data() + src.buf.size());
    const uint32_t dw = 2 * c.width + c.dstWidthExtra, dh = 2 * c.height + c.dstHeightExtra;
    DestImage dst = layout.makeDest(c, dw, dh, 2 * dw + c.dstPitchExtra);
    const std::vector<uint8_t> expected = expectedDest(dst, model(src), c.width, c.height);

    std::ostringstream what;
    what << "case " << c.index << " (" << c.width << "x" << c.height << ", srcPitch " << src.pitch << ", dstPitch "
         << dst.pitch << ", dst " << dw << "x" << dh << ", palette " << c.palette;
    if (!layout.name.empty()) what << ", " << layout.name;
    what << ")";

    RenderPluginRequest r = makeRequest(src, dst);
    layout.aroundCall(what.str(), [&] { plugin.output(&r); });

    if (r.outWidth != 2 * c.width || r.outHeight != 2 * c.height)
        return ::testing::AssertionFailure() << what.str() << ": reported " << r.outWidth << "x" << r.outHeight;
    if (!srcBefore.empty() && std::memcmp(srcBefore.data(), src.buf.data(), srcBefore.size()) != 0)
        return ::testing::AssertionFailure() << what.str() << ": the source was written";
    return compareDest(dst, expected, what.str());
}

void runDifferential(const PluginLib& plugin, const Model& model, const std::vector<DiffCase>& cases) {
    runDifferential(plugin, model, cases, heapLayout());
}

void runDifferential(const PluginLib& plugin, const Model& model, const std::vector<DiffCase>& cases,
                     const ImageLayout& layout) {
    const char* only = std::getenv("PELLIX_CASE");
    for (bool plain : {false, true}) {
        ScopedPlainPath path(plain);
        for (const DiffCase& c : cases) {
            if (only && *only && std::strtoul(only, nullptr, 10) != c.index) continue;
            ::testing::AssertionResult res = runCase(plugin, model, c, layout);
            EXPECT_TRUE(res) << (plain ? "[plain path] " : "[vector path] ") << "rerun with PELLIX_CASE=" << c.index;
            if (!res) break;  // one report per path is enough to start from
        }
    }
}

void runEveryPixelValue(const PluginLib& plugin, const Model& model, const DiffCase& layout) {
    const uint32_t w = 2047, h = 33;
    SourceImage src(w, h, 2 * w + layout.srcPitchExtra, layout.misalignSrc);
    for (uint32_t i = 0; i < w * h; ++i) src.set(i % w, i / w, static_cast<uint16_t>(i * 40503u));
    const std::vector<uint16_t> block = model(src);
    std::vector<uint8_t> results[2];
    for (bool plain : {false, true}) {
        ScopedPlainPath path(plain);
        const uint32_t dw = 2 * w + layout.dstWidthExtra, dh = 2 * h + layout.dstHeightExtra;
        DestImage dst(dw, dh, 2 * dw + layout.dstPitchExtra, layout.misalignDst);
        RenderPluginRequest r = makeRequest(src, dst);
        plugin.output(&r);
        EXPECT_TRUE(compareDest(dst, expectedDest(dst, block, w, h), plain ? "plain path" : "vector path"));
        results[plain].assign(dst.buf.data(), dst.buf.data() + dst.buf.size());
    }
    EXPECT_TRUE(results[0] == results[1]) << "the vector and plain paths differ";
}

std::unique_ptr<PluginLib> loadDistPlugin(const std::string& file) {
    std::string err;
    auto p = PluginLib::load(distPath(file), false, true, &err);
    EXPECT_TRUE(p) << err;
    return p;
}

ScopedPlainPath::ScopedPlainPath(bool plain) { setEnv("PELLIX_FORCE_PLAIN", plain ? "1" : nullptr); }
ScopedPlainPath::~ScopedPlainPath() { setEnv("PELLIX_FORCE_PLAIN", nullptr); }

}  // namespace test
}  // namespace pellix
