// The foreign-host cases both platforms run; see adapter_cases.h.
#include "adapter_cases.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>

#include "render_plugin.h"

namespace adapter_cases {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& content) {
    makeDirs(path.substr(0, path.rfind(kSep)));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << path;
}

std::string lines(std::initializer_list<const char*> ls) {
    std::string s;
    for (const char* l : ls) s += std::string(l) + "\n";
    return s;
}

// The Windows host and fakes write text mode: CRLF line ends.
std::string withoutCr(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
}

std::string native(std::string rel) {
    std::replace(rel.begin(), rel.end(), '/', kSep);
    return rel;
}

std::string velmoraIni(const std::string& value) {
    return std::string("[Velmora]") + kEol + "filter=" + value + kEol;
}

std::string directoryOfLength(const std::string& base, size_t length) {
    std::string d = base + kSep;
    while (d.size() < length) {
        size_t c = std::min(kMaxComponent, length - d.size() - 1);
        if (length - d.size() - (c + 1) == 1) --c;  // never leave a single character
        d += std::string(c, 'd') + kSep;
    }
    return d;
}

void AdapterHost::SetUp() {
    dir_ = makeTempDir();
    ASSERT_FALSE(dir_.empty()) << "no temporary directory";
    log_ = at("plugin.log");
}

void AdapterHost::TearDown() {
    if (!dir_.empty()) removeTree(dir_);
}

void AdapterHost::install(const std::string& hostFrom) {
    copyFile(hostFrom, at(kHostFile));
    copyFile(adapterLibrary(), at(kAdapter));
    host_ = at(kHostFile);
}

void AdapterHost::expectRun(const std::vector<std::string>& args, const std::string& expected,
                            const std::string& what) {
    const Child c = run(args);
    EXPECT_EQ(c.exitCode, 0) << what << "\n" << c.out;
    EXPECT_EQ(c.out, expected) << what;
}

