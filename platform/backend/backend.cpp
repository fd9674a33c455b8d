// Chooses the backend once per process: VEXMOOR_BACKEND=headless gives the headless one,
// anything else (or nothing) the SDL2 desktop backend.
#include <cstdlib>
#include <cstring>

#include "platform/backend/backend.h"

namespace platform {
namespace {

std::unique_ptr<Backend>& Slot() {
    static std::unique_ptr<Backend> backend;
    return backend;
}

}  // namespace

Backend& ActiveBackend() {
    std::unique_ptr<Backend>& slot = Slot();
    if (!slot) {
        const char* choice = std::getenv("VEXMOOR_BACKEND");
        if (choice && std::strcmp(choice, "headless") == 0) slot = MakeHeadlessBackend();
        else slot = MakeSdlBackend();
    }
    return *slot;
}

void InstallBackend(std::unique_ptr<Backend> backend) { Slot() = std::move(backend); }

}  // namespace platform
