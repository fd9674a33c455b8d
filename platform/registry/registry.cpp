// The read-only registry behind platform/registry.h. The registry file (text export format,
// "Windows Registry Editor Version 5.00" or "REGEDIT4") is read once, on the first call that
// needs it; a missing file is an empty registry, a malformed one is reported once and read as empty.
#include "platform/registry.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/reg_file.h"
#include "platform/settings/settings.h"
#include "platform/trace.h"

struct RegistryKeyObject {
    std::string path;  // folded full path, e.g. "HKEY_LOCAL_MACHINE\SOFTWARE\..."
};

namespace {

struct RegistryState {
    bool loaded = false;
    platform::RegistryData data;
    std::set<HKEY> openKeys;
};

RegistryState& State() {
    static RegistryState state;
    static bool hooked = [] {
        platform::RegisterResetHook("registry", [] {
            for (HKEY key : state.openKeys) delete key;
            state = RegistryState{};
        });
        return true;
    }();
    (void)hooked;
    return state;
}

const platform::RegistryData& Data() {
    RegistryState& s = State();
    if (s.loaded) return s.data;
    s.loaded = true;
    auto file = platform::FindSettingsFile("VEXMOOR_REGISTRY", "vexmoor.reg");
    if (!file) return s.data;
    std::ifstream in(file->path, std::ios::binary);
    if (!in) {
        if (file->fromEnvironment)
            platform::SettingsWarning("registry file " + file->path +
                                      " (from VEXMOOR_REGISTRY) cannot be read");
        return s.data;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string error;
    if (!platform::ParseRegistryFile(bytes.str(), &s.data, &error)) {
        platform::SettingsWarning("registry file " + file->path + ": " + error + "; reading it as empty");
        s.data = platform::RegistryData{};
    }
    return s.data;
}

const char* RootName(HKEY key) {
    switch (reinterpret_cast<std::uintptr_t>(key)) {
        case 0x80000000u:
            return "HKEY_CLASSES_ROOT";
        case 0x80000001u:
            return "HKEY_CURRENT_USER";
        case 0x80000002u:
            return "HKEY_LOCAL_MACHINE";
        case 0x80000003u:
            return "HKEY_USERS";
        default:
            return nullptr;
    }
}

// The folded path of an open or predefined key; false for a handle that is neither.
bool KeyPath(HKEY key, std::string* path) {
    if (const char* root = RootName(key)) {
        *path = root;
        return true;
    }
    RegistryState& s = State();
    if (s.openKeys.count(key) == 0) return false;
    *path = key->path;
    return true;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, REGSAM access, PHKEY result) {
    platform::Trace(std::string("RegOpenKeyExA ") + (RootName(key) ? RootName(key) : "key") + " " +
                    (subKey ? subKey : ""));
    HRESULT injected = 0;
    if (platform::InjectedFailure("RegOpenKeyExA", &injected)) return injected;
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string path;
    if (!KeyPath(key, &path)) return ERROR_INVALID_HANDLE;
    // Nothing here can be written, so asking for any right to change the registry is refused.
    constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK |
                                    0x00010000u /*DELETE*/ | 0x00040000u /*WRITE_DAC*/ |
                                    0x00080000u /*WRITE_OWNER*/;
    if (access & kWriteRights) return ERROR_ACCESS_DENIED;

    std::string full = platform::JoinKeyPath(path, subKey ? subKey : "");
    if (!Data().HasKey(full)) return ERROR_FILE_NOT_FOUND;
    HKEY opened = new RegistryKeyObject{full};
    State().openKeys.insert(opened);
    *result = opened;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    platform::Trace(std::string("RegQueryValueExA ") + (valueName ? valueName : ""));
    HRESULT injected = 0;
    if (platform::InjectedFailure("RegQueryValueExA", &injected)) return injected;
    if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
    std::string path;
    if (!KeyPath(key, &path)) return ERROR_INVALID_HANDLE;
    const platform::RegistryValue* value = Data().FindValue(path, valueName ? valueName : "");
    if (!value) return ERROR_FILE_NOT_FOUND;

    if (type) *type = value->type;
    const DWORD needed = static_cast<DWORD>(value->bytes.size());
    if (!dataSize) return ERROR_SUCCESS;
    if (!data) {
        *dataSize = needed;
        return ERROR_SUCCESS;
    }
    if (*dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(data, value->bytes.data(), needed);
    *dataSize = needed;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (RootName(key)) return ERROR_SUCCESS;
    RegistryState& s = State();
    if (s.openKeys.erase(key) == 0) return ERROR_INVALID_HANDLE;
    delete key;
    return ERROR_SUCCESS;
}
