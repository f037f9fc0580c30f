// pellix info: describes plugin files the way a host sees them.
#include <cstdio>

#include "cli.h"
#include "commands.h"
#include "plugin.h"

namespace pellix {
namespace host {

const char* const kInfoHelp =
    "usage: pellix info PLUGIN...\n"
    "\n"
    "Loads each plugin as a host does (both exports, RenderPluginGetInfo, the module\n"
    "handle written into its record) and prints its display name, its flag word in hex\n"
    "and by name, and its scale factor. A file that is not a plugin (missing, not a\n"
    "shared library, an export missing) is reported on stderr and the others are still\n"
    "shown; the exit status is then 1.\n";

namespace {

void describePlugin(const Plugin& p) {
    const uint32_t flags = p.flags();
    std::printf("%s\n", p.path().c_str());
    std::printf("  name:  \"%s\"\n", p.name().c_str());
    std::printf("  flags: 0x%05X  %s\n", flags, flagNames(flags).c_str());
    const int factor = scaleFactor(flags);
    const uint32_t field = flags & RENDER_SCALE_MASK;
    if (field == RENDER_SCALE_2X || field == RENDER_SCALE_3X || field == RENDER_SCALE_4X ||
        field == RENDER_SCALE_ZERO) {
        std::printf("  scale: %dx\n", factor);
    } else {
        std::printf("  scale: %dx (scale field 0x%X counts as 2x)\n", factor, field);
    }
    std::printf("  RGB565: %s\n", (flags & RENDER_FLAG_RGB565) ? "yes" : "no");
    const std::string why = unusableReason(flags);
    if (!why.empty()) std::printf("  pellix cannot drive it: %s\n", why.c_str());
}

}  // namespace

int runInfo(const Argv& argv) {
    const Args args = parseArgs(argv, {}, {});
    if (args.positional.empty()) throw UsageError("no plugin given");
    int status = 0;
    bool first = true;
    for (const std::string& arg : args.positional) {
        try {
            auto plugin = Plugin::load(resolvePluginPath(arg));
            if (!first) std::printf("\n");
            first = false;
            describePlugin(*plugin);
        } catch (const Failure& e) {
            std::fflush(stdout);
            reportError("info", e.what());
            status = 1;
        }
    }
    return status;
}

}  // namespace host
}  // namespace pellix
