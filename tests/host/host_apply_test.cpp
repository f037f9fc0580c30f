// pellix apply: PNG formats in, the 2x RGB PNG out, refusals and file errors.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include "dynlib.h"
#include "host_support.h"
#include "png_fixtures.h"

using namespace pellix::test;

namespace {

// Every output pixel of duplix is its source pixel, so the source can be read back.
void expectDoubled(const Decoded& out, uint32_t w, uint32_t h, const std::vector<uint16_t>& src) {
    ASSERT_EQ(out.error, "");
    ASSERT_EQ(out.width, 2 * w);
    ASSERT_EQ(out.height, 2 * h);
    for (uint32_t y = 0; y < 2 * h; ++y)
        for (uint32_t x = 0; x < 2 * w; ++x)
            ASSERT_EQ(out.px[y * 2 * w + x], src[(y / 2) * w + x / 2]) << "output pixel " << x << "," << y;
}

Decoded applyDuplix(const TempDir& t, const std::string& in) {
    const std::string out = t / "out.png";
    std::filesystem::remove(out);
    const RunResult r = runPellix({"apply", "duplix.rpi", in, out});
    EXPECT_EQ(r.status, 0) << in << ": " << r.err;
    EXPECT_EQ(r.err, "");
    return decodeHostPng(readFile(out));
}

TEST(HostApply, RgbPngComesBackDoubledPixelForPixel) {
    TempDir t;
    const uint32_t w = 37, h = 23;
    const std::vector<uint16_t> px = samplePixels(w, h, 1);
    writePngFile(t / "in.png", rgbSpec(w, h, px));
    expectDoubled(applyDuplix(t, t / "in.png"), w, h, px);
}

// Each format is checked against an 8-bit RGB file of the colours it stands for.
TEST(HostApply, ReadsPaletteGreyDeepAlphaAndInterlacedPngs) {
    TempDir t;
    const uint32_t w = 13, h = 7;
    struct Case {
        const char* label;
        PngSpec spec;
        std::vector<uint8_t> expectRgb;  // 3 bytes per pixel
    };
    std::vector<Case> cases;
    auto rgbOf = [&](auto f) {
        std::vector<uint8_t> rgb;
        for (uint32_t i = 0; i < w * h; ++i) {
            const std::vector<uint8_t> c = f(i);
            rgb.insert(rgb.end(), c.begin(), c.end());
        }
        return rgb;
    };
    auto spec = [&](int type, int depth, auto sample) {
        PngSpec s;
        s.width = w;
        s.height = h;
        s.colorType = type;
        s.bitDepth = depth;
        for (uint32_t i = 0; i < w * h; ++i) {
            const std::vector<uint32_t> v = sample(i);
            s.samples.insert(s.samples.end(), v.begin(), v.end());
        }
        return s;
    };
    const std::vector<uint16_t> px = samplePixels(w, h, 2);
    auto level = [&](uint32_t i) {
        uint8_t c[3];
        expand565(px[i], c);
        return std::vector<uint8_t>{c[0], c[1], c[2]};
    };
    const uint8_t greys[] = {0, 1, 7, 33, 100, 128, 200, 254, 255};
    auto grey = [&](uint32_t i) { return greys[i % 9]; };

    {
        PngSpec s = spec(PNG_COLOR_TYPE_PALETTE, 8, [&](uint32_t i) { return std::vector<uint32_t>{i % 16}; });
        for (uint32_t e = 0; e < 16; ++e) {
            const std::vector<uint8_t> c = level(e);
            s.paletteRgb.insert(s.paletteRgb.end(), c.begin(), c.end());
        }
        cases.push_back({"palette 8-bit", s, rgbOf([&](uint32_t i) { return level(i % 16); })});
        PngSpec s4 = s;
        s4.bitDepth = 4;
        cases.push_back({"palette 4-bit", s4, rgbOf([&](uint32_t i) { return level(i % 16); })});
        // tRNS: entry 3 fully transparent (black over black), the rest opaque.
        PngSpec st = s;
        st.trns.assign(16, 255);
        st.trns[3] = 0;
        cases.push_back({"palette with tRNS", st, rgbOf([&](uint32_t i) {
                             return i % 16 == 3 ? std::vector<uint8_t>{0, 0, 0} : level(i % 16);
                         })});
    }
    cases.push_back({"grey 8-bit", spec(PNG_COLOR_TYPE_GRAY, 8, [&](uint32_t i) { return std::vector<uint32_t>{grey(i)}; }),
                     rgbOf([&](uint32_t i) { return std::vector<uint8_t>{grey(i), grey(i), grey(i)}; })});
    cases.push_back({"grey 1-bit", spec(PNG_COLOR_TYPE_GRAY, 1, [&](uint32_t i) { return std::vector<uint32_t>{i % 3 == 0}; }),
                     rgbOf([&](uint32_t i) {
                         const uint8_t v = i % 3 == 0 ? 255 : 0;
                         return std::vector<uint8_t>{v, v, v};
                     })});
    cases.push_back({"grey 16-bit", spec(PNG_COLOR_TYPE_GRAY, 16, [&](uint32_t i) { return std::vector<uint32_t>{grey(i) * 257u}; }),
                     rgbOf([&](uint32_t i) { return std::vector<uint8_t>{grey(i), grey(i), grey(i)}; })});
    cases.push_back({"rgb 16-bit", spec(PNG_COLOR_TYPE_RGB, 16, [&](uint32_t i) {
                         const std::vector<uint8_t> c = level(i);
                         return std::vector<uint32_t>{c[0] * 257u, c[1] * 257u, c[2] * 257u};
                     }),
                     rgbOf(level)});
    cases.push_back({"rgba opaque and clear", spec(PNG_COLOR_TYPE_RGB_ALPHA, 8, [&](uint32_t i) {
                         const std::vector<uint8_t> c = level(i);
                         return std::vector<uint32_t>{c[0], c[1], c[2], i % 4 == 0 ? 0u : 255u};
                     }),
                     rgbOf([&](uint32_t i) { return i % 4 == 0 ? std::vector<uint8_t>{0, 0, 0} : level(i); })});
    cases.push_back({"rgba 16-bit opaque", spec(PNG_COLOR_TYPE_RGB_ALPHA, 16, [&](uint32_t i) {
                         const std::vector<uint8_t> c = level(i);
                         return std::vector<uint32_t>{c[0] * 257u, c[1] * 257u, c[2] * 257u, 65535u};
                     }),
                     rgbOf(level)});
    cases.push_back({"grey+alpha", spec(PNG_COLOR_TYPE_GRAY_ALPHA, 8, [&](uint32_t i) {
                         return std::vector<uint32_t>{grey(i), i % 5 == 0 ? 0u : 255u};
                     }),
                     rgbOf([&](uint32_t i) {
                         const uint8_t v = i % 5 == 0 ? 0 : grey(i);
                         return std::vector<uint8_t>{v, v, v};
                     })});
    {
        // tRNS colour keys: pixels of the key colour are transparent, so black.
        PngSpec s = spec(PNG_COLOR_TYPE_RGB, 8, [&](uint32_t i) {
            const std::vector<uint8_t> c = i % 3 == 0 ? std::vector<uint8_t>{10, 20, 30} : level(i);
            return std::vector<uint32_t>{c[0], c[1], c[2]};
        });
        s.colourKey = true;
        s.keyRgb[0] = 10;
        s.keyRgb[1] = 20;
        s.keyRgb[2] = 30;
        cases.push_back({"rgb with tRNS key", s, rgbOf([&](uint32_t i) {
                             return i % 3 == 0 ? std::vector<uint8_t>{0, 0, 0} : level(i);
                         })});
        PngSpec g = spec(PNG_COLOR_TYPE_GRAY, 4, [&](uint32_t i) { return std::vector<uint32_t>{i % 16}; });
        g.colourKey = true;
        g.keyRgb[0] = 5;
        cases.push_back({"grey 4-bit with tRNS key", g, rgbOf([&](uint32_t i) {
                             const uint8_t v = i % 16 == 5 ? 0 : static_cast<uint8_t>(i % 16 * 17);
                             return std::vector<uint8_t>{v, v, v};
                         })});
    }
    PngSpec inter = rgbSpec(w, h, px);
    inter.interlaced = true;
    cases.push_back({"interlaced rgb", inter, rgbOf(level)});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        writePngFile(t / "in.png", c.spec);
        const Decoded got = applyDuplix(t, t / "in.png");
        PngSpec ref;
        ref.width = w;
        ref.height = h;
        ref.samples.assign(c.expectRgb.begin(), c.expectRgb.end());
        writePngFile(t / "ref.png", ref);
        const Decoded want = applyDuplix(t, t / "ref.png");
        ASSERT_EQ(got.error, "");
        ASSERT_EQ(want.error, "");
        EXPECT_EQ(got.width, 2 * w);
        EXPECT_EQ(got.height, 2 * h);
        EXPECT_EQ(got.px, want.px);
    }
}

