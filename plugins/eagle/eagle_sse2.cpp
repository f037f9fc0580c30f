// SSE2 line builder of the Eagle plugin: eight source pixels per step, eight windows.
//
//   b = A[x]   .. A[x+7]        d = B[x]   .. B[x+7]
//   a = A[x-1] .. A[x+6]        c = B[x-1] .. B[x+6]     (unaligned loads one pixel back)
//
// Lane i is the window on columns x-1+i, x+i; a step yields entries 2x .. 2x+15 of both
// lines, and the window on its last pixel is lane 0 of the next step.
//
//   bottom-right of a = b if b == c == d, else a   =  a ^ (cd & bc & (a ^ d))
//   top-left     of d = a if a == b == c, else d   =  d ^ (ab & bc & (a ^ d))
//   bottom-left  of b = c if a == c == d, else b   =  b ^ (cd & ad & (b ^ c))
//   top-right    of c = a if a == b == d, else c   =  c ^ (ab & ad & (b ^ c))
//
// with xy the lane mask x == y (cmpeq_epi16); a == c == d is tested as a == d, c == d
// and a == b == d as a == b, a == d, so four compares serve all four pixels. Where a
// mask holds, the masked xor swaps the pixel for the common value:
// a ^ (a ^ d) = d = b,  d ^ (a ^ d) = a,  b ^ (b ^ c) = c,  c ^ (b ^ c) = b = a.
// unpacklo/hi_epi16 interleave the results into the entry order of the lines.
//
// Entry k belongs to output column k - 1, so the steps store their sixteen entries
// per line straight into the destination rows at column 2x - 1. The first step has no
// column -1: it stores entries 1 .. 16 at column 0, entry 16 (not known yet) as 0 for
// the next step or the last windows to rewrite. The windows after the last whole step
// are built in the line buffers by finishPiece and copied from there. Only whole steps
// of the piece are loaded, so nothing past the row's last pixel is read; every store
// lies within the piece's 2n output columns.
#include <emmintrin.h>

#include "eagle_kernels.h"

