#include "guarded.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace pellix {
namespace test {

namespace {

std::vector<GuardedMemory*>& liveMemories() {
    static std::vector<GuardedMemory*> live;
    return live;
}

bool& guardsArmed() {
    static bool armed = false;
    return armed;
}

// What the fault reporter prints as the case being run.
char faultContext[512];

#if defined(_WIN32)
uint8_t* mapPages(size_t bytes) {
    return static_cast<uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}
void unmapPages(uint8_t* p, size_t) { VirtualFree(p, 0, MEM_RELEASE); }
bool protectPages(uint8_t* p, size_t bytes, bool accessible) {
    DWORD old;
    return VirtualProtect(p, bytes, accessible ? PAGE_READWRITE : PAGE_NOACCESS, &old) != 0;
}
#else
uint8_t* mapPages(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
}
void unmapPages(uint8_t* p, size_t bytes) { munmap(p, bytes); }
bool protectPages(uint8_t* p, size_t bytes, bool accessible) {
    return mprotect(p, bytes, accessible ? PROT_READ | PROT_WRITE : PROT_NONE) == 0;
}
#endif

size_t pagesFor(size_t bytes) { return (bytes + pageSize() - 1) / pageSize(); }

[[noreturn]] void fatal(const char* what) {
    std::fprintf(stderr, "guarded memory: %s\n", what);
    std::abort();
}

}  // namespace

const char* guardModeName(GuardMode mode) {
    switch (mode) {
        case GuardMode::None: return "no guard";
        case GuardMode::After: return "guard after";
        case GuardMode::Before: return "guard before";
        case GuardMode::RowsAfter: return "guard after every row";
        case GuardMode::RowsBefore: return "guard before every row";
    }
    return "?";
}

size_t pageSize() {
    static const size_t size = [] {
#if defined(_WIN32)
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        return static_cast<size_t>(si.dwPageSize);
#else
        const long s = sysconf(_SC_PAGESIZE);
        return static_cast<size_t>(s > 0 ? s : 4096);
#endif
    }();
    return size;
}

bool guardPagesAvailable() {
    static const bool available = [] {
        uint8_t* p = mapPages(2 * pageSize());
        if (!p) return false;
        const bool ok = protectPages(p + pageSize(), pageSize(), false);
        unmapPages(p, 2 * pageSize());
        return ok;
    }();
    return available;
}

GuardedMemory::GuardedMemory(GuardMode mode, uint32_t rows, uint32_t rowBytes, uint32_t pitch, std::string label,
                             uint32_t lastRowBytes)
    : mode_(mode), rows_(rows), rowBytes_(rowBytes), pitch_(pitch), label_(std::move(label)) {
    const size_t P = pageSize();
    if (rows == 0) {
        // Nothing is readable: the data pointer sits between two guard pages.
        if (mode_ != GuardMode::None) mode_ = GuardMode::After;
        rowBytes_ = 0;
    }
    if ((mode_ == GuardMode::RowsAfter || mode_ == GuardMode::RowsBefore)) {
        const size_t stride = (pagesFor(rowBytes_) + 1) * P;
        if (stride > 0xFFFFFFFFu) fatal("row too long for a guarded pitch");
        pitch_ = static_cast<uint32_t>(stride);
    }
    if (rows == 0)
        size_ = 0;
    else if (mode_ == GuardMode::None || mode_ == GuardMode::After || mode_ == GuardMode::Before)
        size_ = size_t{pitch_} * (rows - 1) + std::min(rowBytes_, lastRowBytes);
    else
        size_ = size_t{pitch_} * (rows - 1) + rowBytes_;

    if (mode_ == GuardMode::None || !guardPagesAvailable()) {
        heap_.reset(new uint8_t[size_ + 1]);
        data_ = heap_.get();
        mode_ = GuardMode::None;
        liveMemories().push_back(this);
        return;
    }

    const size_t dataPages = pagesFor(size_);
    switch (mode_) {
        case GuardMode::After:
        case GuardMode::Before:
            mapped_ = (dataPages + 2) * P;
            break;
        default:
            mapped_ = size_t{rows} * pitch_ + P;
            break;
    }
    base_ = mapPages(mapped_);
    if (!base_) fatal("cannot map pages");
    installFaultReporter();

    // Everything is accessible now; protect the guards that lie outside the image.
    switch (mode_) {
        case GuardMode::After:
            data_ = base_ + P + dataPages * P - size_;
            protectPages(base_, P, false);
            protectPages(base_ + P + dataPages * P, P, false);
            break;
        case GuardMode::Before:
            data_ = base_ + P;
            protectPages(base_, P, false);
            protectPages(base_ + P + dataPages * P, P, false);
            break;
        case GuardMode::RowsAfter: {
            const size_t dp = pitch_ - P;  // data bytes of each row's stretch
            data_ = base_ + P + dp - rowBytes_;
            protectPages(base_, P, false);
            protectPages(base_ + P + size_t{rows - 1} * pitch_ + dp, P, false);
            break;
        }
        case GuardMode::RowsBefore:
            data_ = base_ + P;
            protectPages(base_, P, false);
            protectPages(base_ + size_t{rows} * pitch_, P, false);
            break;
        case GuardMode::None:
            break;
    }
    liveMemories().push_back(this);
    if (guardsArmed()) armInnerGuards(true);
}

GuardedMemory::~GuardedMemory() {
    auto& live = liveMemories();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (base_) unmapPages(base_, mapped_);
}

void GuardedMemory::armInnerGuards(bool armed) {
    if (!base_ || rows_ < 2) return;
    const size_t P = pageSize();
    if (mode_ == GuardMode::RowsAfter) {
        for (uint32_t y = 0; y + 1 < rows_; ++y)
            if (!protectPages(base_ + P + size_t{y} * pitch_ + (pitch_ - P), P, !armed)) fatal("cannot protect a page");
    } else if (mode_ == GuardMode::RowsBefore) {
        for (uint32_t y = 1; y < rows_; ++y)
            if (!protectPages(base_ + size_t{y} * pitch_, P, !armed)) fatal("cannot protect a page");
    }
}

std::string GuardedMemory::describeFault(uintptr_t addr) const {
    if (!base_) return {};
    const uintptr_t b = reinterpret_cast<uintptr_t>(base_), d = reinterpret_cast<uintptr_t>(data_);
    if (addr < b || addr >= b + mapped_) return {};
    char buf[200];
    if (addr < d) {
        std::snprintf(buf, sizeof buf, "%zu byte(s) before the first byte of the %s", static_cast<size_t>(d - addr),
                      label_.c_str());
    } else if (addr >= d + size_) {
        std::snprintf(buf, sizeof buf, "byte %zu past the last byte of the %s (0 = the first byte after it)",
                      static_cast<size_t>(addr - d - size_), label_.c_str());
    } else {
        const size_t off = addr - d, row = off / pitch_, col = off % pitch_;
        if (col < rowBytes_) return {};
        if (mode_ == GuardMode::RowsBefore)
            std::snprintf(buf, sizeof buf, "%zu byte(s) before the start of row %zu of the %s", pitch_ - col, row + 1,
                          label_.c_str());
        else
            std::snprintf(buf, sizeof buf, "byte %zu past the end of row %zu of the %s (0 = the first byte after it)",
                          col - rowBytes_, row, label_.c_str());
    }
    return buf;
}

SourceImage guardedSource(uint32_t w, uint32_t h, uint32_t pitch, GuardMode mode) {
    auto mem = std::make_shared<GuardedMemory>(mode, h, 2 * w, pitch, "source");
    uint8_t* data = mem->data();
    const size_t size = mem->size();
    const uint32_t usedPitch = mem->pitch();
    return SourceImage(w, h, usedPitch, Buffer(std::move(mem), data, size));
}

DestImage guardedDest(uint32_t w, uint32_t h, uint32_t pitch, GuardMode mode, uint32_t blockWidth,
                      uint32_t blockRows) {
    const uint32_t lastRow = (mode == GuardMode::After && h == blockRows) ? 2 * blockWidth : 2 * w;
    auto mem = std::make_shared<GuardedMemory>(mode, h, 2 * w, pitch, "destination", lastRow);
    uint8_t* data = mem->data();
    const size_t size = mem->size();
    const uint32_t usedPitch = mem->pitch();
    return DestImage(w, h, usedPitch, Buffer(std::move(mem), data, size));
}

ArmedGuards::ArmedGuards(const std::string& context) {
    installFaultReporter();
    std::snprintf(faultContext, sizeof faultContext, "%s", context.c_str());
    guardsArmed() = true;
    for (GuardedMemory* m : liveMemories()) m->armInnerGuards(true);
}

ArmedGuards::~ArmedGuards() {
    for (GuardedMemory* m : liveMemories()) m->armInnerGuards(false);
    guardsArmed() = false;
    faultContext[0] = '\0';
}

#if defined(_WIN32)
void installFaultReporter() {}
#else
namespace {

void reportFault(int sig, siginfo_t* info, void*) {
    // The process is about to die; formatting here is not async-signal-safe in
    // theory, but nothing else runs and the message is what makes the crash useful.
    const uintptr_t addr = reinterpret_cast<uintptr_t>(info->si_addr);
    std::string where;
    for (GuardedMemory* m : liveMemories()) {
        where = m->describeFault(addr);
        if (!where.empty()) break;
    }
    char msg[1024];
    const int n = std::snprintf(msg, sizeof msg, "\n*** %s at address %p: %s%s\n", sig == SIGBUS ? "SIGBUS" : "SIGSEGV",
                                info->si_addr, where.empty() ? "not in a guard page" : "stray access to ",
                                where.c_str());
    if (n > 0) (void)!write(2, msg, static_cast<size_t>(std::min(n, static_cast<int>(sizeof msg) - 1)));
    if (faultContext[0]) {
        const int m = std::snprintf(msg, sizeof msg, "*** while the plugin ran %s (%s)\n", faultContext,
                                    std::getenv("PELLIX_FORCE_PLAIN") ? "plain path" : "vector path");
        if (m > 0) (void)!write(2, msg, static_cast<size_t>(std::min(m, static_cast<int>(sizeof msg) - 1)));
    }
    // SA_RESETHAND restored the default action: returning re-runs the faulting access,
    // which now kills the process (non-zero exit, a failed test).
}

}  // namespace

void installFaultReporter() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = reportFault;
    sa.sa_flags = SA_SIGINFO | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGSEGV, &sa, nullptr);
    sigaction(SIGBUS, &sa, nullptr);
}
#endif

ImageLayout guardedLayout(GuardMode srcMode, GuardMode dstMode) {
    ImageLayout l;
    l.name = std::string("source ") + guardModeName(srcMode) + ", destination " + guardModeName(dstMode);
    l.makeSource = [srcMode](const DiffCase&, uint32_t w, uint32_t h, uint32_t pitch) {
        return guardedSource(w, h, pitch, srcMode);
    };
    l.makeDest = [dstMode](const DiffCase& c, uint32_t w, uint32_t h, uint32_t pitch) {
        return guardedDest(w, h, pitch, dstMode, 2 * c.width, 2 * c.height);
    };
    l.aroundCall = [](const std::string& what, const std::function<void()>& call) {
        ArmedGuards armed(what);
        call();
    };
    return l;
}

}  // namespace test
}  // namespace pellix
