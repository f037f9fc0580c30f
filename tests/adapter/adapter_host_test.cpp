// velmora.so under a foreign host on Linux: the shared cases of adapter_cases.cpp on the
// POSIX hooks below, and the cases only this platform can lay out (a FIFO as INI file,
// relative and dot-less adapter paths, a failing nothrow new, ELF symbol checks, a
// 4096-byte path room).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "adapter_cases.h"

namespace adapter_cases {

const char kSep = '/';
const char* const kEol = "\n";
const char* const kAdapter = "velmora.so";
const char* const kHostFile = "host";
const size_t kPathRoom = 4096;
const size_t kMaxComponent = 200;

std::string hostProgram() { return FOREIGN_HOST_PATH; }
std::string hostLinkedProgram() { return FOREIGN_HOST_LINKED_PATH; }
std::string adapterLibrary() { return VELMORA_PATH; }
std::string duplixLibrary() { return DUPLIX_PATH; }
std::string fakePlugin(const std::string& name) { return std::string(FAKES_DIR) + "/" + name + ".rpi"; }
std::string distFile(const std::string& rel) { return std::string(DIST_DIR) + "/" + rel; }

void makeDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
}

namespace {

int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return std::remove(path); }

}  // namespace

std::string makeTempDir() {
    const char* t = std::getenv("TMPDIR");
    std::string pattern = std::string(t && *t ? t : "/tmp") + "/velmora_XXXXXX";
    return mkdtemp(&pattern[0]) ? pattern : std::string();
}

void removeTree(const std::string& dir) { nftw(dir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS); }

void copyFile(const std::string& from, const std::string& to) {
    const std::string bytes = readFile(from);
    ASSERT_FALSE(bytes.empty()) << from;
    writeFile(to, bytes);
    chmod(to.c_str(), 0755);
}

void removeFile(const std::string& path) { std::remove(path.c_str()); }

bool fileExists(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

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
    c.out = withoutCr(c.out);
    return c;
}

namespace {

TEST_F(AdapterHost, IniThatIsAFifoOrDirectoryDoesNotBlockAttach) {
    install();
    place(DUPLIX_PATH, "lumacast.rpi");
    ASSERT_EQ(mkfifo(at("velmora.ini").c_str(), 0644), 0);
    expectRun({"isfilter"}, "isfilter=1\n", "FIFO: read as missing, default used");
    removeFile(at("velmora.ini"));
    ASSERT_EQ(mkdir(at("velmora.ini").c_str(), 0755), 0);
    expectRun({"isfilter"}, "isfilter=1\n", "directory: read as missing, default used");
}

TEST_F(AdapterHost, IniPathFollowsTheAdaptersOwnPath) {
    install();
    place(DUPLIX_PATH, "duplix.rpi");
    // Loaded by a relative path: still made absolute, so velmora.ini beside it is read.
    ini(velmoraIni("duplix.rpi"));
    EXPECT_EQ(run({"--adapter", "./velmora.so", "isfilter"}).out, "isfilter=1\n");
    // Without an extension inside a directory with a '.': the path is cut at that '.',
    // so a.b/velmora reads a.ini.
    removeFile(at("velmora.ini"));
    place(VELMORA_PATH, "a.b/velmora");
    ini(velmoraIni("duplix.rpi"), "a.ini");
    EXPECT_EQ(run({"--adapter", at("a.b/velmora"), "isfilter"}).out, "isfilter=1\n");
}

TEST_F(AdapterHost, PathWithoutAnyDotReadsTheBareNameIni) {
    if (dir_.find('.') != std::string::npos) GTEST_SKIP() << "temporary directory holds a '.'";
    install();
    place(VELMORA_PATH, "nodot/velmora");
    place(DUPLIX_PATH, "duplix.rpi");
    ini(velmoraIni("duplix.rpi"), "work/ini");  // "ini", relative to the working directory
    const std::vector<std::string> args{"--adapter", at("nodot/velmora"), "isfilter"};
    EXPECT_EQ(run(args, at("work")).out, "isfilter=1\n");
    EXPECT_EQ(run(args, dir_).out, "isfilter=0\n");
}

// Only an ELF build can stand in for the C++ runtime's nothrow new.
TEST_F(AdapterHost, NoObjectWhenItCannotBeCreated) {
    install(FOREIGN_HOST_NONEW_PATH);
    place(fakePlugin("recorder"), "rec.rpi");
    ini(velmoraIni("rec.rpi"));
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

// The value room is 260 bytes on both platforms, but only here does a 259-character name
// still fit into the joined path.
TEST_F(AdapterHost, ConfiguredNameOfMoreThan259CharactersIsNotCut) {
    install();
    // "<200 a>/<54 b>.rpi" is 259 characters: it fits the room for the value.
    const std::string a(200, 'a');
    const std::string name259 = a + "/" + std::string(54, 'b') + ".rpi";
    ASSERT_EQ(name259.size(), 259u);
    place(DUPLIX_PATH, name259);
    ini(velmoraIni(name259));
    EXPECT_EQ(run({"isfilter"}).out, "isfilter=1\n");
    // One more character: cut to 259 it would name an existing plugin; it must not load.
    const std::string name260 = a + "/" + std::string(54, 'b') + ".rpiX";
    ini(velmoraIni(name260));
    EXPECT_EQ(run({"isfilter"}).out, "isfilter=0\n");
}

}  // namespace
}  // namespace adapter_cases
