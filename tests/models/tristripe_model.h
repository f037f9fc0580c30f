// Reference model of the three RGB-stripe builds, pixel by pixel from the rules:
//
//   level of column k:  k < (w & ~3):  33r/4, 65g/16, 33b/4
//                       otherwise:     255r/31, 255g/63, 255b/31
//   sum  = level(k) + level(k-1)/8 + level(k+1)/8      (nothing beyond either end)
//   bright = fields lifted by 32 of (180 sum) >> 8
//   dim    = fields lifted by 16 of (((3 sum) >> 3) 180) >> 8
//   field(i, lift) = 31(i+lift)/255 << 11 | 63(i+lift)/255 << 5 | 31(i+lift)/255
//
// Placement of column k of source row y:
//   scanline: rows 2y, 2y+1 = B D; but row 2y+1 = D D when y is odd
//   plain:    rows 2y, 2y+1 = B D
//   copy:     row r shows source row 2(r/4) as B D
#ifndef PELLIX_MODEL_TRISTRIPE_H
#define PELLIX_MODEL_TRISTRIPE_H

#include <cstdint>
#include <functional>
#include <vector>

#include "frames.h"

namespace pellix {
namespace model {

enum class StripeBuild { Scanline, Plain, Copy };

struct StripeLevels {
    uint32_t red, green, blue;
};

inline StripeLevels stripeLevels(uint16_t p, bool rule1) {
    const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
    if (rule1) return {33 * r / 4, 65 * g / 16, 33 * b / 4};
    return {255 * r / 31, 255 * g / 63, 255 * b / 31};
}

inline uint32_t stripeBrightIntensity(uint32_t sum) { return (180 * sum) >> 8; }
inline uint32_t stripeDimIntensity(uint32_t sum) { return (((3 * sum) >> 3) * 180) >> 8; }

// Each field truncated to 16 bits, as a 16-bit table entry would be; a pixel is the
// OR of the three.
inline uint32_t stripeRedField(uint32_t i, uint32_t lift) { return ((31 * (i + lift) / 255) << 11) & 0xFFFF; }
inline uint32_t stripeGreenField(uint32_t i, uint32_t lift) { return ((63 * (i + lift) / 255) << 5) & 0xFFFF; }
inline uint32_t stripeBlueField(uint32_t i, uint32_t lift) { return 31 * (i + lift) / 255; }

inline uint16_t stripeFields(uint32_t iR, uint32_t iG, uint32_t iB, uint32_t lift) {
    return static_cast<uint16_t>(stripeRedField(iR, lift) | stripeGreenField(iG, lift) | stripeBlueField(iB, lift));
}

struct StripeColumn {
    uint16_t bright, dim;
};

// Bright and dim value of every column of source row y.
inline std::vector<StripeColumn> stripeRow(const test::SourceImage& s, uint32_t y) {
    const uint32_t w = s.width, w4 = w & ~3u;
    std::vector<StripeLevels> lv(w);
    for (uint32_t k = 0; k < w; ++k) lv[k] = stripeLevels(s.at(k, y), k < w4);
    std::vector<StripeColumn> out(w);
    for (uint32_t k = 0; k < w; ++k) {
        StripeLevels sum = lv[k];
        if (k > 0) sum = {sum.red + lv[k - 1].red / 8, sum.green + lv[k - 1].green / 8, sum.blue + lv[k - 1].blue / 8};
        if (k + 1 < w)
            sum = {sum.red + lv[k + 1].red / 8, sum.green + lv[k + 1].green / 8, sum.blue + lv[k + 1].blue / 8};
        out[k].bright = stripeFields(stripeBrightIntensity(sum.red), stripeBrightIntensity(sum.green),
                                     stripeBrightIntensity(sum.blue), 32);
        out[k].dim = stripeFields(stripeDimIntensity(sum.red), stripeDimIntensity(sum.green),
                                  stripeDimIntensity(sum.blue), 16);
    }
    return out;
}

inline std::vector<uint16_t> tristripe(const test::SourceImage& s, StripeBuild build) {
    const size_t ow = 2 * size_t{s.width};
    std::vector<uint16_t> out(ow * 2 * s.height);
    for (uint32_t r = 0; r < 2 * s.height; ++r) {
        const uint32_t y = build == StripeBuild::Copy ? 2 * (r / 4) : r / 2;
        const bool allDim = build == StripeBuild::Scanline && y % 2 == 1 && r % 2 == 1;
        const std::vector<StripeColumn> row = stripeRow(s, y);
        for (uint32_t k = 0; k < s.width; ++k) {
            out[r * ow + 2 * k] = allDim ? row[k].dim : row[k].bright;
            out[r * ow + 2 * k + 1] = row[k].dim;
        }
    }
    return out;
}

inline std::function<std::vector<uint16_t>(const test::SourceImage&)> tristripeModel(StripeBuild build) {
    return [build](const test::SourceImage& s) { return tristripe(s, build); };
}

}  // namespace model
}  // namespace pellix

#endif
