// pellix demo: the test card through every plugin beside pellix, with a page that
// shows the results side by side.
#include <cstdio>

#include "cli.h"
#include "commands.h"
#include "fileio.h"
#include "frame_filter.h"
#include "png_io.h"
#include "progress.h"
#include "test_card.h"

namespace pellix {
namespace host {

const char* const kDemoHelp =
    "usage: pellix demo [OUTDIR]\n"
    "\n"
    "Writes the built-in 160x120 test card (sprites, 1-pixel lines and diagonals,\n"
    "checkerboards, colour ramps, pure black and white) to OUTDIR/source.png, runs it\n"
    "through every plugin beside the pellix executable (*.rpi and */*.rpi) and writes one\n"
    "PNG per plugin, named after its path (scanline/tristripe.rpi gives\n"
    "scanline-tristripe.png), plus OUTDIR/index.html showing them side by side.\n"
    "OUTDIR defaults to ./pellix-demo and is created if missing. Exit status 1 when a\n"
    "plugin could not be loaded or refused the card (the others are still written).\n";

namespace {

struct Shown {
    std::string file;   // PNG file name in OUTDIR
    std::string title;  // display name
    std::string note;   // plugin path and flags
};

std::string htmlEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// "scanline/tristripe.rpi" -> "scanline-tristripe.png"
std::string outputName(const std::string& relative) {
    std::string n = relative.substr(0, relative.size() - 4);
    for (char& c : n)
        if (c == '/') c = '-';
    return n + ".png";
}

std::string indexPage(const std::vector<Shown>& shown, uint32_t w, uint32_t h) {
    // Everything is shown at the same size (the 2x outputs at 2x, the source at 4x),
    // with pixelated scaling so single pixels stay sharp.
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>pellix demo</title>\n<style>\n"
        "body { background: #202020; color: #e0e0e0; font-family: sans-serif; margin: 16px; }\n"
        ".grid { display: flex; flex-wrap: wrap; gap: 16px; }\n"
        "figure { margin: 0; }\n"
        "figcaption { margin-top: 4px; }\n"
        "figcaption small { color: #909090; }\n"
        ".name { white-space: pre; }\n"
        "img { image-rendering: pixelated; image-rendering: crisp-edges; display: block; }\n"
        "</style>\n</head>\n<body>\n<h1>pellix demo</h1>\n<div class=\"grid\">\n";
    const std::string dims = "width=\"" + std::to_string(4 * w) + "\" height=\"" + std::to_string(4 * h) + "\"";
    for (const Shown& s : shown) {
        page += "<figure><img src=\"" + htmlEscape(s.file) + "\" " + dims + " alt=\"" + htmlEscape(s.title) +
                "\"><figcaption><span class=\"name\">" + htmlEscape(s.title) + "</span><br><small>" + htmlEscape(s.note) +
                "</small></figcaption></figure>\n";
    }
    page += "</div>\n</body>\n</html>\n";
    return page;
}

}  // namespace

int runDemo(const Argv& argv) {
    const Args args = parseArgs(argv, {}, {});
    if (args.positional.size() > 1) throw UsageError("expected at most one OUTDIR");
    const std::string outDir = args.positional.empty() ? "pellix-demo" : args.positional[0];
    const std::string dir = exeDir();
    const std::vector<std::string> plugins = findPlugins(dir);

    makeDirs(outDir);
    const Image565 card = makeTestCard();
    writePng(joinPath(outDir, "source.png"), card);
    std::printf("%s\n", joinPath(outDir, "source.png").c_str());
    std::vector<Shown> shown{{"source.png", "Source (test card)", sizeText(card.width, card.height)}};

    int status = 0;
    Progress progress("plugins", plugins.size());
    for (size_t i = 0; i < plugins.size(); ++i) {
        const std::string& rel = plugins[i];
        try {
            PluginFilter filter(Plugin::load(joinPath(dir, rel)));
            Image565 out;
            if (!filter.run(card, out)) {
                throw Failure(rel + ": " + filter.label() + " refused the test card: " +
                              filter.refusalReason(card.width, card.height));
            }
            const std::string file = outputName(rel);
            writePng(joinPath(outDir, file), out);
            char flags[16];
            std::snprintf(flags, sizeof flags, "0x%05X", filter.plugin().flags());
            shown.push_back({file, filter.label(), rel + ", flags " + flags});
            progress.finish();
            std::printf("%s  (%s)\n", joinPath(outDir, file).c_str(), filter.label().c_str());
        } catch (const Failure& e) {
            progress.finish();
            reportError("demo", e.what());
            status = 1;
        }
        progress.update(i + 1);
    }
    progress.finish();
    writeText(joinPath(outDir, "index.html"), indexPage(shown, card.width, card.height));
    std::printf("%s\n", joinPath(outDir, "index.html").c_str());
    if (plugins.empty()) {
        reportError("demo", "no plugins (*.rpi, */*.rpi) found beside pellix in " + dir);
        status = 1;
    }
    return status;
}

}  // namespace host
}  // namespace pellix
