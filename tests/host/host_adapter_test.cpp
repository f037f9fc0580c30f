// --via-adapter: frames through velmora.so beside pellix, configured by velmora.ini,
// give what the plugin gives when pellix loads it itself. Each test runs a private copy
// of pellix in its own folder, with its own velmora.ini.
#include <gtest/gtest.h>

#include "dynlib.h"
#include "host_support.h"
#include "png_fixtures.h"

using namespace pellix::test;

namespace {

class ViaAdapter : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fileExists(distPath("velmora.so"))) GTEST_SKIP() << "velmora.so is not built";
        files_ = builtPlugins();
        files_.push_back("velmora.so");
        exe_ = makeDist(t_.path() / "dist", files_);
    }
    void configure(const std::string& ini) { writeFile(t_ / "dist/velmora.ini", ini); }
    RunResult run(const std::vector<std::string>& args, const std::string& stdinFile = "") {
        return runPellix(args, {exe_, t_.path().string(), stdinFile});
    }
    TempDir t_;
    std::vector<std::string> files_;
    std::string exe_;
};

TEST_F(ViaAdapter, ApplyAndRawMatchTheDirectPlugin) {
    const uint32_t w = 19, h = 9;
    const std::vector<uint16_t> px = samplePixels(w, h, 11);
    writePngFile(t_ / "in.png", rgbSpec(w, h, px));
    writeFile(t_ / "in.raw", rawBytes(px));
    for (const std::string& plugin : builtPlugins()) {
        SCOPED_TRACE(plugin);
        configure("[Velmora]\nfilter=" + plugin + "\n");
        const RunResult direct = run({"apply", plugin, "in.png", "direct.png"});
        ASSERT_EQ(direct.status, 0) << direct.err;
        const RunResult via = run({"apply", "--via-adapter", "in.png", "via.png"});
        ASSERT_EQ(via.status, 0) << via.err;
        const Decoded a = decodeHostPng(readFile(t_ / "direct.png")), b = decodeHostPng(readFile(t_ / "via.png"));
        ASSERT_EQ(a.error, "");
        EXPECT_EQ(a.px, b.px);
        const RunResult raw = run({"raw", "--via-adapter", "--size", "19x9", "in.raw", "-"});
        ASSERT_EQ(raw.status, 0) << raw.err;
        EXPECT_EQ(fromRawBytes(raw.out), a.px);
    }
}

TEST_F(ViaAdapter, AdapterWithoutAPluginIsAnError) {
    writePngFile(t_ / "in.png", rgbSpec(4, 4, samplePixels(4, 4, 1)));
    for (const char* ini : {"[Velmora]\nfilter=missing.rpi\n", "[Velmora]\nfilter=\n", "[Other]\nfilter=duplix.rpi\n"}) {
        configure(ini);
        const RunResult r = run({"apply", "--via-adapter", "in.png", "out.png"});
        EXPECT_EQ(r.status, 1) << ini;
        EXPECT_NE(r.err.find("velmora.so loaded no plugin; check velmora.ini"), std::string::npos) << r.err;
        EXPECT_FALSE(fileExists(t_ / "out.png"));
    }
}

TEST_F(ViaAdapter, RefusedFrameThroughTheAdapterIsAnError) {
    configure("[Velmora]\nfilter=duplix.rpi\n");
    writeFile(t_ / "wide.raw", std::string(2048 * 2, '\0'));
    const RunResult r = run({"raw", "--via-adapter", "--size", "2048x1", "wide.raw", "out.raw"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("frame 1 (2048x1) refused by velmora.so: width 2048 is over the limit of 2047"),
              std::string::npos)
        << r.err;
}

// The build ships velmora.ini naming duplix.rpi, so pellix in dist/ works unconfigured.
TEST(ViaAdapterDefault, DistIniLoadsDuplix) {
    for (const char* f : {"velmora.so", "velmora.ini", "duplix.rpi"})
        if (!fileExists(distPath(f))) GTEST_SKIP() << f << " is not built";
    TempDir t;
    const uint32_t w = 7, h = 5;
    writePngFile(t / "in.png", rgbSpec(w, h, samplePixels(w, h, 3)));
    const RunResult direct = runPellix({"apply", "duplix.rpi", "in.png", "direct.png"}, {"", t.path().string(), ""});
    ASSERT_EQ(direct.status, 0) << direct.err;
    const RunResult via = runPellix({"apply", "--via-adapter", "in.png", "via.png"}, {"", t.path().string(), ""});
    ASSERT_EQ(via.status, 0) << via.err;
    const Decoded a = decodeHostPng(readFile(t / "direct.png")), b = decodeHostPng(readFile(t / "via.png"));
    ASSERT_EQ(a.error, "");
    ASSERT_EQ(b.error, "");
    EXPECT_EQ(a.px, b.px);
}

TEST(ViaAdapterMissing, NoVelmoraBesidePellixIsAnError) {
    TempDir t;
    const std::string exe = makeDist(t.path() / "dist", {});
    writePngFile(t / "in.png", rgbSpec(2, 2, samplePixels(2, 2, 1)));
    const RunResult r = runPellix({"apply", "--via-adapter", t / "in.png", t / "out.png"}, {exe, "", ""});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("velmora.so not found beside pellix in " + t / "dist"), std::string::npos) << r.err;
}

}  // namespace