namespace pellix {
namespace eagle {
namespace {

struct Halves {
    __m128i bottomRightA, bottomLeftB, topRightC, topLeftD;
};

// ab = (a == b) and cd = (c == d) come from the caller: in a pair of passes the lower
// row's cd of the first pass is the upper row's ab of the second.
inline Halves windows8(__m128i a, __m128i b, __m128i c, __m128i d, __m128i ab, __m128i cd) {
    const __m128i t = _mm_and_si128(_mm_cmpeq_epi16(b, c), _mm_xor_si128(a, d));
    const __m128i u = _mm_and_si128(_mm_cmpeq_epi16(a, d), _mm_xor_si128(b, c));
    return {_mm_xor_si128(a, _mm_and_si128(t, cd)), _mm_xor_si128(b, _mm_and_si128(u, cd)),
            _mm_xor_si128(c, _mm_and_si128(u, ab)), _mm_xor_si128(d, _mm_and_si128(t, ab))};
}

inline Halves windows8(__m128i a, __m128i b, __m128i c, __m128i d) {
    return windows8(a, b, c, d, _mm_cmpeq_epi16(a, b), _mm_cmpeq_epi16(c, d));
}

inline __m128i load8(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store8(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Entries 2x .. 2x+15 of both lines at output column 2x - 1.
inline void storeStep(uint8_t* up, uint8_t* lo, const Halves& h) {
    store8(up, _mm_unpacklo_epi16(h.bottomRightA, h.bottomLeftB));
    store8(up + 16, _mm_unpackhi_epi16(h.bottomRightA, h.bottomLeftB));
    store8(lo, _mm_unpacklo_epi16(h.topRightC, h.topLeftD));
    store8(lo + 16, _mm_unpackhi_epi16(h.topRightC, h.topLeftD));
}

// Step 0: the window on column -1 takes the pixels left of the piece; entries 1 .. 16
// go to columns 0 .. 15, entry 16 as 0 until step 1 or the last windows rewrite it.
void firstStep(const LinePiece& p) {
    const __m128i b = load8(p.rowA), d = load8(p.rowB);
    const Halves h = windows8(_mm_or_si128(_mm_slli_si128(b, 2), _mm_cvtsi32_si128(p.leftA)), b,
                              _mm_or_si128(_mm_slli_si128(d, 2), _mm_cvtsi32_si128(p.leftB)), d);
    const __m128i up0 = _mm_unpacklo_epi16(h.bottomRightA, h.bottomLeftB);
    const __m128i up1 = _mm_unpackhi_epi16(h.bottomRightA, h.bottomLeftB);
    const __m128i lo0 = _mm_unpacklo_epi16(h.topRightC, h.topLeftD);
    const __m128i lo1 = _mm_unpackhi_epi16(h.topRightC, h.topLeftD);
    store8(p.upDst, _mm_or_si128(_mm_srli_si128(up0, 2), _mm_slli_si128(up1, 14)));
    store8(p.upDst + 16, _mm_srli_si128(up1, 2));
    store8(p.loDst, _mm_or_si128(_mm_srli_si128(lo0, 2), _mm_slli_si128(lo1, 14)));
    store8(p.loDst + 16, _mm_srli_si128(lo1, 2));
}

// The windows after the last whole step, built in the lines and copied from there.
void finishSteps(const LinePiece& p, uint32_t steps) {
    finishPiece(p, 8 * steps);
    // At most fifteen entries per line; a plain loop beats a library call here.
    for (uint32_t e = steps > 0 ? 16 * steps : 1; e <= 2 * p.n; ++e) {
        std::memcpy(p.upDst + 2 * size_t{e - 1}, p.upLine + e, 2);
        std::memcpy(p.loDst + 2 * size_t{e - 1}, p.loLine + e, 2);
    }
}

}  // namespace

void eaglePiece_sse2(const LinePiece& p) {
    const uint32_t steps = p.n / 8;
    if (steps > 0) firstStep(p);
    // Step g (x = 8g) reads from A[x-1] and writes from column 2x - 1.
    const uint8_t* a = p.rowA + 14;
    const uint8_t* c = p.rowB + 14;
    uint8_t* up = p.upDst + 30;
    uint8_t* lo = p.loDst + 30;
    for (uint32_t g = 1; g < steps; ++g, a += 16, c += 16, up += 32, lo += 32)
        storeStep(up, lo, windows8(load8(a), load8(a + 2), load8(c), load8(c + 2)));
    finishSteps(p, steps);
}

// Two passes over rows A, B and B, C (q.rowA is p.rowB), step by step: the loads of B
// and its lane-wise equality with itself shifted by one serve both.
void eaglePiecePair_sse2(const LinePiece& p, const LinePiece& q) {
    const uint32_t steps = p.n / 8;
    if (steps > 0) {
        firstStep(p);
        firstStep(q);
    }
    // Step g reads from byte 16g - 2 of the source rows and writes from byte 32g - 2
    // of the destination rows (x = 16g - 16).
    // Local copies: the stores cannot alias them.
    const uint8_t* const rowA = p.rowA + 14;
    const uint8_t* const rowB = p.rowB + 14;
    const uint8_t* const rowC = q.rowB + 14;
    uint8_t* const pUp = p.upDst + 30;
    uint8_t* const pLo = p.loDst + 30;
    uint8_t* const qUp = q.upDst + 30;
    uint8_t* const qLo = q.loDst + 30;
    for (size_t x = 0; x + 16 < 16 * size_t{steps}; x += 16) {
        const __m128i a0 = load8(rowA + x), a1 = load8(rowA + x + 2);
        const __m128i c0 = load8(rowB + x), c1 = load8(rowB + x + 2);
        const __m128i e0 = load8(rowC + x), e1 = load8(rowC + x + 2);
        const __m128i cc = _mm_cmpeq_epi16(c0, c1);
        storeStep(pUp + 2 * x, pLo + 2 * x, windows8(a0, a1, c0, c1, _mm_cmpeq_epi16(a0, a1), cc));
        storeStep(qUp + 2 * x, qLo + 2 * x, windows8(c0, c1, e0, e1, cc, _mm_cmpeq_epi16(e0, e1)));
    }
    finishSteps(p, steps);
    finishSteps(q, steps);
}

}  // namespace eagle
}  // namespace pellix
