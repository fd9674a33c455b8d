// The MCI cdaudio device and the auxiliary CD-audio line: opening drives, positions and ranges,
// the notice rules, and real playback through SDL's disk audio driver (samples, gain, loop seam).
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/mm/mci_devices.h"
#include "platform/mmsystem.h"
#include "platform/trace.h"
#include "tests/support/cd_fixture.h"

namespace {

using cdtest::Notice;

MCIERROR OpenCd(const char* element, MCIDEVICEID* id, DWORD flags = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT,
                const char* type = "cdaudio") {
    MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = type;
    open.lpstrElementName = element;
    MCIERROR e = mciSendCommandA(0, MCI_OPEN, flags, reinterpret_cast<DWORD_PTR>(&open));
    if (id) *id = open.wDeviceID;
    return e;
}

MCIERROR SetFormat(MCIDEVICEID id, DWORD format, DWORD flags = MCI_SET_TIME_FORMAT, HWND callback = nullptr) {
    MCI_SET_PARMS set{};
    set.dwCallback = reinterpret_cast<DWORD_PTR>(callback);
    set.dwTimeFormat = format;
    return mciSendCommandA(id, MCI_SET, flags, reinterpret_cast<DWORD_PTR>(&set));
}

MCIERROR Play(MCIDEVICEID id, DWORD flags, DWORD from, DWORD to = 0, HWND callback = nullptr) {
    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(callback);
    play.dwFrom = from;
    play.dwTo = to;
    return mciSendCommandA(id, MCI_PLAY, flags, reinterpret_cast<DWORD_PTR>(&play));
}

MCIERROR Send(MCIDEVICEID id, UINT command, DWORD flags = 0, HWND callback = nullptr) {
    MCI_GENERIC_PARMS parms{reinterpret_cast<DWORD_PTR>(callback)};
    return mciSendCommandA(id, command, flags, callback ? reinterpret_cast<DWORD_PTR>(&parms) : 0);
}

class MciTest : public cdtest::CdTest {
  protected:
    // Tracks 2 and 3 of `seconds` each after a data track 1 (not ripped).
    void MakeDisc(double seconds, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16, const char* ext = "wav") {
        const int frames = static_cast<int>(seconds * 44100);
        track2 = Path(std::string("cd/track02.") + ext);
        cdtest::WriteTrack(track2, format, cdtest::Pattern(frames, 2));
        cdtest::WriteTrack(Path(std::string("cd/track03.") + ext), format, cdtest::Pattern(frames, 3));
        UseDrive('D', Path("cd"));
    }
    MCIDEVICEID OpenTmsf() {
        MCIDEVICEID id = 0;
        EXPECT_EQ(OpenCd("D:", &id), 0u);
        EXPECT_EQ(SetFormat(id, MCI_FORMAT_TMSF), 0u);
        return id;
    }
    std::vector<WPARAM> Reasons() const {
        std::vector<WPARAM> out;
        for (const Notice& n : Notices()) out.push_back(n.reason);
        return out;
    }
    std::string track2;
};

TEST_F(MciTest, OpeningFailsCleanlyWithoutADisc) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenCd(nullptr, nullptr, MCI_OPEN_TYPE), MCIERR_CANNOT_LOAD_DRIVER);  // no drive at all
    EXPECT_EQ(OpenCd("D:", nullptr), MCIERR_CANNOT_LOAD_DRIVER);
    WriteFile("empty/readme.txt", "");
    UseDrive('D', Path("empty"));
    struct Case {
        const char* element;
        DWORD flags;
        const char* type;
        MCIERROR result;
    } cases[] = {
        {"D:", MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, "cdaudio", MCIERR_INVALID_FILE},  // a drive without a disc
        {"E:", MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, "cdaudio", MCIERR_INVALID_FILE},  // no such drive
        {"", MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, "cdaudio", MCIERR_INVALID_FILE},
        {"D", MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, "cdaudio", MCIERR_INVALID_FILE},
        {nullptr, MCI_OPEN_TYPE, "cdaudio", MCIERR_CANNOT_LOAD_DRIVER},
        {"D:", MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, "waveaudio", MCIERR_INVALID_DEVICE_NAME},
        {"D:", MCI_OPEN_ELEMENT, "cdaudio", MCIERR_EXTENSION_NOT_FOUND},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OpenCd(c.element, nullptr, c.flags, c.type), c.result)
            << (c.element ? c.element : "(none)");
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, 0), MCIERR_NULL_PARAMETER_BLOCK);
    EXPECT_EQ(Send(1, MCI_PLAY), MCIERR_INVALID_DEVICE_ID);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("drive D: holds no disc"), std::string::npos) << err;
}

