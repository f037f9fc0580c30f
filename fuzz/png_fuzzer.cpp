// The PNG reading path of `pellix apply` (decodePng, as readPng calls it on the
// file's bytes) on fuzzed files. A malformed file must end in a Failure exception,
// never in a crash, a leak or an unbounded allocation; a decoded image must hold
// exactly width x height pixels within the host's size limit, and survive encoding and
// decoding again unchanged.
//
// Chunk CRCs are made right before decoding: libpng stops at a wrong CRC, and a
// mutation that breaks one would otherwise never reach the code after it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli.h"
#include "png_io.h"

using namespace pellix::host;

namespace {

uint32_t crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

// Rewrites the CRC of every complete chunk after the signature.
void fixCrcs(std::vector<uint8_t>& b) {
    size_t pos = 8;
    while (pos + 12 <= b.size()) {
        const uint32_t len = uint32_t{b[pos]} << 24 | uint32_t{b[pos + 1]} << 16 | uint32_t{b[pos + 2]} << 8 | b[pos + 3];
        if (len > b.size() - pos - 12) break;
        const uint32_t c = crc32(&b[pos + 4], 4 + size_t{len});
        const size_t at = pos + 8 + len;
        b[at] = static_cast<uint8_t>(c >> 24);
        b[at + 1] = static_cast<uint8_t>(c >> 16);
        b[at + 2] = static_cast<uint8_t>(c >> 8);
        b[at + 3] = static_cast<uint8_t>(c);
        pos = at + 4;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    fixCrcs(bytes);
    Image565 img;
    try {
        img = decodePng(bytes, "fuzz.png");
    } catch (const Failure&) {
        return 0;
    }
    if (img.pixels.size() != size_t{img.width} * img.height || uint64_t{img.width} * img.height > kMaxPixels) {
        std::fprintf(stderr, "png_fuzzer: decoded %ux%u with %zu pixels\n", img.width, img.height, img.pixels.size());
        std::abort();
    }
    // Small images only: the round trip costs an encode.
    if (img.pixels.size() <= 4096 && img.width > 0 && img.height > 0) {
        const Image565 again = decodePng(encodePng(img), "round trip");
        if (again.width != img.width || again.height != img.height || again.pixels != img.pixels) {
            std::fprintf(stderr, "png_fuzzer: round trip of %ux%u changed the image\n", img.width, img.height);
            std::abort();
        }
    }
    return 0;
}
