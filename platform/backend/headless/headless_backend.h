// The headless backend: no window, a virtual clock, scheduled input, and a record of every
// picture presented. The test harness drives it; VEXMOOR_BACKEND=headless runs the program on it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/backend/backend.h"

namespace platform {

class HeadlessBackend final : public Backend {
public:
    struct Settings {
        int desktopWidth = 1024;
        int desktopHeight = 768;
        int pitchPadding = 64;
        double refreshMs = 1000.0 / 60.0;
        std::uint64_t startMs = 0;
        // Virtual time after which a close request is sent, so a waiting program cannot hang a test.
        std::uint64_t giveUpAfterMs = 30ull * 60 * 1000;
    };

    explicit HeadlessBackend(const Settings& settings);

    const char* Name() const override { return "headless"; }
    void DesktopSize(int* width, int* height) override;
    bool OpenScreen(const std::string& title, int width, int height) override;
    void CloseScreen() override;
    void SetScreenIcon(const std::uint32_t* argb, int width, int height) override;
    void SetDisplayMode(int width, int height) override;
    void SetCursorVisible(bool visible) override { cursorVisible = visible; }
    int SurfacePitchPadding() override { return settings_.pitchPadding; }
    void Present(const PictureView& picture) override;
    void WaitVerticalBlank() override;
    std::uint64_t Milliseconds() override { return now_; }
    void WaitForEvents(std::uint64_t deadlineMs, int wakeFd) override;
    void TakeEvents(std::vector<DesktopEvent>* out) override;
    void ShowMessageBox(const std::string& title, const std::string& text, bool error) override;

    // Harness side.
    void Advance(std::uint64_t ms) { MoveClockTo(now_ + ms); }
    void Schedule(std::uint64_t atMs, const DesktopEvent& event) { events_.emplace(atMs, event); }
    void ScheduleAction(std::uint64_t atMs, std::function<void()> action) { actions_.emplace(atMs, action); }
    void AfterPresent(int n, std::function<void()> action) { presentActions_.emplace(n, action); }

    struct Box {
        std::string title, text;
        bool error;
    };
    std::vector<Box> boxes;
    int presents = 0;
    std::vector<std::uint64_t> presentTimes;
    std::function<void()> everyPresent;
    int verticalBlanks = 0;
    bool cursorVisible = true;
    bool screenOpen = false;
    bool gaveUp = false;
    std::string screenTitle;
    int iconWidth = 0, iconHeight = 0;
    std::vector<std::uint32_t> icon;
    int modeWidth = 0, modeHeight = 0;
    int pictureWidth = 0, pictureHeight = 0;
    std::vector<std::uint8_t> indices;
    std::uint32_t colours[256] = {};

private:
    void MoveClockTo(std::uint64_t ms);
    std::uint64_t NextScheduled() const;

    Settings settings_;
    std::uint64_t now_;
    std::multimap<std::uint64_t, DesktopEvent> events_;
    std::multimap<std::uint64_t, std::function<void()>> actions_;
    std::multimap<int, std::function<void()>> presentActions_;
    std::vector<DesktopEvent> ready_;
};

}  // namespace platform
