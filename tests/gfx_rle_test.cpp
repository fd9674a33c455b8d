// The run-length codec: the trusted decoders against the stream format's vectors, the row layout
// of RleDecodeRect, and the measuring and bounded decoders on broken streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gfx/gfx.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Repeated(std::size_t n, std::uint8_t v) {
    return Bytes(n, v);
}

void Append(Bytes* out, const Bytes& more) {
    out->insert(out->end(), more.begin(), more.end());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Ramp(std::size_t n, std::uint8_t first) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(first + i);
    return out;
}

struct DecodeCase {
    const char* name;
    Bytes stream;
    Bytes expected;
};

std::vector<DecodeCase> DecodeCases() {
    return {
        {"end byte alone", {0x00}, {}},
        {"repeat of one", {0x80, 0x2A, 0x00}, {0x2A}},
        {"repeat of 128", {0xFF, 0x2A, 0x00}, Repeated(128, 0x2A)},
        {"literal of one", {0x01, 0x2A, 0x00}, {0x2A}},
        {"literal of 127", Concat({{0x7F}, Ramp(127, 1), {0x00}}), Ramp(127, 1)},
        {"zeros inside a literal are data", {0x03, 0x00, 0x00, 0x00, 0x00}, Repeated(3, 0)},
        {"repeated zero is data", {0x85, 0x00, 0x00}, Repeated(6, 0)},
        {"300 as 128 + 128 + 44", {0xFF, 7, 0xFF, 7, 0xAB, 7, 0x00}, Repeated(300, 7)},
        {"mixed packets", {0x02, 9, 8, 0x81, 5, 0x01, 0xFF, 0x00}, {9, 8, 5, 5, 0xFF}},
        {"bytes after the end byte are not read", {0x81, 3, 0x00, 0x85, 4}, {3, 3}},
    };
}

TEST(RleDecode, DecodesEveryPacketKind) {
    for (const DecodeCase& c : DecodeCases()) {
        SCOPED_TRACE(c.name);
        // A guard byte after the expected output shows any write past it.
        Bytes out(c.expected.size() + 1, 0xEE);
        RleDecode(c.stream.data(), out.data());
        EXPECT_EQ(Bytes(out.begin(), out.end() - 1), c.expected);
        EXPECT_EQ(out.back(), 0xEE);

        std::size_t measured = 99;
        EXPECT_TRUE(RleMeasure(c.stream.data(), c.stream.size(), &measured));
        EXPECT_EQ(measured, c.expected.size());
    }
}

TEST(RleDecode, EveryPacketLengthWritesExactlyItsBytes) {
    // Each length, literal and repeat, once at the start of the output and once after an odd
    // offset, between guard bytes.
    for (unsigned length = 1; length <= 128; ++length) {
        SCOPED_TRACE(length);
        const Bytes data = Ramp(length, 1);
        Bytes literal = {0x01, 0x55};
        Bytes repeat = {0x80, 0x55};
        if (length <= 127) Append(&literal, Concat({{static_cast<std::uint8_t>(length)}, data}));
        Append(&repeat, {static_cast<std::uint8_t>(127 + length), 0x66});
        literal.push_back(0x00);
        repeat.push_back(0x00);

        Bytes out(length + 2, 0xEE);
        RleDecode(literal.data(), out.data());
        if (length <= 127) {
            EXPECT_EQ(out, Concat({{0x55}, data, {0xEE}}));
        }
        RleDecode(repeat.data(), out.data());
        EXPECT_EQ(out, Concat({{0x55}, Repeated(length, 0x66), {0xEE}}));

        Bytes atStart(length + 1, 0xEE);
        RleDecode(repeat.data() + 2, atStart.data());
        EXPECT_EQ(atStart, Concat({Repeated(length, 0x66), {0xEE}}));
    }
}

TEST(RleDecodeRect, LaysBytesOutInRowsAPitchApart) {
    struct Case {
        const char* name;
        Bytes stream;
        std::int32_t width;
        std::int32_t pitch;
        std::int32_t column;
    };
    const std::vector<Case> cases = {
        {"six bytes over width 4", {0x85, 0x07, 0x00}, 4, 10, 2},
        {"whole rows return 0", {0x87, 0x07, 0x00}, 4, 10, 0},
        {"end byte alone", {0x00}, 4, 10, 0},
        {"literal crossing three rows", Concat({{0x0B}, Ramp(11, 1), {0x00}}), 3, 7, 2},
        {"repeat longer than several rows", {0xFF, 9, 0x81, 4, 0x00}, 5, 9, 0},
        {"width 1", {0x03, 1, 2, 3, 0x00}, 1, 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes flat(1000, 0xEE);
        RleDecode(c.stream.data(), flat.data());
        std::size_t length = 0;
        ASSERT_TRUE(RleMeasure(c.stream.data(), c.stream.size(), &length));

        // Byte k of the decoded stream goes to row k / width, column k % width; nothing else moves.
        Bytes expected(1000, 0xEE);
        for (std::size_t k = 0; k < length; ++k) expected[(k / c.width) * c.pitch + k % c.width] = flat[k];
        Bytes out(1000, 0xEE);
        EXPECT_EQ(RleDecodeRect(c.stream.data(), out.data(), c.width, c.pitch), c.column);
        EXPECT_EQ(out, expected);
    }

    // The worked example spelled out: bytes 0..3 and 10..11 are written, 4..9 untouched.
    Bytes out(16, 0xEE);
    const Bytes stream = {0x85, 0x07, 0x00};
    RleDecodeRect(stream.data(), out.data(), 4, 10);
    EXPECT_EQ(out, (Bytes{7, 7, 7, 7, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 7, 7, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(RleBounded, RefusesStreamsThatBreakTheirBounds) {
    struct Case {
        const char* name;
        Bytes stream;
        std::size_t destinationSize;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"empty source", {}, 10, false},
        {"no end byte", {0x81, 1}, 10, false},
        {"literal cut short", {0x05, 1, 2, 0x00}, 10, false},
        {"repeat without its byte", {0x90}, 100, false},
        {"decodes past the destination", {0x85, 1, 0x00}, 5, false},
        {"exactly fills the destination", {0x85, 1, 0x00}, 6, true},
        {"shorter than the destination", {0x81, 1, 0x00}, 6, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(c.destinationSize + 1, 0xEE);
        std::size_t decoded = 0;
        EXPECT_EQ(RleDecodeBounded(c.stream.data(), c.stream.size(), out.data(), c.destinationSize, &decoded),
                  c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(out, Bytes(c.destinationSize + 1, 0xEE)) << "written although refused";
        }
        EXPECT_EQ(out.back(), 0xEE);
    }
}

}  // namespace
