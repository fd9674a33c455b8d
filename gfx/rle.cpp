// The run-length codec: the two trusted decoders of the toolkit's streams, and the measuring and
// bounded decoders the file loaders use on bytes read from disk.
#include <cstring>

#include "gfx/gfx.h"

void RleDecode(const std::uint8_t* source, std::uint8_t* destination) {
    for (;;) {
        const unsigned c = *source++;
        if (c == 0) return;
        if (c < 128) {
            std::memcpy(destination, source, c);
            source += c;
            destination += c;
        } else {
            const unsigned count = c - 127;
            std::memset(destination, *source++, count);
            destination += count;
        }
    }
}

std::int32_t RleDecodeRect(const std::uint8_t* source, std::uint8_t* destination, std::int32_t width,
                           std::int32_t pitch) {
    const std::int32_t rowSkip = pitch - width;
    std::int32_t column = 0;
    for (;;) {
        const unsigned c = *source++;
        if (c == 0) return column;
        const bool repeat = c >= 128;
        std::int32_t left = repeat ? static_cast<std::int32_t>(c - 127) : static_cast<std::int32_t>(c);
        const std::uint8_t value = repeat ? *source : 0;
        // A packet may cross any number of row ends: write it in pieces that end at a row's end.
        while (left > 0) {
            const std::int32_t piece = left < width - column ? left : width - column;
            if (repeat) {
                std::memset(destination, value, static_cast<std::size_t>(piece));
            } else {
                std::memcpy(destination, source, static_cast<std::size_t>(piece));
                source += piece;
            }
            destination += piece;
            column += piece;
            left -= piece;
            if (column == width) {
                destination += rowSkip;
                column = 0;
            }
        }
        if (repeat) ++source;
    }
}

bool RleMeasure(const std::uint8_t* source, std::size_t sourceSize, std::size_t* decodedSize) {
    std::size_t at = 0;
    std::size_t decoded = 0;
    while (at < sourceSize) {
        const unsigned c = source[at++];
        if (c == 0) {
            if (decodedSize) *decodedSize = decoded;
            return true;
        }
        const std::size_t data = c < 128 ? c : 1;
        if (data > sourceSize - at) return false;
        at += data;
        decoded += c < 128 ? c : c - 127;
    }
    return false;
}

bool RleDecodeBounded(const std::uint8_t* source, std::size_t sourceSize, std::uint8_t* destination,
                      std::size_t destinationSize, std::size_t* decodedSize) {
    std::size_t decoded = 0;
    if (!RleMeasure(source, sourceSize, &decoded) || decoded > destinationSize) return false;
    RleDecode(source, destination);
    if (decodedSize) *decodedSize = decoded;
    return true;
}
