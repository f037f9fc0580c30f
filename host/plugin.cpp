#include "plugin.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "cli.h"
#include "fileio.h"

namespace pellix {
namespace host {

std::unique_ptr<Plugin> Plugin::load(const std::string& path) {
    if (isDirectory(path)) throw Failure(path + ": is a directory, not a plugin file");
    if (!isRegularFile(path)) throw Failure(path + ": no such plugin file");
    // A name without a slash would make dlopen search the library path instead.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    std::unique_ptr<Plugin> p(new Plugin());
    p->path_ = path;
    p->handle_ = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!p->handle_) {
        const char* why = dlerror();
        throw Failure(path + ": not a loadable shared library (" + (why ? why : "dlopen failed") + ")");
    }
    auto getInfo = reinterpret_cast<RenderPluginGetInfoFn>(dlsym(p->handle_, "RenderPluginGetInfo"));
    p->output_ = reinterpret_cast<RenderPluginOutputFn>(dlsym(p->handle_, "RenderPluginOutput"));
    if (!getInfo || !p->output_) {
        std::string missing = !getInfo ? "RenderPluginGetInfo" : "";
        if (!p->output_) missing += std::string(missing.empty() ? "" : " and ") + "RenderPluginOutput";
        throw Failure(path + ": not a render plugin (it does not export " + missing + ")");
    }
    p->info_ = getInfo();
    if (!p->info_) throw Failure(path + ": RenderPluginGetInfo returned no record");
    p->info_->module = p->handle_;
    p->name_.assign(p->info_->name, strnlen(p->info_->name, sizeof p->info_->name));
    return p;
}

Plugin::~Plugin() {
    if (handle_) dlclose(handle_);
}

std::string resolvePluginPath(const std::string& arg) {
    if (arg.empty()) throw UsageError("empty plugin name");
    if (isRegularFile(arg) || isDirectory(arg)) return arg;
    if (arg[0] != '/') {
        const std::string beside = joinPath(exeDir(), arg);
        if (isRegularFile(beside)) return beside;
    }
    throw Failure(arg + ": no such plugin file (looked in the current directory and in " + exeDir() + ")");
}

int scaleFactor(uint32_t flags) {
    switch (flags & RENDER_SCALE_MASK) {
        case RENDER_SCALE_3X: return 3;
        case RENDER_SCALE_4X: return 4;
        case RENDER_SCALE_ZERO: return 0;
        default: return 2;
    }
}

std::string flagNames(uint32_t flags) {
    struct Named {
        uint32_t bit;
        const char* name;
    };
    static const Named bits[] = {
        {RENDER_FLAG_BIT12, "RENDER_FLAG_BIT12"}, {RENDER_FLAG_RGB565, "RENDER_FLAG_RGB565"},
        {RENDER_FLAG_BIT10, "RENDER_FLAG_BIT10"}, {RENDER_FLAG_BIT9, "RENDER_FLAG_BIT9"},
        {RENDER_FLAG_BIT8, "RENDER_FLAG_BIT8"},   {RENDER_FLAG_BIT1, "RENDER_FLAG_BIT1"},
        {RENDER_FLAG_BIT0, "RENDER_FLAG_BIT0"},
    };
    std::vector<std::string> parts;
    switch (flags & RENDER_SCALE_MASK) {
        case 0: break;
        case RENDER_SCALE_2X: parts.push_back("RENDER_SCALE_2X"); break;
        case RENDER_SCALE_3X: parts.push_back("RENDER_SCALE_3X"); break;
        case RENDER_SCALE_4X: parts.push_back("RENDER_SCALE_4X"); break;
        case RENDER_SCALE_ZERO: parts.push_back("RENDER_SCALE_ZERO"); break;
        default: {
            char buf[40];
            std::snprintf(buf, sizeof buf, "scale field 0x%X", flags & RENDER_SCALE_MASK);
            parts.push_back(buf);
        }
    }
    uint32_t known = RENDER_SCALE_MASK;
    for (const Named& n : bits) {
        known |= n.bit;
        if (flags & n.bit) parts.push_back(n.name);
    }
    if (flags & ~known) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "unnamed bits 0x%X", flags & ~known);
        parts.push_back(buf);
    }
    if (parts.empty()) return "(none)";
    std::string out;
    for (const std::string& s : parts) out += (out.empty() ? "" : " | ") + s;
    return out;
}

std::string unusableReason(uint32_t flags) {
    const int f = scaleFactor(flags);
    if (f != 2) return "its scale factor is " + std::to_string(f) + "; pellix drives 2x plugins only";
    if (!(flags & RENDER_FLAG_RGB565)) return "it does not take RGB565 frames (RENDER_FLAG_RGB565 is not set)";
    return "";
}

}  // namespace host
}  // namespace pellix
