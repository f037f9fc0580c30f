#include "test_card.h"

#include <cstdlib>
#include <cstring>

namespace pellix {
namespace host {

namespace {

const uint16_t kBlack = 0x0000;
const uint16_t kWhite = 0xFFFF;

uint16_t rgb(uint32_t r, uint32_t g, uint32_t b) { return packRgb565(r, g, b); }

uint16_t paletteColour(char c) {
    switch (c) {
        case 'K': return kBlack;
        case 'W': return kWhite;
        case 'R': return rgb(228, 32, 32);
        case 'r': return rgb(128, 0, 16);
        case 'Y': return rgb(255, 220, 0);
        case 'O': return rgb(232, 120, 0);
        case 'G': return rgb(40, 220, 60);
        case 'M': return rgb(220, 40, 220);
        case 'C': return rgb(0, 224, 232);
        default: return kBlack;
    }
}

class Canvas {
public:
    explicit Canvas(Image565& img) : img_(img) {}

    void set(int x, int y, uint16_t c) {
        if (x >= 0 && y >= 0 && x < static_cast<int>(img_.width) && y < static_cast<int>(img_.height)) {
            img_.at(static_cast<uint32_t>(x), static_cast<uint32_t>(y)) = c;
        }
    }
    void fill(int x0, int y0, int x1, int y1, uint16_t c) {  // inclusive corners
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) set(x, y, c);
    }
    // Bresenham: every step moves one pixel along the major axis.
    void line(int x0, int y0, int x1, int y1, uint16_t c) {
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            set(x0, y0, c);
            if (x0 == x1 && y0 == y1) break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
    // Midpoint circle, one pixel thick.
    void circle(int cx, int cy, int r, uint16_t c) {
        int x = r, y = 0, err = 1 - r;
        while (x >= y) {
            const int pts[8][2] = {{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
            for (const auto& p : pts) set(cx + p[0], cy + p[1], c);
            ++y;
            if (err < 0) {
                err += 2 * y + 1;
            } else {
                --x;
                err += 2 * (y - x) + 1;
            }
        }
    }
    // Rows of characters; '.' leaves the background, others pick a palette colour.
    // A non-zero `ink` paints every non-'.' in that one colour.
    void sprite(int x0, int y0, const char* const* rows, int n, uint16_t ink = 0) {
        for (int y = 0; y < n; ++y)
            for (int x = 0; rows[y][x]; ++x)
                if (rows[y][x] != '.') set(x0 + x, y0 + y, ink ? ink : paletteColour(rows[y][x]));
    }
    void text(int x0, int y0, const char* s, uint16_t ink) {
        for (; *s; ++s, x0 += 4) {
            const char* const* g = glyph(*s);
            if (g) sprite(x0, y0, g, 5, ink);
        }
    }

private:
    static const char* const* glyph(char c) {
        static const char* const P[] = {"XX.", "X.X", "XX.", "X..", "X.."};
        static const char* const E[] = {"XXX", "X..", "XX.", "X..", "XXX"};
        static const char* const L[] = {"X..", "X..", "X..", "X..", "XXX"};
        static const char* const I[] = {"XXX", ".X.", ".X.", ".X.", "XXX"};
        static const char* const X[] = {"X.X", "X.X", ".X.", "X.X", "X.X"};
        switch (c) {
            case 'P': return P;
            case 'E': return E;
            case 'L': return L;
            case 'I': return I;
            case 'X': return X;
            default: return nullptr;
        }
    }
    Image565& img_;
};

const char* const kMushroom[] = {
    ".....KKKKKK.....", "...KKRRWWRRKK...", "..KRRRWWWWRRRK..", ".KRRRRWWWWRRRRK.",
    ".KWWRRRWWRRRWWK.", "KWWWWRRRRRRWWWWK", "KWWWWRRRRRRWWWWK", "KRWWRRRRRRRRWWRK",
    "KRRRRKKKKKKRRRRK", ".KKKKWWWWWWKKKK.", "..KWWWKWWKWWWK..", "..KWWWKWWKWWWK..",
    "..KWWWWWWWWWWK..", "...KWWWWWWWWK...", "....KKKKKKKK....", "................",
};
const char* const kHeart[] = {
    "................", "..KKKK....KKKK..", ".KRRRRK..KRRRRK.", "KRRWWRRKKRRRRRRK",
    "KRWWRRRRRRRRRRRK", "KRWRRRRRRRRRRRRK", "KRRRRRRRRRRRRRrK", ".KRRRRRRRRRRRrK.",
    "..KRRRRRRRRRrK..", "...KRRRRRRRrK...", "....KRRRRRrK....", ".....KRRRrK.....",
    "......KRrK......", ".......KK.......", "................", "................",
};
const char* const kInvader[] = {
    "..G.....G..", "...G...G...", "..GGGGGGG..", ".GG.GGG.GG.",
    "GGGGGGGGGGG", "G.GGGGGGG.G", "G.G.....G.G", "...GG.GG...",
};
const char* const kCoin[] = {
    "..KKKK..", ".KYYYYK.", "KYYOOYYK", "KYOYYOYK", "KYOYYOYK", "KYYOOYYK", ".KYYYYK.", "..KKKK..",
};
const char* const kSmiley[] = {
    "..YYYY..", ".YYYYYY.", "YYKYYKYY", "YYYYYYYY", "YKYYYYKY", "YYKKKKYY", ".YYYYYY.", "..YYYY..",
};

// Hue h in 0..1535 at full saturation.
uint16_t hue(uint32_t h) {
    const uint32_t seg = h / 256, f = h % 256;
    switch (seg) {
        case 0: return rgb(255, f, 0);
        case 1: return rgb(255 - f, 255, 0);
        case 2: return rgb(0, 255, f);
        case 3: return rgb(0, 255 - f, 255);
        case 4: return rgb(f, 0, 255);
        default: return rgb(255, 0, 255 - f);
    }
}

}  // namespace

Image565 makeTestCard() {
    Image565 img(kTestCardWidth, kTestCardHeight);
    Canvas c(img);

    // Sprites and text on a dark background (0..79 x 0..39).
    c.fill(0, 0, 79, 39, rgb(16, 24, 64));
    c.sprite(2, 2, kMushroom, 16);
    c.sprite(20, 2, kHeart, 16);
    c.sprite(40, 3, kInvader, 8);
    c.sprite(54, 3, kInvader, 8, paletteColour('M'));
    c.sprite(68, 3, kCoin, 8);
    c.sprite(40, 14, kSmiley, 8);
    c.sprite(52, 14, kCoin, 8);
    c.text(4, 22, "PELLIX", kWhite);
    c.text(4, 30, "PELLIX", paletteColour('Y'));
    c.text(30, 26, "PIXEL", paletteColour('C'));

    // Checkerboards (80..159 x 0..39): 1-pixel and 2-pixel black/white, 1-pixel red/blue.
    for (int y = 0; y < 40; ++y)
        for (int x = 80; x < 160; ++x) {
            uint16_t v;
            if (x < 112) v = ((x + y) & 1) ? kWhite : kBlack;
            else if (x < 144) v = (((x / 2) + (y / 2)) & 1) ? kWhite : kBlack;
            else v = ((x + y) & 1) ? rgb(255, 0, 0) : rgb(0, 0, 255);
            c.set(x, y, v);
        }

    // 1-pixel lines on black (0..79 x 40..79).
    c.fill(0, 40, 79, 79, kBlack);
    for (int y = 41; y <= 45; y += 2) c.line(1, y, 30, y, kWhite);
    for (int x = 1; x <= 5; x += 2) c.line(x, 48, x, 78, kWhite);
    c.line(8, 48, 38, 78, kWhite);
    c.line(38, 48, 8, 78, rgb(255, 0, 0));
    c.line(40, 41, 78, 60, rgb(0, 255, 0));
    c.line(40, 78, 78, 41, rgb(255, 255, 0));
    c.line(60, 41, 66, 78, rgb(255, 0, 255));
    c.line(34, 41, 78, 49, rgb(0, 255, 255));

    // The same on white (80..159 x 40..79): nested squares, circles, a diagonal pair.
    c.fill(80, 40, 159, 79, kWhite);
    for (int i = 0; i < 18; i += 3) {
        const int x0 = 82 + i, y0 = 42 + i, x1 = 117 - i, y1 = 77 - i;
        c.line(x0, y0, x1, y0, kBlack);
        c.line(x1, y0, x1, y1, kBlack);
        c.line(x1, y1, x0, y1, kBlack);
        c.line(x0, y1, x0, y0, kBlack);
    }
    c.circle(139, 59, 17, kBlack);
    c.circle(139, 59, 11, rgb(0, 0, 255));
    c.circle(139, 59, 5, rgb(255, 0, 0));
    c.line(121, 77, 157, 41, kBlack);
    c.line(122, 77, 158, 41, rgb(0, 160, 0));

    // Ramps over the full width: every level of red, green and blue, and an 8-bit grey.
    for (int x = 0; x < 160; ++x) {
        const uint16_t r = static_cast<uint16_t>((x * 32 / 160) << 11);
        const uint16_t g = static_cast<uint16_t>((x * 64 / 160) << 5);
        const uint16_t b = static_cast<uint16_t>(x * 32 / 160);
        const uint32_t grey = static_cast<uint32_t>(x * 255 / 159);
        c.fill(x, 80, x, 85, r);
        c.fill(x, 86, x, 91, g);
        c.fill(x, 92, x, 97, b);
        c.fill(x, 98, x, 103, rgb(grey, grey, grey));
    }

    // Pure black, pure white and a hue ramp (104..119).
    c.fill(0, 104, 53, 119, kBlack);
    c.fill(54, 104, 106, 119, kWhite);
    for (int x = 107; x < 160; ++x) c.fill(x, 104, x, 119, hue(static_cast<uint32_t>((x - 107) * 1535 / 52)));
    return img;
}

Image565 tileTestCard(uint32_t w, uint32_t h) {
    const Image565 card = makeTestCard();
    Image565 img(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) img.at(x, y) = card.at(x % card.width, y % card.height);
    return img;
}

}  // namespace host
}  // namespace pellix