TEST(HostApply, HalfTransparentPixelsAreCompositedOverBlack) {
    TempDir t;
    PngSpec s;
    s.width = 2;
    s.height = 1;
    s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    s.samples = {255, 255, 255, 128, 255, 0, 0, 64};
    writePngFile(t / "in.png", s);
    const Decoded out = applyDuplix(t, t / "in.png");
    ASSERT_EQ(out.error, "");
    uint8_t a[3], b[3];
    expand565(out.px[0], a);
    expand565(out.px[2], b);
    // White at alpha 128/255 is a mid grey; red at 64/255 a dark red.
    for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(a[ch], 128, 5) << ch;
    EXPECT_NEAR(b[0], 64, 5);
    EXPECT_EQ(b[1], 0);
    EXPECT_EQ(b[2], 0);
}

TEST(HostApply, StandardInputAndOutput) {
    TempDir t;
    const std::vector<uint16_t> px = samplePixels(9, 5, 3);
    writePngFile(t / "in.png", rgbSpec(9, 5, px));
    RunResult r = runPellix({"apply", distPath("duplix.rpi"), "-", "-"}, {"", "", t / "in.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    expectDoubled(decodeHostPng(r.out), 9, 5, px);
    r = runPellix({"apply", distPath("duplix.rpi"), "-", t / "file.png"}, {"", "", t / "in.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    expectDoubled(decodeHostPng(readFile(t / "file.png")), 9, 5, px);
}

TEST(HostApply, SeveralInputsIntoADirectoryAndABadOneDoesNotStopTheOthers) {
    TempDir t;
    const std::vector<uint16_t> a = samplePixels(6, 4, 4), b = samplePixels(3, 8, 5);
    writePngFile(t / "a.png", rgbSpec(6, 4, a));
    std::filesystem::create_directory(t.path() / "sub");
    writePngFile(t / "sub/b.png", rgbSpec(3, 8, b));
    writeFile(t / "bad.png", "not a png");
    const RunResult r = runPellix({"apply", "duplix.rpi", t / "a.png", t / "bad.png", t / "sub/b.png", "-o", t / "out/x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(t / "bad.png" + ": not a PNG file"), std::string::npos) << r.err;
    expectDoubled(decodeHostPng(readFile(t / "out/x/a.png")), 6, 4, a);
    expectDoubled(decodeHostPng(readFile(t / "out/x/b.png")), 3, 8, b);
    EXPECT_FALSE(fileExists(t / "out/x/bad.png"));
}

TEST(HostApply, UnreadableInputsFailWithTheReason) {
    TempDir t;
    const std::vector<uint16_t> px = samplePixels(16, 16, 6);
    writePngFile(t / "good.png", rgbSpec(16, 16, px));
    const std::string good = readFile(t / "good.png");
    writeFile(t / "truncated.png", good.substr(0, good.size() / 2));
    std::string flipped = good;
    flipped[good.size() / 2] = static_cast<char>(flipped[good.size() / 2] ^ 0x55);  // inside IDAT
    writeFile(t / "flipped.png", flipped);
    writeFile(t / "empty.png", "");
    writeFile(t / "text.png", "hello");
    struct Case {
        std::string in;
        std::string message;
    };
    const Case cases[] = {
        {t / "truncated.png", "corrupt PNG"},
        {t / "flipped.png", "corrupt PNG"},
        {t / "empty.png", "not a PNG file"},
        {t / "text.png", "not a PNG file"},
        {t / "missing.png", "cannot open " + t / "missing.png" + ": No such file or directory"},
        {t.path().string(), "cannot read"},
    };
    for (const Case& c : cases) {
        const RunResult r = runPellix({"apply", "duplix.rpi", c.in, t / "out.png"});
        EXPECT_EQ(r.status, 1) << c.in;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.in << "\n" << r.err;
        EXPECT_FALSE(fileExists(t / "out.png")) << c.in;
    }
}

// A PNG chunk: length, type, data, CRC over type and data.
std::string chunk(const char* type, const std::string& data) {
    auto be32 = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    const std::string body = std::string(type, 4) + data;
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    return be32(static_cast<uint32_t>(data.size())) + body + be32(crc);
}

// The size is checked from the header, before any pixel memory is taken.
TEST(HostApply, HugeDeclaredSizeIsRefusedBeforeDecoding) {
    TempDir t;
    const std::string ihdr{0, 0, 0x4E, 0x20, 0, 0, 0x4E, 0x20, 8, 2, 0, 0, 0};  // 20000x20000 RGB
    writeFile(t / "huge.png", std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) +
                                  chunk("IDAT", std::string("\x78\x9c", 2)) + chunk("IEND", ""));
    const RunResult r = runPellix({"apply", "duplix.rpi", t / "huge.png", t / "out.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("image 20000x20000 is too large"), std::string::npos) << r.err;
}

TEST(HostApply, RefusedFrameIsAnErrorWithTheReasonAndNoOutput) {
    TempDir t;
    writePngFile(t / "wide.png", rgbSpec(2048, 3, std::vector<uint16_t>(2048 * 3, 0x1234)));
    for (const std::string plugin : {"duplix.rpi", "quadrix.rpi", "scanline/tristripe.rpi"}) {
        if (!fileExists(distPath(plugin))) continue;
        const RunResult r = runPellix({"apply", plugin, t / "wide.png", t / "out.png"});
        EXPECT_EQ(r.status, 1) << plugin;
        EXPECT_NE(r.err.find("refused the 2048x3 frame: width 2048 is over the limit of 2047"), std::string::npos)
            << r.err;
        EXPECT_FALSE(fileExists(t / "out.png"));
    }
    // 2047 is still inside the limit.
    writePngFile(t / "ok.png", rgbSpec(2047, 2, std::vector<uint16_t>(2047 * 2, 0x1234)));
    const RunResult ok = runPellix({"apply", "duplix.rpi", t / "ok.png", t / "out.png"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    const Decoded d = decodeHostPng(readFile(t / "out.png"));
    EXPECT_EQ(d.width, 4094u);
    // Eagle has no width limit.
    if (fileExists(distPath("Eagle.rpi"))) {
        const RunResult e = runPellix({"apply", "Eagle.rpi", t / "wide.png", t / "eagle.png"});
        EXPECT_EQ(e.status, 0) << e.err;
        EXPECT_EQ(decodeHostPng(readFile(t / "eagle.png")).width, 4096u);
    }
}

TEST(HostApply, PluginAndOutputErrors) {
    TempDir t;
    writePngFile(t / "in.png", rgbSpec(4, 4, samplePixels(4, 4, 7)));
    writeFile(t / "text.rpi", "#!/bin/sh\n");
    std::filesystem::create_directory(t.path() / "adir");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"apply", "nosuch.rpi", t / "in.png", t / "o.png"}, "nosuch.rpi: no such plugin file"},
        {{"apply", t / "text.rpi", t / "in.png", t / "o.png"}, "not a loadable shared library"},
        {{"apply", std::string(PELLIX_HOST_FIXTURE_DIR) + "/host_fixture_getinfo_only.rpi", t / "in.png", t / "o.png"},
         "not a render plugin"},
        {{"apply", std::string(PELLIX_HOST_FIXTURE_DIR) + "/host_fixture_3x.rpi", t / "in.png", t / "o.png"},
         "its scale factor is 3; pellix drives 2x plugins only"},
        {{"apply", "duplix.rpi", t / "in.png", t / "nodir/o.png"},
         "cannot write " + t / "nodir/o.png" + ": No such file or directory"},
        {{"apply", "duplix.rpi", t / "in.png", t / "adir"}, "cannot write " + t / "adir"},
    };
    for (const Case& c : cases) {
        const RunResult r = runPellix(c.args);
        EXPECT_EQ(r.status, 1) << c.args[1];
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args[1] << "\n" << r.err;
        EXPECT_FALSE(fileExists(t / "o.png"));
    }
}

}  // namespace
