// Reference models of the Eagle plugin, written from the rule, independent of the
// plugin's code.
//
// eagle(): every output pixel by the Eagle rule. Output pixel (c, r) is a quarter of
// source pixel P = S[r/2][c/2]; its corner looks at the vertical neighbour V (row above
// for an even r, below for an odd r), the horizontal neighbour H (left for an even c,
// right for an odd c) and the diagonal D between them. It takes V when V == D == H,
// else P. The frame is extended by black left and right and by its own first and last
// rows above and below.
//
// eagleWindowForm(): the two-row passes over 2x2 windows with the per-step layout
// (four pixels per step, carried pixels, black placeholders), which fix only rows
// 0 .. 2H - 2 and columns 0 .. 2 * W4 - 2 (W4 = W rounded down to a multiple of 4).
#ifndef PELLIX_MODEL_EAGLE_H
#define PELLIX_MODEL_EAGLE_H

#include <cstdint>
#include <vector>

#include "frames.h"

namespace pellix {
namespace model {

inline std::vector<uint16_t> eagle(const test::SourceImage& s) {
    const int64_t w = s.width, h = s.height, ow = 2 * w;
    std::vector<uint16_t> out(static_cast<size_t>(ow * 2 * h));
    auto px = [&](int64_t x, int64_t y) -> uint16_t {
        if (x < 0 || x >= w) return 0;
        y = y < 0 ? 0 : (y >= h ? h - 1 : y);
        return s.at(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    };
    for (int64_t r = 0; r < 2 * h; ++r) {
        for (int64_t c = 0; c < ow; ++c) {
            const int64_t x = c / 2, y = r / 2;
            const int64_t nx = (c % 2) ? x + 1 : x - 1, ny = (r % 2) ? y + 1 : y - 1;
            const uint16_t p = px(x, y), v = px(x, ny), d = px(nx, ny), hz = px(nx, y);
            out[static_cast<size_t>(r * ow + c)] = (v == d && d == hz) ? v : p;
        }
    }
    return out;
}

struct WindowForm {
    std::vector<uint16_t> block;  // 2W x 2H, row-major
    std::vector<bool> fixed;      // which pixels of the block the passes write
};

inline WindowForm eagleWindowForm(const test::SourceImage& s) {
    const uint32_t w = s.width, h = s.height, ow = 2 * w, steps = w / 4;
    WindowForm f{std::vector<uint16_t>(size_t{ow} * 2 * h), std::vector<bool>(size_t{ow} * 2 * h)};
    if (h == 0) return f;
    auto pass = [&](uint32_t ya, uint32_t yb, uint32_t rowUp, uint32_t rowLo) {
        std::vector<uint16_t> up(8 * steps + 2), lo(8 * steps + 2);
        // Window a b / c d on columns x, x + 1 into entries 2x + 2, 2x + 3.
        auto window = [&](uint16_t a, uint16_t b, uint16_t c, uint16_t d, size_t e) {
            up[e] = (b == c && c == d) ? b : a;      // bottom-right of a
            lo[e] = (a == b && b == d) ? a : c;      // top-right of c
            up[e + 1] = (a == c && c == d) ? c : b;  // bottom-left of b
            lo[e + 1] = (a == b && b == c) ? a : d;  // top-left of d
        };
        uint16_t carryA = 0, carryB = 0;
        for (uint32_t g = 0; g < steps; ++g) {
            const uint32_t x = 4 * g;
            window(carryA, s.at(x, ya), carryB, s.at(x, yb), 8 * g);
            for (uint32_t i = 0; i < 3; ++i)
                window(s.at(x + i, ya), s.at(x + i + 1, ya), s.at(x + i, yb), s.at(x + i + 1, yb), 8 * g + 2 + 2 * i);
            up[8 * g + 8] = up[8 * g + 9] = lo[8 * g + 8] = lo[8 * g + 9] = 0;
            carryA = s.at(x + 3, ya);
            carryB = s.at(x + 3, yb);
        }
        for (const auto& [line, row] : {std::pair<std::vector<uint16_t>*, uint32_t>{&up, rowUp}, {&lo, rowLo}}) {
            for (uint32_t c = 0; c + 1 < 8 * steps; ++c) {
                f.block[size_t{row} * ow + c] = (*line)[c + 1];
                f.fixed[size_t{row} * ow + c] = true;
            }
        }
    };
    pass(0, 0, 0, 0);
    for (uint32_t k = 1; k < h; ++k) pass(k - 1, k, 2 * k - 1, 2 * k);
    return f;
}

}  // namespace model
}  // namespace pellix

#endif
