// Fuzz target: both image-set loaders on arbitrary files. Every pixel of a loaded set is read, so
// a block smaller than its entry claims shows.
#include <cstdint>
#include <vector>

#include "gfx/gfx.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* name = InputFile(data, size);
    if (ImageSetEntry* set = LoadImageSet(name)) {
        volatile std::uint8_t sink = 0;
        for (const ImageSetEntry* entry = set; entry->pixels; ++entry) {
            const std::size_t pixels = std::size_t{entry->width} * entry->height;
            for (std::size_t i = 0; i < pixels; ++i) sink = sink + entry->pixels[i];
        }
        FreeImageSet(set);
    }
    std::vector<std::uint8_t> pixels(4096);
    std::vector<std::uint8_t> packed(size / 2);
    LoadImageSetInto(name, pixels.data(), packed.data(), pixels.size(), packed.size());
    return 0;
}
