// Line builders of the Eagle plugin.
//
// A pass over an upper source row A and a lower source row B fills two lines: the
// upper line takes the lower halves of A's pixels, the lower line the upper halves of
// B's pixels. Entry k of a line belongs to output column k - 1 of the piece being
// built (entry 2x + 1: left half of pixel x, entry 2x + 2: its right half).
//
// The rule is evaluated on windows of 2x2 source pixels on columns x and x + 1:
//
//          x   x+1
//     A:   a    b        upper line, entry 2x+2 = bottom-right of a   entry 2x+3 = bottom-left of b
//     B:   c    d        lower line, entry 2x+2 = top-right of c      entry 2x+3 = top-left of d
//
//     bottom-right of a = b if b == c == d, else a
//     bottom-left  of b = c if a == c == d, else b
//     top-right    of c = a if a == b == d, else c
//     top-left     of d = a if a == b == c, else d
//
// A piece of n pixels needs the windows on columns -1 .. n - 1, i.e. entries
// 0 .. 2n + 1; entries 1 .. 2n go to the destination. Column -1 holds the pixels left
// of the piece and column n those right of it (black beyond either end of the row).
#ifndef PELLIX_EAGLE_KERNELS_H
#define PELLIX_EAGLE_KERNELS_H

#include <cstdint>
#include <cstring>

namespace pellix {
namespace eagle {

// Entries per line: a piece of n pixels needs 2n + 2 of them.
constexpr uint32_t kLineEntries = 2048;

struct LinePiece {
    const uint8_t* rowA;  // first pixel of the piece in the upper source row
    const uint8_t* rowB;  // ... and in the lower source row
    uint32_t n;           // pixels in the piece, 1 .. kLineEntries / 2 - 1
    uint16_t leftA, leftB, rightA, rightB;  // pixels on columns -1 and n
    uint16_t* upLine;     // eagleUpperLine, 32-byte aligned
    uint16_t* loLine;     // eagleLowerLine, 32-byte aligned
    uint8_t* upDst;       // output column 0 of the piece in the row of the upper line
    uint8_t* loDst;       // ... and of the lower line
};

// Writes the window's four output pixels: up[0], up[1] into the upper line and
// lo[0], lo[1] into the lower line (entries 2x + 2 and 2x + 3 for the window on x).
static inline void eagleWindow(uint16_t a, uint16_t b, uint16_t c, uint16_t d, uint16_t* up, uint16_t* lo) {
    up[0] = (b == c && c == d) ? b : a;
    up[1] = (a == c && c == d) ? c : b;
    lo[0] = (a == b && b == d) ? a : c;
    lo[1] = (a == b && b == c) ? a : d;
}

static inline uint16_t pixelAt(const uint8_t* row, uint32_t x) {
    uint16_t p;
    std::memcpy(&p, row + 2 * size_t{x}, 2);
    return p;
}

// The windows on columns done - 1 .. n - 1 (entries 2 * done .. 2n + 1): the one that
// closes the last whole step (or opens the piece when done is 0), those of the pixels
// past the last whole step, and the one against column n.
static inline void finishPiece(const LinePiece& p, uint32_t done) {
    for (uint32_t i = done; i <= p.n; ++i) {
        const uint16_t a = i == 0 ? p.leftA : pixelAt(p.rowA, i - 1);
        const uint16_t c = i == 0 ? p.leftB : pixelAt(p.rowB, i - 1);
        const uint16_t b = i == p.n ? p.rightA : pixelAt(p.rowA, i);
        const uint16_t d = i == p.n ? p.rightB : pixelAt(p.rowB, i);
        eagleWindow(a, b, c, d, p.upLine + 2 * size_t{i}, p.loLine + 2 * size_t{i});
    }
}

// Fills output columns 0 .. 2n - 1 of the piece in both destination rows with entries
// 1 .. 2n of the two lines: eaglePiece_c builds the lines whole and copies them;
// eaglePiece_sse2 stores its steps' entries straight to the destination and builds only
// the last windows in the lines.
using PieceKernel = void (*)(const LinePiece& p);

void eaglePiece_c(const LinePiece& p);
#if defined(PELLIX_HAVE_SSE2)
void eaglePiece_sse2(const LinePiece& p);
// The same piece of two consecutive passes, whose shared row is p.rowB = q.rowB's
// upper row q.rowA: the result of eaglePiece_sse2(p) and then eaglePiece_sse2(q).
void eaglePiecePair_sse2(const LinePiece& p, const LinePiece& q);
#endif

}  // namespace eagle
}  // namespace pellix

#endif