namespace {

TEST_F(AdapterHost, DuplixDoublesFramesAndRefusedFramesStillReturnOne) {
    install();
    place(duplixLibrary(), "duplix.rpi");
    ini(velmoraIni("duplix.rpi"));
    expectRun({"isfilter", "frame", "5", "3", "10", "6", "frame", "4", "4", "9", "11", "frame", "1", "1", "2", "2",
               "frame", "5", "3", "9", "6", "frame", "4", "0", "8", "0", "info", "duplix.rpi"},
              lines({"isfilter=1", "frame=1 doubled=1 untouched=0", "frame=1 doubled=1 untouched=0",
                     "frame=1 doubled=1 untouched=0",
                     "frame=1 doubled=0 untouched=1",  // destination one pixel too narrow
                     "frame=1 doubled=0 untouched=1",  // zero height
                     "info flags=0x20f02 module=handle"}));
}

// The velmora.ini the build puts beside the adapter in dist/ names duplix.rpi.
TEST_F(AdapterHost, ShippedIniLoadsDuplix) {
    const std::string shipped = distFile("velmora.ini");
    if (!fileExists(shipped)) GTEST_SKIP() << shipped << " is not built";
    install();
    place(duplixLibrary(), "duplix.rpi");
    place(shipped, "velmora.ini");
    expectRun({"isfilter", "frame", "3", "2", "6", "4"}, lines({"isfilter=1", "frame=1 doubled=1 untouched=0"}));
}

TEST_F(AdapterHost, ForwardsOneReusedRequestWithClearedFlagsAndPresetSizes) {
    install();
    place(fakePlugin("recorder"), "rec.rpi");
    ini(velmoraIni("rec.rpi"));
    const Child c = run({"frame", "3", "2", "7", "5", "record", "rec.rpi", "frame", "4", "1", "9", "3", "record",
                         "rec.rpi", "info", "rec.rpi"});
    ASSERT_EQ(c.exitCode, 0) << c.out;
    std::istringstream in(c.out);
    std::string frame1, record1, frame2, record2, info;
    std::getline(in, frame1);
    std::getline(in, record1);
    std::getline(in, frame2);
    std::getline(in, record2);
    std::getline(in, info);
    const std::string size = "record size=" + std::to_string(sizeof(RenderPluginRequest));
    EXPECT_EQ(frame1, "frame=1 doubled=0 untouched=1");  // the fake writes no pixel
    // Flags 0x21F02 less bits 10 and 12; outWidth/outHeight preset to the destination size.
    EXPECT_EQ(record1.substr(0, record1.find(" addr=")),
              size + " flags=0x20b02 src=arg srcPitch=12 srcWidth=3 srcHeight=2 dst=arg dstPitch=18 dstWidth=7 "
                     "dstHeight=5 outWidth=7 outHeight=5 calls=1 getinfo=1");
    EXPECT_EQ(record2.substr(0, record2.find(" addr=")),
              size + " flags=0x20b02 src=arg srcPitch=14 srcWidth=4 srcHeight=1 dst=arg dstPitch=22 dstWidth=9 "
                     "dstHeight=3 outWidth=9 outHeight=3 calls=2 getinfo=1");
    EXPECT_EQ(record1.substr(record1.find(" addr=")), record2.substr(record2.find(" addr=")))
        << "one request record serves every frame";
    // The plugin's own record keeps bits 10 and 12 and holds its handle.
    EXPECT_EQ(info, "info flags=0x21f02 module=handle");
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\n");
}

// Every plugin of the system is accepted: the 2x ones by their scale field, Eagle because
// it has none. Each keeps its own flags and writes the frame it is handed. Plugins not
// built yet are skipped.
TEST_F(AdapterHost, AcceptsEveryPluginOfTheSystem) {
    const std::pair<const char*, const char*> plugins[] = {
        {"duplix.rpi", "info flags=0x20f02 module=handle"},
        {"quadrix.rpi", "info flags=0x20b02 module=handle"},
        {"Eagle.rpi", "info flags=0x901 module=handle"},
        {"scanline/tristripe.rpi", "info flags=0x20b02 module=handle"},
        {"plain/tristripe.rpi", "info flags=0x20b02 module=handle"},
        {"copy/tristripe.rpi", "info flags=0x20b02 module=handle"},
    };
    install();
    int tried = 0;
    for (const auto& p : plugins) {
        SCOPED_TRACE(p.first);
        const std::string built = distFile(p.first);
        if (!fileExists(built)) continue;
        ++tried;
        const std::string value = native(p.first);  // relative to the executable
        place(built, p.first);
        ini(velmoraIni(value));
        // Whether the result equals plain doubling depends on the plugin and the picture.
        const Child c = run({"isfilter", "info", value, "frame", "4", "3", "8", "6", "frame", "4", "3", "7", "6"});
        EXPECT_EQ(c.exitCode, 0);
        std::string out = c.out;
        for (const char* d : {"doubled=0 ", "doubled=1 "})
            for (size_t at; (at = out.find(d)) != std::string::npos;) out.erase(at, std::strlen(d));
        EXPECT_EQ(out, lines({"isfilter=1", p.second, "frame=1 untouched=0",
                              "frame=1 untouched=1"}));  // one pixel too narrow: refused
    }
    if (tried == 0) GTEST_SKIP() << "no plugin built";
}

struct Vetting {
    const char* fake;
    int accepted;
    const char* forwardedFlags;  // for accepted plugins
    const char* log;
};

class AdapterVetting : public AdapterHost, public ::testing::WithParamInterface<Vetting> {};

TEST_P(AdapterVetting, AcceptsOnlyTwoXRgb565PluginsAndUnloadsTheRest) {
    const Vetting& v = GetParam();
    install();
    place(fakePlugin(v.fake), "plugin.rpi");
    ini(velmoraIni("plugin.rpi"));
    if (v.accepted) {
        const Child c = run({"isfilter", "frame", "2", "2", "4", "4", "record", "plugin.rpi", "loaded", "plugin.rpi"});
        EXPECT_EQ(c.exitCode, 0);
        EXPECT_NE(c.out.find("isfilter=1\nframe=1 "), std::string::npos) << c.out;
        EXPECT_NE(c.out.find(std::string("flags=") + v.forwardedFlags + " "), std::string::npos) << c.out;
        EXPECT_NE(c.out.find("\nloaded=1\n"), std::string::npos) << c.out;
    } else {
        expectRun({"isfilter", "frame", "2", "2", "4", "4", "loaded", "plugin.rpi"},
                  lines({"isfilter=0", "frame=0 doubled=0 untouched=1", "loaded=0"}));
    }
    EXPECT_EQ(pluginLog(), v.log);
}

INSTANTIATE_TEST_SUITE_P(
    Fakes, AdapterVetting,
    ::testing::Values(Vetting{"scale1", 1, "0x10b02", "load\ngetinfo\nunload\n"},  // 0x10000 counts as 2x
                      Vetting{"scale5", 1, "0x50b02", "load\ngetinfo\nunload\n"},  // 0x50000 likewise
                      Vetting{"scale0", 1, "0x901", "load\ngetinfo\nunload\n"},    // Eagle's word
                      Vetting{"scale3", 0, "", "load\ngetinfo\nunload\n"},
                      Vetting{"scale4", 0, "", "load\ngetinfo\nunload\n"},
                      Vetting{"scalezero", 0, "", "load\ngetinfo\nunload\n"},
                      Vetting{"no565", 0, "", "load\ngetinfo\nunload\n"},
                      Vetting{"nullinfo", 0, "", "load\ngetinfo\nunload\n"},
                      Vetting{"nooutput", 0, "", "load\nunload\n"},  // GetInfo never called
                      Vetting{"nogetinfo", 0, "", "load\nunload\n"}),
    [](const ::testing::TestParamInfo<Vetting>& i) { return std::string(i.param.fake); });

const char kText[] = "<text>";  // source marker: a text file, not a library

struct Config {
    const char* label;
    std::optional<std::string> ini;                          // none: no velmora.ini
    std::vector<std::pair<std::string, std::string>> files;  // {source, '/'-separated path in the directory}
    int isfilter;
};

TEST_F(AdapterHost, ConfigurationTable) {
    const std::string duplix = duplixLibrary(), sub = native("sub/duplix.rpi"), eol = kEol;
    const std::string tenMb(10u << 20, 'x');
    std::string garbage(64 << 10, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 2654435761u) >> 13);
    const std::vector<Config> table = {
        {"no INI: default lumacast.rpi is not there", std::nullopt, {{duplix, "duplix.rpi"}}, 0},
        {"no INI: default lumacast.rpi is loaded", std::nullopt, {{duplix, "lumacast.rpi"}}, 1},
        {"no section: default", "[Other]" + eol + "filter=duplix.rpi" + eol, {{duplix, "lumacast.rpi"}}, 1},
        {"no key: default", "[Velmora]" + eol + "filters=duplix.rpi" + eol, {{duplix, "lumacast.rpi"}}, 1},
        {"empty value: nothing loaded", velmoraIni(""), {{duplix, "lumacast.rpi"}}, 0},
        {"missing file", velmoraIni("missing.rpi"), {{duplix, "duplix.rpi"}}, 0},
        {"not a library", velmoraIni("text.rpi"), {{kText, "text.rpi"}}, 0},
        {"a directory", velmoraIni("sub"), {{duplix, "sub/duplix.rpi"}}, 0},
        {"subdirectory", velmoraIni(sub), {{duplix, "sub/duplix.rpi"}}, 1},
        {"case and blanks", "[VELMORA]" + eol + "  Filter = " + sub + "  " + eol, {{duplix, "sub/duplix.rpi"}}, 1},
        {"quoted value", velmoraIni("\"duplix.rpi\""), {{duplix, "duplix.rpi"}}, 1},
        {"case, blanks, quotes, CRLF", "[VELMORA]\r\n  Filter = \"" + sub + "\" \r\n", {{duplix, "sub/duplix.rpi"}},
         1},
        {"LF line ends", "[Velmora]\nfilter=duplix.rpi\n", {{duplix, "duplix.rpi"}}, 1},
        {"byte order mark, no final newline", "\xEF\xBB\xBF[Velmora]" + eol + "filter=duplix.rpi",
         {{duplix, "duplix.rpi"}}, 1},
        {"duplicate keys: first wins", velmoraIni("duplix.rpi") + "filter=missing.rpi" + eol,
         {{duplix, "duplix.rpi"}}, 1},
        {"duplicate keys: first wins even if missing", velmoraIni("missing.rpi") + "filter=duplix.rpi" + eol,
         {{duplix, "duplix.rpi"}}, 0},
        {"duplicate sections: only the first is read", "[Velmora]" + eol + "x=1" + eol + velmoraIni("missing.rpi"),
         {{duplix, "lumacast.rpi"}}, 1},
        {"a value longer than 259 characters is not cut", velmoraIni("duplix.rpi" + std::string(290, ' ') + "x"),
         {{duplix, "duplix.rpi"}}, 0},
        {"10 MB line, then the entry", tenMb + eol + velmoraIni("duplix.rpi"), {{duplix, "duplix.rpi"}}, 1},
        {"10 MB value", velmoraIni(tenMb), {{duplix, "duplix.rpi"}}, 0},
        {"binary garbage", garbage, {{duplix, "lumacast.rpi"}}, 1},
    };
    for (const Config& c : table) {
        SCOPED_TRACE(c.label);
        TearDown();
        SetUp();
        install();
        for (const auto& f : c.files) {
            if (f.first == kText)
                writeFile(at(f.second), "this is not a library" + eol);
            else
                place(f.first, f.second);
        }
        if (c.ini) ini(*c.ini);
        expectRun({"isfilter", "frame", "3", "2", "6", "4"},
                  c.isfilter ? lines({"isfilter=1", "frame=1 doubled=1 untouched=0"})
                             : lines({"isfilter=0", "frame=0 doubled=0 untouched=1"}),
                  c.label);
    }
}

