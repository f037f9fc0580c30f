// Lookup tables, row arrays and the plain-path row kernels of the RGB-stripe plugin.
#include <cstring>

#include "tristripe_core.h"

namespace pellix {
namespace tristripe {

uint8_t level5to8[32];
uint8_t level6to8[64];
uint8_t brightIntensity[320];
uint8_t dimIntensity[320];
uint16_t redBrightField[256];
uint16_t greenBrightField[256];
uint16_t blueBrightField[256];
uint16_t redDimField[256];
uint16_t greenDimField[256];
uint16_t blueDimField[256];

uint8_t rowRed[kRowArraySize];
uint8_t rowGreen[kRowArraySize];
uint8_t rowBlue[kRowArraySize];
uint8_t rowRedBleed[kRowArraySize];
uint8_t rowGreenBleed[kRowArraySize];
uint8_t rowBlueBleed[kRowArraySize];

// Field tables lift the intensity (bright by 32, dim by 16) before scaling 0..255 to
// the field's range; the red entries are truncated to 16 bits like every other entry
// (only unreachable indices >= 228 overflow their field).
void buildStripeTables() {
    for (uint32_t i = 0; i < 32; ++i) {
        level5to8[i] = static_cast<uint8_t>(255 * i / 31);
        level6to8[i] = static_cast<uint8_t>(255 * i / 63);
    }
    for (uint32_t i = 32; i < 64; ++i) level6to8[i] = static_cast<uint8_t>(255 * i / 63);

    for (uint32_t j = 0; j < 256; ++j) {
        const uint32_t rbDim = (496 + 31 * j) / 255, rbBright = (992 + 31 * j) / 255;
        const uint32_t gDim = (1008 + 63 * j) / 255, gBright = (2016 + 63 * j) / 255;
        redDimField[j] = static_cast<uint16_t>(rbDim << 11);
        redBrightField[j] = static_cast<uint16_t>(rbBright << 11);
        greenDimField[j] = static_cast<uint16_t>(gDim << 5);
        greenBrightField[j] = static_cast<uint16_t>(gBright << 5);
        blueDimField[j] = static_cast<uint16_t>(rbDim);
        blueBrightField[j] = static_cast<uint16_t>(rbBright);
    }

    // Dim: three eighths of the sum, truncated, before the 180/256 scaling.
    for (uint32_t s = 0; s < 320; ++s) {
        brightIntensity[s] = static_cast<uint8_t>((180 * s) >> 8);
        dimIntensity[s] = static_cast<uint8_t>((((3 * s) >> 3) * 180) >> 8);
    }

    std::memset(rowRed, 0, sizeof rowRed);
    std::memset(rowGreen, 0, sizeof rowGreen);
    std::memset(rowBlue, 0, sizeof rowBlue);
    std::memset(rowRedBleed, 0, sizeof rowRedBleed);
    std::memset(rowGreenBleed, 0, sizeof rowGreenBleed);
    std::memset(rowBlueBleed, 0, sizeof rowBlueBleed);
}

void decomposeRow_c(const uint8_t* row, uint32_t w) {
    if (w != 0) decomposeColumns(row, 0, w);
}

void emitStripes_c(const StripeTargets& t, uint32_t w) {
    for (uint32_t k = 0; k < w; ++k) storeStripePair(t, k, stripePixels(k));
}

}  // namespace tristripe
}  // namespace pellix
