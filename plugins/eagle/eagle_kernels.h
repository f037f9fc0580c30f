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
// A line of n pixels needs the windows on columns -1 .. n - 1, i.e. entries 0 .. 2n + 1;
// columns -1 and n hold whatever the caller supplies (black at the ends of a row).
//
// The step functions build the windows -1 .. done - 2 (entries 0 .. 2 * done - 1) for
// the first `done` pixels they return; the caller finishes the windows done - 1 .. n - 1
// with eagleWindow, the same helper the plain steps use.
#ifndef PELLIX_EAGLE_KERNELS_H
#define PELLIX_EAGLE_KERNELS_H

#include <cstdint>
#include <cstring>

namespace pellix {
namespace eagle {

// Entries per line: a piece of n pixels needs 2n + 2 of them.
constexpr uint32_t kLineEntries = 2048;

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

// Builds the lines for pixels 0 .. done - 1 of rows A and B (n pixels available;
// carryA/carryB are the pixels left of column 0) and returns done.
using StepKernel = uint32_t (*)(const uint8_t* rowA, const uint8_t* rowB, uint32_t n, uint16_t carryA,
                                uint16_t carryB, uint16_t* upLine, uint16_t* loLine);

uint32_t eagleSteps_c(const uint8_t* rowA, const uint8_t* rowB, uint32_t n, uint16_t carryA, uint16_t carryB,
                      uint16_t* upLine, uint16_t* loLine);
#if defined(PELLIX_HAVE_SSE2)
uint32_t eagleSteps_sse2(const uint8_t* rowA, const uint8_t* rowB, uint32_t n, uint16_t carryA, uint16_t carryB,
                         uint16_t* upLine, uint16_t* loLine);
#endif

}  // namespace eagle
}  // namespace pellix

#endif