TEST_F(AdapterHost, PluginComesFromTheExecutablesDirectoryNotTheAdaptersOrTheWorkingOne) {
    copyFile(hostProgram(), at(std::string("bin/") + kHostFile));
    host_ = at(std::string("bin/") + kHostFile);
    copyFile(adapterLibrary(), at(std::string("lib/") + kAdapter));
    ini(velmoraIni("duplix.rpi"), "lib/velmora.ini");
    place(duplixLibrary(), "lib/duplix.rpi");
    place(duplixLibrary(), "cwd/duplix.rpi");
    const std::vector<std::string> args{"--adapter", at(std::string("lib/") + kAdapter), "isfilter"};
    EXPECT_EQ(run(args, at("cwd")).out, "isfilter=0\n");
    place(duplixLibrary(), "bin/duplix.rpi");
    EXPECT_EQ(run(args, at("cwd")).out, "isfilter=1\n");
}

TEST_F(AdapterHost, IniTakesTheAdaptersBaseName) {
    install();
    place(duplixLibrary(), "duplix.rpi");
    ini(velmoraIni("duplix.rpi"));  // beside it, but not its name
    place(adapterLibrary(), "other.dll");
    EXPECT_EQ(run({"--adapter", at("other.dll"), "isfilter"}).out, "isfilter=0\n");
    ini(velmoraIni("duplix.rpi"), "other.ini");
    EXPECT_EQ(run({"--adapter", at("other.dll"), "isfilter"}).out, "isfilter=1\n");
}

