// RGB-stripe core shared by the scanline, plain and copy builds: the lookup tables,
// the six row arrays, the row decomposition and the bright/dim pixel of a column.
//
//   source row --decomposeRow--> rowRed/Green/Blue      level of column k at k+1
//                                rowRed/Green/BlueBleed level >> 3, at k+1
//
//   channel sum s(k) = row[k+1] + bleed[k] + bleed[k+2]            (0 .. 317)
//   bright(k) = redBrightField[bI[sR]] | greenBrightField[bI[sG]] | blueBrightField[bI[sB]]
//   dim(k)    = redDimField[dI[sR]]    | greenDimField[dI[sG]]    | blueDimField[dI[sB]]
//
// Index 0 of every row array is the left border and is never written. decomposeRow
// zeroes the bleed at index w+1 (the right border), which is why the arrays have one
// entry more than the widest accepted row needs.
#ifndef PELLIX_TRISTRIPE_CORE_H
#define PELLIX_TRISTRIPE_CORE_H

#include <cstdint>
#include <cstring>

#include "render_plugin.h"

namespace pellix {
namespace tristripe {

constexpr uint32_t kRowArraySize = RENDER_WIDTH_LIMIT + 1;

extern uint8_t level5to8[32];
extern uint8_t level6to8[64];
extern uint8_t brightIntensity[320];
extern uint8_t dimIntensity[320];
extern uint16_t redBrightField[256];
extern uint16_t greenBrightField[256];
extern uint16_t blueBrightField[256];
extern uint16_t redDimField[256];
extern uint16_t greenDimField[256];
extern uint16_t blueDimField[256];

extern uint8_t rowRed[kRowArraySize];
extern uint8_t rowGreen[kRowArraySize];
extern uint8_t rowBlue[kRowArraySize];
extern uint8_t rowRedBleed[kRowArraySize];
extern uint8_t rowGreenBleed[kRowArraySize];
extern uint8_t rowBlueBleed[kRowArraySize];

// Fills the ten tables and clears the six row arrays.
void buildStripeTables();

// dimIntensity[319] is the last table entry buildStripeTables writes; it is 0 only
// while the tables have never been built (every pass must then write 0 pixels).
static inline bool stripeTablesBuilt() { return dimIntensity[319] != 0; }

// Rule 1, the columns before w4 = w & ~3, with the divisions the four-pixel step
// makes exact: 33r/4, 65g/16, 33b/4. Rule 2, the last w mod 4 columns, reads the
// level tables (255c/31, 255g/63), which are one lower for some inputs.
static inline void storeLevels(uint32_t index, uint32_t red, uint32_t green, uint32_t blue) {
    rowRed[index] = static_cast<uint8_t>(red);
    rowGreen[index] = static_cast<uint8_t>(green);
    rowBlue[index] = static_cast<uint8_t>(blue);
    rowRedBleed[index] = static_cast<uint8_t>(red >> 3);
    rowGreenBleed[index] = static_cast<uint8_t>(green >> 3);
    rowBlueBleed[index] = static_cast<uint8_t>(blue >> 3);
}

static inline uint16_t loadRowPixel(const uint8_t* row, uint32_t k) {
    uint16_t p;
    std::memcpy(&p, row + 2 * size_t{k}, 2);
    return p;
}

// Columns from..w-1 of a row, each by the rule of its column, then the right border.
static inline void decomposeColumns(const uint8_t* row, uint32_t from, uint32_t w) {
    const uint32_t w4 = w & ~3u;
    uint32_t k = from;
    for (; k < w4; ++k) {
        const uint32_t p = loadRowPixel(row, k);
        storeLevels(k + 1, 33 * (p >> 11) / 4, 65 * ((p >> 5) & 63) / 16, 33 * (p & 31) / 4);
    }
    for (; k < w; ++k) {
        const uint32_t p = loadRowPixel(row, k);
        storeLevels(k + 1, level5to8[p >> 11], level6to8[(p >> 5) & 63], level5to8[p & 31]);
    }
    rowRedBleed[w + 1] = rowGreenBleed[w + 1] = rowBlueBleed[w + 1] = 0;
}

struct StripePair {
    uint16_t bright;
    uint16_t dim;
};

// The two output values of column k of the row last decomposed (0 <= k < w).
static inline StripePair stripePixels(uint32_t k) {
    const uint32_t sR = rowRed[k + 1] + rowRedBleed[k] + rowRedBleed[k + 2];
    const uint32_t sG = rowGreen[k + 1] + rowGreenBleed[k] + rowGreenBleed[k + 2];
    const uint32_t sB = rowBlue[k + 1] + rowBlueBleed[k] + rowBlueBleed[k + 2];
    StripePair p;
    p.bright = static_cast<uint16_t>(redBrightField[brightIntensity[sR]] | greenBrightField[brightIntensity[sG]] |
                                     blueBrightField[brightIntensity[sB]]);
    p.dim = static_cast<uint16_t>(redDimField[dimIntensity[sR]] | greenDimField[dimIntensity[sG]] |
                                  blueDimField[dimIntensity[sB]]);
    return p;
}

// Where one source row's values go: every row in `bd` gets bright, dim, bright, dim...
// (output columns 2k, 2k+1); `dd`, if set, gets dim in both columns of every pair.
struct StripeTargets {
    uint8_t* bd[4];
    uint32_t bdCount;
    uint8_t* dd;
};

static inline void storeStripePair(const StripeTargets& t, uint32_t k, StripePair p) {
    const uint32_t bd = p.bright | (uint32_t{p.dim} << 16);
    for (uint32_t r = 0; r < t.bdCount; ++r) std::memcpy(t.bd[r] + 4 * size_t{k}, &bd, 4);
    if (t.dd) {
        const uint32_t dd = p.dim | (uint32_t{p.dim} << 16);
        std::memcpy(t.dd + 4 * size_t{k}, &dd, 4);
    }
}

// Row kernels. The plain path decomposes the row into the row arrays and then reads
// them column by column; the SSE2 path does both in one sweep over the source pixels
// and touches the row arrays only for the columns after its last step.
void decomposeRow_c(const uint8_t* row, uint32_t w);
void emitStripes_c(const StripeTargets& t, uint32_t w);
#if defined(PELLIX_HAVE_SSE2)
void stripeRow_sse2(const uint8_t* row, const StripeTargets& t, uint32_t w);
#endif

}  // namespace tristripe
}  // namespace pellix

#endif
