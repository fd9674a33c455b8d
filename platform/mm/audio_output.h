// Where CD playback is heard: an SDL2 audio device at 44,100 Hz, 16-bit stereo, that pulls frames
// from the player on SDL's audio thread; or, when no audio device can be opened, a silent output
// that pulls at the same pace so playback, notices and looping go on unheard.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform::mm {

class AudioOutput {
  public:
    // Fills `frames` interleaved stereo frames; runs on the output's own thread.
    using Pull = std::function<void(std::int16_t* out, int frames)>;

    // Frames the output takes at a time: how far ahead of the ear a handed-over frame can be.
    static constexpr int kPeriodFrames = 1024;

    virtual ~AudioOutput() = default;

    // Starts pulling at once. Never fails: without a device the output is silent.
    static std::unique_ptr<AudioOutput> Open(Pull pull);
};

}  // namespace platform::mm
