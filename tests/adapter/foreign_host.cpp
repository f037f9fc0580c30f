// A minimal foreign filter host for the adapter tests. It loads velmora.so (velmora.dll
// on Windows) from its own directory (or --adapter PATH), or, built with
// FOREIGN_HOST_LINKED, is linked against it. It runs the commands given as arguments and prints one line per command:
//   isfilter                 isfilter=<result>
//   frame W H DW DH          frame=<result> doubled=<0|1> untouched=<0|1>
//   record PLUGIN            what the fake plugin PLUGIN saw in its last request
//   info PLUGIN              the plugin's own record: flags and whether module is its handle
//   loaded PLUGIN            loaded=<0|1>: whether PLUGIN is still in the process
//   close / open             dlclose / dlopen the adapter again
// Built with FOREIGN_HOST_NOTHROW_NEW_FAILS, nothrow operator new always fails.
// PLUGIN paths are relative to this program's directory, as the adapter's are.
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "fake_plugin.h"
#include "velmora.h"

#ifdef FOREIGN_HOST_NOTHROW_NEW_FAILS
// In this build every nothrow allocation fails, the adapter's included (this
// definition takes precedence over the C++ runtime's for the whole process).
__attribute__((visibility("default"))) void* operator new(std::size_t, const std::nothrow_t&) noexcept {
    return nullptr;
}
#endif

namespace {

#if defined(_WIN32)
// The dynamic-loader calls the host needs, on Win32. A module "opened" with RTLD_NOLOAD
// is only looked up: GetModuleHandleA takes no reference, so closing it does nothing.
constexpr int RTLD_NOW = 0, RTLD_LOCAL = 0, RTLD_NOLOAD = 1;
void* dlopen(const char* path, int mode) {
    return (mode & RTLD_NOLOAD) ? reinterpret_cast<void*>(GetModuleHandleA(path))
                                : reinterpret_cast<void*>(LoadLibraryA(path));
}
void* dlsym(void* h, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(h), name));
}
int dlclose(void*) { return 0; }
[[maybe_unused]] int closeAdapter(void* h) { return FreeLibrary(static_cast<HMODULE>(h)) ? 0 : 1; }
[[maybe_unused]] const char* dlerror() { return "LoadLibraryA failed"; }
const char* const kAdapterFile = "velmora.dll";

std::string exeDir() {
    char buf[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return ".\\";
    std::string s(buf, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}
#else
[[maybe_unused]] int closeAdapter(void* h) { return dlclose(h); }
const char* const kAdapterFile = "velmora.so";

std::string exeDir() {
    char buf[8192];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    buf[n] = '\0';
    std::string s(buf);
    return s.substr(0, s.rfind('/') + 1);
}
#endif

struct Adapter {
    void* handle = nullptr;
    VlmIsFilterFn isFilter = nullptr;
    VlmFilterFn filter = nullptr;
};

bool openAdapter(const std::string& path, Adapter& a) {
#ifdef FOREIGN_HOST_LINKED
    (void)path;
    a.isFilter = vlm_isfilter;
    a.filter = vlm_filter;
    return true;
#else
    a.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!a.handle) {
        std::printf("open=0 error=%s\n", dlerror());
        return false;
    }
    a.isFilter = reinterpret_cast<VlmIsFilterFn>(dlsym(a.handle, "vlm_isfilter"));
    a.filter = reinterpret_cast<VlmFilterFn>(dlsym(a.handle, "vlm_filter"));
    if (!a.isFilter || !a.filter) {
        std::printf("open=0 error=missing export\n");
        return false;
    }
    return true;
#endif
}

bool isLoaded(const std::string& path) {
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}

constexpr uint16_t kCanary = 0xA5C3;

uint16_t sourcePixel(uint32_t x, uint32_t y) { return static_cast<uint16_t>(x * 31u + y * 1021u + 7u); }

// The last frame's arguments, for `record` to compare against.
struct LastFrame {
    const void* src = nullptr;
    void* dst = nullptr;
} lastFrame;

void runFrame(const Adapter& a, uint32_t w, uint32_t h, uint32_t dw, uint32_t dh) {
    const uint32_t srcPitch = 2 * w + 6, dstPitch = 2 * dw + 4;
    std::vector<uint16_t> src(size_t{srcPitch / 2} * h + 1);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) src[size_t{y} * (srcPitch / 2) + x] = sourcePixel(x, y);
    std::vector<uint16_t> dst(size_t{dstPitch / 2} * dh + 1, kCanary);
    const int32_t r = a.filter(dst.data(), dstPitch, dw, dh, src.data(), srcPitch, w, h);
    lastFrame.src = src.data();
    lastFrame.dst = dst.data();

    bool untouched = true, doubled = 2 * w <= dw && 2 * h <= dh && w > 0 && h > 0;
    for (size_t i = 0; i < dst.size(); ++i) {
        const uint32_t y = static_cast<uint32_t>(i / (dstPitch / 2)), x = static_cast<uint32_t>(i % (dstPitch / 2));
        const bool inBlock = x < 2 * w && y < 2 * h;
        const uint16_t want = inBlock ? sourcePixel(x / 2, y / 2) : kCanary;
        if (dst[i] != kCanary) untouched = false;
        if (dst[i] != want) doubled = false;
    }
    std::printf("frame=%d doubled=%d untouched=%d\n", static_cast<int>(r), doubled ? 1 : 0, untouched ? 1 : 0);
}