TEST_F(AdapterHost, DetachUnloadsThePluginAndAReloadStartsAfresh) {
    install();
    place(fakePlugin("recorder"), "rec.rpi");
    ini(velmoraIni("rec.rpi"));
    expectRun({"isfilter", "close", "loaded", "rec.rpi"}, lines({"isfilter=1", "close adapterLoaded=0", "loaded=0"}));
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\n");

    // A second attach starts afresh: the plugin is loaded again with zero static state.
    removeFile(log_);
    const Child c = run({"close", "open", "isfilter", "frame", "2", "1", "4", "2", "record", "rec.rpi"});
    EXPECT_EQ(c.exitCode, 0);
    EXPECT_EQ(c.out.substr(0, c.out.find("record")),
              lines({"close adapterLoaded=0", "open=1", "isfilter=1", "frame=1 doubled=0 untouched=1"}));
    EXPECT_NE(c.out.find(" calls=1 getinfo=1 "), std::string::npos) << c.out;
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\nload\ngetinfo\nunload\n");
}

TEST_F(AdapterHost, ExitWithoutDetachingIsClean) {
    install();
    place(fakePlugin("recorder"), "rec.rpi");
    ini(velmoraIni("rec.rpi"));
    expectRun({"isfilter", "frame", "2", "2", "4", "4"}, lines({"isfilter=1", "frame=1 doubled=0 untouched=1"}));
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\n");
}

TEST_F(AdapterHost, HostLinkedAgainstTheAdapterAttachesBeforeMain) {
    install(hostLinkedProgram());
    place(duplixLibrary(), "duplix.rpi");
    ini(velmoraIni("duplix.rpi"));
    expectRun({"isfilter", "frame", "3", "3", "6", "6", "loaded", "duplix.rpi"},
              lines({"isfilter=1", "frame=1 doubled=1 untouched=0", "loaded=1"}));
    removeFile(at("duplix.rpi"));
    place(fakePlugin("recorder"), "duplix.rpi");
    expectRun({"isfilter"}, "isfilter=1\n");
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\n") << "one load, one unload at exit";
}

TEST_F(AdapterHost, JoinedPluginPathIsNeverCutIntoAnotherFile) {
    // Executable directory of room - 11 characters: with "duplix.rpi" the joined path
    // has room - 1 characters and fits exactly; "duplix.rpiX" would need one byte more,
    // and cutting it would name duplix.rpi, which exists. It must not load.
    const std::string exeDir = directoryOfLength(at("deep"), kPathRoom - 11);
    ASSERT_EQ(exeDir.size(), kPathRoom - 11);
    const std::string host = exeDir + kHostFile;
    copyFile(hostProgram(), host);
    copyFile(duplixLibrary(), exeDir + "duplix.rpi");
    install();
    host_ = host;
    const std::vector<std::string> args{"--adapter", at(kAdapter), "isfilter"};
    ini(velmoraIni("duplix.rpi"));
    EXPECT_EQ(run(args).out, "isfilter=1\n") << "room - 1 characters fit";
    ini(velmoraIni("duplix.rpiX"));
    EXPECT_EQ(run(args).out, "isfilter=0\n") << "room characters do not";
}

}  // namespace
}  // namespace adapter_cases
