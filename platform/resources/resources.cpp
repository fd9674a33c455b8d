// FindResourceA, LoadResource, LockResource and SizeofResource over the table of resources that
// the build compiled into the executable.
#include "platform/resources.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "platform/resources/resource_table.h"
#include "platform/trace.h"
#include "platform/win_user.h"

struct ResourceObject {
    const platform::EmbeddedResource* entry;
};

namespace {

// Registration runs before main, so the table is a function-local static; ResourceObjects live
// in a deque so handles stay valid as more tables register.
std::deque<ResourceObject>& Table() {
    static std::deque<ResourceObject> table;
    return table;
}

bool SameName(const char* stored, const char* wanted) {
    if (IS_INTRESOURCE(wanted)) {
        std::string number = "#" + std::to_string(reinterpret_cast<std::uintptr_t>(wanted));
        return number == stored;
    }
    for (; *stored && *wanted; ++stored, ++wanted) {
        if (std::toupper(static_cast<unsigned char>(*stored)) !=
            std::toupper(static_cast<unsigned char>(*wanted)))
            return false;
    }
    return *stored == *wanted;
}

bool ProgramModule(HMODULE module) {
    return !module || module == GetModuleHandleA(nullptr);
}

std::string NameForTrace(LPCSTR name) {
    if (!name) return "(null)";
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<std::uintptr_t>(name));
    return name;
}

}  // namespace

namespace platform {

bool RegisterEmbeddedResources(const EmbeddedResource* entries, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) Table().push_back(ResourceObject{&entries[i]});
    return true;
}

const EmbeddedResource* FindEmbeddedResource(const char* name, std::uintptr_t type) {
    if (!name) return nullptr;
    for (const ResourceObject& r : Table()) {
        if (r.entry->type == type && SameName(r.entry->name, name)) return r.entry;
    }
    return nullptr;
}

}  // namespace platform

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    platform::Trace("FindResourceA " + NameForTrace(name) + " " + NameForTrace(type));
    HRESULT ignored;
    if (platform::InjectedFailure("FindResourceA", &ignored)) return nullptr;
    if (!ProgramModule(module) || !name || !type || !IS_INTRESOURCE(type)) return nullptr;
    const platform::EmbeddedResource* found =
        platform::FindEmbeddedResource(name, reinterpret_cast<std::uintptr_t>(type));
    if (!found) return nullptr;
    for (ResourceObject& r : Table()) {
        if (r.entry == found) return &r;
    }
    return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    platform::Trace("LoadResource");
    HRESULT ignored;
    if (platform::InjectedFailure("LoadResource", &ignored)) return nullptr;
    if (!ProgramModule(module) || !resource) return nullptr;
    // Resources stay mapped for the whole run, so the handle is the data itself.
    return const_cast<std::uint8_t*>(resource->entry->data);
}

LPVOID LockResource(HGLOBAL data) {
    platform::Trace("LockResource");
    HRESULT ignored;
    if (platform::InjectedFailure("LockResource", &ignored)) return nullptr;
    return data;
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    if (!ProgramModule(module) || !resource) return 0;
    return static_cast<DWORD>(resource->entry->size);
}
