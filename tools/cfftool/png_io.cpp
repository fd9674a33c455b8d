// libpng behind cfftool's two PNG operations. libpng reports errors by longjmp, so each operation
// keeps its C++ state on the heap behind a pointer set before setjmp and touched only through it.
#include "tools/cfftool/png_io.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

namespace cff {

namespace {

struct PngContext {
    std::string message;
    std::vector<png_bytep> rows;
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> encoded;
};

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    static_cast<PngContext*>(png_get_error_ptr(png))->message = message;
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* context = static_cast<PngContext*>(png_get_io_ptr(png));
    context->encoded.insert(context->encoded.end(), data, data + length);
}

void OnFlush(png_structp) {}

}  // namespace

bool ReadPng(const std::string& path, PngPicture* picture, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    std::uint8_t signature[8] = {};
    if (std::fread(signature, 1, 8, file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        std::fclose(file);
        *error = path + ": not a PNG file";
        return false;
    }
    const auto context = std::make_unique<PngContext>();
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, context.get(), OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::fclose(file);
        *error = path + ": out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        *error = path + ": " + context->message;
        return false;
    }
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, 65535, 65535);
    png_read_info(png, info);

    const png_byte colourType = png_get_color_type(png, info);
    picture->width = png_get_image_width(png, info);
    picture->height = png_get_image_height(png, info);
    picture->indexed = colourType == PNG_COLOR_TYPE_PALETTE;
    picture->alphaDropped =
        (colourType & PNG_COLOR_MASK_ALPHA) || (!picture->indexed && png_get_valid(png, info, PNG_INFO_tRNS));
    if (picture->indexed) {
        png_colorp entries = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &entries, &count);
        picture->palette.clear();
        for (int i = 0; i < count; ++i)
            picture->palette.push_back({entries[i].red, entries[i].green, entries[i].blue});
        png_set_packing(png);
    } else {
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_strip_alpha(png);
        png_set_gray_to_rgb(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const std::size_t channels = picture->indexed ? 1 : 3;
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != picture->width * channels) png_error(png, "unexpected row layout after conversion");
    context->pixels.resize(rowBytes * picture->height);
    context->rows.resize(picture->height);
    for (std::uint32_t y = 0; y < picture->height; ++y)
        context->rows[y] = context->pixels.data() + y * rowBytes;
    png_read_image(png, context->rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);

    if (picture->indexed) {
        picture->indices = std::move(context->pixels);
        picture->rgb.clear();
    } else {
        picture->rgb.resize(std::size_t{picture->width} * picture->height);
        for (std::size_t i = 0; i < picture->rgb.size(); ++i) {
            picture->rgb[i] = {context->pixels[3 * i], context->pixels[3 * i + 1],
                               context->pixels[3 * i + 2]};
        }
        picture->indices.clear();
    }
    return true;
}

bool WriteIndexedPng(const std::string& path, std::uint32_t width, std::uint32_t height,
                     const std::vector<std::uint8_t>& indices, const Rgb (&palette)[256],
                     std::string* error) {
    const auto context = std::make_unique<PngContext>();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, context.get(), OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        *error = path + ": out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        *error = path + ": " + context->message;
        return false;
    }
    png_set_write_fn(png, context.get(), OnWrite, OnFlush);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = {palette[i].r, palette[i].g, palette[i].b};
    png_set_PLTE(png, info, entries, 256);
    png_write_info(png, info);
    context->rows.resize(height);
    for (std::uint32_t y = 0; y < height; ++y) {
        context->rows[y] = const_cast<png_bytep>(indices.data() + std::size_t{y} * width);
    }
    png_write_image(png, context->rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return WriteWholeFile(path, context->encoded, error);
}

}  // namespace cff
