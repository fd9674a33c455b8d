// The CD audio tests' fixture (see cd_fixture.h).
#include "tests/support/cd_fixture.h"

#include <sndfile.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "cdaudio/cd_player.h"
#include "platform/harness/harness.h"
#include "platform/mmsystem.h"
#include "platform/trace.h"

namespace cdtest {

std::vector<std::int16_t> Pattern(int frames, int seed) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        out[i * 2] = static_cast<std::int16_t>(1000 + (i * 37 + seed * 101) % 15000);
        out[i * 2 + 1] = static_cast<std::int16_t>(-1000 - (i * 53 + seed * 7) % 15000);
    }
    return out;
}

void WriteTrack(const std::string& path, int format, const std::vector<std::int16_t>& interleaved, int rate,
                int channels) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    sf_writef_short(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
    sf_close(file);
}

std::vector<std::int16_t> DecodeAsPlayer(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<std::int16_t> out;
    if (!file) return out;
    std::vector<float> samples(static_cast<std::size_t>(info.frames) * info.channels);
    sf_count_t got = sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    samples.resize(static_cast<std::size_t>(got) * info.channels);
    for (float f : samples) {
        float v = f * 32768.0f;
        out.push_back(v >= 32767.0f    ? 32767
                      : v <= -32768.0f ? -32768
                                       : static_cast<std::int16_t>(std::lrintf(v)));
    }
    return out;
}

std::int16_t Gain(std::int16_t sample, std::uint16_t level) {
    return static_cast<std::int16_t>(std::lround(static_cast<double>(sample) * level / 65535.0));
}

namespace {

LRESULT RecordNotices(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MCINOTIFY) {
        CdTest::Notices().push_back(Notice{wParam, lParam});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(const char* className, WNDPROC proc) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

std::vector<Notice>& CdTest::Notices() {
    static std::vector<Notice> notices;
    return notices;
}

void CdTest::SetUp() {
    harness::Start();
    ResetCdState();
    Notices().clear();
    char templ[] = "/tmp/vexmoor-cd-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
    // Only what a test writes counts: no setting file of the machine or the user is read.
    SetEnv("XDG_CONFIG_HOME", dir_ + "/xdg");
    SetEnv("XDG_CONFIG_DIRS", dir_ + "/xdg-system");
    UnsetEnv("VEXMOOR_REGISTRY");
    UnsetEnv("VEXMOOR_DRIVES");
    UnsetEnv("VEXMOOR_CD_VOLUME");
    for (char letter = 'A'; letter <= 'Z'; ++letter) UnsetEnv(std::string("VEXMOOR_DRIVE_") + letter);
    SetEnv("SDL_AUDIODRIVER", "dummy");
}

void CdTest::TearDown() {
    // Closes every device (and with it the audio output) before the files go.
    platform::RunResetHooks();
    harness::Stop();
    ResetCdState();
    for (auto& [name, value] : savedEnv_) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    savedEnv_.clear();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void CdTest::WriteFile(const std::string& name, const std::string& text) const {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary) << text;
}

void CdTest::SetEnv(const std::string& name, const std::string& value) {
    if (!savedEnv_.count(name)) {
        const char* old = std::getenv(name.c_str());
        savedEnv_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    setenv(name.c_str(), value.c_str(), 1);
}

void CdTest::UnsetEnv(const std::string& name) {
    if (!savedEnv_.count(name)) {
        const char* old = std::getenv(name.c_str());
        savedEnv_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    unsetenv(name.c_str());
}

void CdTest::UseDrive(char letter, const std::string& folder) {
    WriteFile("drives.conf", std::string(1, letter) + ": " + folder + "\n");
    SetEnv("VEXMOOR_DRIVES", Path("drives.conf"));
}

void CdTest::UseDiskAudio() {
    SetEnv("SDL_AUDIODRIVER", "disk");
    SetEnv("SDL_DISKAUDIOFILE", Path("output.raw"));
}

std::vector<std::int16_t> CdTest::DiskAudio() const {
    std::ifstream in(Path("output.raw"), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                               (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return samples;
}

HWND CdTest::ParentWindow() {
    if (!parent_) parent_ = MakeWindow("CdTestParent", DefWindowProcA);
    return parent_;
}

HWND CdTest::NoticeWindow() {
    if (!noticeWindow_) noticeWindow_ = MakeWindow("CdTestNotices", RecordNotices);
    return noticeWindow_;
}

bool CdTest::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LoopLayout FindLoops(const std::vector<std::int16_t>& out, const std::vector<std::int16_t>& track) {
    auto silent = [](const std::vector<std::int16_t>& v, std::size_t frame) {
        return v[frame * 2] == 0 && v[frame * 2 + 1] == 0;
    };
    const std::size_t n = out.size() / 2;
    const std::size_t length = track.size() / 2;
    LoopLayout layout;
    std::size_t lead = 0;  // silent frames the track itself begins with
    while (lead < length && silent(track, lead)) ++lead;
    std::size_t first = 0;
    while (first < n && silent(out, first)) ++first;
    if (first == n || first < lead) {
        ADD_FAILURE() << "no music in the output";
        return layout;
    }
    layout.start = first - lead;
    std::size_t pos = layout.start;
    while (pos < n) {
        std::size_t k = 0;
        while (k < length && pos + k < n && out[(pos + k) * 2] == track[k * 2] &&
               out[(pos + k) * 2 + 1] == track[k * 2 + 1])
            ++k;
        if (k < length) {
            // Cut short: only silence may follow (the play was stopped, or the capture ended).
            for (std::size_t f = pos + k; f < n; ++f) {
                if (!silent(out, f)) {
                    ADD_FAILURE() << "loop " << layout.loops << " differs from the track at frame " << k;
                    break;
                }
            }
            return layout;
        }
        ++layout.loops;
        pos += length;
        std::size_t next = pos;
        while (next < n && silent(out, next)) ++next;
        if (next == n) return layout;
        layout.gaps.push_back(next - pos - lead);
        pos = next - lead;
    }
    return layout;
}

}  // namespace cdtest
