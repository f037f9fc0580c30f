// quadrix.rpi: splits every source pixel into a 2x2 cell of red, green, blue and the
// whole pixel.
#include "plugin_frame.h"
#include "quadrix_kernels.h"

namespace pellix {
namespace quadrix {

void splitRow_c(const uint8_t* src, uint32_t w, uint8_t* upper, uint8_t* lower) {
    for (uint32_t x = 0; x < w; ++x) splitPixel(src, x, upper, lower);
}

namespace {

RenderPluginInfo info;

constexpr uint32_t kFlags =
    RENDER_SCALE_2X | RENDER_FLAG_RGB565 | RENDER_FLAG_BIT9 | RENDER_FLAG_BIT8 | RENDER_FLAG_BIT1;
static_assert(kFlags == 0x20B02, "quadrix flag word");

RowPairKernel chooseRowKernel() {
#if defined(PELLIX_HAVE_SSE2)
    if (useSse2Path()) return splitRow_sse2;
#endif
    return splitRow_c;
}

}  // namespace
}  // namespace quadrix
}  // namespace pellix

using namespace pellix;

RENDER_EXPORT RenderPluginInfo* RenderPluginGetInfo(void) {
    // Two blanks before the parenthesis.
    return describe(quadrix::info, "KestoRGB  (Pellix)", quadrix::kFlags);
}

RENDER_EXPORT void RenderPluginOutput(RenderPluginRequest* r) {
    if (acceptRequest(*r, kAllAcceptanceTests)) filterRowPairs(*r, quadrix::chooseRowKernel());
    reportOutputSize(*r);
}
