// Fuzz target: the bounded decoder on arbitrary streams. A stream it accepts must also decode the
// same way through the trusted decoders into buffers of exactly the measured size.
#include <cstdint>
#include <cstring>
#include <vector>

#include "gfx/gfx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A heap copy of exactly the input, so a read past the stream shows.
    const std::vector<std::uint8_t> stream(data, data + size);
    std::vector<std::uint8_t> bounded(1024);
    std::size_t decoded = 0;
    if (!RleDecodeBounded(stream.data(), stream.size(), bounded.data(), bounded.size(), &decoded)) return 0;

    std::size_t measured = 0;
    if (!RleMeasure(stream.data(), stream.size(), &measured) || measured != decoded) __builtin_trap();
    std::vector<std::uint8_t> flat(decoded);
    RleDecode(stream.data(), flat.data());
    if (decoded && std::memcmp(flat.data(), bounded.data(), decoded) != 0) __builtin_trap();

    // Rows of a width taken from the stream's length, three bytes of gap between them.
    const std::int32_t width = static_cast<std::int32_t>(size % 37) + 1;
    const std::int32_t pitch = width + 3;
    const std::size_t rows = (decoded + width - 1) / width;
    std::vector<std::uint8_t> rect(rows * pitch);
    const std::int32_t column = RleDecodeRect(stream.data(), rect.data(), width, pitch);
    if (column != static_cast<std::int32_t>(decoded % width)) __builtin_trap();
    for (std::size_t k = 0; k < decoded; ++k) {
        if (rect[(k / width) * pitch + k % width] != flat[k]) __builtin_trap();
    }
    return 0;
}
