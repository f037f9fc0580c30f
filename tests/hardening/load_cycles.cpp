// Load/unload cycles, as hosts that open and close plugins do: for every built plugin,
// N times dlopen, RenderPluginGetInfo (module written back), one frame checked
// against the model, dlclose; then N cycles of velmora.so, each attach reading a
// freshly written velmora.ini that names the next plugin in turn (or one that does not
// exist), with vlm_isfilter and one vlm_filter frame. After each dlclose the library
// must really be gone from the process, so nothing (static state, a pinned copy) can
// carry over into the next load.
//
// Run under valgrind by .ci/valgrind.sh to find leaks and invalid accesses; registered
// with CTest with fewer cycles. Under valgrind the source's pitch padding is marked
// undefined, so a plugin whose result depends on bytes past a row's last pixel is
// reported even though those bytes are inside the buffer.
//
// usage: load_cycles [cycles]
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "duplix_model.h"
#include "frames.h"
#include "eagle_model.h"
#include "quadrix_model.h"
#include "tristripe_model.h"
#include "render_plugin.h"
#if __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#else
#define VALGRIND_MAKE_MEM_UNDEFINED(addr, len) ((void)(addr), (void)(len))
#endif
#if __has_include("velmora.h")
#include "velmora.h"
#define PELLIX_HAVE_VELMORA 1
#endif

using namespace pellix;
using namespace pellix::test;

namespace {

using Model = std::function<std::vector<uint16_t>(const SourceImage&)>;

struct Plugin {
    const char* file;
    Model model;
};

std::vector<Plugin> allPlugins() {
    std::vector<Plugin> v = {{"duplix.rpi", model::duplix}, {"quadrix.rpi", model::quadrix}};
    v.push_back({"Eagle.rpi", model::eagle});
    v.push_back({"scanline/tristripe.rpi", model::tristripeModel(model::StripeBuild::Scanline)});
    v.push_back({"plain/tristripe.rpi", model::tristripeModel(model::StripeBuild::Plain)});
    v.push_back({"copy/tristripe.rpi", model::tristripeModel(model::StripeBuild::Copy)});
    return v;
}

int failures = 0;

void fail(const std::string& what) {
    std::fprintf(stderr, "load_cycles: %s\n", what.c_str());
    ++failures;
}

bool exists(const std::string& path) { return std::ifstream(path).good(); }

std::string distDir() {
    const char* e = std::getenv("PELLIX_DIST_DIR");
    return e && *e ? e : PELLIX_DEFAULT_DIST_DIR;
}

std::string absolute(const std::string& path) {
    char buf[4096];
    return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

bool stillLoaded(const std::string& path) {
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h) return false;
    dlclose(h);
    return true;
}

// A 7x3 source (odd width, vector body plus tail in every plugin) and a canary-filled
// destination one row and two columns larger than the block.
struct Frame {
    SourceImage src{7, 3, 2 * 7 + 2};
    DestImage dst{16, 7, 2 * 16};
    explicit Frame(unsigned seed) {
        Rng rng(seed);
        fillRandom(src, rng, seed % 3);
        for (uint32_t y = 0; y + 1 < src.height; ++y)
            VALGRIND_MAKE_MEM_UNDEFINED(src.buf.data() + size_t{y} * src.pitch + 2 * size_t{src.width},
                                        src.pitch - 2 * size_t{src.width});
    }
    bool matches(const Model& m) const {
        const std::vector<uint16_t> block = m(src);
        for (uint32_t y = 0; y < dst.height; ++y)
            for (uint32_t x = 0; x < dst.width; ++x) {
                const size_t off = size_t{y} * dst.pitch + 2 * size_t{x};
                const uint16_t canary = static_cast<uint16_t>(canaryByte(off) | canaryByte(off + 1) << 8);
                const bool inBlock = x < 2 * src.width && y < 2 * src.height;
                if (dst.at(x, y) != (inBlock ? block[size_t{y} * 2 * src.width + x] : canary)) return false;
            }
        return true;
    }
};

void cyclePlugin(const Plugin& p, int cycles) {
    const std::string path = absolute(distDir() + "/" + p.file);
    for (int i = 0; i < cycles; ++i) {
        void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h) return fail(std::string(p.file) + ": dlopen failed: " + dlerror());
        auto getInfo = reinterpret_cast<RenderPluginGetInfoFn>(dlsym(h, "RenderPluginGetInfo"));
        auto output = reinterpret_cast<RenderPluginOutputFn>(dlsym(h, "RenderPluginOutput"));
        if (!getInfo || !output) {
            dlclose(h);
            return fail(std::string(p.file) + ": an export is missing");
        }
        RenderPluginInfo* info = getInfo();
        info->module = h;
        Frame f(static_cast<unsigned>(i));
        RenderPluginRequest r{};
        r.size = sizeof r;
        r.flags = info->flags;
        r.src = f.src.data();
        r.srcPitch = f.src.pitch;
        r.srcWidth = f.src.width;
        r.srcHeight = f.src.height;
        r.dst = f.dst.buf.data();
        r.dstPitch = f.dst.pitch;
        r.dstWidth = f.dst.width;
        r.dstHeight = f.dst.height;
        output(&r);
        const bool ok = r.outWidth == 14 && r.outHeight == 6 && f.matches(p.model);
        dlclose(h);
        if (!ok) return fail(std::string(p.file) + ": wrong frame in cycle " + std::to_string(i));
        if (stillLoaded(path)) return fail(std::string(p.file) + ": still loaded after dlclose");
    }
}

