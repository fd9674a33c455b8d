// The run-length codec: the two trusted decoders of the toolkit's streams, and the measuring and
// bounded decoders the file loaders use on bytes read from disk.
#include <cstring>

#include "gfx/gfx.h"

namespace {

// Packets are at most 128 bytes, too short for a library call to pay off, and their lengths vary
// too much for a loop to be predicted. Each length class instead moves fixed-size vectors from the
// packet's start and ending at its last byte, overlapping as needed: exactly the packet's bytes
// are written, with no branch on the length beyond the class.
using Bytes32 [[gnu::vector_size(32)]] = std::uint8_t;
using Bytes16 [[gnu::vector_size(16)]] = std::uint8_t;

// Moves the first and the last sizeof(Type) bytes of a packet of `count` bytes, which together
// cover it when sizeof(Type) <= count <= 2 sizeof(Type).
template <typename Type>
[[gnu::always_inline]] inline void MoveEnds(std::uint8_t* destination, const std::uint8_t* source,
                                            unsigned count) {
    Type head, tail;
    std::memcpy(&head, source, sizeof(Type));
    std::memcpy(&tail, source + count - sizeof(Type), sizeof(Type));
    std::memcpy(destination, &head, sizeof(Type));
    std::memcpy(destination + count - sizeof(Type), &tail, sizeof(Type));
}

[[gnu::always_inline]] inline void FillPacket(std::uint8_t* destination, std::uint8_t value, unsigned count) {
    std::uint8_t* end = destination + count;
    if (count >= 32) {
        // Four stores cover 32..128 bytes; below 65 the middle two repeat the outer ones.
        const Bytes32 v = Bytes32{} + value;
        const unsigned middle = count > 64 ? 32 : 0;
        std::memcpy(destination, &v, 32);
        std::memcpy(destination + middle, &v, 32);
        std::memcpy(end - 32 - middle, &v, 32);
        std::memcpy(end - 32, &v, 32);
    } else if (count >= 16) {
        const Bytes16 v = Bytes16{} + value;
        std::memcpy(destination, &v, 16);
        std::memcpy(end - 16, &v, 16);
    } else if (count >= 4) {
        const std::uint64_t word = 0x0101010101010101ull * value;
        const unsigned size = count >= 8 ? 8 : 4;
        std::memcpy(destination, &word, size);
        std::memcpy(end - size, &word, size);
    } else {
        destination[0] = value;
        destination[count / 2] = value;
        end[-1] = value;
    }
}

[[gnu::always_inline]] inline void CopyPacket(std::uint8_t* destination, const std::uint8_t* source,
                                              unsigned count) {
    if (count >= 32) {
        const unsigned middle = count > 64 ? 32 : 0;
        Bytes32 a, b, c, d;
        std::memcpy(&a, source, 32);
        std::memcpy(&b, source + middle, 32);
        std::memcpy(&c, source + count - 32 - middle, 32);
        std::memcpy(&d, source + count - 32, 32);
        std::memcpy(destination, &a, 32);
        std::memcpy(destination + middle, &b, 32);
        std::memcpy(destination + count - 32 - middle, &c, 32);
        std::memcpy(destination + count - 32, &d, 32);
    } else if (count >= 16) {
        MoveEnds<Bytes16>(destination, source, count);
    } else if (count >= 8) {
        MoveEnds<std::uint64_t>(destination, source, count);
    } else if (count >= 4) {
        MoveEnds<std::uint32_t>(destination, source, count);
    } else {
        const std::uint8_t first = source[0], middle = source[count / 2], last = source[count - 1];
        destination[0] = first;
        destination[count / 2] = middle;
        destination[count - 1] = last;
    }
}

}  // namespace

namespace {

[[gnu::always_inline]] inline void DecodePackets(const std::uint8_t* source, std::uint8_t* destination) {
    for (;;) {
        const unsigned c = *source++;
        if (c == 0) return;
        if (c < 128) {
            CopyPacket(destination, source, c);
            source += c;
            destination += c;
        } else {
            const unsigned count = c - 127;
            FillPacket(destination, *source++, count);
            destination += count;
        }
    }
}

void DecodePortable(const std::uint8_t* source, std::uint8_t* destination) {
    DecodePackets(source, destination);
}

#if defined(__x86_64__)
// The same loop built for 32-byte vector registers, taken on processors that have them.
[[gnu::target("avx2")]] void DecodeWide(const std::uint8_t* source, std::uint8_t* destination) {
    DecodePackets(source, destination);
}
#endif

using Decoder = void (*)(const std::uint8_t*, std::uint8_t*);

Decoder ChooseDecoder() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) return DecodeWide;
#endif
    return DecodePortable;
}

}  // namespace

void RleDecode(const std::uint8_t* source, std::uint8_t* destination) {
    static const Decoder decode = ChooseDecoder();
    decode(source, destination);
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
