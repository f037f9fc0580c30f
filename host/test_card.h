// The built-in test card: the patterns that show what a 2x filter does to pixel art.
#ifndef PELLIX_HOST_TEST_CARD_H
#define PELLIX_HOST_TEST_CARD_H

#include "image.h"

namespace pellix {
namespace host {

constexpr uint32_t kTestCardWidth = 160;
constexpr uint32_t kTestCardHeight = 120;

// 160x120: sprites and text, 1-pixel checkerboards, 1-pixel lines, diagonals and
// circles on black and on white, red/green/blue/grey ramps, a hue ramp, pure black and
// pure white areas.
Image565 makeTestCard();

// The test card repeated (and cut) to fill w x h.
Image565 tileTestCard(uint32_t w, uint32_t h);

}  // namespace host
}  // namespace pellix

#endif
