// Fuzz target: LoadPaletteFile on arbitrary files.
#include <cstdint>

#include "gfx/gfx.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Palette6 palette;
    if (LoadPaletteFile(InputFile(data, size), &palette) && size < sizeof palette) __builtin_trap();
    return 0;
}
