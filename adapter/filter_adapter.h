// The adapter's one object: plays the host's part of the render plugin contract towards
// the single plugin named in velmora.ini.
#ifndef VELMORA_FILTER_ADAPTER_H
#define VELMORA_FILTER_ADAPTER_H

#include <cstdint>

#include "platform.h"
#include "render_plugin.h"

namespace velmora {

// Room for the configured plugin name, as the profile call gets it: 259 characters.
constexpr size_t kNameRoom = 260;

class FilterAdapter {
public:
    FilterAdapter() = default;
    FilterAdapter(const FilterAdapter&) = delete;
    FilterAdapter& operator=(const FilterAdapter&) = delete;

    // Loads `name` from the executable's directory and vets it; false leaves module null.
    bool load(const char* name);
    void unload();
    void forward(void* dst, uint32_t dstPitch, uint32_t dstWidth, uint32_t dstHeight, const void* src,
                 uint32_t srcPitch, uint32_t srcWidth, uint32_t srcHeight);

    // Field order is part of the design; module alone tells whether a plugin is in use.
    platform::Library module = nullptr;
    RenderPluginOutputFn outputEntry = nullptr;
    RenderPluginGetInfoFn getInfoEntry = nullptr;
    RenderPluginInfo infoCopy;     // plugin record after `module` was written, bits 10 and 12 cleared
    RenderPluginRequest request;   // refilled for every frame
    int32_t scaleFactor;           // 2, 3, 4 or 0, from the record's scale field
    RenderPluginInfo* pluginInfo = nullptr;  // the plugin's own record (borrowed)
};

// Null before attach, after detach, and when the object could not be created.
extern FilterAdapter* theAdapter;

// Output factor of a flag word's scale field; values without a name count as 2.
int32_t scaleFactorOf(uint32_t flags);

}  // namespace velmora

#endif
