#include "frames.h"

#include <utility>

namespace pellix {
namespace test {

Buffer::Buffer(size_t size, bool misalign) : size_(size) {
    const size_t lead = misalign ? 2 : 0;
    storage_.reset(new uint8_t[size + lead + (size + lead == 0 ? 1 : 0)]);
    data_ = storage_.get() + lead;
}

Buffer::Buffer(std::shared_ptr<void> owner, uint8_t* data, size_t size)
    : owner_(std::move(owner)), data_(data), size_(size) {}

SourceImage::SourceImage(uint32_t w, uint32_t h, uint32_t pitchBytes, Buffer memory)
    : width(w), height(h), pitch(pitchBytes), buf(std::move(memory)) {
    std::memset(buf.data(), 0, buf.size());
}

SourceImage::SourceImage(uint32_t w, uint32_t h, uint32_t pitchBytes, bool misalign)
    : width(w), height(h), pitch(pitchBytes),
      buf(h == 0 ? 0 : size_t{pitchBytes} * (h - 1) + 2 * size_t{w}, misalign) {
    std::memset(buf.data(), 0, buf.size());
}

void fillRandom(SourceImage& img, Rng& rng, unsigned paletteSize) {
    uint16_t palette[3];
    for (uint16_t& c : palette) c = static_cast<uint16_t>(rng());
    for (size_t i = 0; i + 1 < img.buf.size(); i += 2) {
        const uint64_t r = rng();
        const uint16_t p = paletteSize ? palette[r % paletteSize] : static_cast<uint16_t>(r);
        std::memcpy(img.buf.data() + i, &p, 2);
    }
}

SourceImage makeSource(uint32_t w, uint32_t h, const std::vector<uint16_t>& pixels) {
    SourceImage img(w, h, 2 * w);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) img.set(x, y, pixels[size_t{y} * w + x]);
    return img;
}

uint8_t canaryByte(size_t offset) { return static_cast<uint8_t>(0xA5 ^ (offset * 131) ^ (offset >> 7)); }

DestImage::DestImage(uint32_t w, uint32_t h, uint32_t pitchBytes, Buffer memory)
    : width(w), height(h), pitch(pitchBytes), buf(std::move(memory)) {
    for (size_t i = 0; i < buf.size(); ++i) buf.data()[i] = canaryByte(i);
}

DestImage::DestImage(uint32_t w, uint32_t h, uint32_t pitchBytes, bool misalign)
    : width(w), height(h), pitch(pitchBytes),
      buf(h == 0 ? 0 : size_t{pitchBytes} * (h - 1) + 2 * size_t{w}, misalign) {
    for (size_t i = 0; i < buf.size(); ++i) buf.data()[i] = canaryByte(i);
}

}  // namespace test
}  // namespace pellix
