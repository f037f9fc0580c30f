// velmora.dll driven by a foreign host under Windows. Each case lays out a temporary
// directory with the foreign-host program, velmora.dll, plugins and (or not) a
// velmora.ini, runs the program as a child process and reads what it prints. The fake
// plugins log their load, RenderPluginGetInfo calls and unload to plugin.log.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "dynlib.h"
#include "render_plugin.h"

using pellix::test::distPath;

namespace {

// Build-tree paths are Linux paths; Wine shows the Linux root as drive Z:.
std::string windowsPath(const std::string& p) {
    std::string w = p;
    for (char& c : w)
        if (c == '/') c = '\\';
    return (!p.empty() && p[0] == '/') ? "Z:" + w : w;
}

const std::string kHost = windowsPath(FOREIGN_HOST_PATH);
const std::string kHostLinked = windowsPath(FOREIGN_HOST_LINKED_PATH);
const std::string kVelmora = windowsPath(VELMORA_PATH);
const std::string kFakes = windowsPath(FAKES_DIR);
std::string duplix() { return windowsPath(distPath("duplix.rpi")); }
std::string fake(const std::string& name) { return kFakes + "\\" + name + ".rpi"; }

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The host and the fakes write text mode: CRLF line ends.
std::string withoutCr(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
}

void makeDirs(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

std::string parentOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

void writeFile(const std::string& path, const std::string& content) {
    makeDirs(parentOf(path));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << path;
}

void copyFile(const std::string& from, const std::string& to) {
    makeDirs(parentOf(to));
    ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from << " -> " << to << ": " << GetLastError();
}

void removeTree(const std::string& dir) {
    WIN32_FIND_DATAA f;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &f);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = f.cFileName;
            if (name == "." || name == "..") continue;
            const std::string p = dir + "\\" + name;
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(p);
            else
                DeleteFileA(p.c_str());
        } while (FindNextFileA(h, &f));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

struct Child {
    DWORD exitCode = ~0u;
    std::string out;
};

// Runs `program` with `args` in `cwd`, its standard output captured; FAKE_PLUGIN_LOG
// (inherited) points at `log`.
Child runChild(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
               const std::string& log) {
    Child c;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return c;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string cmd = "\"" + program + "\"";
    for (const std::string& a : args) cmd += " \"" + a + "\"";
    SetEnvironmentVariableA("FAKE_PLUGIN_LOG", log.c_str());
    PROCESS_INFORMATION pi;
    const BOOL started =
        CreateProcessA(program.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, cwd.c_str(), &si, &pi);
    SetEnvironmentVariableA("FAKE_PLUGIN_LOG", nullptr);
    CloseHandle(writeEnd);
    if (started) {
        char buf[4096];
        DWORD n;
        while (ReadFile(readEnd, buf, sizeof buf, &n, nullptr) && n > 0) c.out.append(buf, n);
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &c.exitCode);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    } else {
        c.out = "CreateProcessA failed with error " + std::to_string(GetLastError());
    }
    CloseHandle(readEnd);
    c.out = withoutCr(c.out);
    return c;
}

std::string lines(std::initializer_list<const char*> ls) {
    std::string s;
    for (const char* l : ls) s += std::string(l) + "\n";
    return s;
}

// A temporary directory holding the foreign host and velmora.dll side by side.
class AdapterHost : public ::testing::Test {
protected:
    void SetUp() override {
        static unsigned counter = 0;
        char tmp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, tmp), 0u);
        dir_ = std::string(tmp) + "velmora_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(counter++);
        if (dir_.back() == '\\') dir_.pop_back();
        removeTree(dir_);
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
        log_ = dir_ + "\\plugin.log";
    }
    void TearDown() override {
        if (!dir_.empty()) removeTree(dir_);
    }

    void install(const std::string& hostFrom = kHost) {
        copyFile(hostFrom, dir_ + "\\host.exe");
        copyFile(kVelmora, dir_ + "\\velmora.dll");
        host_ = dir_ + "\\host.exe";
    }
    void place(const std::string& from, const std::string& rel) { copyFile(from, dir_ + "\\" + rel); }
    void ini(const std::string& text, const std::string& rel = "velmora.ini") { writeFile(dir_ + "\\" + rel, text); }

    Child run(const std::vector<std::string>& args, const std::string& cwd = "") {
        return runChild(host_, args, cwd.empty() ? dir_ : cwd, log_);
    }
    void expectRun(const std::vector<std::string>& args, const std::string& expected, const std::string& what = "") {
        const Child c = run(args);
        EXPECT_EQ(c.exitCode, 0u) << what << "\n" << c.out;
        EXPECT_EQ(c.out, expected) << what;
    }
    std::string pluginLog() const { return withoutCr(readFile(log_)); }

    std::string dir_, log_, host_;
};

