// pellix raw: streams of RGB565 frames, the same pixels as apply, and its errors.
#include <gtest/gtest.h>

#include "dynlib.h"
#include "host_support.h"
#include "png_fixtures.h"

using namespace pellix::test;

namespace {

std::vector<uint16_t> doubled(const std::vector<uint16_t>& src, uint32_t w, uint32_t h) {
    std::vector<uint16_t> out(size_t{4} * w * h);
    for (uint32_t y = 0; y < 2 * h; ++y)
        for (uint32_t x = 0; x < 2 * w; ++x) out[y * 2 * w + x] = src[(y / 2) * w + x / 2];
    return out;
}

TEST(HostRaw, FilterEveryFrameOfAStream) {
    TempDir t;
    const uint32_t w = 21, h = 5;
    std::string in, expect;
    for (uint32_t f = 0; f < 4; ++f) {
        const std::vector<uint16_t> px = samplePixels(w, h, 100 + f);
        in += rawBytes(px);
        expect += rawBytes(doubled(px, w, h));
    }
    writeFile(t / "in.raw", in);
    // Standard input to standard output, and file to file.
    RunResult r = runPellix({"raw", "duplix.rpi", "--size", "21x5"}, {"", "", t / "in.raw"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "no progress output when stderr is not a terminal";
    EXPECT_TRUE(r.out == expect);
    r = runPellix({"raw", "duplix.rpi", "--size=21x5", t / "in.raw", t / "out.raw"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(readFile(t / "out.raw") == expect);
    r = runPellix({"raw", "duplix.rpi", "--size", "21x5", "-", "-"}, {"", "", t / "in.raw"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == expect);
}

// The two roads into a plugin must hand it the same pixels and give back the same ones.
TEST(HostRaw, OutputEqualsApplyOutputForEveryPlugin) {
    TempDir t;
    const uint32_t w = 43, h = 11;
    const std::vector<uint16_t> px = samplePixels(w, h, 7);
    writePngFile(t / "in.png", rgbSpec(w, h, px));
    writeFile(t / "in.raw", rawBytes(px) + rawBytes(px));
    const std::vector<std::string> plugins = builtPlugins();
    ASSERT_FALSE(plugins.empty());
    for (const std::string& p : plugins) {
        SCOPED_TRACE(p);
        RunResult a = runPellix({"apply", p, t / "in.png", t / "out.png"});
        ASSERT_EQ(a.status, 0) << a.err;
        const Decoded d = decodeHostPng(readFile(t / "out.png"));
        ASSERT_EQ(d.error, "");
        ASSERT_EQ(d.width, 2 * w);
        RunResult r = runPellix({"raw", p, "--size", "43x11", t / "in.raw", "-"});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<uint16_t> raw = fromRawBytes(r.out);
        ASSERT_EQ(raw.size(), 2 * d.px.size());
        EXPECT_TRUE(std::equal(d.px.begin(), d.px.end(), raw.begin())) << "first frame differs from apply";
        EXPECT_TRUE(std::equal(d.px.begin(), d.px.end(), raw.begin() + d.px.size())) << "second frame differs";
    }
}

TEST(HostRaw, BadSizeStringsAreUsageErrors) {
    const char* sizes[] = {"", "32", "32x", "x24", "0x10", "10x0", "-3x4", "axb", "32x24x2", "3 x4", "99999x99999",
                           "1234567890x1"};
    for (const char* s : sizes) {
        const RunResult r = runPellix({"raw", "duplix.rpi", "--size", s});
        EXPECT_EQ(r.status, 2) << s;
        EXPECT_NE(r.err.find(std::string("size '") + s + "'"), std::string::npos) << s << ": " << r.err;
    }
    const RunResult b = runPellix({"bench", "duplix.rpi", "--size", "64"});
    EXPECT_EQ(b.status, 2);
    EXPECT_NE(b.err.find("size '64' is not WIDTHxHEIGHT"), std::string::npos) << b.err;
}

TEST(HostRaw, EmptyInputIsAnError) {
    TempDir t;
    writeFile(t / "empty.raw", "");
    const RunResult r = runPellix({"raw", "duplix.rpi", "--size", "4x4", t / "empty.raw", "-"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("holds no frame (it is empty)"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(HostRaw, PartialLastFrameIsAnErrorAfterTheWholeFramesAreWritten) {
    TempDir t;
    const std::vector<uint16_t> a = samplePixels(4, 3, 1), b = samplePixels(4, 3, 2);
    writeFile(t / "in.raw", rawBytes(a) + rawBytes(b) + std::string(10, '\x7f'));
    const RunResult r = runPellix({"raw", "duplix.rpi", "--size", "4x3", t / "in.raw"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ends with a partial frame: 10 of 24 bytes after 2 whole frames"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out == rawBytes(doubled(a, 4, 3)) + rawBytes(doubled(b, 4, 3)));
    // A single odd byte is a partial frame too.
    writeFile(t / "one.raw", "x");
    const RunResult one = runPellix({"raw", "duplix.rpi", "--size", "4x3", t / "one.raw"});
    EXPECT_EQ(one.status, 1);
    EXPECT_NE(one.err.find("partial frame: 1 of 24 bytes after 0 whole frames"), std::string::npos) << one.err;
}

TEST(HostRaw, RefusedFrameIsNamedByNumber) {
    TempDir t;
    writeFile(t / "in.raw", std::string(2048 * 2 * 2 * 2, '\x11'));  // two 2048x2 frames
    const RunResult r = runPellix({"raw", "duplix.rpi", "--size", "2048x2", t / "in.raw"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("frame 1 (2048x2) refused by Duplix (Pellix): width 2048 is over the limit of 2047"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(HostRaw, FileErrors) {
    TempDir t;
    writeFile(t / "in.raw", std::string(32, '\0'));
    RunResult r = runPellix({"raw", "duplix.rpi", "--size", "4x4", t / "missing.raw", t / "out.raw"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot open " + t / "missing.raw"), std::string::npos) << r.err;
    r = runPellix({"raw", "duplix.rpi", "--size", "4x4", t / "in.raw", t / "nodir/out.raw"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write " + t / "nodir/out.raw"), std::string::npos) << r.err;
    r = runPellix({"raw", "unknown.rpi", "--size", "4x4", t / "in.raw", t / "out.raw"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("unknown.rpi: no such plugin file"), std::string::npos) << r.err;
}

}  // namespace
