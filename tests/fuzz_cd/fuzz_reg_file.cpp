// Fuzz target: any bytes as a registry export file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/registry/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::RegistryData out;
    std::string error;
    platform::ParseRegistryFile(std::string(reinterpret_cast<const char*>(data), size), &out, &error);
    return 0;
}
