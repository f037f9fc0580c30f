// Plugin benchmarks: each plugin and frame size runs on the vector path, on the plain
// path, and as memcpy of the same number of output bytes, all in one run; the summary
// printed at the end gives each path's speed as a ratio to that memcpy.
#ifndef PELLIX_BENCH_SUPPORT_H
#define PELLIX_BENCH_SUPPORT_H

#include <cstdint>
#include <utility>
#include <vector>

namespace pellix {
namespace bench {

using Size = std::pair<uint32_t, uint32_t>;

// label: shown in the summary; file: path below build/dist (e.g. "plain/tristripe.rpi").
// Registers "<label>/<W>x<H>/vector", ".../plain" and "memcpy/<2W>x<2H>" (once per size).
void registerPlugin(const char* label, const char* file, const std::vector<Size>& sizes);

// Static registration from a *_bench.cpp file.
struct Registration {
    Registration(const char* label, const char* file, const std::vector<Size>& sizes) {
        registerPlugin(label, file, sizes);
    }
};

}  // namespace bench
}  // namespace pellix

#endif
