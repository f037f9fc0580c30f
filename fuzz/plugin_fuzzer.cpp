// Drives RenderPluginOutput of every built plugin with fuzzed request fields and pixels.
//
// Input: byte 0 picks the plugin (unless PELLIX_FUZZ_PLUGIN names one, e.g. "Eagle.rpi"),
// byte 1 the path and alignments, then the request fields, then pixels (repeated as
// needed). Sizes are drawn so that 0, 1, odd widths, 2047, 2048 and huge values that
// must be refused all come up, while the buffers handed over stay small: a request that
// would need more than kBudget bytes is made one the plugin must refuse.
//
// Checks, beyond what AddressSanitizer and UndefinedBehaviorSanitizer see:
//   - outWidth/outHeight are twice the source size (32-bit);
//   - the source is unchanged;
//   - a refused request leaves the whole destination as it was;
//   - an accepted one writes the model's block and leaves every byte outside it.
// The destination handed over holds only the rows and columns a plugin may write (plus
// a little slack), so a write past the block is also an out-of-bounds access.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "duplix_model.h"
#include "eagle_model.h"
#include "frames.h"
#include "plugin_lib.h"
#include "quadrix_model.h"
#include "tristripe_model.h"

using namespace pellix;
using namespace pellix::test;

namespace {

constexpr unsigned kWidthFits = 1, kHeightFits = 2, kWidthLimit = 4, kRgb565 = 8, kHeightNotZero = 16, kAll = 31;
constexpr uint64_t kBudget = 1u << 20;  // bytes per image

using Model = std::function<std::vector<uint16_t>(const SourceImage&)>;

struct Entry {
    const char* file;
    unsigned tests;
    Model model;
    std::unique_ptr<PluginLib> lib;
};

std::vector<Entry>& plugins() {
    static std::vector<Entry> v;
    return v;
}

// Reads the input front to back; past its end every read gives 0.
class Reader {
public:
    Reader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    uint8_t u8() { return pos_ < n_ ? d_[pos_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() | (u8() << 8)); }
    uint32_t u32() { return u16() | (uint32_t{u16()} << 16); }
    const uint8_t* rest() const { return d_ + pos_; }
    size_t restSize() const { return n_ - pos_; }

private:
    const uint8_t* d_;
    size_t n_, pos_ = 0;
};

uint32_t drawWidth(Reader& in) {
    static const uint32_t special[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 1016, 1023, 1024, 1025, 2046, 2047,
                                       2048, 2049, 4095, 5000, 0x10000, 0x7FFFFFFF, 0x80000000, 0x80000001,
                                       0xFFFFFFFF};
    const uint16_t v = in.u16();
    if (v & 0x8000) return special[v % (sizeof special / sizeof special[0])];
    return v % 2600;
}

uint32_t drawHeight(Reader& in) {
    static const uint32_t special[] = {0, 1, 2, 3, 64, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    const uint8_t v = in.u8();
    if (v & 0x80) return special[v % (sizeof special / sizeof special[0])];
    return v % 9;
}

// A destination size relative to twice the source size: exactly, one short, a little
// more, or any 32-bit value.
uint32_t drawDestSize(Reader& in, uint32_t srcSize) {
    const uint8_t v = in.u8();
    const uint64_t twice = 2 * uint64_t{srcSize};
    switch (v % 4) {
        case 0: return static_cast<uint32_t>(twice);
        case 1: return static_cast<uint32_t>(twice - 1);
        case 2: return static_cast<uint32_t>(twice + (v >> 2) % 16);
        default: return in.u32();
    }
}

bool accepts(const RenderPluginRequest& r, unsigned tests) {
    if ((tests & kWidthFits) && uint64_t{r.dstWidth} < 2 * uint64_t{r.srcWidth}) return false;
    if ((tests & kHeightFits) && uint64_t{r.dstHeight} < 2 * uint64_t{r.srcHeight}) return false;
    if ((tests & kWidthLimit) && r.srcWidth >= RENDER_WIDTH_LIMIT) return false;
    if ((tests & kRgb565) && !(r.flags & RENDER_FLAG_RGB565)) return false;
    if ((tests & kHeightNotZero) && r.srcHeight == 0) return false;
    return true;
}

[[noreturn]] void fail(const char* what, const RenderPluginRequest& r, const Entry& e) {
    std::fprintf(stderr,
                 "plugin_fuzzer: %s: %s, src %ux%u pitch %u, dst %ux%u pitch %u, flags 0x%X, reported %ux%u, %s path\n",
                 e.file, what, r.srcWidth, r.srcHeight, r.srcPitch, r.dstWidth, r.dstHeight, r.dstPitch, r.flags,
                 r.outWidth, r.outHeight, std::getenv("PELLIX_FORCE_PLAIN") ? "plain" : "vector");
    std::abort();
}

// An exact-size heap block (AddressSanitizer sees one byte past it), starting 2 bytes
// past an aligned address with `misalign`, and one byte further with `odd`.
Buffer block(size_t size, bool misalign, bool odd) {
    const size_t lead = (misalign ? 2 : 0) + (odd ? 1 : 0);
    std::shared_ptr<uint8_t> mem(new uint8_t[size + lead], std::default_delete<uint8_t[]>());
    uint8_t* data = mem.get() + lead;
    return Buffer(std::move(mem), data, size);
}

void addPlugin(const char* file, unsigned tests, Model model) {
    const std::string only = std::getenv("PELLIX_FUZZ_PLUGIN") ? std::getenv("PELLIX_FUZZ_PLUGIN") : "";
    if (!only.empty() && only != file) return;
    std::string err;
    auto lib = PluginLib::load(distPath(file), false, true, &err);
    if (!lib) return;  // not built
    plugins().push_back({file, tests, std::move(model), std::move(lib)});
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    addPlugin("duplix.rpi", kAll, model::duplix);
    addPlugin("quadrix.rpi", kAll, model::quadrix);
    addPlugin("Eagle.rpi", kWidthFits | kHeightFits, model::eagle);
    addPlugin("scanline/tristripe.rpi", kAll, model::tristripeModel(model::StripeBuild::Scanline));
    addPlugin("plain/tristripe.rpi", kAll, model::tristripeModel(model::StripeBuild::Plain));
    addPlugin("copy/tristripe.rpi", kAll, model::tristripeModel(model::StripeBuild::Copy));
    if (plugins().empty()) {
        std::fprintf(stderr, "plugin_fuzzer: no plugin found in %s\n", distDir().c_str());
        std::exit(1);
    }
    std::fprintf(stderr, "plugin_fuzzer: %zu plugin(s) from %s\n", plugins().size(), distDir().c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    Entry& e = plugins()[in.u8() % plugins().size()];
    const uint8_t mode = in.u8();
    setEnv("PELLIX_FORCE_PLAIN", (mode & 1) ? "1" : nullptr);
    // Bits 1-2: images 2 bytes off an 8-byte boundary. Bit 4: odd pitches and images at
    // odd addresses; the contract places pixel (x, y) at base + y * pitch + 2x and
    // requires no alignment, so plugins must not either.
    const bool misalignSrc = mode & 2, misalignDst = mode & 4, odd = mode & 16;

    RenderPluginRequest r{};
    r.size = (mode & 8) ? in.u32() : sizeof(RenderPluginRequest);
    r.srcWidth = drawWidth(in);
    r.srcHeight = drawHeight(in);
    r.dstWidth = drawDestSize(in, r.srcWidth);
    r.dstHeight = drawDestSize(in, r.srcHeight);
    const uint8_t flagBits = in.u8();
    r.flags = (flagBits & 1) ? 0x20B02u : 0x20302u;
    if (flagBits & 2) r.flags ^= in.u32() & ~uint32_t{RENDER_FLAG_RGB565};
    const uint32_t srcPad = 2 * (in.u8() % 8) + (odd ? 1 : 0), dstPad = 2 * (in.u8() % 8) + (odd ? 1 : 0);

    // Image sizes as the plugin would need them if it accepted.
    const uint64_t w = r.srcWidth, h = r.srcHeight;
    // Bit 5: a source pitch shorter than a row, down to 0 (every row the same bytes):
    // the rows overlap, but srcHeight rows of srcWidth pixels are still readable there.
    const uint64_t srcPitch = (mode & 32) ? (2 * w + srcPad) * in.u8() / 256 : 2 * w + srcPad;
    const uint64_t blockCols = 2 * w, blockRows = 2 * h;
    // Columns handed over in each destination row: the block and a few more if the
    // destination is that wide.
    const uint64_t dstCols = std::min<uint64_t>(r.dstWidth, blockCols + 8);
    const uint64_t dstPitch = 2 * dstCols + dstPad;
    auto srcBytes = [&] { return h == 0 ? 0 : srcPitch * (h - 1) + 2 * w; };
    auto dstBytes = [&] { return blockRows == 0 ? 0 : dstPitch * (blockRows - 1) + 2 * dstCols; };
    bool accepted = accepts(r, e.tests);
    if (accepted && (srcBytes() > kBudget || dstBytes() > kBudget || srcPitch > 0xFFFFFFFF || dstPitch > 0xFFFFFFFF)) {
        // Too large to hand over: make it a request every plugin must refuse.
        if (h != 0)
            r.dstHeight = static_cast<uint32_t>(std::min<uint64_t>(2 * h - 1, 0xFFFFFFFF));
        else
            r.dstWidth = static_cast<uint32_t>(2 * w - 1);  // w > 0 here: nothing else is large
        accepted = accepts(r, e.tests);
        if (accepted) fail("fuzzer: could not turn a large request into a refused one", r, e);
    }
    // A refused request gets small buffers: it must not touch them at all.
    const size_t sBytes = static_cast<size_t>(std::min<uint64_t>(srcBytes(), accepted ? kBudget : 64));
    const size_t dBytes = static_cast<size_t>(std::min<uint64_t>(dstBytes(), accepted ? kBudget : 64));
    r.srcPitch = static_cast<uint32_t>(srcPitch);
    r.dstPitch = static_cast<uint32_t>(dstPitch);

    SourceImage src(accepted ? r.srcWidth : 0, accepted ? r.srcHeight : 0, r.srcPitch, block(sBytes, misalignSrc, odd));
    for (size_t i = 0; i < sBytes; ++i)
        src.buf.data()[i] = in.restSize() ? in.rest()[i % in.restSize()] : static_cast<uint8_t>(i * 37);
    const std::vector<uint8_t> srcBefore(src.buf.data(), src.buf.data() + sBytes);
    DestImage dst(static_cast<uint32_t>(dstCols), static_cast<uint32_t>(blockRows), r.dstPitch,
                  block(dBytes, misalignDst, odd));
    std::vector<uint8_t> expected(dst.buf.data(), dst.buf.data() + dBytes);
    if (accepted && w > 0 && h > 0) {
        const std::vector<uint16_t> block = e.model(src);
        for (uint64_t row = 0; row < blockRows; ++row)
            std::memcpy(expected.data() + row * dstPitch, block.data() + row * blockCols, 2 * blockCols);
    }

    r.src = src.buf.data();
    r.dst = dst.buf.data();
    r.outWidth = r.outHeight = 0xA5A5A5A5u;
    e.lib->output(&r);

    if (r.outWidth != static_cast<uint32_t>(2 * w) || r.outHeight != static_cast<uint32_t>(2 * h))
        fail("reported size is not twice the source size", r, e);
    if (sBytes && std::memcmp(srcBefore.data(), src.buf.data(), sBytes) != 0) fail("the source was written", r, e);
    if (dBytes && std::memcmp(expected.data(), dst.buf.data(), dBytes) != 0) {
        for (size_t i = 0; i < dBytes; ++i) {
            if (expected[i] == dst.buf.data()[i]) continue;
            char what[160];
            std::snprintf(what, sizeof what, "%s: first wrong byte at row %zu, byte %zu of the row",
                          accepted ? "output differs from the model or strays outside the block"
                                   : "a refused request wrote the destination",
                          i / static_cast<size_t>(dstPitch), i % static_cast<size_t>(dstPitch));
            fail(what, r, e);
        }
    }
    return 0;
}