void* openLoaded(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD); }

void printRecord(const std::string& path) {
    void* h = openLoaded(path);
    const FakeRecordFn fn = h ? reinterpret_cast<FakeRecordFn>(dlsym(h, "fakeRecord")) : nullptr;
    if (!fn) {
        std::printf("record=none\n");
        if (h) dlclose(h);
        return;
    }
    const FakeRecord& f = *fn();
    const RenderPluginRequest& q = f.atEntry;
    std::printf("record size=%u flags=0x%x src=%s srcPitch=%u srcWidth=%u srcHeight=%u dst=%s dstPitch=%u "
                "dstWidth=%u dstHeight=%u outWidth=%u outHeight=%u calls=%u getinfo=%u addr=%p\n",
                q.size, q.flags, q.src == lastFrame.src ? "arg" : "other", q.srcPitch, q.srcWidth, q.srcHeight,
                q.dst == lastFrame.dst ? "arg" : "other", q.dstPitch, q.dstWidth, q.dstHeight, q.outWidth,
                q.outHeight, f.outputCalls, f.getInfoCalls, static_cast<const void*>(f.address));
    dlclose(h);
}

void printInfo(const std::string& path) {
    void* h = openLoaded(path);
    if (!h) {
        std::printf("info=none\n");
        return;
    }
    // The fakes hand out their record untouched; a real plugin only rewrites name and flags.
    FakeInfoFn fn = reinterpret_cast<FakeInfoFn>(dlsym(h, "fakeInfo"));
    if (!fn) fn = reinterpret_cast<FakeInfoFn>(dlsym(h, "RenderPluginGetInfo"));
    const RenderPluginInfo* info = fn ? fn() : nullptr;
    if (!info)
        std::printf("info=none\n");
    else
        std::printf("info flags=0x%x module=%s\n", info->flags,
                    info->module == h ? "handle" : (info->module ? "other" : "null"));
    dlclose(h);
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    setvbuf(stdout, nullptr, _IONBF, 0);  // no line buffering in the Windows C library
#else
    alarm(300);  // a hang fails the test instead of blocking the run
    setvbuf(stdout, nullptr, _IOLBF, 0);
#endif
    const std::string dir = exeDir();
    std::string adapterPath = dir + kAdapterFile;
    int i = 1;
    if (argc > 2 && std::strcmp(argv[1], "--adapter") == 0) {
        adapterPath = argv[2];
        i = 3;
    }
    Adapter a;
    if (!openAdapter(adapterPath, a)) return 2;
    for (; i < argc; ++i) {
        const std::string cmd = argv[i];
        auto arg = [&](int k) -> const char* { return i + k < argc ? argv[i + k] : ""; };
        auto num = [&](int k) { return static_cast<uint32_t>(std::strtoul(arg(k), nullptr, 0)); };
        if (cmd == "isfilter") {
            std::printf("isfilter=%d\n", static_cast<int>(a.isFilter()));
        } else if (cmd == "frame") {
            runFrame(a, num(1), num(2), num(3), num(4));
            i += 4;
        } else if (cmd == "record") {
            printRecord(dir + arg(1));
            ++i;
        } else if (cmd == "info") {
            printInfo(dir + arg(1));
            ++i;
        } else if (cmd == "loaded") {
            std::printf("loaded=%d\n", isLoaded(dir + arg(1)) ? 1 : 0);
            ++i;
#ifndef FOREIGN_HOST_LINKED
        } else if (cmd == "close") {
            closeAdapter(a.handle);
            a = Adapter();
            std::printf("close adapterLoaded=%d\n", isLoaded(adapterPath) ? 1 : 0);
        } else if (cmd == "open") {
            if (!openAdapter(adapterPath, a)) return 2;
            std::printf("open=1\n");
#endif
        } else {
            std::printf("unknown command %s\n", cmd.c_str());
            return 3;
        }
    }
    return 0;
}
