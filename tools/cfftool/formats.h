// The byte layouts cfftool writes and inspects: CFF pictures (8-byte header, run-length stream,
// 768-byte 6-bit palette) and image sets (layouts 2 and 3), and the 6-bit palette's 8-bit form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/gfx.h"

namespace cff {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// A 6-bit component shown as 8 bits (0 → 0, 63 → 255) and back to the nearest 6-bit level.
std::uint8_t SixToEight(std::uint8_t v);
std::uint8_t EightToSix(std::uint8_t v);

// The two header values cfftool stores are the picture's width and height; the toolkit ignores them.
std::vector<std::uint8_t> BuildCff(std::uint32_t width, std::uint32_t height,
                                   const std::vector<std::uint8_t>& stream, const Palette6& palette);

struct CffInfo {
    std::uint32_t first = 0, second = 0;  // the header values
    std::uint64_t bodySize = 0;           // bytes between the header and the palette
    bool streamComplete = false;          // the end byte lies inside the body
    std::uint64_t streamSize = 0;         // up to and including the end byte (when complete)
    std::uint64_t decodedSize = 0;        // pixels the stream decodes to (when complete)
    Palette6 palette{};
};
// False (with the reason) when the bytes cannot be a CFF file at all: shorter than 776 bytes.
bool ParseCff(const std::vector<std::uint8_t>& file, CffInfo* info, std::string* error);

struct SetImage {
    std::uint16_t width = 0, height = 0;
    std::vector<std::uint8_t> stream;
};
// Layout 2 needs every image to have the same size.
std::vector<std::uint8_t> BuildImageSet(int layout, const std::vector<SetImage>& images);

struct SetEntryInfo {
    std::uint16_t width = 0, height = 0;
    std::uint32_t packedSize = 0;
    std::uint64_t offset = 0;
};
struct SetInfo {
    std::uint8_t typeByte = 0;
    int layout = 0;
    std::vector<SetEntryInfo> entries;
    std::uint64_t dataEnd = 0;  // where the last stream ends
};
// Reads the header and table; false (with the reason) when the layout is not 2 or 3 or the table
// or a stream does not fit the file.
bool ParseImageSet(const std::vector<std::uint8_t>& file, SetInfo* info, std::string* error);

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error);
bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error);

}  // namespace cff
