// Attach, detach, plugin loading and frame forwarding. Every failure is silent: the only
// outward sign is vlm_isfilter() answering 0.
#include "filter_adapter.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "adapter_paths.h"
#include "velmora.h"

namespace velmora {

static_assert(offsetof(FilterAdapter, module) < offsetof(FilterAdapter, outputEntry) &&
                  offsetof(FilterAdapter, outputEntry) < offsetof(FilterAdapter, getInfoEntry) &&
                  offsetof(FilterAdapter, getInfoEntry) < offsetof(FilterAdapter, infoCopy) &&
                  offsetof(FilterAdapter, infoCopy) < offsetof(FilterAdapter, request) &&
                  offsetof(FilterAdapter, request) < offsetof(FilterAdapter, scaleFactor) &&
                  offsetof(FilterAdapter, scaleFactor) < offsetof(FilterAdapter, pluginInfo),
              "FilterAdapter fields keep their order");

FilterAdapter* theAdapter = nullptr;

namespace {

constexpr char kSection[] = "Velmora";
constexpr char kKey[] = "filter";
constexpr char kDefaultName[] = "lumacast.rpi";
constexpr uint32_t kClearedFlags = RENDER_FLAG_BIT10 | RENDER_FLAG_BIT12;

}  // namespace

int32_t scaleFactorOf(uint32_t flags) {
    switch (flags & RENDER_SCALE_MASK) {
        case RENDER_SCALE_2X: return 2;
        case RENDER_SCALE_3X: return 3;
        case RENDER_SCALE_4X: return 4;
        case RENDER_SCALE_ZERO: return 0;
        default: return 2;
    }
}

bool FilterAdapter::load(const char* name) {
    if (name[0] == '\0') return false;

    char path[platform::kPathRoom];
    if (!platform::executablePath(path, sizeof path)) return false;
    const char* separator = platform::lastSeparator(path);
    if (!separator) return false;  // not a full path: no directory to load from
    const size_t dirLength = static_cast<size_t>(separator - path) + 1;
    if (!joinPluginPath(path, sizeof path, dirLength, name)) return false;

    module = platform::loadLibrary(path);
    if (!module) return false;

    getInfoEntry = reinterpret_cast<RenderPluginGetInfoFn>(platform::findEntry(module, "RenderPluginGetInfo"));
    outputEntry = reinterpret_cast<RenderPluginOutputFn>(platform::findEntry(module, "RenderPluginOutput"));
    if (getInfoEntry && outputEntry) {
        pluginInfo = getInfoEntry();
        if (pluginInfo) {
            pluginInfo->module = module;
            infoCopy = *pluginInfo;
            scaleFactor = scaleFactorOf(infoCopy.flags);
            if (scaleFactor == 2 && (infoCopy.flags & RENDER_FLAG_RGB565)) {
                infoCopy.flags &= ~kClearedFlags;
                return true;
            }
        }
    }
    unload();
    return false;
}

void FilterAdapter::unload() {
    if (!module) return;
    platform::unloadLibrary(module);
    module = nullptr;
}

void FilterAdapter::forward(void* dst, uint32_t dstPitch, uint32_t dstWidth, uint32_t dstHeight, const void* src,
                            uint32_t srcPitch, uint32_t srcWidth, uint32_t srcHeight) {
    request.size = sizeof(RenderPluginRequest);
    request.flags = infoCopy.flags;
    request.src = src;
    request.srcPitch = srcPitch;
    request.srcWidth = srcWidth;
    request.srcHeight = srcHeight;
    request.dst = dst;
    request.dstPitch = dstPitch;
    request.dstWidth = dstWidth;
    request.dstHeight = dstHeight;
    request.outWidth = dstWidth;
    request.outHeight = dstHeight;
    outputEntry(&request);
}

void attachAdapter() {
    char iniPath[platform::kPathRoom] = {};
    char name[kNameRoom];
    name[0] = '\0';
    bool nameComplete = true;
    if (platform::ownLibraryPath(iniPath, sizeof iniPath) && deriveIniPath(iniPath, sizeof iniPath))
        nameComplete = platform::readIniString(iniPath, kSection, kKey, kDefaultName, name, sizeof name);
    else
        std::memcpy(name, kDefaultName, sizeof kDefaultName);

    theAdapter = new (std::nothrow) FilterAdapter();
    if (!theAdapter) return;
    // A name longer than the room would be cut into a different file name: not loaded.
    if (nameComplete) theAdapter->load(name);
}

void detachAdapter() {
    if (!theAdapter) return;
    theAdapter->unload();
    delete theAdapter;
    theAdapter = nullptr;
}

}  // namespace velmora

using velmora::theAdapter;

VELMORA_EXPORT int32_t vlm_isfilter(void) { return theAdapter && theAdapter->module ? 1 : 0; }

VELMORA_EXPORT int32_t vlm_filter(void* dst, uint32_t dstPitch, uint32_t dstWidth, uint32_t dstHeight,
                                  const void* src, uint32_t srcPitch, uint32_t srcWidth, uint32_t srcHeight) {
    if (!theAdapter || !theAdapter->module) return 0;
    theAdapter->forward(dst, dstPitch, dstWidth, dstHeight, src, srcPitch, srcWidth, srcHeight);
    return 1;
}
