// Libraries that look like plugins but are not usable ones: one lacks
// RenderPluginOutput, one declares a 3x scale.
#include <cstring>

#include "render_plugin.h"

#ifndef FIXTURE_FLAGS
#define FIXTURE_FLAGS 0x20B02
#endif

namespace {
RenderPluginInfo info;
}

RENDER_EXPORT RenderPluginInfo* RenderPluginGetInfo(void) {
    std::strcpy(info.name, "Fixture");
    info.flags = FIXTURE_FLAGS;
    return &info;
}

#ifndef FIXTURE_GETINFO_ONLY
RENDER_EXPORT void RenderPluginOutput(RenderPluginRequest* r) {
    r->outWidth = 2 * r->srcWidth;
    r->outHeight = 2 * r->srcHeight;
}
#endif