const char* const kDuplixIni = "[Velmora]\r\nfilter=duplix.rpi\r\n";

TEST_F(AdapterHost, DuplixDoublesFramesAndRefusedFramesStillReturnOne) {
    install();
    place(duplix(), "duplix.rpi");
    ini(kDuplixIni);
    expectRun({"isfilter", "frame", "5", "3", "10", "6", "frame", "4", "4", "9", "11", "frame", "5", "3", "9", "6",
               "frame", "4", "0", "8", "0", "info", "duplix.rpi"},
              lines({"isfilter=1", "frame=1 doubled=1 untouched=0", "frame=1 doubled=1 untouched=0",
                     "frame=1 doubled=0 untouched=1",  // destination one pixel too narrow
                     "frame=1 doubled=0 untouched=1",  // zero height
                     "info flags=0x20f02 module=handle"}));
}

TEST_F(AdapterHost, ForwardsOneReusedRequestWithClearedFlagsAndPresetSizes) {
    install();
    place(fake("recorder"), "rec.rpi");
    ini("[Velmora]\r\nfilter=rec.rpi\r\n");
    const Child c = run({"frame", "3", "2", "7", "5", "record", "rec.rpi", "frame", "4", "1", "9", "3", "record",
                         "rec.rpi", "info", "rec.rpi"});
    ASSERT_EQ(c.exitCode, 0u) << c.out;
    std::istringstream in(c.out);
    std::string frame1, record1, frame2, record2, info;
    std::getline(in, frame1);
    std::getline(in, record1);
    std::getline(in, frame2);
    std::getline(in, record2);
    std::getline(in, info);
    EXPECT_EQ(frame1, "frame=1 doubled=0 untouched=1");  // the fake writes no pixel
    EXPECT_EQ(record1.substr(0, record1.find(" addr=")),
              "record size=48 flags=0x20b02 src=arg srcPitch=12 srcWidth=3 srcHeight=2 dst=arg dstPitch=18 "
              "dstWidth=7 dstHeight=5 outWidth=7 outHeight=5 calls=1 getinfo=1");
    EXPECT_EQ(record2.substr(0, record2.find(" addr=")),
              "record size=48 flags=0x20b02 src=arg srcPitch=14 srcWidth=4 srcHeight=1 dst=arg dstPitch=22 "
              "dstWidth=9 dstHeight=3 outWidth=9 outHeight=3 calls=2 getinfo=1");
    EXPECT_EQ(record1.substr(record1.find(" addr=")), record2.substr(record2.find(" addr=")))
        << "one request record serves every frame";
    EXPECT_EQ(info, "info flags=0x21f02 module=handle");
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\n");
}

struct Vetting {
    const char* fake;
    int accepted;
    const char* forwardedFlags;
    const char* log;
};

class AdapterVetting : public AdapterHost, public ::testing::WithParamInterface<Vetting> {};

