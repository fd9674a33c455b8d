// Fuzz target: any bytes as a CUE sheet (the files it names are looked for in an empty folder).
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/mm/disc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string why;
    platform::mm::ParseCueSheet(std::string(reinterpret_cast<const char*>(data), size), "fuzz.cue",
                                "/nonexistent-fuzz-folder", &why);
    return 0;
}
