// pellix demo and bench, and the progress display on a terminal.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>

#include "dynlib.h"
#include "host_support.h"
#include "png_fixtures.h"

using namespace pellix::test;

namespace {

size_t count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
}

// "scanline/tristripe.rpi" -> "scanline-tristripe.png"
std::string demoName(std::string rel) {
    rel = rel.substr(0, rel.size() - 4);
    for (char& c : rel)
        if (c == '/') c = '-';
    return rel + ".png";
}

TEST(HostDemo, WritesSourceOnePngPerPluginAndAnIndex) {
    const std::vector<std::string> plugins = builtPlugins();
    ASSERT_FALSE(plugins.empty());
    TempDir t;
    const std::string exe = makeDist(t.path() / "dist", plugins);
    const RunResult r = runPellix({"demo", t / "out"}, {exe, "", ""});
    ASSERT_EQ(r.status, 0) << r.err;
    const Decoded src = decodeHostPng(readFile(t / "out/source.png"));
    ASSERT_EQ(src.error, "");
    EXPECT_EQ(src.width, 160u);
    EXPECT_EQ(src.height, 120u);
    const std::string html = readFile(t / "out/index.html");
    EXPECT_NE(html.find("image-rendering: pixelated"), std::string::npos);
    EXPECT_NE(html.find("src=\"source.png\""), std::string::npos);
    for (const std::string& p : plugins) {
        SCOPED_TRACE(p);
        const std::string name = demoName(p);
        const Decoded d = decodeHostPng(readFile(t / ("out/" + name)));
        ASSERT_EQ(d.error, "");
        EXPECT_EQ(d.width, 320u);
        EXPECT_EQ(d.height, 240u);
        EXPECT_NE(html.find("src=\"" + name + "\""), std::string::npos);
        // The demo's picture is what apply gives for its source.
        const RunResult a = runPellix({"apply", p, t / "out/source.png", t / "again.png"}, {exe, "", ""});
        ASSERT_EQ(a.status, 0) << a.err;
        EXPECT_EQ(decodeHostPng(readFile(t / "again.png")).px, d.px);
    }
    // Display names, from the plugins' own records.
    if (fileExists(distPath("quadrix.rpi"))) {
        EXPECT_NE(html.find(">KestoRGB  (Pellix)<"), std::string::npos);
    }
    if (fileExists(distPath("duplix.rpi"))) {
        EXPECT_NE(html.find(">Duplix (Pellix)<"), std::string::npos);
    }
    EXPECT_EQ(count(html, "<img "), plugins.size() + 1);
    // The test card uses pure black, pure white, and more than a handful of colours.
    EXPECT_NE(std::find(src.px.begin(), src.px.end(), 0x0000), src.px.end());
    EXPECT_NE(std::find(src.px.begin(), src.px.end(), 0xFFFF), src.px.end());
    std::vector<uint16_t> colours = src.px;
    std::sort(colours.begin(), colours.end());
    EXPECT_GT(std::unique(colours.begin(), colours.end()) - colours.begin(), 100);
}

TEST(HostDemo, DefaultDirectoryAndDistinctNamesForSubfolderBuilds) {
    TempDir t;
    const std::string exe = makeDist(t.path() / "dist", {"duplix.rpi"});
    // Three copies of one plugin in subfolders stand in for the three tristripe builds.
    for (const char* sub : {"scanline", "plain", "copy"}) {
        std::filesystem::create_directory(t.path() / "dist" / sub);
        std::filesystem::copy_file(distPath("duplix.rpi"), t.path() / "dist" / sub / "tristripe.rpi");
    }
    const RunResult r = runPellix({"demo"}, {exe, t.path().string(), ""});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* f : {"source.png", "duplix.png", "scanline-tristripe.png", "plain-tristripe.png",
                          "copy-tristripe.png", "index.html"}) {
        EXPECT_TRUE(fileExists(t / (std::string("pellix-demo/") + f))) << f;
    }
}

TEST(HostDemo, BrokenPluginFileIsReportedAndTheRestWritten) {
    TempDir t;
    const std::string exe = makeDist(t.path() / "dist", {"duplix.rpi"});
    writeFile(t / "dist/broken.rpi", "not a library");
    const RunResult r = runPellix({"demo", t / "out"}, {exe, "", ""});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("broken.rpi: not a loadable shared library"), std::string::npos) << r.err;
    EXPECT_TRUE(fileExists(t / "out/duplix.png"));
    EXPECT_TRUE(fileExists(t / "out/index.html"));
    EXPECT_FALSE(fileExists(t / "out/broken.png"));
}

