// Fuzz target: LoadCffImage on arbitrary files, into a small exactly sized buffer and into the
// credits roll's 640 × 480 background with the default size.
#include <cstdint>
#include <vector>

#include "gfx/gfx.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* name = InputFile(data, size);
    Palette6 palette;
    std::vector<std::uint8_t> small(size % 2048);
    LoadCffImage(name, &palette, small.data(), small.size());
    std::vector<std::uint8_t> background(kCffPictureSize);
    LoadCffImage(name, nullptr, background.data());
    return 0;
}
