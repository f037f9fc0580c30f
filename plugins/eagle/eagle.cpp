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

constexpr uint32_t kWholeRow = (kLineEntries - 2) / 2;
constexpr uint32_t kPiecePixels = 1016;
static_assert(2 * kPiecePixels + 2 <= kLineEntries && kPiecePixels % 8 == 0, "piece fits the lines");

// Pass k of a frame of H rows (k = 0 .. H): source rows k - 1 and k, clamped to the
// frame, into output rows 2k - 1 and 2k, clamped to the block. Pass 0 pairs row 0
// with itself for the top output row, pass H the last row for the bottom one. The
// lower source row of pass k is the upper one of pass k + 1.
struct PassRows {
    const uint8_t* upper;
    const uint8_t* lower;
    uint8_t* upperDst;
    uint8_t* lowerDst;
};

PassRows passRows(const RenderPluginRequest& r, uint32_t k) {
    const uint32_t h = r.srcHeight;
    const uint32_t up = k == 0 ? 0 : k - 1, low = k == h ? h - 1 : k;
    const uint32_t upDst = k == 0 ? 0 : 2 * k - 1, lowDst = k == h ? 2 * h - 1 : 2 * k;
    return {rowAt(r.src, r.srcPitch, up), rowAt(r.src, r.srcPitch, low), rowAt(r.dst, r.dstPitch, upDst),
            rowAt(r.dst, r.dstPitch, lowDst)};
}

// A row of up to kWholeRow pixels is built in one piece (2n + 2 <= kLineEntries
// entries). A wider row goes in pieces of kPiecePixels, a multiple of both step
// widths, each continuing from the previous piece's last pixels.
uint32_t piecePixels(uint32_t w, uint32_t x0) { return w - x0 <= kWholeRow ? w - x0 : kPiecePixels; }

// Piece [x0, x0 + n) of one pass; `left` holds the pixels left of it (0 at column 0).
LinePiece makePiece(const PassRows& rows, uint32_t w, uint32_t x0, uint32_t n, uint16_t leftA, uint16_t leftB) {
    LinePiece p{};
    p.upLine = eagleUpperLine;
    p.loLine = eagleLowerLine;
    p.n = n;
    p.rowA = rows.upper + 2 * size_t{x0};
    p.rowB = rows.lower + 2 * size_t{x0};
    p.leftA = leftA;
    p.leftB = leftB;
    const bool last = x0 + n == w;  // black right of the last column
    p.rightA = last ? 0 : pixelAt(p.rowA, n);
    p.rightB = last ? 0 : pixelAt(p.rowB, n);
    p.upDst = rows.upperDst + 4 * size_t{x0};
    p.loDst = rows.lowerDst + 4 * size_t{x0};
    return p;
}

// The two output rows of one pass (w pixels per source row), piece by piece; each
// piece writes exactly its 2n output columns, the upper line and then the lower one.
void eaglePass(const PassRows& rows, uint32_t w, PieceKernel buildPiece) {
    uint16_t leftA = 0, leftB = 0;  // black left of column 0
    for (uint32_t x0 = 0, n; x0 < w; x0 += n) {
        n = piecePixels(w, x0);
        const LinePiece p = makePiece(rows, w, x0, n, leftA, leftB);
        buildPiece(p);
        leftA = pixelAt(p.rowA, n - 1);
        leftB = pixelAt(p.rowB, n - 1);
    }
}

#if defined(PELLIX_HAVE_SSE2)
// Passes k and k + 1 together, piece by piece.
void eaglePassPair(const PassRows& first, const PassRows& second, uint32_t w) {
    uint16_t leftA = 0, leftB = 0, leftC = 0;
    for (uint32_t x0 = 0, n; x0 < w; x0 += n) {
        n = piecePixels(w, x0);
        const LinePiece p = makePiece(first, w, x0, n, leftA, leftB);
        const LinePiece q = makePiece(second, w, x0, n, leftB, leftC);
        eaglePiecePair_sse2(p, q);
        leftA = pixelAt(p.rowA, n - 1);
        leftB = pixelAt(p.rowB, n - 1);
        leftC = pixelAt(q.rowB, n - 1);
    }
}
#endif

// Passes 0 .. H in increasing order; the vector path runs them two at a time.
void eagleFrame(const RenderPluginRequest& r) {
    const uint32_t h = r.srcHeight, w = r.srcWidth;
    uint32_t k = 0;
#if defined(PELLIX_HAVE_SSE2)
    if (useSse2Path()) {
        for (; k + 1 <= h; k += 2) eaglePassPair(passRows(r, k), passRows(r, k + 1), w);
        if (k <= h) eaglePass(passRows(r, k), w, eaglePiece_sse2);
        return;
    }
#endif
    for (; k <= h; ++k) eaglePass(passRows(r, k), w, eaglePiece_c);
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
    if (acceptRequest(*r, kTestWidthFits | kTestHeightFits) && r->srcHeight != 0 && r->srcWidth != 0)
        eagle::eagleFrame(*r);
    reportOutputSize(*r);
}
