// CD audio costs: decoding a track as the player's decoding thread does (FLAC, Ogg Vorbis, Opus,
// per second of music), and what an MCI_PLAY costs the program's own thread, which is all the
// music ever takes from the frame loop.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/mm/disc.h"
#include "platform/mm/disc_reader.h"
#include "platform/mmsystem.h"

namespace {

constexpr int kSeconds = 10;

// Ten seconds of a chord with some movement, written once per format as track 2 of a disc of its own.
std::string Track(const char* ext, int format, int rate) {
    struct Scratch {
        std::string path;
        Scratch() {
            char templ[] = "/tmp/vexmoor-bench-XXXXXX";
            path = mkdtemp(templ);
        }
        ~Scratch() { std::filesystem::remove_all(path); }
    };
    static Scratch scratch;
    const std::string& dir = scratch.path;
    // One folder, so one disc, per format.
    std::filesystem::create_directories(dir + "/" + ext);
    std::string path = dir + "/" + ext + "/track02." + ext;
    if (std::filesystem::exists(path)) return path;
    std::vector<short> pcm(static_cast<std::size_t>(rate) * kSeconds * 2);
    for (std::size_t i = 0; i < pcm.size() / 2; ++i) {
        double t = static_cast<double>(i) / rate;
        double v = 0;
        for (double f : {220.0, 277.2, 329.6, 440.0})
            v += std::sin(6.283185307 * f * t * (1 + 0.001 * std::sin(t)));
        pcm[2 * i] = static_cast<short>(6000 * v);
        pcm[2 * i + 1] = static_cast<short>(6000 * v * std::cos(t));
    }
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    sf_writef_short(file, pcm.data(), static_cast<sf_count_t>(pcm.size() / 2));
    sf_close(file);
    return path;
}

void DecodeTrack(benchmark::State& state, const char* ext, int format, int rate) {
    std::string path = Track(ext, format, rate);
    std::string why;
    auto disc = platform::mm::LoadDisc(std::filesystem::path(path).parent_path().string(), &why);
    if (!disc) {
        state.SkipWithError(why.c_str());
        return;
    }
    const platform::mm::DiscTrack* track = &disc->tracks[1];
    std::vector<std::int16_t> chunk(1024 * 2);
    std::int64_t frames = 0;
    for (auto _ : state) {
        platform::mm::DiscReader reader(*disc);
        std::int64_t pos = track->start;
        const std::int64_t stop = track->start + track->frames;
        for (;;) {
            auto r = reader.Read(pos, stop, chunk.data(), 1024);
            frames += r.frames;
            pos = r.next;
            if (r.done) break;
        }
        benchmark::DoNotOptimize(chunk.data());
    }
    state.SetItemsProcessed(frames);
    // Seconds of music decoded per second: one core's share the decoding thread needs is 1 / this.
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(frames) / 44100.0, benchmark::Counter::kIsRate);
}

void BM_DecodeFlac(benchmark::State& state) {
    DecodeTrack(state, "flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100);
}
void BM_DecodeVorbis(benchmark::State& state) {
    DecodeTrack(state, "ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100);
}
void BM_DecodeOpus(benchmark::State& state) {
    DecodeTrack(state, "opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000);
}
BENCHMARK(BM_DecodeFlac)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeVorbis)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOpus)->Unit(benchmark::kMillisecond);

// One MCI_PLAY of a track on an open device: the work the program's thread does per loop.
void BM_PlayCommand(benchmark::State& state) {
    std::string path = Track("flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100);
    setenv("VEXMOOR_DRIVE_D", std::filesystem::path(path).parent_path().c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = "cdaudio";
    open.lpstrElementName = "D:";
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)) !=
        0) {
        state.SkipWithError("no device");
        return;
    }
    MCI_SET_PARMS set{0, MCI_FORMAT_TMSF, 0};
    mciSendCommandA(open.wDeviceID, MCI_SET, MCI_SET_TIME_FORMAT, reinterpret_cast<DWORD_PTR>(&set));
    MCI_PLAY_PARMS play{0, 2, 0};
    for (auto _ : state)
        benchmark::DoNotOptimize(
            mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_FROM, reinterpret_cast<DWORD_PTR>(&play)));
    mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0);
}
BENCHMARK(BM_PlayCommand)->Unit(benchmark::kMicrosecond);

}  // namespace
