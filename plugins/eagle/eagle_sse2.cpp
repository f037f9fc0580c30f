// SSE2 line builder of the Eagle plugin: eight source pixels per step, eight windows.
//
//   b = A[x]   .. A[x+7]        d = B[x]   .. B[x+7]
//   a = A[x-1] .. A[x+6]        c = B[x-1] .. B[x+6]     (unaligned loads one pixel back;
//                                in the first step, b and d shifted up one lane with
//                                the pixels left of the piece in lane 0)
//
// Lane i is the window on columns x-1+i, x+i, so a step fills entries 2x .. 2x+15 of
// both lines; the window on its last pixel is lane 0 of the next step.
//
//   bottom-right of a = b if b == c == d, else a   =  a ^ (bc & cd & (a ^ d))
//   top-left     of d = a if a == b == c, else d   =  d ^ (bc & ab & (a ^ d))
//   bottom-left  of b = c if a == c == d, else b   =  b ^ (ac & cd & (b ^ c))
//   top-right    of c = a if a == b == d, else c   =  c ^ (ab & bd & (b ^ c))
//
// with xy the lane mask x == y. Where a mask holds, the three pixels it names are equal,
// so a ^ d equals a ^ c in the first line and b ^ c equals b ^ a in the last: each
// select flips its pixel into the common value. The results are interleaved
// (unpacklo/hi_epi16) into sixteen entries per line and stored 32-byte aligned.
//
// The copy to the destination trails the build by kCopyLag steps, so that the stores
// to the destination overlap the arithmetic instead of following it; by then the line
// entries it reads (entries 16j+1 .. 16j+16 to output columns 16j .. 16j+15) are final
// and have long left the store buffer. Whatever the loop has not copied goes after the
// last windows. Only whole steps of the piece are loaded, so nothing past the row's
// last pixel is read.
#include <emmintrin.h>

#include "eagle_kernels.h"

namespace pellix {
namespace eagle {
namespace {

constexpr uint32_t kCopyLag = 8;

inline void windows8(__m128i a, __m128i b, __m128i c, __m128i d, __m128i* up, __m128i* lo) {
    const __m128i ab = _mm_cmpeq_epi16(a, b), cd = _mm_cmpeq_epi16(c, d), bc = _mm_cmpeq_epi16(b, c);
    const __m128i ac = _mm_cmpeq_epi16(a, c), bd = _mm_cmpeq_epi16(b, d);
    const __m128i aXorD = _mm_xor_si128(a, d), bXorC = _mm_xor_si128(b, c);
    const __m128i t = _mm_and_si128(bc, aXorD);
    const __m128i bottomRightA = _mm_xor_si128(a, _mm_and_si128(t, cd));
    const __m128i topLeftD = _mm_xor_si128(d, _mm_and_si128(t, ab));
    const __m128i bottomLeftB = _mm_xor_si128(b, _mm_and_si128(_mm_and_si128(ac, cd), bXorC));
    const __m128i topRightC = _mm_xor_si128(c, _mm_and_si128(_mm_and_si128(ab, bd), bXorC));
    _mm_store_si128(up, _mm_unpacklo_epi16(bottomRightA, bottomLeftB));
    _mm_store_si128(up + 1, _mm_unpackhi_epi16(bottomRightA, bottomLeftB));
    _mm_store_si128(lo, _mm_unpacklo_epi16(topRightC, topLeftD));
    _mm_store_si128(lo + 1, _mm_unpackhi_epi16(topRightC, topLeftD));
}

inline __m128i load8(const uint8_t* row, size_t x) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * x));
}

// Line entries 16j+1 .. 16j+16 to output columns 16j .. 16j+15.
inline void copyChunk(uint8_t* dst, const uint16_t* line, size_t j) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 16 * j + 1));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 16 * j + 9));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32 * j), lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32 * j + 16), hi);
}

}  // namespace

void eaglePiece_sse2(const LinePiece& p) {
    // Locals, so that the stores through the line pointers cannot be taken to modify them.
    const uint8_t* const rowA = p.rowA;
    const uint8_t* const rowB = p.rowB;
    uint16_t* const upLine = p.upLine;
    uint16_t* const loLine = p.loLine;
    uint8_t* const upDst = p.upDst;
    uint8_t* const loDst = p.loDst;
    __m128i* const up = reinterpret_cast<__m128i*>(upLine);
    __m128i* const lo = reinterpret_cast<__m128i*>(loLine);
    const uint32_t steps = p.n / 8;
    if (steps > 0) {
        const __m128i b = load8(rowA, 0), d = load8(rowB, 0);
        const __m128i a = _mm_or_si128(_mm_slli_si128(b, 2), _mm_cvtsi32_si128(p.leftA));
        const __m128i c = _mm_or_si128(_mm_slli_si128(d, 2), _mm_cvtsi32_si128(p.leftB));
        windows8(a, b, c, d, up, lo);
    }
    const uint32_t copyFrom = steps < kCopyLag ? steps : kCopyLag;
    for (uint32_t g = 1; g < copyFrom; ++g) {
        const size_t x = 8 * size_t{g};
        windows8(load8(rowA, x - 1), load8(rowA, x), load8(rowB, x - 1), load8(rowB, x), up + 2 * g, lo + 2 * g);
    }
    for (uint32_t g = copyFrom; g < steps; ++g) {
        const size_t x = 8 * size_t{g};
        windows8(load8(rowA, x - 1), load8(rowA, x), load8(rowB, x - 1), load8(rowB, x), up + 2 * g, lo + 2 * g);
        copyChunk(upDst, upLine, g - kCopyLag);
        copyChunk(loDst, loLine, g - kCopyLag);
    }
    finishPiece(p, 8 * steps);
    const uint32_t copied = 16 * (steps - copyFrom);
    copyEntries(upDst, upLine, copied + 1, p.n);
    copyEntries(loDst, loLine, copied + 1, p.n);
}

}  // namespace eagle
}  // namespace pellix
