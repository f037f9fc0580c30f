#include "frame_filter.h"

#include <dlfcn.h>

#include "cli.h"
#include "fileio.h"

namespace pellix {
namespace host {

namespace {

constexpr uint16_t kSentinelA = 0xA5C3;
constexpr uint16_t kSentinelB = 0x3C5A;

}  // namespace

// A plugin either refuses a frame and writes nothing, or writes every pixel of the
// output block. So two sentinels, in the first and the last pixel of the block, tell
// the two apart. If both come back unchanged, the plugin may have written those very
// values; a second call with the complements settles it, since the same frame cannot
// give both a value and its complement.
bool FrameFilter::run(const Image565& src, Image565& dst) {
    const uint32_t ow = 2 * src.width, oh = 2 * src.height;
    if (dst.width != ow || dst.height != oh) dst = Image565(ow, oh);
    if (dst.pixels.empty()) return false;
    uint16_t& first = dst.pixels.front();
    uint16_t& last = dst.pixels.back();
    for (int attempt = 0; attempt < 2; ++attempt) {
        const uint16_t a = attempt ? static_cast<uint16_t>(~kSentinelA) : kSentinelA;
        const uint16_t b = attempt ? static_cast<uint16_t>(~kSentinelB) : kSentinelB;
        first = a;
        last = b;
        call(src.pixels.data(), src.pitch(), src.width, src.height, dst.pixels.data(), dst.pitch(), ow, oh);
        if (first != a || last != b) return true;
    }
    return false;
}

std::string FrameFilter::refusalReason(uint32_t w, uint32_t h) const {
    if (w >= RENDER_WIDTH_LIMIT) {
        return "width " + std::to_string(w) + " is over the limit of " + std::to_string(RENDER_WIDTH_LIMIT - 1);
    }
    if (!(requestFlags() & RENDER_FLAG_RGB565)) return "the request lacks RENDER_FLAG_RGB565";
    if (h == 0) return "the height is 0";
    return "no acceptance test explains it";
}

PluginFilter::PluginFilter(std::unique_ptr<Plugin> plugin) : plugin_(std::move(plugin)) {
    const std::string why = unusableReason(plugin_->flags());
    if (!why.empty()) throw Failure(plugin_->path() + ": cannot use " + plugin_->name() + ": " + why);
    // The frame is RGB565; the two bits the adapter strips are not forwarded here either,
    // so both roads hand a plugin the same request.
    flags_ = (plugin_->flags() & ~uint32_t{RENDER_FLAG_BIT10 | RENDER_FLAG_BIT12}) | RENDER_FLAG_RGB565;
}

void PluginFilter::call(const uint16_t* src, uint32_t srcPitch, uint32_t w, uint32_t h, uint16_t* dst,
                        uint32_t dstPitch, uint32_t dstW, uint32_t dstH) {
    RenderPluginRequest r{};
    r.size = sizeof r;
    r.flags = flags_;
    r.src = src;
    r.srcPitch = srcPitch;
    r.srcWidth = w;
    r.srcHeight = h;
    r.dst = dst;
    r.dstPitch = dstPitch;
    r.dstWidth = dstW;
    r.dstHeight = dstH;
    plugin_->output(&r);
}

namespace {

using IsFilterFn = int32_t (*)(void);
using VlmFilterFn = int32_t (*)(void*, uint32_t, uint32_t, uint32_t, const void*, uint32_t, uint32_t, uint32_t);

class AdapterFilter : public FrameFilter {
public:
    AdapterFilter() {
        const std::string dir = exeDir();
        const std::string path = joinPath(dir, "velmora.so");
        if (!isRegularFile(path)) throw Failure("velmora.so not found beside pellix in " + dir);
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char* why = dlerror();
            throw Failure(path + ": cannot load (" + (why ? why : "dlopen failed") + ")");
        }
        auto isFilter = reinterpret_cast<IsFilterFn>(dlsym(handle_, "vlm_isfilter"));
        filter_ = reinterpret_cast<VlmFilterFn>(dlsym(handle_, "vlm_filter"));
        if (!isFilter || !filter_) {
            dlclose(handle_);
            throw Failure(path + ": not a filter adapter (vlm_isfilter or vlm_filter missing)");
        }
        if (isFilter() == 0) {
            dlclose(handle_);
            throw Failure("velmora.so loaded no plugin; check velmora.ini");
        }
    }
    ~AdapterFilter() override { dlclose(handle_); }
    std::string label() const override { return "velmora.so"; }
    uint32_t requestFlags() const override { return RENDER_FLAG_RGB565; }
    void call(const uint16_t* src, uint32_t srcPitch, uint32_t w, uint32_t h, uint16_t* dst, uint32_t dstPitch,
              uint32_t dstW, uint32_t dstH) override {
        if (filter_(dst, dstPitch, dstW, dstH, src, srcPitch, w, h) == 0) {
            throw Failure("velmora.so has no plugin loaded");
        }
    }

private:
    void* handle_ = nullptr;
    VlmFilterFn filter_ = nullptr;
};

}  // namespace

std::unique_ptr<FrameFilter> openAdapter() { return std::unique_ptr<FrameFilter>(new AdapterFilter()); }

std::unique_ptr<FrameFilter> openFilter(const std::string& arg, bool viaAdapter) {
    if (viaAdapter) return openAdapter();
    return std::unique_ptr<FrameFilter>(new PluginFilter(Plugin::load(resolvePluginPath(arg))));
}

}  // namespace host
}  // namespace pellix