#ifdef PELLIX_HAVE_VELMORA
std::string exeDir() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    buf[n] = '\0';
    std::string s(buf);
    return s.substr(0, s.rfind('/') + 1);
}

// The adapter loads plugins relative to the executable's directory: climb to the root
// and come down to the absolute path.
std::string relativeToExe(const std::string& abs) {
    std::string up;
    const std::string dir = exeDir();
    for (size_t i = 1; i < dir.size(); ++i)
        if (dir[i] == '/') up += "../";
    return up + abs.substr(1);
}

void cycleAdapter(const std::vector<Plugin>& plugins, int cycles) {
    const std::string lib = absolute(distDir() + "/velmora.so");
    if (!exists(lib)) return;
    char tmpl[] = "/tmp/pellix_cycles_XXXXXX";
    if (!mkdtemp(tmpl)) return fail("cannot make a temporary directory");
    const std::string dir = tmpl, copy = dir + "/velmora.so", ini = dir + "/velmora.ini";
    {
        std::ifstream in(lib, std::ios::binary);
        std::ofstream out(copy, std::ios::binary);
        out << in.rdbuf();
    }
    for (int i = 0; i < cycles; ++i) {
        // Every eighth cycle names a plugin that is not there: attach must fail quietly.
        const bool missing = i % 8 == 7;
        const Plugin& p = plugins[static_cast<size_t>(i) % plugins.size()];
        std::ofstream(ini, std::ios::trunc) << "[Velmora]\nfilter="
                                            << (missing ? std::string("no-such-plugin.rpi")
                                                        : relativeToExe(absolute(distDir() + "/" + p.file)))
                                            << "\n";
        void* h = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h) {
            fail(std::string("velmora.so: dlopen failed: ") + dlerror());
            break;
        }
        auto isFilter = reinterpret_cast<VlmIsFilterFn>(dlsym(h, "vlm_isfilter"));
        auto filter = reinterpret_cast<VlmFilterFn>(dlsym(h, "vlm_filter"));
        bool ok = isFilter && filter;
        if (ok) {
            Frame f(static_cast<unsigned>(i));
            const int32_t loaded = isFilter();
            const int32_t handed = filter(f.dst.buf.data(), f.dst.pitch, f.dst.width, f.dst.height, f.src.data(),
                                          f.src.pitch, f.src.width, f.src.height);
            ok = missing ? (loaded == 0 && handed == 0) : (loaded == 1 && handed == 1 && f.matches(p.model));
        }
        dlclose(h);
        if (!ok) {
            fail(std::string("velmora.so: wrong result in cycle ") + std::to_string(i) + " with " +
                 (missing ? "a missing plugin" : p.file));
            break;
        }
        if (stillLoaded(copy)) {
            fail("velmora.so: still loaded after dlclose");
            break;
        }
        if (!missing && stillLoaded(absolute(distDir() + "/" + p.file))) {
            fail(std::string("velmora.so: left ") + p.file + " loaded after detach");
            break;
        }
    }
    std::remove(ini.c_str());
    std::remove(copy.c_str());
    rmdir(dir.c_str());
}
#endif

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    std::vector<Plugin> plugins;
    for (const Plugin& p : allPlugins())
        if (exists(distDir() + "/" + p.file)) plugins.push_back(p);
    if (plugins.empty()) {
        std::fprintf(stderr, "load_cycles: no plugin built in %s\n", distDir().c_str());
        return 1;
    }
    for (const Plugin& p : plugins) cyclePlugin(p, cycles);
#ifdef PELLIX_HAVE_VELMORA
    cycleAdapter(plugins, cycles);
#endif
    std::printf("load_cycles: %zu plugin(s)%s, %d cycles each: %s\n", plugins.size(),
#ifdef PELLIX_HAVE_VELMORA
                exists(distDir() + "/velmora.so") ? " and velmora.so" : "",
#else
                "",
#endif
                cycles, failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
