#include "cli.h"

#include <cctype>

namespace pellix {
namespace host {

const std::vector<std::string>& Args::all(const std::string& opt) const {
    static const std::vector<std::string> none;
    auto it = values.find(opt);
    return it == values.end() ? none : it->second;
}

std::string Args::one(const std::string& opt, const std::string& fallback) const {
    const auto& v = all(opt);
    if (v.empty()) return fallback;
    if (v.size() > 1) throw UsageError(opt + " given more than once");
    return v.front();
}

Args parseArgs(const std::vector<std::string>& argv, const std::set<std::string>& valued,
               const std::set<std::string>& flags) {
    Args a;
    bool optionsEnded = false;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& s = argv[i];
        if (optionsEnded || s == "-" || s.empty() || s[0] != '-') {
            a.positional.push_back(s);
            continue;
        }
        if (s == "--") {
            optionsEnded = true;
            continue;
        }
        if (s == "--help" || s == "-h") {
            a.help = true;
            continue;
        }
        const size_t eq = s.find('=');
        const std::string name = s.substr(0, eq);
        if (valued.count(name)) {
            if (eq != std::string::npos) {
                a.values[name].push_back(s.substr(eq + 1));
            } else if (i + 1 < argv.size()) {
                a.values[name].push_back(argv[++i]);
            } else {
                throw UsageError(name + " needs a value");
            }
        } else if (flags.count(s)) {
            a.switches.insert(s);
        } else {
            throw UsageError("unknown option " + s);
        }
    }
    return a;
}

static bool parseDimension(const std::string& s, uint32_t* out) {
    if (s.empty() || s.size() > 9) return false;
    uint32_t v = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    *out = v;
    return true;
}

FrameSize parseSize(const std::string& text) {
    const size_t x = text.find_first_of("xX");
    FrameSize f;
    if (x == std::string::npos || !parseDimension(text.substr(0, x), &f.width) ||
        !parseDimension(text.substr(x + 1), &f.height)) {
        throw UsageError("size '" + text + "' is not WIDTHxHEIGHT (e.g. 320x240)");
    }
    if (f.width == 0 || f.height == 0) throw UsageError("size '" + text + "' is empty");
    if (uint64_t{f.width} * f.height > kMaxPixels) {
        throw UsageError("size '" + text + "' is over the limit of " + std::to_string(kMaxPixels) + " pixels");
    }
    return f;
}

std::string sizeText(uint32_t w, uint32_t h) { return std::to_string(w) + "x" + std::to_string(h); }

std::string takePluginArg(std::vector<std::string>& positional, bool viaAdapter) {
    if (viaAdapter) {
        for (const std::string& p : positional) {
            if (p.size() > 4 && p.compare(p.size() - 4, 4, ".rpi") == 0) {
                throw UsageError("--via-adapter takes no PLUGIN (" + p +
                                 "); velmora.so loads the one named in velmora.ini");
            }
        }
        return "";
    }
    if (positional.empty()) throw UsageError("no plugin given");
    const std::string plugin = positional.front();
    positional.erase(positional.begin());
    return plugin;
}

}  // namespace host
}  // namespace pellix
