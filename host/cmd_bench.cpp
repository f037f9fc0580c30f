// pellix bench: median time per frame of each plugin, next to memcpy of the same
// output bytes measured in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "cli.h"
#include "commands.h"
#include "fileio.h"
#include "frame_filter.h"
#include "progress.h"
#include "test_card.h"

namespace pellix {
namespace host {

const char* const kBenchHelp =
    "usage: pellix bench [PLUGIN...] [--size WxH]... [--json] [--time-ms N]\n"
    "\n"
    "Times each plugin (default: every plugin beside the pellix executable) on the test\n"
    "card tiled to each size (default 320x240 and 640x480): after a warm-up, the median\n"
    "time of one frame, source and output megapixels per second, and the speed relative\n"
    "to a memcpy of the same output bytes (2W x 2H x 2), timed in alternating blocks with\n"
    "the plugin so that both see the same machine load.\n"
    "Speed vs memcpy is memcpy time / frame time: higher is faster, 1.00x is as fast as\n"
    "copying the output, 0.25x takes four times as long.\n"
    "\n"
    "  --size WxH   frame size, may be repeated\n"
    "  --json       print JSON instead of a table\n"
    "  --time-ms N  measuring time per plugin and size, in milliseconds (default 250)\n";

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    // A call below the clock's resolution still gets a finite rate.
    return std::max(v[v.size() / 2], 1.0);
}

// Median single-call times in nanoseconds of `a` and `b`, timed in alternating blocks
// of 8 calls each so that both see the same machine load, after a warm-up of about a
// tenth of the budget; at least 8 samples each.
template <typename A, typename B>
std::pair<double, double> medianPair(A&& a, B&& b, double budgetMs) {
    const auto budget = std::chrono::duration<double, std::milli>(budgetMs);
    const Clock::time_point warmStart = Clock::now();
    for (int i = 0; i < 3 || Clock::now() - warmStart < budget / 10; ++i) {
        a();
        b();
    }
    std::vector<double> sa, sb;
    auto timeBlock = [](auto& fn, std::vector<double>& out) {
        for (int i = 0; i < 8; ++i) {
            const Clock::time_point t0 = Clock::now();
            fn();
            const Clock::time_point t1 = Clock::now();
            out.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
        }
    };
    const Clock::time_point start = Clock::now();
    do {
        timeBlock(a, sa);
        timeBlock(b, sb);
    } while (Clock::now() - start < budget && sa.size() < 200000);
    return {median(sa), median(sb)};
}

struct Row {
    std::string plugin, name;
    uint32_t w = 0, h = 0;
    bool refused = false;
    std::string reason;
    double medianNs = 0, memcpyNs = 0;
    uint64_t outBytes() const { return uint64_t{4} * w * h * 2; }
    double srcMps() const { return double(w) * h / medianNs * 1e3; }
    double outMps() const { return 4.0 * w * h / medianNs * 1e3; }
    // memcpy time / plugin time: above 1 the plugin is faster than copying its output.
    double speedVsMemcpy() const { return memcpyNs / medianNs; }
};

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string num(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

void printJson(const std::vector<Row>& rows) {
    std::string s = "{\n  \"results\": [";
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        s += std::string(i ? "," : "") + "\n    {\"plugin\": " + jsonString(r.plugin) + ", \"name\": " +
             jsonString(r.name) + ", \"width\": " + std::to_string(r.w) + ", \"height\": " + std::to_string(r.h) +
             ", \"output_bytes\": " + std::to_string(r.outBytes()) + ", \"refused\": " + (r.refused ? "true" : "false");
        if (r.refused) {
            s += ", \"reason\": " + jsonString(r.reason) +
                 ", \"median_ns\": null, \"memcpy_median_ns\": null, \"src_mpix_per_s\": null, "
                 "\"out_mpix_per_s\": null, \"speed_vs_memcpy\": null}";
        } else {
            s += ", \"median_ns\": " + num(r.medianNs, 1) + ", \"memcpy_median_ns\": " + num(r.memcpyNs, 1) +
                 ", \"src_mpix_per_s\": " + num(r.srcMps(), 2) + ", \"out_mpix_per_s\": " + num(r.outMps(), 2) +
                 ", \"speed_vs_memcpy\": " + num(r.speedVsMemcpy(), 3) + "}";
        }
    }
    s += "\n  ]\n}\n";
    std::fputs(s.c_str(), stdout);
}

void printTable(const std::vector<Row>& rows) {
    size_t pw = 6, nw = 4;
    for (const Row& r : rows) {
        pw = std::max(pw, r.plugin.size());
        nw = std::max(nw, r.name.size());
    }
    std::printf("%-*s  %-*s  %-9s  %10s  %10s  %9s  %9s  %15s\n", int(pw), "plugin", int(nw), "name", "size",
                "us/frame", "memcpy us", "src MP/s", "out MP/s", "speed vs memcpy");
    for (const Row& r : rows) {
        if (r.refused) {
            std::printf("%-*s  %-*s  %-9s  refused: %s\n", int(pw), r.plugin.c_str(), int(nw), r.name.c_str(),
                        sizeText(r.w, r.h).c_str(), r.reason.c_str());
        } else {
            std::printf("%-*s  %-*s  %-9s  %10.1f  %10.1f  %9.1f  %9.1f  %14.2fx\n", int(pw), r.plugin.c_str(), int(nw),
                        r.name.c_str(), sizeText(r.w, r.h).c_str(), r.medianNs / 1e3, r.memcpyNs / 1e3, r.srcMps(),
                        r.outMps(), r.speedVsMemcpy());
        }
    }
}

}  // namespace

