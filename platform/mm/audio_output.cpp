// The SDL2 audio device behind CD playback, and the silent stand-in used when there is none (no
// sound server or card): a thread that pulls at the device's pace, so the music "plays" unheard.
#include "platform/mm/audio_output.h"

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/settings/settings.h"

namespace platform::mm {
namespace {

constexpr int kRate = 44100;

class SdlOutput final : public AudioOutput {
  public:
    explicit SdlOutput(Pull pull) : pull_(std::move(pull)) {}
    ~SdlOutput() override {
        if (device_ != 0) SDL_CloseAudioDevice(device_);
        if (initialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    // Opens and starts the default device; SDL converts to whatever the device really takes.
    bool Start(std::string* problem) {
        initialised_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (initialised_) {
            SDL_AudioSpec want{};
            want.freq = kRate;
            want.format = AUDIO_S16SYS;
            want.channels = 2;
            want.samples = kPeriodFrames;
            want.callback = &SdlOutput::Callback;
            want.userdata = this;
            SDL_AudioSpec have{};
            device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        }
        if (device_ == 0) {
            *problem = SDL_GetError();
            return false;
        }
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

  private:
    static void Callback(void* self, Uint8* stream, int bytes) {
        static_cast<SdlOutput*>(self)->pull_(reinterpret_cast<std::int16_t*>(stream), bytes / 4);
    }

    Pull pull_;
    bool initialised_ = false;
    SDL_AudioDeviceID device_ = 0;
};

class SilentOutput final : public AudioOutput {
  public:
    explicit SilentOutput(Pull pull) : pull_(std::move(pull)), thread_([this] { Run(); }) {}
    ~SilentOutput() override {
        stop_ = true;
        thread_.join();
    }

  private:
    void Run() {
        std::int16_t buffer[kPeriodFrames * 2];
        auto period = std::chrono::microseconds(1000000LL * kPeriodFrames / kRate);
        auto next = std::chrono::steady_clock::now();
        while (!stop_) {
            pull_(buffer, kPeriodFrames);
            next += period;
            std::this_thread::sleep_until(next);
        }
    }

    Pull pull_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<AudioOutput> AudioOutput::Open(Pull pull) {
    auto sdl = std::make_unique<SdlOutput>(pull);
    std::string problem;
    if (sdl->Start(&problem)) return sdl;
    sdl.reset();
    SettingsWarning("no audio output (" + problem + "); the CD music plays silently");
    return std::make_unique<SilentOutput>(std::move(pull));
}

}  // namespace platform::mm
