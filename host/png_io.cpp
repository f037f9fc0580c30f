#include "png_io.h"

#include <png.h>

#include <cstdio>
#include <cstring>

#include "cli.h"
#include "fileio.h"

namespace pellix {
namespace host {

namespace {

// libpng reports errors by longjmp. Everything the setjmp frames below touch after
// setjmp lives in these structs, reached through a pointer that never changes, so its
// contents are well defined after the jump.
struct ReadState {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    char message[200] = "";
    bool tooLarge = false;
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;
    std::vector<png_bytep> rows;
};

struct WriteState {
    char message[200] = "";
    std::vector<uint8_t> out;
    std::vector<uint8_t> rgb;
    std::vector<png_bytep> rows;
};

void onError(png_structp png, png_const_charp msg) {
    char* dst = static_cast<char*>(png_get_error_ptr(png));
    std::snprintf(dst, 200, "%s", msg);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void readFromMemory(png_structp png, png_bytep out, png_size_t n) {
    ReadState* st = static_cast<ReadState*>(png_get_io_ptr(png));
    if (n > st->size - st->pos) png_error(png, "the file is truncated");
    std::memcpy(out, st->data + st->pos, n);
    st->pos += n;
}

void writeToMemory(png_structp png, png_bytep in, png_size_t n) {
    WriteState* st = static_cast<WriteState*>(png_get_io_ptr(png));
    st->out.insert(st->out.end(), in, in + n);
}

void flushNothing(png_structp) {}

// Reads the image as 8-bit RGBA into st->rgba. False on error (message in st->message).
bool decodeRgba(png_structp png, png_infop info, ReadState* st) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, st, readFromMemory);
    png_read_info(png, info);
    st->width = png_get_image_width(png, info);
    st->height = png_get_image_height(png, info);
    if (uint64_t{st->width} * st->height > kMaxPixels) {
        st->tooLarge = true;
        return false;
    }
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (hasTrns) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (!(colorType & PNG_COLOR_MASK_ALPHA) && !hasTrns) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t{st->width} * 4) png_error(png, "unexpected row layout");
    st->rgba.resize(size_t{st->width} * st->height * 4);
    st->rows.resize(st->height);
    for (uint32_t y = 0; y < st->height; ++y) st->rows[y] = st->rgba.data() + size_t{y} * st->width * 4;
    png_read_image(png, st->rows.data());
    return true;
}

bool encodeRgb(png_structp png, png_infop info, WriteState* st, uint32_t w, uint32_t h) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, st, writeToMemory, flushNothing);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, st->rows.data());
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

Image565 decodePng(const std::vector<uint8_t>& bytes, const std::string& name) {
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) throw Failure(name + ": not a PNG file");
    ReadState st;
    st.data = bytes.data();
    st.size = bytes.size();
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, st.message, onError, onWarning);
    if (!png) throw Failure(name + ": out of memory");
    png_infop info = png_create_info_struct(png);
    const bool ok = info && decodeRgba(png, info, &st);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (st.tooLarge) {
        throw Failure(name + ": image " + sizeText(st.width, st.height) + " is too large (over " +
                      std::to_string(kMaxPixels) + " pixels)");
    }
    if (!ok) throw Failure(name + ": corrupt PNG (" + std::string(st.message[0] ? st.message : "out of memory") + ")");

    Image565 img(st.width, st.height);
    const uint8_t* p = st.rgba.data();
    for (uint16_t& px : img.pixels) {
        // Over black: each channel scaled by alpha / 255, rounded.
        const uint32_t a = p[3];
        px = packRgb565((p[0] * a + 127) / 255, (p[1] * a + 127) / 255, (p[2] * a + 127) / 255);
        p += 4;
    }
    return img;
}

std::vector<uint8_t> encodePng(const Image565& img) {
    WriteState st;
    st.rgb.resize(size_t{img.width} * img.height * 3);
    for (size_t i = 0; i < img.pixels.size(); ++i) unpackRgb565(img.pixels[i], &st.rgb[3 * i]);
    st.rows.resize(img.height);
    for (uint32_t y = 0; y < img.height; ++y) st.rows[y] = st.rgb.data() + size_t{y} * img.width * 3;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, st.message, onError, onWarning);
    if (!png) throw Failure("out of memory");
    png_infop info = png_create_info_struct(png);
    const bool ok = info && encodeRgb(png, info, &st, img.width, img.height);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok) throw Failure(std::string("cannot encode PNG: ") + (st.message[0] ? st.message : "out of memory"));
    return std::move(st.out);
}

Image565 readPng(const std::string& path) {
    return decodePng(readAll(path), path == "-" ? "standard input" : path);
}

void writePng(const std::string& path, const Image565& img) { writeAll(path, encodePng(img)); }

}  // namespace host
}  // namespace pellix
