// tristripe.rpi: every source pixel becomes a bright and a dim pixel, placed by one of
// three output passes. The build picks its pass and display name with one definition:
//
//   TRISTRIPE_PASS_SCANLINE  "RGB Scanline (Pellix)"  emitScanlineRow
//   TRISTRIPE_PASS_PLAIN     "RGB (Pellix)"           emitPlainRow
//   TRISTRIPE_PASS_COPY      "RGB Copy (Pellix)"      emitCopyRows
#include "plugin_frame.h"
#include "tristripe_core.h"

#if defined(TRISTRIPE_PASS_SCANLINE) + defined(TRISTRIPE_PASS_PLAIN) + defined(TRISTRIPE_PASS_COPY) != 1
#error "define exactly one of TRISTRIPE_PASS_SCANLINE, TRISTRIPE_PASS_PLAIN, TRISTRIPE_PASS_COPY"
#endif

namespace pellix {
namespace tristripe {
namespace {

RenderPluginInfo info;

constexpr uint32_t kFlags =
    RENDER_SCALE_2X | RENDER_FLAG_RGB565 | RENDER_FLAG_BIT9 | RENDER_FLAG_BIT8 | RENDER_FLAG_BIT1;
static_assert(kFlags == 0x20B02, "tristripe flag word");

// One source row into its output rows.
using StripeKernel = void (*)(const uint8_t* row, const StripeTargets&, uint32_t w);

// Plain path: decomposeRow, then stripePixels for every column.
void stripeRow_c(const uint8_t* row, const StripeTargets& t, uint32_t w) {
    decomposeRow_c(row, w);
    emitStripes_c(t, w);
}

// The SSE2 path computes the tables' values from their formulas, so it is taken only
// once the tables exist; before the first RenderPluginGetInfo the plain path runs and
// writes the 0 pixels of the all-zero tables.
StripeKernel chooseRowKernel() {
#if defined(PELLIX_HAVE_SSE2)
    if (useSse2Path() && stripeTablesBuilt()) return stripeRow_sse2;
#endif
    return stripeRow_c;
}

#if defined(TRISTRIPE_PASS_SCANLINE)

constexpr const char* kDisplayName = "RGB Scanline (Pellix)";
constexpr uint32_t kSourceRowStep = 1;

// Source row i fills output rows 2i and 2i+1:
//   even i:  B D B D ...    odd i:  B D B D ...
//            B D B D ...            D D D D ...
void emitScanlineRow(const RenderPluginRequest& r, uint32_t i, const uint8_t* row, StripeKernel kernel) {
    uint8_t* top = rowAt(r.dst, r.dstPitch, 2 * i);
    uint8_t* bottom = top + r.dstPitch;
    StripeTargets t{};
    t.bd[0] = top;
    if (i % 2 == 0) {
        t.bd[1] = bottom;
        t.bdCount = 2;
    } else {
        t.bdCount = 1;
        t.dd = bottom;
    }
    kernel(row, t, r.srcWidth);
}

inline void emitPass(const RenderPluginRequest& r, uint32_t i, StripeKernel kernel) {
    emitScanlineRow(r, i, rowAt(r.src, r.srcPitch, i), kernel);
}

#elif defined(TRISTRIPE_PASS_PLAIN)

constexpr const char* kDisplayName = "RGB (Pellix)";
constexpr uint32_t kSourceRowStep = 1;

// Source row i fills output rows 2i and 2i+1 alike: B D B D ...
void emitPlainRow(const RenderPluginRequest& r, uint32_t i, const uint8_t* row, StripeKernel kernel) {
    uint8_t* top = rowAt(r.dst, r.dstPitch, 2 * i);
    StripeTargets t{};
    t.bd[0] = top;
    t.bd[1] = top + r.dstPitch;
    t.bdCount = 2;
    kernel(row, t, r.srcWidth);
}

inline void emitPass(const RenderPluginRequest& r, uint32_t i, StripeKernel kernel) {
    emitPlainRow(r, i, rowAt(r.src, r.srcPitch, i), kernel);
}

#else

constexpr const char* kDisplayName = "RGB Copy (Pellix)";
constexpr uint32_t kSourceRowStep = 2;  // odd source rows are never read

// Even source row i fills output rows 2i .. 2i+3 with B D B D ... The last group of an
// odd srcHeight starts at row 2H-2 and is cut to its two rows inside the output block:
// the acceptance tests guarantee no destination row past 2H-1.
void emitCopyRows(const RenderPluginRequest& r, uint32_t i, const uint8_t* row, StripeKernel kernel) {
    const uint32_t first = 2 * i, end = 2 * r.srcHeight;
    StripeTargets t{};
    t.bdCount = end - first < 4 ? end - first : 4;
    for (uint32_t n = 0; n < t.bdCount; ++n) t.bd[n] = rowAt(r.dst, r.dstPitch, first + n);
    kernel(row, t, r.srcWidth);
}

inline void emitPass(const RenderPluginRequest& r, uint32_t i, StripeKernel kernel) {
    emitCopyRows(r, i, rowAt(r.src, r.srcPitch, i), kernel);
}

#endif

}  // namespace
}  // namespace tristripe
}  // namespace pellix

using namespace pellix;

RENDER_EXPORT RenderPluginInfo* RenderPluginGetInfo(void) {
    describe(tristripe::info, tristripe::kDisplayName, tristripe::kFlags);
    tristripe::buildStripeTables();
    return &tristripe::info;
}

RENDER_EXPORT void RenderPluginOutput(RenderPluginRequest* r) {
    if (acceptRequest(*r, kAllAcceptanceTests) && r->srcWidth != 0) {
        const tristripe::StripeKernel kernel = tristripe::chooseRowKernel();
        for (uint32_t i = 0; i < r->srcHeight; i += tristripe::kSourceRowStep) tristripe::emitPass(*r, i, kernel);
    }
    reportOutputSize(*r);
}
