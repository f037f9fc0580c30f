// The RGB-stripe lookup tables as SSE2 arithmetic on eight 16-bit lanes. Each function
// gives, lane by lane, exactly the table entry of the lane's index (checked for every
// index by the tests), so the vector path needs no table reads:
//
//   brightIntensity[s]  = (180 s) >> 8           = mulhi_u(s, 180 << 8)
//   dimIntensity[s]     = (((3 s) >> 3) 180) >> 8 = mulhi_u(mulhi_u(s, 3 << 13), 180 << 8)
//   31 x / 255 (x <= 299)                        = mulhi_u(x, 7968)
//   63 x / 255 (x <= 299)                        = mulhi_u(x, 16192)
//
// The two quotients: 7968/65536 overshoots 31/255 by < 1.4e-5, so for x <= 299 the
// error stays below 1/255, the smallest distance of 31x/255 to the next integer; the
// same holds for 16192 and 63/255. Field indices reach at most 255 + 32 = 287.
#ifndef PELLIX_TRISTRIPE_SSE2_MATH_H
#define PELLIX_TRISTRIPE_SSE2_MATH_H

#include <emmintrin.h>

namespace pellix {
namespace tristripe {

static inline __m128i splat16(int v) { return _mm_set1_epi16(static_cast<short>(v)); }

static inline __m128i brightIntensity_v(__m128i s) { return _mm_mulhi_epu16(s, splat16(180 << 8)); }
static inline __m128i dimIntensity_v(__m128i s) {
    return _mm_mulhi_epu16(_mm_mulhi_epu16(s, splat16(3 << 13)), splat16(180 << 8));
}

static inline __m128i quotient31_v(__m128i x) { return _mm_mulhi_epu16(x, splat16(7968)); }
static inline __m128i quotient63_v(__m128i x) { return _mm_mulhi_epu16(x, splat16(16192)); }

// Field of intensity j, lifted by 32 (bright) or 16 (dim); 16-bit lanes truncate the
// red shift exactly as the 16-bit tables do.
static inline __m128i redField_v(__m128i j, int lift) {
    return _mm_slli_epi16(quotient31_v(_mm_add_epi16(j, splat16(lift))), 11);
}
static inline __m128i greenField_v(__m128i j, int lift) {
    return _mm_slli_epi16(quotient63_v(_mm_add_epi16(j, splat16(lift))), 5);
}
static inline __m128i blueField_v(__m128i j, int lift) { return quotient31_v(_mm_add_epi16(j, splat16(lift))); }

static inline __m128i brightPixel_v(__m128i sR, __m128i sG, __m128i sB) {
    return _mm_or_si128(_mm_or_si128(redField_v(brightIntensity_v(sR), 32), greenField_v(brightIntensity_v(sG), 32)),
                        blueField_v(brightIntensity_v(sB), 32));
}
static inline __m128i dimPixel_v(__m128i sR, __m128i sG, __m128i sB) {
    return _mm_or_si128(_mm_or_si128(redField_v(dimIntensity_v(sR), 16), greenField_v(dimIntensity_v(sG), 16)),
                        blueField_v(dimIntensity_v(sB), 16));
}

// Rule-1 levels of eight RGB565 pixels, one per 16-bit lane: the channel is moved to
// the top bits of the lane (masked or shifted in place) and the multiply-high by a
// constant divides:
//   red   (r << 11) * 0x0108 >> 16 = 33 r / 4        (unsigned)
//   blue  (b << 11) * 0x0108 >> 16 = 33 b / 4        (unsigned; p << 11 drops r and g)
//   green (g << 5)  * 0x2080 >> 16 = 65 g / 16
static inline void levelsRule1_v(__m128i px, __m128i& red, __m128i& green, __m128i& blue) {
    red = _mm_mulhi_epu16(_mm_and_si128(px, splat16(0xF800)), splat16(0x0108));
    green = _mm_mulhi_epi16(_mm_and_si128(px, splat16(0x07E0)), splat16(0x2080));
    blue = _mm_mulhi_epu16(_mm_slli_epi16(px, 11), splat16(0x0108));
}

// The bleeds of a column's two neighbours, added, per channel, straight from the
// neighbours' pixels. A bleed is level >> 3, and under either level rule that is the
// channel value itself for red and blue (33c/32 and 255c/248 stay below c + 1) and
// g >> 1 for green. Green's top five bits (6-10) and blue (0-4) are added in one lane:
// bit 5 is clear in both addends, so the blue sum (<= 62) ends in bits 0-5 and the
// green sum (<= 62) in bits 6-11, below red's field, which the mask removed.
static inline void neighbourBleeds_v(__m128i left, __m128i right, __m128i& red, __m128i& green, __m128i& blue) {
    red = _mm_add_epi16(_mm_srli_epi16(left, 11), _mm_srli_epi16(right, 11));
    const __m128i gb = _mm_add_epi16(_mm_and_si128(left, splat16(0x07DF)), _mm_and_si128(right, splat16(0x07DF)));
    green = _mm_srli_epi16(gb, 6);
    blue = _mm_and_si128(gb, splat16(0x003F));
}

}  // namespace tristripe
}  // namespace pellix

#endif
