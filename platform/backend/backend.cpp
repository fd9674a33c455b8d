// Chooses the backend once per process: VEXMOOR_BACKEND=headless gives the headless one,
// anything else (or nothing) the SDL2 desktop backend.
#include <cstddef>
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

void CopyPicturePacked(const PictureView& picture, std::vector<std::uint8_t>* out) {
    out->resize(static_cast<std::size_t>(picture.width) * picture.height);
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(out->data() + static_cast<std::size_t>(y) * picture.width,
                    picture.pixels + static_cast<std::ptrdiff_t>(y) * picture.pitch, picture.width);
    }
}

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
