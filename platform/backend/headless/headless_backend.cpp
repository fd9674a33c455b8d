// The headless backend: time moves only when the program waits, input arrives at the virtual
// times the harness scheduled, and presented pictures are kept for inspection.
#include "platform/backend/headless/headless_backend.h"

#include <poll.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace platform {

HeadlessBackend::HeadlessBackend(const Settings& settings) : settings_(settings), now_(settings.startMs) {}

void HeadlessBackend::DesktopSize(int* width, int* height) {
    *width = settings_.desktopWidth;
    *height = settings_.desktopHeight;
}

bool HeadlessBackend::OpenScreen(const std::string& title, int, int) {
    screenOpen = true;
    screenTitle = title;
    return true;
}

void HeadlessBackend::CloseScreen() { screenOpen = false; }

void HeadlessBackend::SetScreenIcon(const std::uint32_t* argb, int width, int height) {
    iconWidth = width;
    iconHeight = height;
    icon.assign(argb, argb + static_cast<std::size_t>(width) * height);
}

void HeadlessBackend::SetDisplayMode(int width, int height) {
    modeWidth = width;
    modeHeight = height;
}

void HeadlessBackend::Present(const PictureView& picture) {
    pictureWidth = picture.width;
    pictureHeight = picture.height;
    CopyPicturePacked(picture, &indices);
    std::memcpy(colours, picture.palette, sizeof colours);
    ++presents;
    presentTimes.push_back(now_);
    auto range = presentActions_.equal_range(presents);
    std::vector<std::function<void()>> due;
    for (auto it = range.first; it != range.second; ++it) due.push_back(it->second);
    presentActions_.erase(range.first, range.second);
    for (auto& action : due) action();
    if (everyPresent) everyPresent();
}

void HeadlessBackend::WaitVerticalBlank() {
    ++verticalBlanks;
    double period = settings_.refreshMs;
    double next = (std::floor(static_cast<double>(now_) / period) + 1.0) * period;
    MoveClockTo(static_cast<std::uint64_t>(std::ceil(next)));
}

std::uint64_t HeadlessBackend::NextScheduled() const {
    std::uint64_t next = std::numeric_limits<std::uint64_t>::max();
    if (!events_.empty()) next = std::min(next, events_.begin()->first);
    if (!actions_.empty()) next = std::min(next, actions_.begin()->first);
    return next;
}

void HeadlessBackend::MoveClockTo(std::uint64_t ms) {
    // Deliver everything scheduled up to the new time, in time order.
    for (;;) {
        std::uint64_t next = NextScheduled();
        if (next > ms) break;
        if (next > now_) now_ = next;
        auto e = events_.find(next);
        if (e != events_.end() && e->first == next) {
            ready_.push_back(e->second);
            events_.erase(e);
            continue;
        }
        auto a = actions_.find(next);
        if (a != actions_.end()) {
            auto action = a->second;
            actions_.erase(a);
            action();
        }
    }
    if (ms > now_) now_ = ms;
}

void HeadlessBackend::WaitForEvents(std::uint64_t deadlineMs, int wakeFd) {
    if (!ready_.empty()) return;
    if (wakeFd >= 0) {
        pollfd p{wakeFd, POLLIN, 0};
        if (poll(&p, 1, 0) > 0) return;
    }
    std::uint64_t target = deadlineMs;
    std::uint64_t next = NextScheduled();
    if (next < target) target = next;
    if (target == std::numeric_limits<std::uint64_t>::max()) {
        // Nothing will ever happen: end the program the orderly way rather than hang, and stop
        // outright if it still waits after that.
        if (gaveUp) {
            std::fprintf(stderr, "headless: the program waits for input that will never come\n");
            std::abort();
        }
        std::fprintf(stderr, "headless: nothing scheduled; sending a close request\n");
        gaveUp = true;
        ready_.push_back(DesktopEvent{DesktopEvent::Kind::CloseRequest});
        return;
    }
    if (target > settings_.startMs + settings_.giveUpAfterMs && !gaveUp) {
        gaveUp = true;
        ready_.push_back(DesktopEvent{DesktopEvent::Kind::CloseRequest});
        return;
    }
    MoveClockTo(std::max(target, now_));
}

void HeadlessBackend::TakeEvents(std::vector<DesktopEvent>* out) {
    out->insert(out->end(), ready_.begin(), ready_.end());
    ready_.clear();
}

void HeadlessBackend::ShowMessageBox(const std::string& title, const std::string& text, bool error) {
    boxes.push_back(Box{title, text, error});
}

std::unique_ptr<Backend> MakeHeadlessBackend() {
    return std::make_unique<HeadlessBackend>(HeadlessBackend::Settings{});
}

}  // namespace platform