TEST_P(AdapterVetting, AcceptsOnlyTwoXRgb565PluginsAndUnloadsTheRest) {
    const Vetting& v = GetParam();
    install();
    place(fake(v.fake), "plugin.rpi");
    ini("[Velmora]\r\nfilter=plugin.rpi\r\n");
    if (v.accepted) {
        const Child c = run({"isfilter", "frame", "2", "2", "4", "4", "record", "plugin.rpi", "loaded", "plugin.rpi"});
        EXPECT_EQ(c.exitCode, 0u);
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
    ::testing::Values(Vetting{"scale1", 1, "0x10b02", "load\ngetinfo\nunload\n"},
                      Vetting{"scale5", 1, "0x50b02", "load\ngetinfo\nunload\n"},
                      Vetting{"scale0", 1, "0x901", "load\ngetinfo\nunload\n"},
                      Vetting{"scale3", 0, "", "load\ngetinfo\nunload\n"},
                      Vetting{"scale4", 0, "", "load\ngetinfo\nunload\n"},
                      Vetting{"scalezero", 0, "", "load\ngetinfo\nunload\n"},
                      Vetting{"no565", 0, "", "load\ngetinfo\nunload\n"},
                      Vetting{"nullinfo", 0, "", "load\ngetinfo\nunload\n"},
                      Vetting{"nooutput", 0, "", "load\nunload\n"},
                      Vetting{"nogetinfo", 0, "", "load\nunload\n"}),
    [](const ::testing::TestParamInfo<Vetting>& i) { return std::string(i.param.fake); });

TEST_F(AdapterHost, EveryPluginOfTheFamilyIsAccepted) {
    struct Deliverable {
        const char* dist;   // in the dist folder
        const char* value;  // the INI value, relative to the executable
        const char* info;
    };
    const Deliverable all[] = {
        {"duplix.rpi", "duplix.rpi", "info flags=0x20f02 module=handle"},
        {"quadrix.rpi", "quadrix.rpi", "info flags=0x20b02 module=handle"},
        {"Eagle.rpi", "Eagle.rpi", "info flags=0x901 module=handle"},
        {"scanline/tristripe.rpi", "scanline\\tristripe.rpi", "info flags=0x20b02 module=handle"},
        {"plain/tristripe.rpi", "plain\\tristripe.rpi", "info flags=0x20b02 module=handle"},
        {"copy/tristripe.rpi", "copy\\tristripe.rpi", "info flags=0x20b02 module=handle"},
    };
    install();
    for (const Deliverable& d : all) {
        SCOPED_TRACE(d.dist);
        const std::string from = windowsPath(distPath(d.dist));
        if (!exists(from)) continue;
        place(from, d.value);
        ini(std::string("[Velmora]\r\nfilter=") + d.value + "\r\n");
        expectRun({"isfilter", "info", d.value}, lines({"isfilter=1", d.info}));
    }
}

TEST_F(AdapterHost, ConfigurationTable) {
    struct Config {
        const char* label;
        std::optional<std::string> ini;  // none: no velmora.ini
        std::vector<std::pair<std::string, std::string>> files;  // {source, path in the directory}
        int isfilter;
    };
    const std::string d = duplix(), text = "<text>";
    const std::vector<Config> table = {
        {"no INI: default lumacast.rpi is not there", std::nullopt, {{d, "duplix.rpi"}}, 0},
        {"no INI: default lumacast.rpi is loaded", std::nullopt, {{d, "lumacast.rpi"}}, 1},
        {"no section: default", "[Other]\r\nfilter=duplix.rpi\r\n", {{d, "lumacast.rpi"}}, 1},
        {"no key: default", "[Velmora]\r\nfilters=duplix.rpi\r\n", {{d, "lumacast.rpi"}}, 1},
        {"empty value: nothing loaded", "[Velmora]\r\nfilter=\r\n", {{d, "lumacast.rpi"}}, 0},
        {"missing file", "[Velmora]\r\nfilter=missing.rpi\r\n", {{d, "duplix.rpi"}}, 0},
        {"not a library", "[Velmora]\r\nfilter=text.rpi\r\n", {{text, "text.rpi"}}, 0},
        {"a directory", "[Velmora]\r\nfilter=sub\r\n", {{d, "sub\\duplix.rpi"}}, 0},
        {"subdirectory", "[Velmora]\r\nfilter=sub\\duplix.rpi\r\n", {{d, "sub\\duplix.rpi"}}, 1},
        {"case and blanks", "[VELMORA]\r\n  Filter = sub\\duplix.rpi  \r\n", {{d, "sub\\duplix.rpi"}}, 1},
        {"quoted value", "[Velmora]\r\nfilter=\"duplix.rpi\"\r\n", {{d, "duplix.rpi"}}, 1},
        {"LF line ends", "[Velmora]\nfilter=duplix.rpi\n", {{d, "duplix.rpi"}}, 1},
        {"a value longer than 259 characters is not cut",
         "[Velmora]\r\nfilter=duplix.rpi" + std::string(290, ' ') + "x\r\n", {{d, "duplix.rpi"}}, 0},
    };
    for (const Config& c : table) {
        SCOPED_TRACE(c.label);
        TearDown();
        SetUp();
        install();
        for (const auto& f : c.files) {
            if (f.first == text)
                writeFile(dir_ + "\\" + f.second, "this is not a library\r\n");
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
    copyFile(kHost, dir_ + "\\bin\\host.exe");
    host_ = dir_ + "\\bin\\host.exe";
    copyFile(kVelmora, dir_ + "\\lib\\velmora.dll");
    ini(kDuplixIni, "lib\\velmora.ini");
    place(duplix(), "lib\\duplix.rpi");
    place(duplix(), "cwd\\duplix.rpi");
    const std::vector<std::string> args{"--adapter", dir_ + "\\lib\\velmora.dll", "isfilter"};
    EXPECT_EQ(run(args, dir_ + "\\cwd").out, "isfilter=0\n");
    place(duplix(), "bin\\duplix.rpi");
    EXPECT_EQ(run(args, dir_ + "\\cwd").out, "isfilter=1\n");
}

TEST_F(AdapterHost, IniPathFollowsTheAdaptersOwnPath) {
    install();
    place(duplix(), "duplix.rpi");
    // Another name: the INI takes the adapter's base name.
    place(kVelmora, "other.dll");
    ini(kDuplixIni);
    EXPECT_EQ(run({"--adapter", dir_ + "\\other.dll", "isfilter"}).out, "isfilter=0\n");
    ini(kDuplixIni, "other.ini");
    EXPECT_EQ(run({"--adapter", dir_ + "\\other.dll", "isfilter"}).out, "isfilter=1\n");
    // No extension, in a directory whose name holds a '.': a.b\velmora reads a.ini. (The
    // trailing '.' keeps LoadLibraryA from appending ".dll".)
    place(kVelmora, "a.b\\velmora");
    EXPECT_EQ(run({"--adapter", dir_ + "\\a.b\\velmora.", "isfilter"}).out, "isfilter=0\n");
    ini(kDuplixIni, "a.ini");
    EXPECT_EQ(run({"--adapter", dir_ + "\\a.b\\velmora.", "isfilter"}).out, "isfilter=1\n");
}

TEST_F(AdapterHost, DetachUnloadsThePluginAndAReloadStartsAfresh) {
    install();
    place(fake("recorder"), "rec.rpi");
    ini("[Velmora]\r\nfilter=rec.rpi\r\n");
    expectRun({"isfilter", "close", "loaded", "rec.rpi"}, lines({"isfilter=1", "close adapterLoaded=0", "loaded=0"}));
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\n");

    DeleteFileA(log_.c_str());
    const Child c = run({"close", "open", "isfilter", "frame", "2", "1", "4", "2", "record", "rec.rpi"});
    EXPECT_EQ(c.exitCode, 0u);
    EXPECT_EQ(c.out.substr(0, c.out.find("record")),
              lines({"close adapterLoaded=0", "open=1", "isfilter=1", "frame=1 doubled=0 untouched=1"}));
    EXPECT_NE(c.out.find(" calls=1 getinfo=1 "), std::string::npos) << c.out;
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\nload\ngetinfo\nunload\n");
}

TEST_F(AdapterHost, ExitWithoutDetachingIsClean) {
    install();
    place(fake("recorder"), "rec.rpi");
    ini("[Velmora]\r\nfilter=rec.rpi\r\n");
    expectRun({"isfilter", "frame", "2", "2", "4", "4"}, lines({"isfilter=1", "frame=1 doubled=0 untouched=1"}));
    EXPECT_EQ(pluginLog(), "load\ngetinfo\nunload\n");
}

TEST_F(AdapterHost, HostLinkedAgainstTheAdapterAttachesBeforeMain) {
    install(kHostLinked);
    place(duplix(), "duplix.rpi");
    ini(kDuplixIni);
    expectRun({"isfilter", "frame", "3", "3", "6", "6", "loaded", "duplix.rpi"},
              lines({"isfilter=1", "frame=1 doubled=1 untouched=0", "loaded=1"}));
}

// A directory path of exactly `length` characters (with its trailing '\') below `base`.
std::string directoryOfLength(const std::string& base, size_t length) {
    std::string d = base + "\\";
    while (d.size() < length) {
        size_t c = std::min<size_t>(100, length - d.size() - 1);
        if (length - d.size() - (c + 1) == 1) --c;  // never leave a single character
        d += std::string(c, 'd') + "\\";
    }
    return d;
}

TEST_F(AdapterHost, JoinedPluginPathIsNeverCutIntoAnotherFile) {
    // Executable directory of 249 characters: with "duplix.rpi" the plugin path has 259
    // characters and fits the 260-byte room; "duplix.rpiX" would need 261 bytes, and
    // cutting it would name duplix.rpi, which exists. It must not load.
    const std::string exeDir = directoryOfLength(dir_ + "\\deep", 249);
    ASSERT_EQ(exeDir.size(), 249u);
    copyFile(kHost, exeDir + "h.exe");
    copyFile(duplix(), exeDir + "duplix.rpi");
    host_ = exeDir + "h.exe";
    copyFile(kVelmora, dir_ + "\\velmora.dll");
    const std::vector<std::string> args{"--adapter", dir_ + "\\velmora.dll", "isfilter"};
    ini(kDuplixIni);
    EXPECT_EQ(run(args).out, "isfilter=1\n") << "259 characters fit";
    ini("[Velmora]\r\nfilter=duplix.rpiX\r\n");
    EXPECT_EQ(run(args).out, "isfilter=0\n") << "260 characters do not";
}

}  // namespace
