// With VEXMOOR_TIMING set, the intervals between flips are kept and summed up on stderr when the
// process ends: how evenly the frames reached the screen.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/ddraw/screenshot.h"

namespace platform {
namespace {

double NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

struct FrameTimes {
    bool on = false;
    std::vector<double> flips;
};

FrameTimes& Times() {
    static FrameTimes times = [] {
        FrameTimes t;
        const char* v = std::getenv("VEXMOOR_TIMING");
        t.on = v && *v && std::strcmp(v, "0") != 0;
        return t;
    }();
    return times;
}

void Report() {
    std::vector<double>& f = Times().flips;
    // The first two flips belong to set-up (the measuring pass and the frame before the fade).
    if (f.size() < 4) return;
    std::vector<double> gaps;
    for (std::size_t i = 3; i < f.size(); ++i) gaps.push_back(f[i] - f[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    auto at = [&](double q) { return gaps[static_cast<std::size_t>(q * (gaps.size() - 1))]; };
    std::size_t onTime = std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > 50.0 && g < 52.5; });
    std::fprintf(stderr,
                 "vexmoor: %zu frame intervals: min %.2f, median %.2f, 99%% %.2f, max %.2f ms; %.1f%% within 50-52.5 ms\n",
                 gaps.size(), gaps.front(), at(0.5), at(0.99), gaps.back(), 100.0 * onTime / gaps.size());
}

}  // namespace

void NoteFlipTime() {
    FrameTimes& t = Times();
    if (!t.on) return;
    if (t.flips.empty()) std::atexit(Report);
    t.flips.push_back(NowMs());
}

}  // namespace platform
