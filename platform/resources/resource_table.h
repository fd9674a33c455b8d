// The table of resources compiled into the executable. Each generated resource file (made by
// cmake/embed_resources.cmake) registers its entries from a static initialiser; the lookups in
// resources.cpp and LoadIconA/LoadImageA read them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

struct EmbeddedResource {
    const char* name;     // upper case, or "#n" for resource number n
    std::uintptr_t type;  // RT_BITMAP (2), RT_GROUP_ICON (14), ...
    const std::uint8_t* data;
    std::size_t size;
};

// Called by generated code before main; the entries must stay alive for the whole run.
bool RegisterEmbeddedResources(const EmbeddedResource* entries, std::size_t count);

// The resource of that type and name, or null (the name as FindResourceA takes it).
const EmbeddedResource* FindEmbeddedResource(const char* name, std::uintptr_t type);

}  // namespace platform