int runBench(const Argv& argv) {
    const Args args = parseArgs(argv, {"--size", "--time-ms"}, {"--json"});
    std::vector<FrameSize> sizes;
    for (const std::string& s : args.all("--size")) sizes.push_back(parseSize(s));
    if (sizes.empty()) sizes = {{320, 240}, {640, 480}};
    const std::string t = args.one("--time-ms", "250");
    char* end = nullptr;
    const double budgetMs = std::strtod(t.c_str(), &end);
    if (t.empty() || *end != '\0' || !(budgetMs > 0) || budgetMs > 600000) {
        throw UsageError("--time-ms '" + t + "' is not a positive number of milliseconds");
    }

    // Plugins as given, or every plugin beside pellix (labelled by relative path).
    std::vector<std::pair<std::string, std::string>> plugins;  // label, path
    if (args.positional.empty()) {
        const std::string dir = exeDir();
        for (const std::string& rel : findPlugins(dir)) plugins.emplace_back(rel, joinPath(dir, rel));
        if (plugins.empty()) throw Failure("no plugins (*.rpi, */*.rpi) found beside pellix in " + dir);
    } else {
        for (const std::string& a : args.positional) plugins.emplace_back(a, "");
    }

    int status = 0;
    std::vector<std::unique_ptr<PluginFilter>> filters;
    std::vector<std::string> labels;
    for (auto& p : plugins) {
        try {
            const std::string path = p.second.empty() ? resolvePluginPath(p.first) : p.second;
            filters.emplace_back(new PluginFilter(Plugin::load(path)));
            labels.push_back(p.first);
        } catch (const Failure& e) {
            reportError("bench", e.what());
            status = 1;
        }
    }

    std::vector<Row> rows;
    Progress progress("runs", sizes.size() * filters.size());
    uint64_t done = 0;
    for (const FrameSize& size : sizes) {
        const Image565 src = tileTestCard(size.width, size.height);
        Image565 dst(2 * size.width, 2 * size.height);
        // The copy goes through a volatile pointer so it cannot be dropped as dead.
        std::vector<uint16_t> copyFrom(dst.pixels.size(), 0x1234), copyTo(dst.pixels.size());
        void* (*volatile copyFn)(void*, const void*, size_t) = std::memcpy;
        auto copy = [&] { copyFn(copyTo.data(), copyFrom.data(), copyTo.size() * 2); };
        for (size_t i = 0; i < filters.size(); ++i) {
            PluginFilter& f = *filters[i];
            Row r;
            r.plugin = labels[i];
            r.name = f.label();
            r.w = size.width;
            r.h = size.height;
            progress.update(done, labels[i] + " " + sizeText(size.width, size.height));
            if (!f.run(src, dst)) {
                r.refused = true;
                r.reason = f.refusalReason(size.width, size.height);
            } else {
                auto filter = [&] {
                    f.call(src.pixels.data(), src.pitch(), src.width, src.height, dst.pixels.data(), dst.pitch(),
                           dst.width, dst.height);
                };
                std::tie(r.medianNs, r.memcpyNs) = medianPair(filter, copy, budgetMs);
            }
            rows.push_back(r);
            progress.update(++done);
        }
    }
    progress.finish();
    if (args.has("--json")) {
        printJson(rows);
    } else {
        printTable(rows);
    }
    return status;
}

}  // namespace host
}  // namespace pellix
