// pellix's command line: help for every command, `info`, and the usage errors.
#include <gtest/gtest.h>

#include "dynlib.h"
#include "host_support.h"

using namespace pellix::test;

namespace {

const char* const kCommands[] = {"info", "apply", "raw", "demo", "bench"};

std::string fixture(const std::string& name) { return std::string(PELLIX_HOST_FIXTURE_DIR) + "/" + name; }

TEST(HostHelp, TopLevelHelpListsEveryCommand) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"-h"}, {"help"}}) {
        const RunResult r = runPellix(args);
        EXPECT_EQ(r.status, 0) << args[0];
        for (const char* c : kCommands) EXPECT_NE(r.out.find(std::string("  ") + c + " "), std::string::npos) << c;
    }
}

TEST(HostHelp, EveryCommandAnswersHelpWithItsUsage) {
    for (const char* c : kCommands) {
        // --help wins over anything else on the line, even arguments that would fail.
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{c, "--help"}, {c, "no-such.rpi", "-h"}, {"help", c}}) {
            const RunResult r = runPellix(args);
            EXPECT_EQ(r.status, 0) << c;
            EXPECT_EQ(r.out.rfind(std::string("usage: pellix ") + c, 0), 0u) << c << ": " << r.out;
            EXPECT_EQ(r.err, "") << c;
        }
    }
}

TEST(HostHelp, UnknownCommandOrNoneIsAUsageError) {
    RunResult r = runPellix({"frobnicate"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown command 'frobnicate'"), std::string::npos) << r.err;
    r = runPellix({"help", "frobnicate"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown command 'frobnicate'"), std::string::npos) << r.err;
    r = runPellix({});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: pellix"), std::string::npos);
}

TEST(HostCli, UsageErrorsExitWithTwo) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"info"}, "no plugin given"},
        {{"apply"}, "no plugin given"},
        {{"apply", "duplix.rpi", "in.png"}, "expected IN.png OUT.png"},
        {{"apply", "duplix.rpi", "a.png", "b.png", "c.png"}, "expected IN.png OUT.png"},
        {{"apply", "duplix.rpi", "-", "-o", "dir"}, "needs an output file"},
        {{"apply", "duplix.rpi", "x/a.png", "y/a.png", "-o", "dir"}, "two inputs are named a.png"},
        {{"apply", "duplix.rpi", "a.png", "b.png", "--bogus"}, "unknown option --bogus"},
        {{"raw", "--size", "8x8"}, "no plugin given"},
        {{"raw", "duplix.rpi"}, "--size WxH is required"},
        {{"raw", "duplix.rpi", "--size"}, "--size needs a value"},
        {{"raw", "duplix.rpi", "--size", "8x8", "a", "b", "c"}, "too many arguments"},
        {{"raw", "duplix.rpi", "--size", "8x8", "--size", "4x4"}, "given more than once"},
        {{"raw", "--via-adapter", "duplix.rpi", "--size", "8x8"}, "--via-adapter takes no PLUGIN"},
        {{"apply", "--via-adapter", "duplix.rpi", "a.png", "b.png"}, "--via-adapter takes no PLUGIN"},
        {{"demo", "a", "b"}, "at most one OUTDIR"},
        {{"bench", "--time-ms", "soon"}, "--time-ms 'soon'"},
    };
    for (const Case& c : cases) {
        const RunResult r = runPellix(c.args);
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        EXPECT_EQ(r.status, 2) << line << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << line << "\n" << r.err;
    }
}

TEST(HostInfo, ShowsNameFlagsAndScaleOfEachBuiltPlugin) {
    struct Expect {
        const char* file;
        const char* name;
        const char* flags;
        const char* scale;
    };
    const Expect cases[] = {
        {"duplix.rpi", "\"Duplix (Pellix)\"",
         "0x20F02  RENDER_SCALE_2X | RENDER_FLAG_RGB565 | RENDER_FLAG_BIT10 | RENDER_FLAG_BIT9 | RENDER_FLAG_BIT8 | "
         "RENDER_FLAG_BIT1",
         "scale: 2x\n"},
        {"quadrix.rpi", "\"KestoRGB  (Pellix)\"",
         "0x20B02  RENDER_SCALE_2X | RENDER_FLAG_RGB565 | RENDER_FLAG_BIT9 | RENDER_FLAG_BIT8 | RENDER_FLAG_BIT1",
         "scale: 2x\n"},
        {"Eagle.rpi", "\"Eagle (Tamsor)\"", "0x00901  RENDER_FLAG_RGB565 | RENDER_FLAG_BIT8 | RENDER_FLAG_BIT0",
         "scale: 2x (scale field 0x0 counts as 2x)\n"},
        {"scanline/tristripe.rpi", "\"RGB Scanline (Pellix)\"", "0x20B02", "scale: 2x\n"},
        {"plain/tristripe.rpi", "\"RGB (Pellix)\"", "0x20B02", "scale: 2x\n"},
        {"copy/tristripe.rpi", "\"RGB Copy (Pellix)\"", "0x20B02", "scale: 2x\n"},
    };
    int shown = 0;
    for (const Expect& e : cases) {
        if (!fileExists(distPath(e.file))) continue;
        ++shown;
        // A bare relative name is found beside pellix, wherever pellix is run from.
        TempDir cwd;
        const RunResult r = runPellix({"info", e.file}, {"", cwd.path().string(), ""});
        EXPECT_EQ(r.status, 0) << e.file << r.err;
        EXPECT_NE(r.out.find(std::string("name:  ") + e.name + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(std::string("flags: ") + e.flags), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(e.scale), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("cannot drive"), std::string::npos) << r.out;
    }
    EXPECT_GT(shown, 0) << "no plugin is built";
}

TEST(HostInfo, ReportsEachFileThatIsNoPluginAndGoesOn) {
    TempDir t;
    writeFile(t / "text.rpi", "this is not a shared library\n");
    std::filesystem::create_directory(t.path() / "dir.rpi");
    struct Case {
        std::string arg;
        const char* message;
    };
    const Case cases[] = {
        {t / "missing.rpi", "no such plugin file"},
        {t / "text.rpi", "not a loadable shared library"},
        {t / "dir.rpi", "is a directory"},
        {fixture("host_fixture_getinfo_only.rpi"), "not a render plugin (it does not export RenderPluginOutput)"},
    };
    for (const Case& c : cases) {
        const RunResult r = runPellix({"info", c.arg, distPath("duplix.rpi")});
        EXPECT_EQ(r.status, 1) << c.arg;
        EXPECT_NE(r.err.find(c.arg + ": " + c.message), std::string::npos) << r.err;
        EXPECT_NE(r.out.find("\"Duplix (Pellix)\""), std::string::npos) << "the good plugin is still shown";
    }
}

TEST(HostInfo, FlagsAPluginPellixCannotDrive) {
    const RunResult r = runPellix({"info", fixture("host_fixture_3x.rpi")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("0x30B02  RENDER_SCALE_3X | RENDER_FLAG_RGB565"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("scale: 3x"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("pellix cannot drive it: its scale factor is 3"), std::string::npos) << r.out;
}

}  // namespace
