#include "png_fixtures.h"

#include <png.h>

#include <random>
#include <stdexcept>

namespace pellix {
namespace test {

namespace {

struct WriteJob {
    const PngSpec* spec = nullptr;
    FILE* file = nullptr;
    std::vector<std::vector<uint8_t>> rows;
    std::vector<png_bytep> rowPtrs;
};

int channels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY: return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
        case PNG_COLOR_TYPE_RGB: return 3;
        case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
        default: return 1;  // palette index
    }
}

// Packs samples MSB first (bit depths below 8) or big-endian (16 bits).
std::vector<uint8_t> packRow(const uint32_t* s, size_t n, int depth) {
    std::vector<uint8_t> row;
    if (depth == 16) {
        for (size_t i = 0; i < n; ++i) {
            row.push_back(static_cast<uint8_t>(s[i] >> 8));
            row.push_back(static_cast<uint8_t>(s[i]));
        }
    } else if (depth == 8) {
        for (size_t i = 0; i < n; ++i) row.push_back(static_cast<uint8_t>(s[i]));
    } else {
        const size_t perByte = 8 / static_cast<size_t>(depth);
        row.assign((n + perByte - 1) / perByte, 0);
        for (size_t i = 0; i < n; ++i) {
            const int shift = 8 - depth * static_cast<int>(i % perByte + 1);
            row[i / perByte] = static_cast<uint8_t>(row[i / perByte] | (s[i] << shift));
        }
    }
    return row;
}

bool writeCore(png_structp png, png_infop info, WriteJob* job) {
    if (setjmp(png_jmpbuf(png))) return false;
    const PngSpec& s = *job->spec;
    png_init_io(png, job->file);
    png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.paletteRgb.empty()) {
        std::vector<png_color> pal(s.paletteRgb.size() / 3);
        for (size_t i = 0; i < pal.size(); ++i) pal[i] = {s.paletteRgb[3 * i], s.paletteRgb[3 * i + 1], s.paletteRgb[3 * i + 2]};
        png_set_PLTE(png, info, pal.data(), static_cast<int>(pal.size()));
    }
    if (!s.trns.empty()) png_set_tRNS(png, info, s.trns.data(), static_cast<int>(s.trns.size()), nullptr);
    if (s.colourKey) {
        png_color_16 key{};
        key.red = s.keyRgb[0];
        key.green = s.keyRgb[1];
        key.blue = s.keyRgb[2];
        key.gray = s.keyRgb[0];
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    png_write_image(png, job->rowPtrs.data());
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

void writePngFile(const std::string& path, const PngSpec& spec) {
    WriteJob job;
    job.spec = &spec;
    const size_t perRow = size_t{spec.width} * static_cast<size_t>(channels(spec.colorType));
    if (spec.samples.size() != perRow * spec.height) throw std::runtime_error("sample count does not match the size");
    for (uint32_t y = 0; y < spec.height; ++y) job.rows.push_back(packRow(&spec.samples[y * perRow], perRow, spec.bitDepth));
    for (auto& r : job.rows) job.rowPtrs.push_back(r.data());
    job.file = std::fopen(path.c_str(), "wb");
    if (!job.file) throw std::runtime_error("cannot create " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const bool ok = writeCore(png, info, &job);
    png_destroy_write_struct(&png, &info);
    std::fclose(job.file);
    if (!ok) throw std::runtime_error("libpng could not write " + path);
}

void expand565(uint16_t p, uint8_t rgb[3]) {
    const uint32_t r = p >> 11, g = (p >> 5) & 0x3F, b = p & 0x1F;
    rgb[0] = static_cast<uint8_t>(r << 3 | r >> 2);
    rgb[1] = static_cast<uint8_t>(g << 2 | g >> 4);
    rgb[2] = static_cast<uint8_t>(b << 3 | b >> 2);
}

uint16_t rgbTo565Exact(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

PngSpec rgbSpec(uint32_t w, uint32_t h, const std::vector<uint16_t>& px) {
    PngSpec s;
    s.width = w;
    s.height = h;
    s.colorType = PNG_COLOR_TYPE_RGB;
    for (uint16_t p : px) {
        uint8_t c[3];
        expand565(p, c);
        s.samples.insert(s.samples.end(), {c[0], c[1], c[2]});
    }
    return s;
}

Decoded decodeHostPng(const std::string& bytes) {
    Decoded d;
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, bytes.data(), bytes.size())) {
        d.error = img.message;
        return d;
    }
    if (img.format != PNG_FORMAT_RGB) {
        png_image_free(&img);
        d.error = "not an 8-bit RGB PNG";
        return d;
    }
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) {
        d.error = img.message;
        return d;
    }
    d.width = img.width;
    d.height = img.height;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        const uint16_t p = rgbTo565Exact(rgb[i], rgb[i + 1], rgb[i + 2]);
        uint8_t back[3];
        expand565(p, back);
        if (back[0] != rgb[i] || back[1] != rgb[i + 1] || back[2] != rgb[i + 2]) {
            d.error = "channel values at pixel " + std::to_string(i / 3) + " are not bit-replicated RGB565";
            return d;
        }
        d.px.push_back(p);
    }
    return d;
}

std::vector<uint16_t> samplePixels(uint32_t w, uint32_t h, uint32_t seed) {
    std::mt19937 rng(seed);
    const uint16_t few[] = {0x0000, 0xFFFF, 0xF800, 0x07E0, 0x001F};
    std::vector<uint16_t> px(size_t{w} * h);
    for (uint16_t& p : px) p = (rng() % 3 == 0) ? few[rng() % 5] : static_cast<uint16_t>(rng());
    return px;
}

}  // namespace test
}  // namespace pellix
