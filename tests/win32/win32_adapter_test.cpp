// velmora.dll under a foreign host on Windows (run under Wine): the shared cases of
// adapter_cases.cpp on the Win32 hooks below, and the cases only this platform has (an
// extension-less adapter path, which LoadLibraryA needs spelt with a trailing '.').
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "adapter_cases.h"
#include "dynlib.h"

namespace adapter_cases {
namespace {

// Build-tree paths are Linux paths; Wine shows the Linux root as drive Z:.
std::string windowsPath(const std::string& p) {
    std::string w = p;
    for (char& c : w)
        if (c == '/') c = '\\';
    return (!p.empty() && p[0] == '/') ? "Z:" + w : w;
}

std::string parentOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

}  // namespace

const char kSep = '\\';
const char* const kEol = "\r\n";
const char* const kAdapter = "velmora.dll";
const char* const kHostFile = "host.exe";
const size_t kPathRoom = MAX_PATH;
const size_t kMaxComponent = 100;

std::string hostProgram() { return windowsPath(FOREIGN_HOST_PATH); }
std::string hostLinkedProgram() { return windowsPath(FOREIGN_HOST_LINKED_PATH); }
std::string adapterLibrary() { return windowsPath(VELMORA_PATH); }
std::string duplixLibrary() { return distFile("duplix.rpi"); }
std::string fakePlugin(const std::string& name) { return windowsPath(FAKES_DIR) + "\\" + name + ".rpi"; }
std::string distFile(const std::string& rel) { return windowsPath(pellix::test::distPath(rel)); }

std::string makeTempDir() {
    static unsigned counter = 0;
    char tmp[MAX_PATH];
    if (GetTempPathA(MAX_PATH, tmp) == 0) return "";
    std::string dir = std::string(tmp) + "velmora_" + std::to_string(GetCurrentProcessId()) + "_" +
                      std::to_string(counter++);
    removeTree(dir);
    return CreateDirectoryA(dir.c_str(), nullptr) ? dir : std::string();
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

void makeDirs(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

void copyFile(const std::string& from, const std::string& to) {
    makeDirs(parentOf(to));
    ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from << " -> " << to << ": " << GetLastError();
}

void removeFile(const std::string& path) { DeleteFileA(path.c_str()); }

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// FAKE_PLUGIN_LOG is set for the child to inherit.
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
        DWORD code = ~0u;
        GetExitCodeProcess(pi.hProcess, &code);
        c.exitCode = static_cast<long>(code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    } else {
        c.out = "CreateProcessA failed with error " + std::to_string(GetLastError());
    }
    CloseHandle(readEnd);
    c.out = withoutCr(c.out);
    return c;
}

namespace {

TEST_F(AdapterHost, ExtensionlessAdapterInADottedDirectoryReadsTheCutPath) {
    install();
    place(duplixLibrary(), "duplix.rpi");
    // No extension, in a directory whose name holds a '.': a.b\velmora reads a.ini. (The
    // trailing '.' keeps LoadLibraryA from appending ".dll".)
    place(adapterLibrary(), "a.b/velmora");
    EXPECT_EQ(run({"--adapter", at("a.b/velmora."), "isfilter"}).out, "isfilter=0\n");
    ini(velmoraIni("duplix.rpi"), "a.ini");
    EXPECT_EQ(run({"--adapter", at("a.b/velmora."), "isfilter"}).out, "isfilter=1\n");
}

}  // namespace
}  // namespace adapter_cases
