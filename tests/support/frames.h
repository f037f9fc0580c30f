// Test images with the layouts hosts hand to plugins: rows with pitch padding, only
// 2-byte alignment, and nothing readable past the last pixel of the last row.
#ifndef PELLIX_TEST_FRAMES_H
#define PELLIX_TEST_FRAMES_H

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace pellix {
namespace test {

using Rng = std::mt19937_64;

// A block of bytes in its own heap allocation, sized exactly, starting 2 bytes past
// an aligned address when `misalign` is set: AddressSanitizer sees any access beyond it.
class Buffer {
public:
    Buffer() = default;
    Buffer(size_t size, bool misalign);
    // Memory that lives elsewhere (guard-paged, say); `owner` keeps it alive.
    Buffer(std::shared_ptr<void> owner, uint8_t* data, size_t size);
    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    std::unique_ptr<uint8_t[]> storage_;
    std::shared_ptr<void> owner_;
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

struct SourceImage {
    uint32_t width = 0, height = 0, pitch = 0;
    Buffer buf;

    SourceImage() = default;
    SourceImage(uint32_t w, uint32_t h, uint32_t pitchBytes, bool misalign = false);
    // In memory provided by the caller (pitch * (h - 1) + 2w bytes); zero-filled.
    SourceImage(uint32_t w, uint32_t h, uint32_t pitchBytes, Buffer memory);
    uint16_t at(uint32_t x, uint32_t y) const {
        uint16_t p;
        std::memcpy(&p, buf.data() + size_t{y} * pitch + 2 * size_t{x}, 2);
        return p;
    }
    void set(uint32_t x, uint32_t y, uint16_t p) { std::memcpy(buf.data() + size_t{y} * pitch + 2 * size_t{x}, &p, 2); }
    const void* data() const { return buf.data(); }
};

// Fills every pixel (and the pitch padding) from the generator; with palette sizes
// 1..3 the pixels are drawn from a few colours so that equality-based rules fire.
void fillRandom(SourceImage& img, Rng& rng, unsigned paletteSize = 0);
SourceImage makeSource(uint32_t w, uint32_t h, const std::vector<uint16_t>& pixels);

// The destination, filled with a position-dependent canary everywhere.
struct DestImage {
    uint32_t width = 0, height = 0, pitch = 0;
    Buffer buf;

    DestImage() = default;
    DestImage(uint32_t w, uint32_t h, uint32_t pitchBytes, bool misalign = false);
    // In memory provided by the caller; canary-filled.
    DestImage(uint32_t w, uint32_t h, uint32_t pitchBytes, Buffer memory);
    uint16_t at(uint32_t x, uint32_t y) const {
        uint16_t p;
        std::memcpy(&p, buf.data() + size_t{y} * pitch + 2 * size_t{x}, 2);
        return p;
    }
    void* data() { return buf.data(); }
};

uint8_t canaryByte(size_t offset);

}  // namespace test
}  // namespace pellix

#endif
