// Differential harness: a plugin loaded from its built .rpi against a per-pixel model,
// on fixed-seed random frames, with every destination byte outside the output block
// checked against a canary.
//
// Each case has a number; PELLIX_CASE=N reruns only case N. Every case runs on the
// vector path and again with PELLIX_FORCE_PLAIN set.
#ifndef PELLIX_TEST_DIFFERENTIAL_H
#define PELLIX_TEST_DIFFERENTIAL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frames.h"
#include "plugin_lib.h"

namespace pellix {
namespace test {

// The expected output block, 2W x 2H pixels, row-major (row r at r * 2W).
using Model = std::function<std::vector<uint16_t>(const SourceImage&)>;

struct DiffCase {
    uint32_t index = 0;
    uint32_t width = 0, height = 0;
    uint32_t srcPitchExtra = 0;  // bytes of padding after each source row (even)
    uint32_t dstWidthExtra = 0;  // dstWidth - 2W
    uint32_t dstHeightExtra = 0; // dstHeight - 2H
    uint32_t dstPitchExtra = 0;  // bytes of padding after each destination row (even)
    bool misalignSrc = false, misalignDst = false;
    unsigned palette = 0;        // 0: any pixel value; 1..3: pixels from that many colours
    uint64_t seed = 0;
};

// Widths 0..70 (each twice, heights 0..9), a few up to 2047, mixed pitches and palettes.
std::vector<DiffCase> standardCases(uint64_t seed = 0x5EEDF00Dull);
// Adds cases of the given widths (heights 1..4) to a list, numbering them on.
void appendWidthCases(std::vector<DiffCase>& cases, const std::vector<uint32_t>& widths, uint64_t seed = 0xD1CEull);

// Where a case's images live and what wraps the plugin's call. The default makes plain
// heap images with the case's pitches and misalignment; guarded.h has one with
// inaccessible pages around the images.
struct ImageLayout {
    std::string name;  // shown in failure messages when not empty
    // (case, width, height, pitch asked for) -> image; the image's own pitch is used.
    std::function<SourceImage(const DiffCase&, uint32_t, uint32_t, uint32_t)> makeSource;
    std::function<DestImage(const DiffCase&, uint32_t, uint32_t, uint32_t)> makeDest;
    // Runs `call` (the plugin's RenderPluginOutput); `what` names the case.
    std::function<void(const std::string& what, const std::function<void()>& call)> aroundCall;
};
ImageLayout heapLayout();

// Runs one case on the path currently selected; the first differing pixel is reported.
::testing::AssertionResult runCase(const PluginLib& plugin, const Model& model, const DiffCase& c);
::testing::AssertionResult runCase(const PluginLib& plugin, const Model& model, const DiffCase& c,
                                   const ImageLayout& layout);

// Runs a case list on both paths (vector first, then plain), honouring PELLIX_CASE.
void runDifferential(const PluginLib& plugin, const Model& model, const std::vector<DiffCase>& cases);
void runDifferential(const PluginLib& plugin, const Model& model, const std::vector<DiffCase>& cases,
                     const ImageLayout& layout);

// Compares a whole destination with the expected bytes (canary outside the block);
// `what` names the frame in the message.
::testing::AssertionResult compareDest(const DestImage& dst, const std::vector<uint8_t>& expected,
                                       const std::string& what);

// The canary-filled destination bytes with `block` (2W x 2H) written into the output block.
std::vector<uint8_t> expectedDest(const DestImage& dst, const std::vector<uint16_t>& block, uint32_t w, uint32_t h);

RenderPluginRequest makeRequest(const SourceImage& src, DestImage& dst);

// Every pixel value through both paths: a 2047 x 33 frame whose pixel i (row-major) is
// i * 40503, an odd factor, so the frame holds all 65536 values, each column position
// against neighbours of all kinds, and 2047 columns leave a tail after any 8- or
// 4-column body. Each path must match the model with the canary intact outside the
// block, and the two paths must give identical destination bytes. `layout` gives the
// pitches, extra destination size and misalignment; its size, palette and seed are
// not used.
void runEveryPixelValue(const PluginLib& plugin, const Model& model, const DiffCase& layout);

// `file` from the dist folder, loaded and described as a host does; null (and a test
// failure) when it cannot be loaded.
std::unique_ptr<PluginLib> loadDistPlugin(const std::string& file);

// Selects the plain path for the life of the object (restores the vector path after).
class ScopedPlainPath {
public:
    explicit ScopedPlainPath(bool plain);
    ~ScopedPlainPath();
};

}  // namespace test
}  // namespace pellix

#endif
