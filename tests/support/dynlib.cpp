#include "dynlib.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace pellix {
namespace test {

#if defined(_WIN32)
bool DynLib::open(const std::string& path, std::string* error) {
    close();
    handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
    if (!handle_ && error) *error = "LoadLibraryA failed with error " + std::to_string(GetLastError());
    return handle_ != nullptr;
}
void* DynLib::symbol(const char* name) const {
    return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}
void DynLib::close() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}
void setEnv(const char* name, const char* value) {
    _putenv_s(name, value ? value : "");
    SetEnvironmentVariableA(name, value);
}
#else
bool DynLib::open(const std::string& path, std::string* error) {
    close();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_ && error) {
        const char* e = dlerror();
        *error = e ? e : "dlopen failed";
    }
    return handle_ != nullptr;
}
void* DynLib::symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }
void DynLib::close() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
}
void setEnv(const char* name, const char* value) {
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}
#endif

std::string copyToTemp(const std::string& path) {
    static unsigned counter = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t slash = path.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
#if defined(_WIN32)
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string tmp = std::string(dir) + "pellix_" + std::to_string(GetCurrentProcessId()) + "_" +
                            std::to_string(counter++) + "_" + base;
#else
    const char* t = std::getenv("TMPDIR");
    const std::string tmp = std::string(t && *t ? t : "/tmp") + "/pellix_" + std::to_string(getpid()) + "_" +
                            std::to_string(counter++) + "_" + base;
#endif
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out ? tmp : std::string();
}

bool removeFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

std::string distDir() {
    const char* e = std::getenv("PELLIX_DIST_DIR");
    if (e && *e) return e;
#ifdef PELLIX_DEFAULT_DIST_DIR
    return PELLIX_DEFAULT_DIST_DIR;
#else
    return "dist";
#endif
}

std::string distPath(const std::string& relative) { return distDir() + "/" + relative; }

}  // namespace test
}  // namespace pellix
