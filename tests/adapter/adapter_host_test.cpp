// The adapter driven as a foreign host drives it. Each case lays out a temporary
// directory with the foreign-host program, velmora.so, plugins and (or not) a
// velmora.ini, runs the program as a child process and reads what it prints. The fake
// plugins log their load, RenderPluginGetInfo calls and unload to plugin.log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "render_plugin.h"

namespace {

const std::string kFakes = FAKES_DIR;
std::string fake(const std::string& name) { return kFakes + "/" + name + ".rpi"; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void makeDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
}

void writeFile(const std::string& path, const std::string& content) {
    makeDirs(path.substr(0, path.rfind('/')));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << path;
}

void copyFile(const std::string& from, const std::string& to) {
    const std::string bytes = readFile(from);
    ASSERT_FALSE(bytes.empty()) << from;
    writeFile(to, bytes);
    chmod(to.c_str(), 0755);
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return std::remove(path); }

struct Child {
    int exitCode = -1;
    std::string out;
};

// Runs `program` with `args` in `cwd`; FAKE_PLUGIN_LOG points at `log`.
Child runChild(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
               const std::string& log) {
    int fds[2];
    Child c;
    if (pipe(fds) != 0) return c;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        if (chdir(cwd.c_str()) != 0) _exit(126);
        setenv("FAKE_PLUGIN_LOG", log.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) c.out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    c.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return c;
}

std::string lines(std::initializer_list<const char*> ls) {
    std::string s;
    for (const char* l : ls) s += std::string(l) + "\n";
    return s;
}

// A temporary directory holding the foreign host and velmora.so side by side.
class AdapterHost : public ::testing::Test {
protected:
    void SetUp() override {
        const char* t = std::getenv("TMPDIR");
        std::string pattern = std::string(t && *t ? t : "/tmp") + "/velmora_XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir_ = pattern;
        log_ = dir_ + "/plugin.log";
    }
    void TearDown() override {
        if (!dir_.empty()) nftw(dir_.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    }

    // Host program and adapter in `sub` of the temporary directory.
    void install(const std::string& sub = "", const std::string& hostName = "host") {
        const std::string d = sub.empty() ? dir_ : dir_ + "/" + sub;
        copyFile(FOREIGN_HOST_PATH, d + "/" + hostName);
        copyFile(VELMORA_PATH, d + "/velmora.so");
        host_ = d + "/" + hostName;
    }
    void place(const std::string& from, const std::string& rel) { copyFile(from, dir_ + "/" + rel); }
    void ini(const std::string& text, const std::string& rel = "velmora.ini") { writeFile(dir_ + "/" + rel, text); }

    Child run(const std::vector<std::string>& args, const std::string& cwd = "") {
        return runChild(host_, args, cwd.empty() ? dir_ : cwd, log_);
    }
    // Runs and expects a clean exit with exactly `expected` printed.
    void expectRun(const std::vector<std::string>& args, const std::string& expected, const std::string& what = "") {
        const Child c = run(args);
        EXPECT_EQ(c.exitCode, 0) << what << "\n" << c.out;
        EXPECT_EQ(c.out, expected) << what;
    }
    std::string pluginLog() const { return readFile(log_); }

    std::string dir_, log_, host_;
};

const char* const kDuplixIni = "[Velmora]\nfilter=duplix.rpi\n";

TEST_F(AdapterHost, DuplixDoublesFramesAndRefusedFramesStillReturnOne) {
    install();
    place(DUPLIX_PATH, "duplix.rpi");
    ini(kDuplixIni);
    expectRun({"isfilter", "frame", "5", "3", "10", "6", "frame", "4", "4", "9", "11", "frame", "1", "1", "2", "2",
               "frame", "5", "3", "9", "6", "frame", "4", "0", "8", "0", "info", "duplix.rpi"},
              lines({"isfilter=1", "frame=1 doubled=1 untouched=0", "frame=1 doubled=1 untouched=0",
                     "frame=1 doubled=1 untouched=0",
                     "frame=1 doubled=0 untouched=1",  // destination one pixel too narrow
                     "frame=1 doubled=0 untouched=1",  // zero height
                     "info flags=0x20f02 module=handle"}));
}

TEST_F(AdapterHost, ForwardsOneReusedRequestWithClearedFlagsAndPresetSizes) {
    install();
    place(fake("recorder"), "rec.rpi");
    ini("[Velmora]\nfilter=rec.rpi\n");
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
// it has none. Each writes the frame it is handed. Plugins not built yet are skipped.
TEST_F(AdapterHost, AcceptsEveryPluginOfTheSystem) {
    const char* const plugins[] = {"duplix.rpi", "quadrix.rpi", "Eagle.rpi", "scanline/tristripe.rpi",
                                   "plain/tristripe.rpi", "copy/tristripe.rpi"};
    install();
    int tried = 0;
    for (const char* p : plugins) {
        const std::string built = std::string(DIST_DIR) + "/" + p;
        if (access(built.c_str(), R_OK) != 0) continue;
        ++tried;
        place(built, p);
        ini(std::string("[Velmora]\nfilter=") + p + "\n");
        // Whether the result equals plain doubling depends on the plugin and the picture.
        const Child c = run({"isfilter", "frame", "4", "3", "8", "6", "frame", "4", "3", "7", "6"});
        EXPECT_EQ(c.exitCode, 0) << p;
        std::string out = c.out;
        for (const char* d : {"doubled=0 ", "doubled=1 "})
            for (size_t at; (at = out.find(d)) != std::string::npos;) out.erase(at, std::strlen(d));
        EXPECT_EQ(out, lines({"isfilter=1", "frame=1 untouched=0",
                              "frame=1 untouched=1"}))  // one pixel too narrow: refused
            << p;
    }
    if (tried == 0) GTEST_SKIP() << "no plugin built in " << DIST_DIR;
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
    place(fake(v.fake), "plugin.rpi");
    ini("[Velmora]\nfilter=plugin.rpi\n");
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
    ::testing::Values(Vetting{"scale1", 1, "0x10b02", "load\ngetinfo\nunload\n"},     // 0x10000 counts as 2x
                      Vetting{"scale5", 1, "0x50b02", "load\ngetinfo\nunload\n"},     // 0x50000 likewise
                      Vetting{"scale0", 1, "0x901", "load\ngetinfo\nunload\n"},       // Eagle's word
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
    std::optional<std::string> ini;  // none: no velmora.ini
    std::vector<std::pair<std::string, std::string>> files;  // {source, path in the directory}
    int isfilter;
};

TEST_F(AdapterHost, ConfigurationTable) {
    const std::string duplix = DUPLIX_PATH;
    const std::string tenMb(10u << 20, 'x');
    std::string garbage(64 << 10, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 2654435761u) >> 13);
    const std::vector<Config> table = {
        {"no INI: default lumacast.rpi is not there", std::nullopt, {{duplix, "duplix.rpi"}}, 0},
        {"no INI: default lumacast.rpi is loaded", std::nullopt, {{duplix, "lumacast.rpi"}}, 1},
        {"no section: default", "[Other]\nfilter=duplix.rpi\n", {{duplix, "lumacast.rpi"}}, 1},
        {"no key: default", "[Velmora]\nfilters=duplix.rpi\n", {{duplix, "lumacast.rpi"}}, 1},
        {"empty value: nothing loaded", "[Velmora]\nfilter=\n", {{duplix, "lumacast.rpi"}}, 0},
        {"missing file", "[Velmora]\nfilter=missing.rpi\n", {{duplix, "duplix.rpi"}}, 0},
        {"not a shared object", "[Velmora]\nfilter=text.rpi\n", {{kText, "text.rpi"}}, 0},
        {"a directory", "[Velmora]\nfilter=sub\n", {{duplix, "sub/duplix.rpi"}}, 0},
        {"subdirectory", "[Velmora]\nfilter=sub/duplix.rpi\n", {{duplix, "sub/duplix.rpi"}}, 1},
        {"case, blanks, quotes, CRLF", "[VELMORA]\r\n  Filter = \"sub/duplix.rpi\" \r\n",
         {{duplix, "sub/duplix.rpi"}}, 1},
        {"byte order mark, no final newline", "\xEF\xBB\xBF[Velmora]\nfilter=duplix.rpi", {{duplix, "duplix.rpi"}}, 1},
        {"duplicate keys: first wins", "[Velmora]\nfilter=duplix.rpi\nfilter=missing.rpi\n",
         {{duplix, "duplix.rpi"}}, 1},
        {"duplicate keys: first wins even if missing", "[Velmora]\nfilter=missing.rpi\nfilter=duplix.rpi\n",
         {{duplix, "duplix.rpi"}}, 0},
        {"duplicate sections: only the first is read", "[Velmora]\nx=1\n[Velmora]\nfilter=missing.rpi\n",
         {{duplix, "lumacast.rpi"}}, 1},
        {"10 MB line, then the entry", tenMb + "\n[Velmora]\nfilter=duplix.rpi\n", {{duplix, "duplix.rpi"}}, 1},
        {"10 MB value", "[Velmora]\nfilter=" + tenMb + "\n", {{duplix, "duplix.rpi"}}, 0},
        {"binary garbage", garbage, {{duplix, "lumacast.rpi"}}, 1},
    };
    for (const Config& c : table) {
        SCOPED_TRACE(c.label);
        TearDown();
        SetUp();
        install();
        for (const auto& f : c.files) {
            if (f.first == kText)
                writeFile(dir_ + "/" + f.second, "this is not a shared object\n");
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

TEST_F(AdapterHost, IniThatIsAFifoOrDirectoryDoesNotBlockAttach) {
    install();
    place(DUPLIX_PATH, "lumacast.rpi");
    ASSERT_EQ(mkfifo((dir_ + "/velmora.ini").c_str(), 0644), 0);
    expectRun({"isfilter"}, "isfilter=1\n", "FIFO: read as missing, default used");
    std::remove((dir_ + "/velmora.ini").c_str());
    makeDirs(dir_ + "/velmora.ini");
    expectRun({"isfilter"}, "isfilter=1\n", "directory: read as missing, default used");
}

TEST_F(AdapterHost, PluginComesFromTheExecutablesDirectoryNotTheAdaptersOrTheWorkingOne) {
    copyFile(FOREIGN_HOST_PATH, dir_ + "/bin/host");
    host_ = dir_ + "/bin/host";
    copyFile(VELMORA_PATH, dir_ + "/lib/velmora.so");
    ini(kDuplixIni, "lib/velmora.ini");
    place(DUPLIX_PATH, "lib/duplix.rpi");
    place(DUPLIX_PATH, "cwd/duplix.rpi");
    const std::vector<std::string> args{"--adapter", dir_ + "/lib/velmora.so", "isfilter"};
    EXPECT_EQ(run(args, dir_ + "/cwd").out, "isfilter=0\n");
    place(DUPLIX_PATH, "bin/duplix.rpi");
    EXPECT_EQ(run(args, dir_ + "/cwd").out, "isfilter=1\n");
}

TEST_F(AdapterHost, IniPathFollowsTheAdaptersOwnPath) {
    install();
    place(DUPLIX_PATH, "duplix.rpi");
    // Loaded by a relative path: still made absolute, so velmora.ini beside it is read.
    ini(kDuplixIni);
    EXPECT_EQ(run({"--adapter", "./velmora.so", "isfilter"}).out, "isfilter=1\n");
    // Without an extension inside a directory with a '.': the path is cut at that '.',
    // so a.b/velmora reads a.ini.
    std::remove((dir_ + "/velmora.ini").c_str());
    place(VELMORA_PATH, "a.b/velmora");
    ini(kDuplixIni, "a.ini");
    EXPECT_EQ(run({"--adapter", dir_ + "/a.b/velmora", "isfilter"}).out, "isfilter=1\n");
    // Another name and extension: the INI takes the adapter's base name.
    place(VELMORA_PATH, "other.dll");
    EXPECT_EQ(run({"--adapter", dir_ + "/other.dll", "isfilter"}).out, "isfilter=0\n");
    ini(kDuplixIni, "other.ini");
    EXPECT_EQ(run({"--adapter", dir_ + "/other.dll", "isfilter"}).out, "isfilter=1\n");
}

TEST_F(AdapterHost, PathWithoutAnyDotReadsTheBareNameIni) {
    if (dir_.find('.') != std::string::npos) GTEST_SKIP() << "temporary directory holds a '.'";
    install();
    place(VELMORA_PATH, "nodot/velmora");
    place(DUPLIX_PATH, "duplix.rpi");
    ini(kDuplixIni, "work/ini");  // "ini", relative to the working directory
    const std::vector<std::string> args{"--adapter", dir_ + "/nodot/velmora", "isfilter"};
    EXPECT_EQ(run(args, dir_ + "/work").out, "isfilter=1\n");
    EXPECT_EQ(run(args, dir_).out, "isfilter=0\n");
}

TEST_F(AdapterHost, DetachUnloadsThePluginAndTheAdapter) {
    install();
    place(fake("recorder"), "rec.rpi");
    ini("[Velmora]\nfilter=rec.rpi\n");
    expectRun({"isfilter", "close", "loaded", "rec.rpi"}, lines({"isfilter=1", "close adapterLoaded=0", "loaded=0"}));
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\n");

    // A second attach starts afresh: the plugin is loaded again with zero static state.
    std::remove(log_.c_str());
    const Child c = run({"close", "open", "isfilter", "frame", "2", "1", "4", "2", "record", "rec.rpi"});
    EXPECT_EQ(c.exitCode, 0);
    EXPECT_EQ(c.out.substr(0, c.out.find("record")),
              lines({"close adapterLoaded=0", "open=1", "isfilter=1", "frame=1 doubled=0 untouched=1"}));
    EXPECT_NE(c.out.find(" calls=1 getinfo=1 "), std::string::npos) << c.out;
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\nload\ngetinfo\nunload\n");
}

TEST_F(AdapterHost, ExitWithoutDetachingIsClean) {
    install();
    place(fake("recorder"), "rec.rpi");
    ini("[Velmora]\nfilter=rec.rpi\n");
    expectRun({"isfilter", "frame", "2", "2", "4", "4"}, lines({"isfilter=1", "frame=1 doubled=0 untouched=1"}));
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\n");
}

TEST_F(AdapterHost, HostLinkedAgainstTheAdapterAttachesBeforeMain) {
    copyFile(FOREIGN_HOST_LINKED_PATH, dir_ + "/host");
    copyFile(VELMORA_PATH, dir_ + "/velmora.so");
    host_ = dir_ + "/host";
    place(DUPLIX_PATH, "duplix.rpi");
    ini(kDuplixIni);
    expectRun({"isfilter", "frame", "3", "3", "6", "6", "loaded", "duplix.rpi"},
              lines({"isfilter=1", "frame=1 doubled=1 untouched=0", "loaded=1"}));
    std::remove((dir_ + "/duplix.rpi").c_str());
    place(fake("recorder"), "duplix.rpi");
    expectRun({"isfilter"}, "isfilter=1\n");
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\n") << "one load, one unload at exit";
}

TEST_F(AdapterHost, NoObjectWhenItCannotBeCreated) {
    copyFile(FOREIGN_HOST_NONEW_PATH, dir_ + "/host");
    copyFile(VELMORA_PATH, dir_ + "/velmora.so");
    host_ = dir_ + "/host";
    place(fake("recorder"), "rec.rpi");
    ini("[Velmora]\nfilter=rec.rpi\n");
    expectRun({"isfilter", "frame", "2", "2", "4", "4", "close", "open", "isfilter"},
              lines({"isfilter=0", "frame=0 doubled=0 untouched=1", "close adapterLoaded=0", "open=1", "isfilter=0"}));
    EXPECT_EQ(pluginLog(), "") << "no plugin is loaded without the object";
}

std::string command(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

TEST(AdapterLibrary, ExportsOnlyTheTwoEntriesAndNoUniqueSymbols) {
    const std::string lib = VELMORA_PATH;
    std::istringstream nm(command("nm -D --defined-only '" + lib + "'"));
    std::vector<std::string> exported;
    for (std::string line; std::getline(nm, line);) {
        std::istringstream f(line);
        std::string addr, type, name;
        f >> addr >> type >> name;
        if (!name.empty()) exported.push_back(type + " " + name);
    }
    EXPECT_EQ(exported, (std::vector<std::string>{"T vlm_filter", "T vlm_isfilter"}));
    // A GNU unique symbol would pin the library: dlclose would neither unload it nor detach.
    const std::string symbols = command("readelf -Ws '" + lib + "'");
    ASSERT_NE(symbols.find("vlm_filter"), std::string::npos) << "readelf did not run";
    EXPECT_EQ(symbols.find("UNIQUE"), std::string::npos);
}

// Builds a directory path of exactly `length` characters (with its trailing '/') below
// `base`, out of components of at most 200 characters.
std::string directoryOfLength(const std::string& base, size_t length) {
    std::string d = base + "/";
    while (d.size() < length) {
        size_t c = std::min<size_t>(200, length - d.size() - 1);
        if (length - d.size() - (c + 1) == 1) --c;  // never leave a single character
        d += std::string(c, 'd') + "/";
    }
    return d;
}

TEST_F(AdapterHost, JoinedPluginPathIsNeverCutIntoAnotherFile) {
    // Executable directory of 4085 characters: with "duplix.rpi" the joined path has 4095
    // characters and fits the 4096-byte room exactly; with "duplix.rpiX" it would need
    // 4097 bytes, and cutting it would name duplix.rpi, which exists. It must not load.
    const std::string exeDir = directoryOfLength(dir_ + "/deep", 4085);
    ASSERT_EQ(exeDir.size(), 4085u);
    makeDirs(exeDir.substr(0, exeDir.size() - 1));
    copyFile(FOREIGN_HOST_PATH, exeDir + "h");
    copyFile(DUPLIX_PATH, exeDir + "duplix.rpi");
    copyFile(VELMORA_PATH, dir_ + "/velmora.so");
    host_ = exeDir + "h";
    const std::vector<std::string> args{"--adapter", dir_ + "/velmora.so", "isfilter"};
    ini(kDuplixIni);
    EXPECT_EQ(run(args).out, "isfilter=1\n") << "4095 characters fit";
    ini("[Velmora]\nfilter=duplix.rpiX\n");
    EXPECT_EQ(run(args).out, "isfilter=0\n") << "4096 characters do not";
}

TEST_F(AdapterHost, ConfiguredNameOfMoreThan259CharactersIsNotCut) {
    install();
    // "<200 a>/<54 b>.rpi" is 259 characters: it fits the room for the value.
    const std::string a(200, 'a');
    const std::string name259 = a + "/" + std::string(54, 'b') + ".rpi";
    ASSERT_EQ(name259.size(), 259u);
    place(DUPLIX_PATH, name259);
    ini("[Velmora]\nfilter=" + name259 + "\n");
    EXPECT_EQ(run({"isfilter"}).out, "isfilter=1\n");
    // One more character: cut to 259 it would name an existing plugin; it must not load.
    const std::string name260 = a + "/" + std::string(54, 'b') + ".rpiX";
    ini("[Velmora]\nfilter=" + name260 + "\n");
    EXPECT_EQ(run({"isfilter"}).out, "isfilter=0\n");
}

}  // namespace
