// pellix apply: PNG in, filtered PNG (twice the size) out.
#include <set>

#include "cli.h"
#include "commands.h"
#include "fileio.h"
#include "frame_filter.h"
#include "png_io.h"
#include "progress.h"

namespace pellix {
namespace host {

const char* const kApplyHelp =
    "usage: pellix apply PLUGIN IN.png OUT.png\n"
    "       pellix apply PLUGIN IN.png... -o OUTDIR\n"
    "       pellix apply --via-adapter IN.png OUT.png   (or IN.png... -o OUTDIR)\n"
    "\n"
    "Reads any PNG (palette, grey, 1 to 16 bits, with alpha; alpha is composited over\n"
    "black) into RGB565, filters it with PLUGIN and writes the 2x result as an 8-bit RGB\n"
    "PNG, each 5- or 6-bit channel widened by bit replication. '-' as IN reads standard\n"
    "input, '-' as OUT writes standard output (one input only). With -o, every input is\n"
    "written under OUTDIR (created if missing) with its own file name.\n"
    "\n"
    "  -o OUTDIR       output directory for one or more inputs\n"
    "  --via-adapter   filter through velmora.so beside pellix, configured by the\n"
    "                  velmora.ini beside it, instead of loading PLUGIN\n"
    "\n"
    "A frame the plugin refuses (e.g. a source 2048 or more pixels wide) is an error\n"
    "naming the reason; with several inputs the others are still done. Exit status 1\n"
    "when any input failed.\n";

namespace {

void applyOne(FrameFilter& filter, const std::string& in, const std::string& out) {
    const Image565 src = readPng(in);
    Image565 dst;
    if (!filter.run(src, dst)) {
        throw Failure((in == "-" ? std::string("standard input") : in) + ": " + filter.label() + " refused the " +
                      sizeText(src.width, src.height) + " frame: " + filter.refusalReason(src.width, src.height));
    }
    writePng(out, dst);
}

}  // namespace

int runApply(const Argv& argv) {
    const Args args = parseArgs(argv, {"-o"}, {"--via-adapter"});
    const bool via = args.has("--via-adapter");
    std::vector<std::string> pos = args.positional;
    const std::string pluginArg = takePluginArg(pos, via);
    const bool toDir = !args.all("-o").empty();
    const std::string outDir = args.one("-o", "");
    if (toDir && outDir.empty()) throw UsageError("-o needs a directory");
    std::vector<std::pair<std::string, std::string>> jobs;  // input, output
    if (!toDir) {
        if (pos.size() != 2) throw UsageError("expected IN.png OUT.png (or several inputs with -o OUTDIR)");
        jobs.emplace_back(pos[0], pos[1]);
    } else {
        if (pos.empty()) throw UsageError("no input given");
        std::set<std::string> names;
        for (const std::string& in : pos) {
            if (in == "-") throw UsageError("'-' (standard input) needs an output file, not -o");
            const std::string name = baseName(in);
            if (!names.insert(name).second) throw UsageError("two inputs are named " + name + "; their outputs would clash");
            jobs.emplace_back(in, joinPath(outDir, name));
        }
    }

    if (jobs.size() == 1 && jobs[0].second == "-" && stdoutIsTerminal()) {
        throw UsageError("standard output is a terminal; give OUT.png or redirect it");
    }

    auto filter = openFilter(pluginArg, via);
    if (toDir) makeDirs(outDir);
    if (jobs.size() == 1) {
        applyOne(*filter, jobs[0].first, jobs[0].second);
        return 0;
    }
    int status = 0;
    Progress progress("files", jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        try {
            applyOne(*filter, jobs[i].first, jobs[i].second);
        } catch (const Failure& e) {
            progress.finish();
            reportError("apply", e.what());
            status = 1;
        }
        progress.update(i + 1);
    }
    return status;
}

}  // namespace host
}  // namespace pellix