TEST_F(MciTest, OpenDrivesAndDefaultDevice) {
    MakeDisc(0.1);
    MCIDEVICEID first = 0, second = 0;
    ASSERT_EQ(OpenCd("d:\\", &first), 0u);
    EXPECT_NE(first, 0u);
    EXPECT_EQ(OpenCd("D:", nullptr), MCIERR_MUST_USE_SHAREABLE);
    EXPECT_EQ(OpenCd(nullptr, nullptr, MCI_OPEN_TYPE), MCIERR_CANNOT_LOAD_DRIVER);  // its only drive is busy
    EXPECT_EQ(Send(first, MCI_CLOSE), 0u);
    EXPECT_EQ(Send(first, MCI_CLOSE), MCIERR_INVALID_DEVICE_ID);
    ASSERT_EQ(OpenCd(nullptr, &second, MCI_OPEN_TYPE),
              0u);  // the default device: the first drive with a disc
    EXPECT_NE(second, first);
    EXPECT_EQ(Send(second, MCI_CLOSE), 0u);
}

TEST_F(MciTest, PositionsAndRangesAreChecked) {
    MakeDisc(0.1);  // 4410 frames: 7.5 sectors per track
    MCIDEVICEID id = OpenTmsf();
    struct Case {
        DWORD flags;
        DWORD from, to;
        MCIERROR result;
    } cases[] = {
        {MCI_FROM | MCI_TO, 1, 2, MCIERR_HARDWARE},    // the data track
        {MCI_FROM | MCI_TO, 2, 4, MCIERR_OUTOFRANGE},  // last track + 1
        {MCI_FROM | MCI_TO, 0, 2, MCIERR_OUTOFRANGE},
        {MCI_FROM | MCI_TO, 3, 2, MCIERR_OUTOFRANGE},                          // backwards
        {MCI_FROM | MCI_TO, MCI_MAKE_TMSF(2, 0, 0, 8), 3, MCIERR_OUTOFRANGE},  // past the track's end
        {MCI_FROM | MCI_TO, 255, 0, MCIERR_OUTOFRANGE},
        {MCI_FROM | MCI_TO, MCI_MAKE_TMSF(2, 0, 0, 7), 3, 0},
        {MCI_FROM | MCI_TO, 2, 3, 0},
        {MCI_FROM, 3, 0, 0},  // to the end of the disc
        {MCI_FROM | 0x100, 2, 0, MCIERR_UNSUPPORTED_FUNCTION},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Play(id, c.flags, c.from, c.to), c.result) << std::hex << c.from << " to " << c.to;
    EXPECT_EQ(mciSendCommandA(id, MCI_PLAY, MCI_FROM, 0), MCIERR_NULL_PARAMETER_BLOCK);

    EXPECT_EQ(SetFormat(id, 99), MCIERR_BAD_TIME_FORMAT);
    EXPECT_EQ(SetFormat(id, 0, 0), MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(Send(id, 0x0899), MCIERR_UNRECOGNIZED_COMMAND);
    ASSERT_EQ(SetFormat(id, MCI_FORMAT_MSF), 0u);  // whole-disc positions count a 2 s lead-in
    EXPECT_EQ(Play(id, MCI_FROM, MCI_MAKE_MSF(0, 1, 74)), MCIERR_OUTOFRANGE);
    EXPECT_EQ(Play(id, MCI_FROM | MCI_TO, MCI_MAKE_MSF(0, 2, 0), MCI_MAKE_MSF(0, 2, 5)), 0u);
    ASSERT_EQ(SetFormat(id, MCI_FORMAT_MILLISECONDS), 0u);
    EXPECT_EQ(Play(id, MCI_FROM | MCI_TO, 0, 100), 0u);
    EXPECT_EQ(Play(id, MCI_FROM | MCI_TO, 0, 300), MCIERR_OUTOFRANGE);
    EXPECT_EQ(Send(id, MCI_STOP), 0u);
}

TEST_F(MciTest, OneNoticePendingAbortedSupersededOrSuccessful) {
    // Longer than the player's read-ahead, so no play can be decoded to its end (and its notice
    // posted) before the next command reaches it, however the threads are scheduled.
    MakeDisc(1.0);
    MCIDEVICEID id = OpenTmsf();
    HWND w = NoticeWindow();
    const LPARAM device = static_cast<LPARAM>(id);

    // A new play aborts the pending notice, even when it asks for one itself.
    ASSERT_EQ(Play(id, MCI_NOTIFY | MCI_FROM | MCI_TO, 2, 3, w), 0u);
    ASSERT_EQ(Play(id, MCI_NOTIFY | MCI_FROM | MCI_TO, 3, 3, w), 0u);  // an empty range ends at once
    // Another command asking for a notice supersedes; a failed command changes nothing.
    ASSERT_EQ(Play(id, MCI_NOTIFY | MCI_FROM | MCI_TO, 2, 3, w), 0u);
    ASSERT_EQ(SetFormat(id, MCI_FORMAT_TMSF, MCI_SET_TIME_FORMAT | MCI_NOTIFY, w), 0u);
    ASSERT_EQ(Play(id, MCI_NOTIFY | MCI_FROM | MCI_TO, 2, 3, w), 0u);
    ASSERT_EQ(Play(id, MCI_NOTIFY | MCI_FROM | MCI_TO, 2, 9, w), MCIERR_OUTOFRANGE);
    ASSERT_TRUE(PumpUntil([&] { return Notices().size() >= 5; }, 3000));
    const std::vector<WPARAM> expected = {MCI_NOTIFY_ABORTED, MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_SUPERSEDED,
                                          MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_SUCCESSFUL};
    EXPECT_EQ(Reasons(), expected);
    for (const Notice& n : Notices()) EXPECT_EQ(n.device, device);

    // A stop or a close aborts; their own notice follows.
    Notices().clear();
    ASSERT_EQ(Play(id, MCI_NOTIFY | MCI_FROM | MCI_TO, 2, 3, w), 0u);
    ASSERT_EQ(Send(id, MCI_STOP, MCI_NOTIFY, w), 0u);
    ASSERT_EQ(Play(id, MCI_NOTIFY | MCI_FROM | MCI_TO, 2, 3, w), 0u);
    ASSERT_EQ(Send(id, MCI_CLOSE), 0u);
    PumpUntil([] { return false; }, 50);
    const std::vector<WPARAM> ends = {MCI_NOTIFY_ABORTED, MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_ABORTED};
    EXPECT_EQ(Reasons(), ends);
}

TEST_F(MciTest, AuxiliaryCdLine) {
    EXPECT_EQ(auxGetNumDevs(), 1u);
    AUXCAPSA caps{};
    ASSERT_EQ(auxGetDevCapsA(0, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.wTechnology, AUXCAPS_CDAUDIO);
    EXPECT_EQ(caps.dwSupport, AUXCAPS_VOLUME | AUXCAPS_LRVOLUME);
    EXPECT_STREQ(caps.szPname, "CD Audio");
    ASSERT_EQ(auxGetDevCapsA(AUX_MAPPER, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.wTechnology, AUXCAPS_CDAUDIO);
    EXPECT_EQ(auxGetDevCapsA(1, &caps, sizeof caps), MMSYSERR_BADDEVICEID);

    DWORD volume = 0;
    ASSERT_EQ(auxGetVolume(0, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0xFFFFFFFFu);  // full at start
    for (DWORD set : {0x30003000u, 0x0000FFFFu, 0x12345678u, 0u}) {
        ASSERT_EQ(auxSetVolume(0, set), MMSYSERR_NOERROR);
        ASSERT_EQ(auxGetVolume(AUX_MAPPER, &volume), MMSYSERR_NOERROR);
        EXPECT_EQ(volume, set);
    }
    EXPECT_EQ(auxSetVolume(1, 0), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(auxGetVolume(0, nullptr), MMSYSERR_INVALPARAM);

    SetEnv("VEXMOOR_CD_VOLUME", "50");
    platform::RunResetHooks();
    ASSERT_EQ(auxGetVolume(0, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0x80008000u);
}

// Plays track 2 again each time its end notice arrives, as the credits do, and checks every
// sample that reached the output: the track at the line's gain, loop after loop, no frame between.
struct LoopCase {
    const char* ext;
    int format;
};

class MciLoopTest : public MciTest, public testing::WithParamInterface<LoopCase> {};

TEST_P(MciLoopTest, SamplesAtTheLineGainLoopWithoutAGap) {
    UseDiskAudio();
    MakeDisc(0.5, GetParam().format, GetParam().ext);
    ASSERT_EQ(auxSetVolume(0, 0x30003000u), MMSYSERR_NOERROR);
    MCIDEVICEID id = OpenTmsf();
    HWND w = NoticeWindow();
    ASSERT_EQ(Play(id, MCI_NOTIFY | MCI_FROM | MCI_TO, 2, 3, w), 0u);
    const int kLoops = 3;
    int restarts = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (std::size_t i = static_cast<std::size_t>(restarts); i < Notices().size(); ++i) {
                EXPECT_EQ(Notices()[i].reason, MCI_NOTIFY_SUCCESSFUL);
                ++restarts;
                if (restarts < kLoops) {
                    EXPECT_EQ(Play(id, MCI_NOTIFY | MCI_FROM | MCI_TO, 2, 3, w), 0u);
                }
            }
            return restarts >= kLoops;
        },
        10000));
    PumpUntil([] { return false; }, 600);  // the last loop is heard to its end
    platform::mm::PlaybackStats stats;
    ASSERT_TRUE(platform::mm::DevicePlaybackStats(id, &stats));
    ASSERT_EQ(Send(id, MCI_CLOSE), 0u);

    std::vector<std::int16_t> expected = cdtest::DecodeAsPlayer(track2);
    ASSERT_EQ(expected.size(), 22050u * 2);
    for (std::int16_t& s : expected) s = cdtest::Gain(s, 0x3000);
    cdtest::LoopLayout layout = cdtest::FindLoops(DiskAudio(), expected);
    EXPECT_EQ(layout.loops, kLoops);
    ASSERT_EQ(layout.gaps.size(), static_cast<std::size_t>(kLoops - 1));
    for (std::size_t gap : layout.gaps) EXPECT_EQ(gap, 0u) << "silent frames at a loop seam";
    EXPECT_EQ(stats.underrunFrames, 0u);
    EXPECT_EQ(stats.successNotices, kLoops);
    EXPECT_GT(stats.noticeLeadMs, 100.0);
    std::printf(
        "[ measured ] %s: seams %zu and %zu silent frames; notice %.0f ms (%lld frames) before the end; "
        "decoding %.3f ms of CPU per second of music\n",
        GetParam().ext, layout.gaps[0], layout.gaps[1], stats.noticeLeadMs,
        static_cast<long long>(stats.noticeLeadFrames),
        stats.decodeCpuNs / 1e6 / (static_cast<double>(stats.framesDecoded) / 44100.0));
}

INSTANTIATE_TEST_SUITE_P(Formats, MciLoopTest,
                         testing::Values(LoopCase{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                         LoopCase{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                                         LoopCase{"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS}),
                         [](const testing::TestParamInfo<LoopCase>& info) {
                             return std::string(info.param.ext);
                         });

// Sources that are not 44,100 Hz stereo go through a converter; they must still loop with no
// silence between the repeats and keep their length.
TEST_F(MciTest, ConvertedSourcesLoopWithoutSilence) {
    struct Case {
        const char* name;
        int format;
        int rate;
        int channels;
    } cases[] = {
        {"track02.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 2},
        {"track02.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1},
    };
    UseDiskAudio();
    for (const Case& c : cases) {
        std::vector<std::int16_t> tone(static_cast<std::size_t>(c.rate / 2) * c.channels);
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] =
                static_cast<std::int16_t>(8000 * std::sin(0.05 * static_cast<double>(i / c.channels) + 1.0) +
                                          (i % c.channels ? 9000 : -9000));
        std::filesystem::remove_all(Path("cd"));
        cdtest::WriteTrack(Path(std::string("cd/") + c.name), c.format, tone, c.rate, c.channels);
        UseDrive('D', Path("cd"));
        MCIDEVICEID id = OpenTmsf();
        HWND w = NoticeWindow();
        Notices().clear();
        ASSERT_EQ(Play(id, MCI_NOTIFY | MCI_FROM, 2, 0, w), 0u);
        ASSERT_TRUE(PumpUntil([&] { return !Notices().empty(); }, 3000));
        ASSERT_EQ(Play(id, MCI_NOTIFY | MCI_FROM, 2, 0, w), 0u);
        ASSERT_TRUE(PumpUntil([&] { return Notices().size() == 2; }, 3000));
        PumpUntil([] { return false; }, 600);
        ASSERT_EQ(Send(id, MCI_CLOSE), 0u);

        std::vector<std::int16_t> out = DiskAudio();
        std::size_t frames = out.size() / 2, first = 0, last = frames;
        auto silent = [&](std::size_t f) { return out[f * 2] == 0 && out[f * 2 + 1] == 0; };
        while (first < frames && silent(first)) ++first;
        while (last > first && silent(last - 1)) --last;
        std::size_t longestSilence = 0, run = 0;
        for (std::size_t f = first; f < last; ++f) {
            run = silent(f) ? run + 1 : 0;
            longestSilence = std::max(longestSilence, run);
        }
        EXPECT_NEAR(static_cast<double>(last - first), 44100.0, 44100 * 0.005) << c.name;
        EXPECT_LE(longestSilence, 1u) << c.name;
        std::printf("[ measured ] %s at %d Hz: %zu frames for two loops, longest silence %zu frames\n",
                    c.name, c.rate, last - first, longestSilence);
    }
}

TEST_F(MciTest, BinImageTrackPlaysItsExactSamplesFromAPosition) {
    UseDiskAudio();
    // Data track 1 (10 sectors), audio track 2 (sectors 10..30), audio track 3 (30..40).
    std::vector<std::int16_t> audio = cdtest::Pattern(30 * 588, 5);
    std::string bin(10 * 2352, static_cast<char>(0x55));
    bin.append(reinterpret_cast<const char*>(audio.data()), audio.size() * 2);
    WriteFile("img/disc.bin", bin);
    WriteFile("img/disc.cue",
              "FILE \"disc.bin\" BINARY\n TRACK 01 MODE1/2352\n  INDEX 01 00:00:00\n"
              " TRACK 02 AUDIO\n  INDEX 01 00:00:10\n TRACK 03 AUDIO\n  INDEX 01 00:00:30\n");
    UseDrive('D', Path("img/disc.cue"));
    MCIDEVICEID id = OpenTmsf();
    auto start = std::chrono::steady_clock::now();
    // From 5 sectors into track 2 up to track 3, waiting until it has been heard.
    ASSERT_EQ(Play(id, MCI_WAIT | MCI_FROM | MCI_TO, MCI_MAKE_TMSF(2, 0, 0, 5), 3), 0u);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(Send(id, MCI_CLOSE), 0u);
    EXPECT_GT(seconds, 15 * 588 / 44100.0 * 0.9);

    std::vector<std::int16_t> expected(audio.begin() + 5 * 588 * 2, audio.begin() + 20 * 588 * 2);
    cdtest::LoopLayout layout = cdtest::FindLoops(DiskAudio(), expected);
    EXPECT_EQ(layout.loops, 1);
}

TEST_F(MciTest, WithoutAnAudioDeviceMusicPlaysSilentlyInRealTime) {
    SetEnv("SDL_AUDIODRIVER", "no-such-driver");
    MakeDisc(0.5);
    testing::internal::CaptureStderr();
    MCIDEVICEID id = OpenTmsf();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("no audio output"), std::string::npos) << err;
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Play(id, MCI_WAIT | MCI_NOTIFY | MCI_FROM | MCI_TO, 2, 3, NoticeWindow()), 0u);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(seconds, 0.45);
    EXPECT_LT(seconds, 2.0);
    PumpUntil([&] { return !Notices().empty(); }, 1000);
    ASSERT_EQ(Notices().size(), 1u);
    EXPECT_EQ(Notices()[0].reason, MCI_NOTIFY_SUCCESSFUL);
}

}  // namespace
