// The common frame every plugin's RenderPluginOutput shares: acceptance tests, the
// reported output size, filling the info record, and the choice between the vector
// path and the plain path.
//
// Everything here has internal linkage: this header is included both by plain sources
// and by sources built with ISA flags, and an inline function with external linkage
// could be merged across them and run SSE2 code on a CPU without it.
#ifndef PELLIX_PLUGIN_FRAME_H
#define PELLIX_PLUGIN_FRAME_H

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "render_plugin.h"

namespace pellix {
namespace {

enum AcceptanceTest : unsigned {
    kTestWidthFits = 1u << 0,
    kTestHeightFits = 1u << 1,
    kTestWidthLimit = 1u << 2,
    kTestRgb565Flag = 1u << 3,
    kTestHeightNotZero = 1u << 4,
    kAllAcceptanceTests = 0x1Fu,
};

// The doubled sizes are compared in 64 bits so that a srcWidth or srcHeight of 2^31
// or more fails instead of wrapping around to a small value.
inline bool acceptRequest(const RenderPluginRequest& r, unsigned tests) {
    if ((tests & kTestWidthFits) && uint64_t{r.dstWidth} < 2 * uint64_t{r.srcWidth}) return false;
    if ((tests & kTestHeightFits) && uint64_t{r.dstHeight} < 2 * uint64_t{r.srcHeight}) return false;
    if ((tests & kTestWidthLimit) && r.srcWidth >= RENDER_WIDTH_LIMIT) return false;
    if ((tests & kTestRgb565Flag) && !(r.flags & RENDER_FLAG_RGB565)) return false;
    if ((tests & kTestHeightNotZero) && r.srcHeight == 0) return false;
    return true;
}

// Reported whether the frame was filtered or refused; 32-bit arithmetic on purpose.
inline void reportOutputSize(RenderPluginRequest& r) {
    r.outWidth = 2u * r.srcWidth;
    r.outHeight = 2u * r.srcHeight;
}

// Writes name (with its terminator) and flags; module and reserved are the host's.
inline RenderPluginInfo* describe(RenderPluginInfo& info, const char* name, uint32_t flags) {
    const size_t n = std::strlen(name);
    std::memcpy(info.name, name, n + 1);
    info.flags = flags;
    return &info;
}

// Setting PELLIX_FORCE_PLAIN (to anything but "0") makes every plugin take its plain
// path, so tests can compare both paths of the same binary. Read per frame: no state.
inline bool plainPathForced() {
    const char* v = std::getenv("PELLIX_FORCE_PLAIN");
    return v != nullptr && v[0] != '\0' && !(v[0] == '0' && v[1] == '\0');
}

inline bool cpuHasSse2() {
#if defined(__x86_64__) || defined(_M_X64)
    return true;
#elif defined(__i386__)
    return __builtin_cpu_supports("sse2");
#else
    return false;
#endif
}

inline bool useSse2Path() { return cpuHasSse2() && !plainPathForced(); }

inline const uint8_t* rowAt(const void* base, uint32_t pitch, uint32_t y) {
    return static_cast<const uint8_t*>(base) + size_t{pitch} * y;
}
inline uint8_t* rowAt(void* base, uint32_t pitch, uint32_t y) {
    return static_cast<uint8_t*>(base) + size_t{pitch} * y;
}

// For plugins whose source row y alone yields destination rows 2y (upper) and 2y + 1
// (lower): the kernel fills columns 0 .. 2w-1 of both.
using RowPairKernel = void (*)(const uint8_t* src, uint32_t w, uint8_t* upper, uint8_t* lower);

inline void filterRowPairs(const RenderPluginRequest& r, RowPairKernel kernel) {
    if (r.srcWidth == 0) return;  // nothing to write: its up to 2^31 - 1 empty rows are not walked
    for (uint32_t y = 0; y < r.srcHeight; ++y) {
        uint8_t* upper = rowAt(r.dst, r.dstPitch, 2 * y);
        kernel(rowAt(r.src, r.srcPitch, y), r.srcWidth, upper, upper + r.dstPitch);
    }
}

// Unaligned 16-bit pixel access: images are only 2-byte aligned and the compiler must
// not assume more.
inline uint16_t loadPixel(const uint8_t* row, uint32_t x) {
    uint16_t p;
    std::memcpy(&p, row + 2 * size_t{x}, 2);
    return p;
}
inline void storePixel(uint8_t* row, uint32_t x, uint16_t p) { std::memcpy(row + 2 * size_t{x}, &p, 2); }

}  // namespace
}  // namespace pellix

#endif
