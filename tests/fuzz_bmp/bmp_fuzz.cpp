// libFuzzer target for the BMP reader: the bytes as a .bmp file, as a bitmap resource and as an
// icon image; whatever is accepted is read pixel by pixel and resampled. See run.sh.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bmp/bmp_reader.h"

namespace {

volatile std::uint32_t sink;

void Use(const platform::bmp::Dib& dib) {
    std::uint32_t sum = 0;
    for (int y = 0; y < dib.height; ++y)
        for (int x = 0; x < dib.width; ++x) sum += dib.ColourAt(x, y);
    platform::bmp::Dib small = platform::bmp::Scaled(dib, 3, 2);
    sink = sum + small.ColourAt(2, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::bmp::Dib dib;
    std::vector<std::uint8_t> mask;
    std::string error;
    if (platform::bmp::ReadFile(data, size, &dib, &error)) Use(dib);
    if (platform::bmp::ReadPacked(data, size, &dib, &error)) Use(dib);
    if (platform::bmp::ReadIconImage(data, size, &dib, &mask, &error)) Use(dib);
    return 0;
}
