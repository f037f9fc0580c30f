#include "progress.h"

#include <cstdio>

#include "fileio.h"

namespace pellix {
namespace host {

Progress::Progress(const std::string& unit, uint64_t total)
    : enabled_(stderrIsTerminal()), unit_(unit), total_(total), start_(Clock::now()), lastShown_(start_) {}

void Progress::update(uint64_t done, const std::string& note) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (shown_ && now - lastShown_ < std::chrono::milliseconds(100) && done != total_) return;
    lastShown_ = now;
    const double secs = std::chrono::duration<double>(now - start_).count();
    const double rate = secs > 0 ? static_cast<double>(done) / secs : 0.0;
    if (total_) {
        std::fprintf(stderr, "\r\033[K%llu/%llu %s, %.1f %s/s%s%s", static_cast<unsigned long long>(done),
                     static_cast<unsigned long long>(total_), unit_.c_str(), rate, unit_.c_str(),
                     note.empty() ? "" : "  ", note.c_str());
    } else {
        std::fprintf(stderr, "\r\033[K%llu %s, %.1f %s/s%s%s", static_cast<unsigned long long>(done), unit_.c_str(),
                     rate, unit_.c_str(), note.empty() ? "" : "  ", note.c_str());
    }
    std::fflush(stderr);
    shown_ = true;
}

void Progress::finish() {
    if (enabled_ && shown_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
    shown_ = false;
}

}  // namespace host
}  // namespace pellix
