// Eagle.rpi: the Eagle pixel-art rule at twice the width and height.
//
// Output row 0 comes from a pass that pairs source row 0 with itself, rows 2k - 1 and
// 2k from the pass over source rows k - 1 and k, and row 2H - 1 from a pass that pairs
// the last source row with itself. Left of column 0 and right of the last column the
// frame is extended by black. The result is the Eagle rule over the whole block, so
// mirroring the source mirrors the output.
#include "eagle_kernels.h"
#include "plugin_frame.h"

namespace pellix {
namespace eagle {

// Four source pixels per step:
//
//   entries 8g, 8g+1      window (carried pixel, pixel 4g): the seam with the previous step
//   entries 8g+2 .. 8g+7  windows on columns 4g+i, 4g+i+1 for i = 0, 1, 2
//   entries 8g+8, 8g+9    black placeholders until the next seam window overwrites them
//
// After the last whole step finishPiece computes the remaining windows; then the upper
// line is copied, and after it the lower line.
void eaglePiece_c(const LinePiece& p) {
    const uint32_t steps = p.n / 4;
    uint16_t carryA = p.leftA, carryB = p.leftB;
    for (uint32_t g = 0; g < steps; ++g) {
        uint16_t a[4], b[4];
        for (uint32_t i = 0; i < 4; ++i) {
            a[i] = pixelAt(p.rowA, 4 * g + i);
            b[i] = pixelAt(p.rowB, 4 * g + i);
        }
        uint16_t* up = p.upLine + 8 * size_t{g};
        uint16_t* lo = p.loLine + 8 * size_t{g};
        eagleWindow(carryA, a[0], carryB, b[0], up, lo);
        for (uint32_t i = 0; i < 3; ++i) eagleWindow(a[i], a[i + 1], b[i], b[i + 1], up + 2 + 2 * i, lo + 2 + 2 * i);
        up[8] = up[9] = lo[8] = lo[9] = 0;
        carryA = a[3];
        carryB = b[3];
    }
    finishPiece(p, 4 * steps);
    std::memcpy(p.upDst, p.upLine + 1, 4 * size_t{p.n});
    std::memcpy(p.loDst, p.loLine + 1, 4 * size_t{p.n});
}

namespace {

RenderPluginInfo info;

constexpr uint32_t kFlags = RENDER_FLAG_RGB565 | RENDER_FLAG_BIT8 | RENDER_FLAG_BIT0;
static_assert(kFlags == 0x901, "Eagle flag word");

alignas(32) uint16_t eagleUpperLine[kLineEntries];
alignas(32) uint16_t eagleLowerLine[kLineEntries];

// A row of up to kWholeRow pixels is built in one piece (2n + 2 <= kLineEntries
// entries). A wider row goes in pieces of kPiecePixels, a multiple of both step
// widths, each continuing from the previous piece's last pixels.
constexpr uint32_t kWholeRow = (kLineEntries - 2) / 2;
constexpr uint32_t kPiecePixels = 1016;
static_assert(2 * kPiecePixels + 2 <= kLineEntries && kPiecePixels % 8 == 0, "piece fits the lines");

PieceKernel choosePieceKernel() {
#if defined(PELLIX_HAVE_SSE2)
    if (useSse2Path()) return eaglePiece_sse2;
#endif
    return eaglePiece_c;
}

// The two output rows between source rows `upper` and `lower` (rowBytes / 2 pixels
// each): the upper line into the row at upperDst, the lower line into the row at
// lowerDst, piece by piece; each piece writes exactly its 2n output columns.
void eaglePass(const uint8_t* upper, const uint8_t* lower, uint32_t rowBytes, uint8_t* upperDst, uint8_t* lowerDst,
               PieceKernel buildPiece) {
    const uint32_t w = rowBytes / 2;
    LinePiece p{};
    p.upLine = eagleUpperLine;
    p.loLine = eagleLowerLine;
    p.leftA = p.leftB = 0;  // black left of column 0
    for (uint32_t x0 = 0; x0 < w; x0 += p.n) {
        p.n = w - x0 <= kWholeRow ? w - x0 : kPiecePixels;
        p.rowA = upper + 2 * size_t{x0};
        p.rowB = lower + 2 * size_t{x0};
        const bool last = x0 + p.n == w;  // black right of the last column
        p.rightA = last ? 0 : pixelAt(p.rowA, p.n);
        p.rightB = last ? 0 : pixelAt(p.rowB, p.n);
        p.upDst = upperDst + 4 * size_t{x0};
        p.loDst = lowerDst + 4 * size_t{x0};
        buildPiece(p);
        p.leftA = pixelAt(p.rowA, p.n - 1);
        p.leftB = pixelAt(p.rowB, p.n - 1);
    }
}

}  // namespace
}  // namespace eagle
}  // namespace pellix

using namespace pellix;

RENDER_EXPORT RenderPluginInfo* RenderPluginGetInfo(void) {
    return describe(eagle::info, "Eagle (Tamsor)", eagle::kFlags);
}

// The request's flags are not consulted and no width limit applies: only the
// destination must be large enough.
RENDER_EXPORT void RenderPluginOutput(RenderPluginRequest* r) {
    if (acceptRequest(*r, kTestWidthFits | kTestHeightFits) && r->srcHeight != 0 && r->srcWidth != 0) {
        const eagle::PieceKernel kernel = eagle::choosePieceKernel();
        const uint32_t h = r->srcHeight, rowBytes = 2 * r->srcWidth;
        const uint8_t* first = rowAt(r->src, r->srcPitch, 0);
        eagle::eaglePass(first, first, rowBytes, rowAt(r->dst, r->dstPitch, 0), rowAt(r->dst, r->dstPitch, 0),
                         kernel);
        for (uint32_t k = 1; k < h; ++k)
            eagle::eaglePass(rowAt(r->src, r->srcPitch, k - 1), rowAt(r->src, r->srcPitch, k), rowBytes,
                             rowAt(r->dst, r->dstPitch, 2 * k - 1), rowAt(r->dst, r->dstPitch, 2 * k), kernel);
        const uint8_t* last = rowAt(r->src, r->srcPitch, h - 1);
        uint8_t* bottom = rowAt(r->dst, r->dstPitch, 2 * h - 1);
        eagle::eaglePass(last, last, rowBytes, bottom, bottom, kernel);
    }
    reportOutputSize(*r);
}
