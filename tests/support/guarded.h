// Image memory with inaccessible pages right against it, so that a plugin that reads
// or writes one byte outside what the host handed it faults at once instead of
// silently touching a neighbour's memory. A fault kills the test process, which CTest
// reports as a failure; a handler first prints where the stray access landed.
//
// Layouts (P = page size):
//
//   After:       [guard][ ...pad | image ][guard]      image ends on a page boundary
//   Before:      [guard][ image | pad... ][guard]      image starts on a page boundary
//   RowsAfter:   [guard][pad | row 0][guard][pad | row 1][guard] ...
//   RowsBefore:  [guard][row 0 | pad][guard][row 1 | pad] ... [guard]
//
// In the Rows layouts the pitch is a multiple of P and every row touches a guard page
// on one side, so an access past any row's last pixel (or before its first) faults,
// not only past the last row. The guard pages between rows lie inside the image's byte
// range, so they are armed only while a plugin runs (ArmedGuards); the harness itself
// fills and compares padding bytes between calls.
//
// Where pages cannot be protected (no mmap/VirtualAlloc), plain heap memory stands in
// and guardPagesAvailable() is false.
#ifndef PELLIX_TEST_GUARDED_H
#define PELLIX_TEST_GUARDED_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "differential.h"
#include "frames.h"

namespace pellix {
namespace test {

enum class GuardMode { None, After, Before, RowsAfter, RowsBefore };

const char* guardModeName(GuardMode mode);
bool guardPagesAvailable();
size_t pageSize();

// One image's memory: `rows` rows of `rowBytes` bytes. For None/After/Before the given
// pitch is used and the last row may be cut to `lastRowBytes`; the Rows layouts choose
// their own pitch (pitch()). `label` names the image in fault reports.
class GuardedMemory {
public:
    GuardedMemory(GuardMode mode, uint32_t rows, uint32_t rowBytes, uint32_t pitch, std::string label,
                  uint32_t lastRowBytes = 0xFFFFFFFFu);
    ~GuardedMemory();
    GuardedMemory(const GuardedMemory&) = delete;
    GuardedMemory& operator=(const GuardedMemory&) = delete;

    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    uint32_t pitch() const { return pitch_; }
    GuardMode mode() const { return mode_; }

    // Protects (true) or opens (false) the guard pages that lie between rows.
    void armInnerGuards(bool armed);
    // Describes `addr` if it lies in one of this memory's guard pages ("3 bytes past
    // row 1 of the source"); empty otherwise.
    std::string describeFault(uintptr_t addr) const;

private:
    GuardMode mode_;
    uint32_t rows_, rowBytes_, pitch_;
    std::string label_;
    uint8_t* base_ = nullptr;  // whole mapping
    size_t mapped_ = 0;
    uint8_t* data_ = nullptr;  // first byte of row 0
    size_t size_ = 0;          // pitch * (rows - 1) + rowBytes
    std::unique_ptr<uint8_t[]> heap_;  // stand-in without page protection
};

// A source image of w x h pixels in guarded memory; `pitch` is used for None/After/
// Before (at least 2w). The pixels start zero.
SourceImage guardedSource(uint32_t w, uint32_t h, uint32_t pitch, GuardMode mode);

// A destination of w x h pixels holding an output block of blockWidth x blockRows
// pixels. With After and h == blockRows, the last row ends right after its first
// blockWidth pixels: the first byte past the output block's last row is then on a guard
// page even when the destination is wider than the block.
DestImage guardedDest(uint32_t w, uint32_t h, uint32_t pitch, GuardMode mode, uint32_t blockWidth,
                      uint32_t blockRows);

// While alive, every guard page of every live GuardedMemory is inaccessible, and a
// fault is reported with `context` (the case being run).
class ArmedGuards {
public:
    explicit ArmedGuards(const std::string& context);
    ~ArmedGuards();
    ArmedGuards(const ArmedGuards&) = delete;
    ArmedGuards& operator=(const ArmedGuards&) = delete;
};

// Installs the SIGSEGV/SIGBUS reporter (idempotent). The process still dies.
void installFaultReporter();

// An ImageLayout for the differential harness: both images in guarded memory, the
// source in `srcMode` and the destination in `dstMode`.
ImageLayout guardedLayout(GuardMode srcMode, GuardMode dstMode);

}  // namespace test
}  // namespace pellix

#endif
