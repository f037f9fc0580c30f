// pellix raw: headerless RGB565 little-endian frames in, filtered frames out, as
// ffmpeg's "-f rawvideo -pix_fmt rgb565le" reads and writes them.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "commands.h"
#include "fileio.h"
#include "frame_filter.h"
#include "progress.h"

namespace pellix {
namespace host {

const char* const kRawHelp =
    "usage: pellix raw PLUGIN --size WxH [IN|-] [OUT|-]\n"
    "       pellix raw --via-adapter --size WxH [IN|-] [OUT|-]\n"
    "\n"
    "Reads headerless RGB565 little-endian frames of W x H pixels (ffmpeg: -f rawvideo\n"
    "-pix_fmt rgb565le -s WxH) from IN and writes each filtered 2W x 2H frame the same way\n"
    "to OUT. IN and OUT default to standard input and output ('-').\n"
    "\n"
    "  --size WxH      size of the input frames (required)\n"
    "  --via-adapter   filter through velmora.so beside pellix, configured by the\n"
    "                  velmora.ini beside it, instead of loading PLUGIN\n"
    "\n"
    "Errors (exit status 1): empty input; input that ends in a partial frame (reported\n"
    "after every whole frame is written); a frame the plugin refuses (named by its\n"
    "number, counting from 1; the frames before it are written).\n"
    "\n"
    "example:\n"
    "  ffmpeg -i in.mp4 -f rawvideo -pix_fmt rgb565le -s 320x240 - |\n"
    "    pellix raw duplix.rpi --size 320x240 - - |\n"
    "    ffmpeg -f rawvideo -pix_fmt rgb565le -s 640x480 -i - out.mp4\n";

namespace {

// Reads up to `n` bytes; fewer only at end of input.
size_t readFully(FILE* f, uint8_t* dst, size_t n) {
    size_t got = 0;
    while (got < n) {
        const size_t r = std::fread(dst + got, 1, n - got, f);
        if (r == 0) break;
        got += r;
    }
    return got;
}

void swapBytesIfBigEndian(std::vector<uint16_t>& px) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (uint16_t& p : px) p = static_cast<uint16_t>(p << 8 | p >> 8);
#else
    (void)px;
#endif
}

struct Stream {
    FILE* f = nullptr;
    bool owned = false;
    std::string label;
    ~Stream() {
        if (owned && f) std::fclose(f);
    }
    // `path` opened with `mode`, or the standard stream `standard` for "-"; `verb` names
    // the failure ("cannot open PATH: ...").
    void open(const std::string& path, FILE* standard, const char* standardLabel, const char* mode,
              const char* verb) {
        if (path == "-") {
            f = standard;
            label = standardLabel;
            return;
        }
        f = std::fopen(path.c_str(), mode);
        owned = true;
        label = path;
        if (!f) throw Failure(std::string(verb) + " " + path + ": " + std::strerror(errno));
    }
};

}  // namespace

int runRaw(const Argv& argv) {
    const Args args = parseArgs(argv, {"--size"}, {"--via-adapter"});
    const bool via = args.has("--via-adapter");
    std::vector<std::string> pos = args.positional;
    const std::string pluginArg = takePluginArg(pos, via);
    if (pos.size() > 2) throw UsageError("too many arguments");
    if (args.all("--size").empty()) throw UsageError("--size WxH is required");
    const std::string sizeArg = args.one("--size", "");
    const FrameSize size = parseSize(sizeArg);
    const std::string inPath = pos.size() > 0 ? pos[0] : "-";
    const std::string outPath = pos.size() > 1 ? pos[1] : "-";

    if (outPath == "-" && stdoutIsTerminal()) {
        throw UsageError("standard output is a terminal; give OUT or redirect it");
    }

    auto filter = openFilter(pluginArg, via);

    Stream in, out;
    in.open(inPath, stdin, "standard input", "rb", "cannot open");
    out.open(outPath, stdout, "standard output", "wb", "cannot write");

    const size_t frameBytes = size_t{size.width} * size.height * 2;
    Image565 src(size.width, size.height), dst;
    uint64_t frames = 0;
    size_t partial = 0;
    Progress progress("frames", 0);
    for (;;) {
        const size_t got = readFully(in.f, reinterpret_cast<uint8_t*>(src.pixels.data()), frameBytes);
        if (got < frameBytes) {
            if (std::ferror(in.f)) throw Failure("cannot read " + in.label + ": " + std::strerror(errno));
            partial = got;
            break;
        }
        swapBytesIfBigEndian(src.pixels);
        ++frames;
        if (!filter->run(src, dst)) {
            throw Failure("frame " + std::to_string(frames) + " (" + sizeArg + ") refused by " + filter->label() +
                          ": " + filter->refusalReason(size.width, size.height));
        }
        swapBytesIfBigEndian(dst.pixels);
        if (std::fwrite(dst.pixels.data(), 2, dst.pixels.size(), out.f) != dst.pixels.size()) {
            throw Failure("cannot write " + out.label + ": " + std::strerror(errno));
        }
        progress.update(frames);
    }
    progress.finish();
    if (std::fflush(out.f) != 0) throw Failure("cannot write " + out.label + ": " + std::strerror(errno));
    if (out.owned) {
        const int rc = std::fclose(out.f);
        out.f = nullptr;
        if (rc != 0) throw Failure("cannot write " + out.label + ": " + std::strerror(errno));
    }
    if (partial) {
        throw Failure(in.label + " ends with a partial frame: " + std::to_string(partial) + " of " +
                      std::to_string(frameBytes) + " bytes after " + std::to_string(frames) + " whole frame" +
                      (frames == 1 ? "" : "s"));
    }
    if (frames == 0) throw Failure(in.label + " holds no frame (it is empty)");
    return 0;
}

}  // namespace host
}  // namespace pellix
