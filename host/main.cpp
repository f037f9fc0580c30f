// pellix: a command-line host for RGB565 render plugins.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "cli.h"
#include "commands.h"

using namespace pellix::host;

namespace {

const Command kCommands[] = {
    {"info", "show a plugin's name and flags", kInfoHelp, runInfo},
    {"apply", "filter PNG images", kApplyHelp, runApply},
    {"raw", "filter a stream of raw RGB565 frames (e.g. from ffmpeg)", kRawHelp, runRaw},
    {"demo", "run every plugin on the built-in test card, with an HTML page", kDemoHelp, runDemo},
    {"bench", "time every plugin per frame, against memcpy", kBenchHelp, runBench},
};

void printUsage(FILE* out) {
    std::fputs("usage: pellix COMMAND [ARGS...]\n\ncommands:\n", out);
    for (const Command& c : kCommands) std::fprintf(out, "  %-7s %s\n", c.name, c.summary);
    std::fputs(
        "\nRun 'pellix COMMAND --help' for a command's options. A PLUGIN is a path to a .rpi\n"
        "file; a relative path that does not exist is also looked up beside the pellix\n"
        "executable, so 'duplix.rpi' and 'scanline/tristripe.rpi' work from anywhere.\n"
        "Exit status: 0 success, 1 failure, 2 bad command line.\n",
        out);
}

const Command* findCommand(const std::string& name) {
    for (const Command& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

}  // namespace

namespace pellix {
namespace host {
void reportError(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "pellix: %s%s%s\n", command.c_str(), command.empty() ? "" : ": ", message.c_str());
}
}  // namespace host
}  // namespace pellix

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        if (argc > 2) {
            const Command* c = findCommand(argv[2]);
            if (!c) {
                reportError("", std::string("unknown command '") + argv[2] + "'");
                printUsage(stderr);
                return 2;
            }
            std::fputs(c->help, stdout);
        } else {
            printUsage(stdout);
        }
        return 0;
    }
    const Command* cmd = findCommand(name);
    if (!cmd) {
        reportError("", "unknown command '" + name + "'");
        printUsage(stderr);
        return 2;
    }
    const Argv args(argv + 2, argv + argc);
    for (const std::string& a : args) {
        if (a == "--") break;
        if (a == "--help" || a == "-h") {
            std::fputs(cmd->help, stdout);
            return 0;
        }
    }
    try {
        return cmd->run(args);
    } catch (const UsageError& e) {
        reportError(cmd->name, e.what());
        std::fprintf(stderr, "Run 'pellix %s --help' for usage.\n", cmd->name);
        return 2;
    } catch (const Failure& e) {
        reportError(cmd->name, e.what());
        return 1;
    } catch (const std::bad_alloc&) {
        reportError(cmd->name, "out of memory");
        return 1;
    } catch (const std::exception& e) {
        reportError(cmd->name, e.what());
        return 1;
    }
}
