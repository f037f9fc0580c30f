#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "bench_support.h"
#include "dynlib.h"
#include "frames.h"
#include "plugin_lib.h"

namespace pellix {
namespace bench {
namespace {

using test::PluginLib;

std::set<Size>& memcpySizes() {
    static std::set<Size> s;
    return s;
}

void runPlugin(benchmark::State& state, std::string file, Size size, bool plain) {
    std::string err;
    auto plugin = PluginLib::load(test::distPath(file), false, true, &err);
    if (!plugin) {
        state.SkipWithError(err.c_str());
        return;
    }
    test::setEnv("PELLIX_FORCE_PLAIN", plain ? "1" : nullptr);
    const uint32_t w = size.first, h = size.second;
    test::SourceImage src(w, h, 2 * w);
    test::Rng rng(42);
    test::fillRandom(src, rng);
    test::DestImage dst(2 * w, 2 * h, 4 * w);
    RenderPluginRequest r{};
    r.size = sizeof r;
    r.flags = RENDER_FLAG_RGB565;
    r.src = src.data();
    r.srcPitch = src.pitch;
    r.srcWidth = w;
    r.srcHeight = h;
    r.dst = dst.data();
    r.dstPitch = dst.pitch;
    r.dstWidth = 2 * w;
    r.dstHeight = 2 * h;
    for (auto _ : state) {
        plugin->output(&r);
        benchmark::ClobberMemory();
    }
    test::setEnv("PELLIX_FORCE_PLAIN", nullptr);
    state.SetBytesProcessed(int64_t(state.iterations()) * 8 * w * h);
}

void runMemcpy(benchmark::State& state, Size size) {
    const size_t bytes = size_t{8} * size.first * size.second;
    std::unique_ptr<uint8_t[]> a(new uint8_t[bytes]), b(new uint8_t[bytes]);
    std::memset(a.get(), 1, bytes);
    std::memset(b.get(), 2, bytes);
    for (auto _ : state) {
        std::memcpy(b.get(), a.get(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

std::string sizeName(Size s) { return std::to_string(s.first) + "x" + std::to_string(s.second); }

// Collects the runs and prints each plugin path's throughput relative to memcpy of
// the same output bytes at the same size.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration && r.iterations > 0)
                timeNs_[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-40s %14s %14s %12s\n", "plugin / source size", "vector/memcpy", "plain/memcpy", "vector/plain");
        for (const auto& kv : timeNs_) {
            const std::string& name = kv.first;
            const size_t cut = name.rfind("/vector");
            if (cut == std::string::npos || cut + 7 != name.size()) continue;
            const std::string base = name.substr(0, cut);
            const size_t slash = base.rfind('/');
            const std::string size = base.substr(slash + 1);
            const auto mc = timeNs_.find("memcpy/" + size);
            const auto plain = timeNs_.find(base + "/plain");
            if (mc == timeNs_.end()) continue;
            const double v = kv.second;
            const double p = plain == timeNs_.end() ? 0 : plain->second;
            std::printf("%-40s %13.2fx %13.2fx %11.2fx\n", base.c_str(), mc->second / v, p ? mc->second / p : 0.0,
                        p ? p / v : 0.0);
        }
    }

private:
    std::map<std::string, double> timeNs_;
};

}  // namespace

void registerPlugin(const char* label, const char* file, const std::vector<Size>& sizes) {
    for (Size s : sizes) {
        const std::string base = std::string(label) + "/" + sizeName(s);
        benchmark::RegisterBenchmark((base + "/vector").c_str(), runPlugin, std::string(file), s, false)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((base + "/plain").c_str(), runPlugin, std::string(file), s, true)
            ->Unit(benchmark::kMicrosecond);
        if (memcpySizes().insert(s).second)
            benchmark::RegisterBenchmark(("memcpy/" + sizeName(s)).c_str(), runMemcpy, s)->Unit(benchmark::kMicrosecond);
    }
}

}  // namespace bench
}  // namespace pellix

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    pellix::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
