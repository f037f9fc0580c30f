// Command-line plumbing shared by the commands: errors, option parsing, sizes.
#ifndef PELLIX_HOST_CLI_H
#define PELLIX_HOST_CLI_H

#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace pellix {
namespace host {

// A failure while doing the work: reported on stderr, exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A command line that cannot be understood: reported with a hint, exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>> values;  // options that take a value
    std::set<std::string> switches;                          // options without a value
    bool help = false;

    bool has(const std::string& sw) const { return switches.count(sw) != 0; }
    const std::vector<std::string>& all(const std::string& opt) const;
    // The option's value, or `fallback` when absent; more than one is a usage error.
    std::string one(const std::string& opt, const std::string& fallback) const;
};

// Splits `argv` into positionals and options. `valued` options take the next argument
// (or "--opt=value"); `--help`/`-h` anywhere sets `help`; "-" is a positional; "--" ends
// the options. Unknown options are a usage error.
Args parseArgs(const std::vector<std::string>& argv, const std::set<std::string>& valued,
               const std::set<std::string>& flags);

struct FrameSize {
    uint32_t width = 0, height = 0;
};

// Largest frame the host handles, in source pixels (the output is four times as many).
constexpr uint64_t kMaxPixels = uint64_t{1} << 26;

// "WxH" with both sides at least 1 and the area within kMaxPixels; else a usage error.
FrameSize parseSize(const std::string& text);

std::string sizeText(uint32_t w, uint32_t h);

// Takes the PLUGIN argument off the front of `positional` and returns it. With
// --via-adapter there is none (the adapter picks the plugin, so an argument naming a .rpi
// is a usage error) and the result is empty.
std::string takePluginArg(std::vector<std::string>& positional, bool viaAdapter);

}  // namespace host
}  // namespace pellix

#endif
