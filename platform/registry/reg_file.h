// Reading the registry's text export format into keys and values: what platform/registry/registry.cpp
// serves RegOpenKeyExA and RegQueryValueExA from. Kept apart so the tests and the fuzzer reach it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform {

struct RegistryValue {
    DWORD type = 0;
    // The data as RegQueryValueExA hands it out: strings in the 8-bit character set, NUL included.
    std::vector<BYTE> bytes;
};

struct RegistryData {
    // Folded full key path ("HKEY_LOCAL_MACHINE\SOFTWARE\…", ASCII letters upper-cased) → folded value
    // name ("" for the default value) → value.
    std::map<std::string, std::map<std::string, RegistryValue>> keys;

    // A key exists when it is named in the file or lies on the way to one that is.
    bool HasKey(const std::string& foldedPath) const;
    const RegistryValue* FindValue(const std::string& foldedPath, const std::string& name) const;
};

// Appends the components of `subKey` (separated by backslashes) to a folded key path.
std::string JoinKeyPath(const std::string& foldedBase, const std::string& subKey);

// False, with a message naming the line, for text that is not a registry export.
bool ParseRegistryFile(const std::string& bytes, RegistryData* out, std::string* error);

}  // namespace platform
