// The adapter under a foreign host, as one set of cases for both platforms: velmora.so
// on Linux (adapter_host_test.cpp) and velmora.dll under Wine (win32_adapter_test.cpp).
// Each case lays out a temporary directory with the foreign-host program, the adapter,
// plugins and (or not) a velmora.ini, runs the program as a child process and reads
// what it prints. The fake plugins log their load, RenderPluginGetInfo calls and unload
// to plugin.log. The shared cases live in adapter_cases.cpp; each platform's test file
// supplies the hooks declared below and adds the cases only it can run.
#ifndef PELLIX_TESTS_ADAPTER_CASES_H
#define PELLIX_TESTS_ADAPTER_CASES_H

#include <gtest/gtest.h>

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

namespace adapter_cases {

struct Child {
    long exitCode = -1;
    std::string out;  // standard output, CR removed
};

// ---- Supplied by the platform's test file.
extern const char kSep;              // directory separator
extern const char* const kEol;       // line end of the INI files written
extern const char* const kAdapter;   // adapter file name: velmora.so, velmora.dll
extern const char* const kHostFile;  // host program file name
extern const size_t kPathRoom;       // bytes the adapter has for the joined plugin path
extern const size_t kMaxComponent;   // longest directory name the deep-path case makes

// Build outputs, as paths of this platform.
std::string hostProgram();
std::string hostLinkedProgram();  // the host linked against the adapter at build time
std::string adapterLibrary();
std::string duplixLibrary();
std::string fakePlugin(const std::string& name);
std::string distFile(const std::string& rel);  // rel '/'-separated, below the dist folder

// File system and processes. copyFile creates missing parent directories.
std::string makeTempDir();  // empty on failure
void removeTree(const std::string& dir);
void makeDirs(const std::string& path);  // the directory and its missing parents
void copyFile(const std::string& from, const std::string& to);
void removeFile(const std::string& path);
bool fileExists(const std::string& path);
// Runs `program` with `args` in `cwd`, its standard output captured; FAKE_PLUGIN_LOG
// points at `log`.
Child runChild(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
               const std::string& log);

// ---- Shared helpers.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);  // creates parent directories
std::string lines(std::initializer_list<const char*> ls);
std::string withoutCr(std::string s);
// `rel` with '/' turned into this platform's separator.
std::string native(std::string rel);
// "[Velmora]" and "filter=<value>" with this platform's line ends.
std::string velmoraIni(const std::string& value);
// A directory path of exactly `length` characters, trailing separator included, below
// `base`, out of names of at most kMaxComponent characters.
std::string directoryOfLength(const std::string& base, size_t length);

// A temporary directory holding the foreign host and the adapter side by side.
class AdapterHost : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // `rel` ('/'-separated) inside the temporary directory.
    std::string at(const std::string& rel) const { return dir_ + kSep + native(rel); }
    // Host program (default: the plain foreign host) and adapter in the directory.
    void install(const std::string& hostFrom = hostProgram());
    void place(const std::string& from, const std::string& rel) { copyFile(from, at(rel)); }
    void ini(const std::string& text, const std::string& rel = "velmora.ini") { writeFile(at(rel), text); }

    Child run(const std::vector<std::string>& args, const std::string& cwd = "") {
        return runChild(host_, args, cwd.empty() ? dir_ : cwd, log_);
    }
    // Runs and expects a clean exit with exactly `expected` printed.
    void expectRun(const std::vector<std::string>& args, const std::string& expected, const std::string& what = "");
    std::string pluginLog() const { return withoutCr(readFile(log_)); }

    std::string dir_, log_, host_;
};

}  // namespace adapter_cases

#endif
