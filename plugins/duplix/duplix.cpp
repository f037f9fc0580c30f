// duplix.rpi: repeats every source pixel as a 2x2 block.
#include "duplix_kernels.h"
#include "plugin_frame.h"

namespace pellix {
namespace duplix {

void doubleRow_c(const uint8_t* src, uint32_t w, uint8_t* rowA, uint8_t* rowB) {
    for (uint32_t x = 0; x < w; ++x) doublePixel(src, x, rowA, rowB);
}

namespace {

RenderPluginInfo info;

constexpr uint32_t kFlags = RENDER_SCALE_2X | RENDER_FLAG_RGB565 | RENDER_FLAG_BIT10 | RENDER_FLAG_BIT9 |
                            RENDER_FLAG_BIT8 | RENDER_FLAG_BIT1;
static_assert(kFlags == 0x20F02, "duplix flag word");

RowPairKernel chooseRowKernel() {
#if defined(PELLIX_HAVE_SSE2)
    if (useSse2Path()) return doubleRow_sse2;
#endif
    return doubleRow_c;
}

}  // namespace
}  // namespace duplix
}  // namespace pellix

using namespace pellix;

RENDER_EXPORT RenderPluginInfo* RenderPluginGetInfo(void) {
    return describe(duplix::info, "Duplix (Pellix)", duplix::kFlags);
}

RENDER_EXPORT void RenderPluginOutput(RenderPluginRequest* r) {
    if (acceptRequest(*r, kAllAcceptanceTests)) filterRowPairs(*r, duplix::chooseRowKernel());
    reportOutputSize(*r);
}
