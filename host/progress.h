// A one-line progress display on stderr, shown only when stderr is a terminal.
#ifndef PELLIX_HOST_PROGRESS_H
#define PELLIX_HOST_PROGRESS_H

#include <chrono>
#include <cstdint>
#include <string>

namespace pellix {
namespace host {

class Progress {
public:
    // `unit` is plural ("frames", "files"); `total` 0 when unknown.
    Progress(const std::string& unit, uint64_t total);
    ~Progress() { finish(); }
    // Reports `done` units finished, at most ten times a second.
    void update(uint64_t done, const std::string& note = "");
    // Clears the line.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    bool shown_ = false;
    std::string unit_;
    uint64_t total_;
    Clock::time_point start_, lastShown_;
};

}  // namespace host
}  // namespace pellix

#endif