TEST(HostDemo, NoPluginsOrUnwritableDirectoryIsAnError) {
    TempDir t;
    const std::string exe = makeDist(t.path() / "dist", {});
    RunResult r = runPellix({"demo", t / "out"}, {exe, "", ""});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no plugins (*.rpi, */*.rpi) found beside pellix"), std::string::npos) << r.err;
    writeFile(t / "afile", "x");
    r = runPellix({"demo", t / "afile/out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot create directory"), std::string::npos) << r.err;
}

// A small JSON syntax check: values, objects, arrays, strings, numbers, literals.
class JsonCheck {
public:
    explicit JsonCheck(const std::string& s) : s_(s) {}
    bool valid() {
        ws();
        if (!value()) return false;
        ws();
        return i_ == s_.size();
    }

private:
    void ws() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    bool lit(const char* w) {
        const size_t n = std::strlen(w);
        if (s_.compare(i_, n, w) != 0) return false;
        i_ += n;
        return true;
    }
    bool str() {
        if (i_ >= s_.size() || s_[i_] != '"') return false;
        for (++i_; i_ < s_.size(); ++i_) {
            if (s_[i_] == '\\') ++i_;
            else if (s_[i_] == '"') return ++i_, true;
        }
        return false;
    }
    bool number() {
        const size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-') ++i_;
        while (i_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.' || s_[i_] == 'e' ||
                                  s_[i_] == 'E' || s_[i_] == '+' || s_[i_] == '-'))
            ++i_;
        return i_ > start;
    }
    bool list(char close, bool keyed) {
        ++i_;
        ws();
        if (i_ < s_.size() && s_[i_] == close) return ++i_, true;
        for (;;) {
            ws();
            if (keyed) {
                if (!str()) return false;
                ws();
                if (i_ >= s_.size() || s_[i_++] != ':') return false;
                ws();
            }
            if (!value()) return false;
            ws();
            if (i_ >= s_.size()) return false;
            if (s_[i_] == ',') {
                ++i_;
                continue;
            }
            return s_[i_++] == close;
        }
    }
    bool value() {
        if (i_ >= s_.size()) return false;
        switch (s_[i_]) {
            case '{': return list('}', true);
            case '[': return list(']', false);
            case '"': return str();
            case 't': return lit("true");
            case 'f': return lit("false");
            case 'n': return lit("null");
            default: return number();
        }
    }
    const std::string& s_;
    size_t i_ = 0;
};

TEST(HostBench, JsonCheckerRejectsBrokenJson) {
    EXPECT_TRUE(JsonCheck(R"({"a": [1, 2.5, null, true, "x\"y"], "b": {}})").valid());
    for (const char* bad : {"{", R"({"a": 1,})", R"({"a" 1})", "[1 2]", R"({"a": 1}})", ""}) {
        EXPECT_FALSE(JsonCheck(bad).valid()) << bad;
    }
}

TEST(HostBench, TableHasARowPerPluginAndSize) {
    const RunResult r =
        runPellix({"bench", "duplix.rpi", "--size", "32x16", "--size", "8x8", "--time-ms", "5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("plugin", 0), 0u) << r.out;
    for (const char* col : {"size", "us/frame", "memcpy us", "src MP/s", "out MP/s", "speed vs memcpy"})
        EXPECT_NE(r.out.find(col), std::string::npos) << col;
    EXPECT_EQ(count(r.out, "\nduplix.rpi "), 2u) << r.out;
    EXPECT_EQ(count(r.out, "x\n"), 2u) << "each row ends in its ratio\n" << r.out;
    EXPECT_NE(r.out.find(" 32x16 "), std::string::npos);
    EXPECT_NE(r.out.find(" 8x8 "), std::string::npos);
}

TEST(HostBench, JsonHasOneResultPerPluginAndSize) {
    const std::vector<std::string> plugins = builtPlugins();
    TempDir t;
    const std::string exe = makeDist(t.path() / "dist", plugins);
    // Default plugin list: everything beside pellix. 2048 wide is refused by all but Eagle.
    const RunResult r = runPellix({"bench", "--json", "--size", "16x8", "--size", "2048x1", "--time-ms", "2"},
                                  {exe, "", ""});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(JsonCheck(r.out).valid()) << r.out;
    EXPECT_EQ(r.out.rfind("{\n  \"results\": [", 0), 0u) << r.out;
    const size_t rows = 2 * plugins.size();
    for (const char* key : {"\"plugin\": ", "\"name\": ", "\"width\": ", "\"height\": ", "\"output_bytes\": ",
                            "\"refused\": ", "\"median_ns\": ", "\"memcpy_median_ns\": ", "\"src_mpix_per_s\": ",
                            "\"out_mpix_per_s\": ", "\"speed_vs_memcpy\": "}) {
        EXPECT_EQ(count(r.out, key), rows) << key;
    }
    for (const std::string& p : plugins) EXPECT_NE(r.out.find("\"plugin\": \"" + p + "\""), std::string::npos) << p;
    const size_t refusing = plugins.size() - (fileExists(distPath("Eagle.rpi")) ? 1 : 0);
    EXPECT_EQ(count(r.out, "\"refused\": true"), refusing);
    EXPECT_EQ(count(r.out, "\"reason\": \"width 2048 is over the limit of 2047\""), refusing);
    EXPECT_EQ(count(r.out, "\"speed_vs_memcpy\": null"), refusing);
}

// The speed is memcpy time over frame time (higher is faster), not its inverse; the
// printed figures are rounded, so the quotient is checked against its rounding bounds.
TEST(HostBench, SpeedVsMemcpyIsMemcpyTimeOverFrameTime) {
    // Every plugin: the slower ones are far from 1.00x, where the inverse would show.
    const std::vector<std::string> plugins = builtPlugins();
    std::vector<std::string> args{"bench", "--json", "--size", "64x32", "--size", "320x240", "--time-ms", "5"};
    args.insert(args.begin() + 1, plugins.begin(), plugins.end());
    const RunResult r = runPellix(args);
    ASSERT_EQ(r.status, 0) << r.err;
    // The number after `key` on `line`; NaN when the key is missing.
    auto field = [](const std::string& line, const std::string& key) {
        const size_t at = line.find("\"" + key + "\": ");
        return at == std::string::npos ? std::nan("") : std::strtod(line.c_str() + at + key.size() + 4, nullptr);
    };
    size_t rows = 0;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"plugin\": ") == std::string::npos) continue;
        ++rows;
        const double frame = field(line, "median_ns"), copy = field(line, "memcpy_median_ns"),
                     speed = field(line, "speed_vs_memcpy");
        ASSERT_GE(frame, 1.0) << line;
        ASSERT_GT(copy, 0.0) << line;
        const double lo = (copy - 0.05) / (frame + 0.05) - 0.0005, hi = (copy + 0.05) / (frame - 0.05) + 0.0005;
        EXPECT_GE(speed, lo) << line;
        EXPECT_LE(speed, hi) << line;
    }
    EXPECT_EQ(rows, 2 * plugins.size()) << r.out;
}

TEST(HostBench, MissingPluginIsReportedAndTheOthersRun) {
    const RunResult r = runPellix({"bench", "duplix.rpi", "nosuch.rpi", "--size", "8x8", "--time-ms", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nosuch.rpi: no such plugin file"), std::string::npos) << r.err;
    EXPECT_EQ(count(r.out, "\nduplix.rpi "), 1u) << r.out;
}

struct PtyRun {
    bool started = false;  // false when no pseudo-terminal could be had
    int status = -1;
    std::string shown;  // what reached the terminal
};

// Runs pellix with stderr (and stdout, unless `outFile` is given) on a pseudo-terminal.
PtyRun runOnPty(const std::vector<std::string>& args, const std::string& inFile, const std::string& outFile) {
    const std::string exe = pellixExe();
    std::vector<std::string> store{exe};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : store) argv.push_back(a.data());
    argv.push_back(nullptr);
    PtyRun run;
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return run;
    run.started = true;
    if (pid == 0) {
        const int fi = open(inFile.c_str(), O_RDONLY);
        if (fi < 0) _exit(125);
        dup2(fi, 0);
        if (!outFile.empty()) {
            const int fo = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fo < 0) _exit(125);
            dup2(fo, 1);
        }
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    char buf[512];
    for (;;) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;
        run.shown.append(buf, static_cast<size_t>(n));
    }
    int st = 0;
    waitpid(pid, &st, 0);
    close(master);
    run.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return run;
}

// Progress goes to stderr only when it is a terminal (the pipe case is checked with
// the raw tests: stderr stays empty there).
TEST(HostProgress, ShownOnATerminal) {
    TempDir t;
    writeFile(t / "in.raw", std::string(8 * 8 * 2 * 30, '\x22'));
    const PtyRun r = runOnPty({"raw", "duplix.rpi", "--size", "8x8"}, t / "in.raw", t / "out.raw");
    if (!r.started) GTEST_SKIP() << "no pseudo-terminal available";
    EXPECT_EQ(r.status, 0) << r.shown;
    EXPECT_NE(r.shown.find(" frames, "), std::string::npos) << r.shown;
    EXPECT_NE(r.shown.find("frames/s"), std::string::npos) << r.shown;
    EXPECT_EQ(readFile(t / "out.raw").size(), 30u * 16 * 16 * 2);
}

TEST(HostProgress, BinaryOutputIsNotWrittenToATerminal) {
    TempDir t;
    writeFile(t / "in.raw", std::string(8 * 8 * 2, '\x22'));
    writePngFile(t / "in.png", rgbSpec(2, 2, samplePixels(2, 2, 1)));
    PtyRun r = runOnPty({"raw", "duplix.rpi", "--size", "8x8"}, t / "in.raw", "");
    if (!r.started) GTEST_SKIP() << "no pseudo-terminal available";
    EXPECT_EQ(r.status, 2) << r.shown;
    EXPECT_NE(r.shown.find("standard output is a terminal"), std::string::npos) << r.shown;
    r = runOnPty({"apply", "duplix.rpi", "-", "-"}, t / "in.png", "");
    EXPECT_EQ(r.status, 2) << r.shown;
    EXPECT_NE(r.shown.find("standard output is a terminal"), std::string::npos) << r.shown;
}

}  // namespace
