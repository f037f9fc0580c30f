// A pixel doubler with one deliberate stray access, chosen by PELLIX_STRAY, made on top
// of its correct output. The guard-page tests load it to show that each kind of stray
// access kills the run instead of passing unnoticed.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "render_plugin.h"

namespace {

RenderPluginInfo info;

bool is(const char* mode, const char* name) { return mode && std::strcmp(mode, name) == 0; }

}  // namespace

RENDER_EXPORT RenderPluginInfo* RenderPluginGetInfo() {
    std::memcpy(info.name, "Stray (test)", sizeof "Stray (test)");
    info.flags = 0x20B02;
    return &info;
}

RENDER_EXPORT void RenderPluginOutput(RenderPluginRequest* r) {
    const uint64_t w = r->srcWidth, h = r->srcHeight;
    if (r->dstWidth >= 2 * w && r->dstHeight >= 2 * h && w < RENDER_WIDTH_LIMIT && h != 0) {
        const char* mode = std::getenv("PELLIX_STRAY");
        const auto* src = static_cast<const uint8_t*>(r->src);
        auto* dst = static_cast<uint8_t*>(r->dst);
        volatile uint8_t sink = 0;
        for (uint64_t y = 0; y < h; ++y) {
            const uint8_t* s = src + y * r->srcPitch;
            for (uint64_t x = 0; x < w; ++x) {
                uint16_t p;
                std::memcpy(&p, s + 2 * x, 2);
                for (uint64_t dy = 0; dy < 2; ++dy)
                    for (uint64_t dx = 0; dx < 2; ++dx)
                        std::memcpy(dst + (2 * y + dy) * r->dstPitch + 2 * (2 * x + dx), &p, 2);
            }
            if (is(mode, "read_past_row")) sink = sink + s[2 * w];
            if (is(mode, "read_before_row")) sink = sink + s[-1];
        }
        uint8_t* lastRow = dst + (2 * h - 1) * r->dstPitch;
        if (is(mode, "write_past_block")) lastRow[4 * w] = 0;
        if (is(mode, "write_before_block")) dst[-1] = 0;
#if defined(__i386__) || defined(__x86_64__)
        if (is(mode, "mmx_without_emms")) __asm__ volatile("pxor %mm0, %mm0");
#endif
        (void)sink;
    }
    r->outWidth = 2u * r->srcWidth;
    r->outHeight = 2u * r->srcHeight;
}
