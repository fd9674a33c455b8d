// PNG reading and writing for cfftool through libpng: palettised pictures keep their indices and
// palette; every other kind is read as 8-bit RGB (alpha dropped).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/cfftool/formats.h"

namespace cff {

struct PngPicture {
    std::uint32_t width = 0, height = 0;
    bool indexed = false;
    std::vector<std::uint8_t> indices;  // indexed: one byte per pixel
    std::vector<Rgb> palette;           // indexed: the PLTE entries (at most 256)
    std::vector<Rgb> rgb;               // true colour: one entry per pixel
    bool alphaDropped = false;
};

bool ReadPng(const std::string& path, PngPicture* picture, std::string* error);

// An 8-bit palettised PNG with all 256 palette entries.
bool WriteIndexedPng(const std::string& path, std::uint32_t width, std::uint32_t height,
                     const std::vector<std::uint8_t>& indices, const Rgb (&palette)[256], std::string* error);

}  // namespace cff
