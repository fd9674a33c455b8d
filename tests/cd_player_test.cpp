// The CD audio player and the CD volume control as the credits use them: the CD Path value, the
// order of the calls when opening and closing, the checks of PlayCdTrack, the notices that restart
// the track (and those that do not), the search for the CD-audio mixer device, and the real loop.
#include "cdaudio/cd_player.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "cdaudio/cd_volume.h"
#include "platform/harness/harness.h"
#include "platform/mm/mixer.h"
#include "platform/mmsystem.h"
#include "platform/trace.h"
#include "tests/support/cd_fixture.h"

namespace {

class CdPlayerTest : public cdtest::CdTest {
  protected:
    void WriteRegistry(const std::string& valueLine) {
        WriteFile("vexmoor.reg",
                  "Windows Registry Editor Version 5.00\n\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillfen Software\\Vexmoor\\1.0]\n" +
                      valueLine + "\n");
        SetEnv("VEXMOOR_REGISTRY", Path("vexmoor.reg"));
    }
    // A disc in D: whose track 2 is `frames` long and is the last track.
    void MakeDisc(int frames = 4410) {
        cdtest::WriteTrack(Path("cd/track02.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                           cdtest::Pattern(frames, 2));
        UseDrive('D', Path("cd"));
    }
    HWND Open() {
        RegisterCdWindowClass(GetModuleHandleA(nullptr));
        return OpenCdAudio(GetModuleHandleA(nullptr), ParentWindow());
    }
    // The trace entries that start with one of the prefixes, in order.
    static std::vector<std::string> Calls(const std::vector<std::string>& prefixes) {
        std::vector<std::string> out;
        for (const std::string& entry : harness::TraceEntries())
            for (const std::string& p : prefixes)
                if (entry.compare(0, p.size(), p) == 0) out.push_back(entry);
        return out;
    }
    static std::vector<std::string> MciCalls() { return Calls({"mciSendCommand"}); }
};

TEST_F(CdPlayerTest, CdPathIsCutSafely) {
    struct Case {
        std::string value;  // as written in the registry file
        std::string path;
        std::string drive;
    } cases[] = {
        {"\"CD Path\"=\"D:\\\\\"", "D:\\", "D:"},
        {"\"CD Path\"=\"E\"", "E", "E"},
        {"\"CD Path\"=\"\"", "", ""},
        {"\"CD Path\"=\"" + std::string(300, 'x') + "\"", std::string(260, 'x'), "xx"},  // cut at 260
        {"\"CD Path\"=hex:46,3a,5c", "F:\\", "F:"},      // no NUL: stops at the end of the data
        {"\"CD Path\"=hex:47,3a,00,58,59", "G:", "G:"},  // stops at the first NUL
        {"\"CD Path\"=dword:00003a48", "H:", "H:"},      // not text: its bytes, as far as a NUL
    };
    for (const Case& c : cases) {
        ResetCdState();
        WriteRegistry(c.value);
        platform::RunResetHooks();
        ReadCdPath();
        EXPECT_EQ(std::string(cdPath), c.path) << c.value.substr(0, 40);
        EXPECT_EQ(std::string(cdDrive), c.drive) << c.value.substr(0, 40);
        EXPECT_EQ(cdPath[260], '\0');
    }
    // A value too long for the 1024-byte buffer, a missing value or key: cdPath keeps what it held.
    for (const std::string& value :
         {"\"CD Path\"=\"" + std::string(1500, 'y') + "\"", std::string("\"Other\"=\"Z:\"")}) {
        WriteRegistry(value);
        platform::RunResetHooks();
        ReadCdPath();
        EXPECT_EQ(std::string(cdDrive), "H:");
    }
    SetEnv("VEXMOOR_REGISTRY", Path("none.reg"));
    platform::RunResetHooks();
    ReadCdPath();
    EXPECT_EQ(std::string(cdDrive), "H:");
}

TEST_F(CdPlayerTest, OpenSavesAndSetsTheVolumeAndCloseRestoresIt) {
    MakeDisc();
    WriteRegistry("\"CD Path\"=\"D:\\\\\"");
    ASSERT_EQ(auxSetVolume(0, 0x12345678u), MMSYSERR_NOERROR);
    ReadCdPath();
    ParentWindow();
    harness::ClearTrace();
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window, CdDevice.notifyWindow);
    EXPECT_NE(CdDevice.deviceId, 0u);
    EXPECT_EQ(savedCdVolume, 0x12345678u);
    const std::vector<std::string> opening = {
        "RegisterClassA CDSYS_CLASS",
        "CreateWindowExA CDSYS_CLASS",
        "mciSendCommand MCI_OPEN 0x2200 \"cdaudio\" \"D:\"",
        "mciSendCommand MCI_SET 0x0400 format 10",
        "auxGetVolume 0",
        "auxSetVolume 0 0x30003000",
    };
    EXPECT_EQ(Calls({"RegisterClassA", "CreateWindowExA", "mciSendCommand", "auxGetVolume", "auxSetVolume"}),
              opening);
    DWORD volume = 0;
    auxGetVolume(0, &volume);
    EXPECT_EQ(volume, 0x30003000u);

    PlayCdTrack(2, false);
    harness::ClearTrace();
    CloseCdAudio(GetModuleHandleA(nullptr));
    const std::vector<std::string> closing = {
        "mciSendCommand MCI_STOP 0x0000", "mciSendCommand MCI_CLOSE 0x0000", "DestroyWindow CDSYS_CLASS",
        "UnregisterClassA CDSYS_CLASS",   "auxSetVolume 0 0x12345678",
    };
    EXPECT_EQ(Calls({"mciSendCommand", "DestroyWindow", "UnregisterClassA", "auxSetVolume"}), closing);
    EXPECT_EQ(currentTrack, -1);
    EXPECT_EQ(CdDevice.deviceId, 0u);
    EXPECT_EQ(CdDevice.notifyWindow, nullptr);
    auxGetVolume(0, &volume);
    EXPECT_EQ(volume, 0x12345678u);
}

TEST_F(CdPlayerTest, FailedOpensLeaveNothingBehind) {
    MakeDisc();
    // The drive from the registry holds no disc: the default device is tried next and opens.
    ResetCdState();
    std::strcpy(cdDrive, "E:");
    harness::ClearTrace();
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(MciCalls()[0], "mciSendCommand MCI_OPEN 0x2200 \"cdaudio\" \"E:\"");
    EXPECT_EQ(MciCalls()[1], "mciSendCommand MCI_OPEN 0x2000 \"cdaudio\"");
    CloseCdAudio(GetModuleHandleA(nullptr));

    struct Case {
        const char* failing;  // the call made to fail
        std::vector<std::string> mci;
    } cases[] = {
        {"CreateWindowExA", {}},
        {"mciSendCommand MCI_OPEN",
         {"mciSendCommand MCI_OPEN 0x2200 \"cdaudio\" \"\"", "mciSendCommand MCI_OPEN 0x2000 \"cdaudio\""}},
        {"mciSendCommand MCI_SET",
         {"mciSendCommand MCI_OPEN 0x2200 \"cdaudio\" \"\"", "mciSendCommand MCI_OPEN 0x2000 \"cdaudio\"",
          "mciSendCommand MCI_SET 0x0400 format 10", "mciSendCommand MCI_CLOSE 0x0000"}},
    };
    for (const Case& c : cases) {
        ResetCdState();
        harness::FailCall(c.failing, static_cast<HRESULT>(MCIERR_HARDWARE), 2);
        harness::ClearTrace();
        EXPECT_EQ(Open(), nullptr) << c.failing;
        EXPECT_EQ(MciCalls(), c.mci) << c.failing;
        EXPECT_EQ(CdDevice.deviceId, 0u);
        EXPECT_EQ(CdDevice.notifyWindow, nullptr);
        EXPECT_TRUE(Calls({"auxGetVolume", "auxSetVolume"}).empty()) << c.failing;  // the volume is untouched
        if (c.failing != std::string("CreateWindowExA")) {
            EXPECT_EQ(
                Calls({"DestroyWindow", "UnregisterClassA"}),
                (std::vector<std::string>{"DestroyWindow CDSYS_CLASS", "UnregisterClassA CDSYS_CLASS"}));
        }
        // Nothing is open, so nothing plays and closing sends nothing and leaves the volume alone.
        harness::ClearTrace();
        PlayCdTrack(12, false);
        CloseCdAudio(GetModuleHandleA(nullptr));
        EXPECT_TRUE(Calls({"mciSendCommand", "auxSetVolume", "DestroyWindow"}).empty()) << c.failing;
        harness::FailCall(c.failing, 0, 0);
    }
}

TEST_F(CdPlayerTest, PlayCdTrackChecksAndRanges) {
    MakeDisc();
    ResetCdState();
    std::strcpy(cdDrive, "D:");
    PlayCdTrack(2, false);  // before any open
    EXPECT_EQ(currentTrack, -1);
    ASSERT_NE(Open(), nullptr);

    struct Step {
        std::uint8_t track;
        bool force;
        std::vector<std::string> mci;
    } steps[] = {
        {0, true, {}},
        {2,
         false,
         {"mciSendCommand MCI_PLAY 0x000D from 0x00000002 to 0x00000003",  // track 3 is past the end
          "mciSendCommand MCI_PLAY 0x0005 from 0x00000002 to 0x00000003"}},
        {2, false, {}},
        {2,
         true,
         {"mciSendCommand MCI_PLAY 0x000D from 0x00000002 to 0x00000003",
          "mciSendCommand MCI_PLAY 0x0005 from 0x00000002 to 0x00000003"}},
        {255,
         false,
         {"mciSendCommand MCI_PLAY 0x000D from 0x000000FF to 0x00000000",
          "mciSendCommand MCI_PLAY 0x0005 from 0x000000FF to 0x00000000"}},
    };
    for (const Step& s : steps) {
        harness::ClearTrace();
        PlayCdTrack(s.track, s.force);
        EXPECT_EQ(MciCalls(), s.mci) << int(s.track) << (s.force ? " forced" : "");
    }
    EXPECT_EQ(currentTrack, 255);  // kept even though both plays failed

    // A stop that keeps the track: a play of it that is not forced still does nothing.
    PlayCdTrack(2, true);
    harness::ClearTrace();
    StopCdAudio(false);
    PlayCdTrack(2, false);
    EXPECT_EQ(MciCalls(), std::vector<std::string>{"mciSendCommand MCI_STOP 0x0000"});
    EXPECT_EQ(currentTrack, 2);
    StopCdAudio(true);
    harness::ClearTrace();
    StopCdAudio(false);  // no track: nothing is sent
    EXPECT_TRUE(MciCalls().empty());
}

TEST_F(CdPlayerTest, OnlyOurSuccessfulNoticeRestartsTheTrack) {
    MakeDisc();
    ResetCdState();
    std::strcpy(cdDrive, "D:");
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    PlayCdTrack(2, false);
    const LPARAM ours = static_cast<LPARAM>(CdDevice.deviceId);
    struct Case {
        WPARAM reason;
        LPARAM device;
        bool restarts;
    } cases[] = {
        {MCI_NOTIFY_SUCCESSFUL, ours, true}, {MCI_NOTIFY_SUCCESSFUL, ours + 1, false},
        {MCI_NOTIFY_ABORTED, ours, false},   {MCI_NOTIFY_SUPERSEDED, ours, false},
        {MCI_NOTIFY_FAILURE, ours, false},
    };
    for (const Case& c : cases) {
        harness::ClearTrace();
        EXPECT_EQ(CdNotifyWindowProc(window, MM_MCINOTIFY, c.reason, c.device), 0);
        EXPECT_EQ(harness::FindTrace("mciSendCommand MCI_PLAY") >= 0, c.restarts)
            << c.reason << " " << c.device;
    }
    EXPECT_EQ(currentTrack, 2);
    // Other messages go to the default procedure.
    EXPECT_EQ(CdNotifyWindowProc(window, WM_USER, 0, 0), DefWindowProcA(window, WM_USER, 0, 0));
    CloseCdAudio(GetModuleHandleA(nullptr));
}

TEST_F(CdPlayerTest, CdDeviceSearch) {
    using platform::mm::FakeAuxDevice;
    const FakeAuxDevice cd{AUXCAPS_CDAUDIO};
    const FakeAuxDevice line{AUXCAPS_AUXIN};
    struct Case {
        std::vector<FakeAuxDevice> devices;
        std::optional<FakeAuxDevice> mapper;
        UINT expected;
    } cases[] = {
        {{line, cd, cd}, std::nullopt, 1},
        {{line, line, line, cd}, cd, 3},  // a real device wins over the mapper
        {{line, line}, cd, AUX_MAPPER},
        {{}, line, 0},
        {{}, std::nullopt, 0},
        {{cd}, line, 0},
    };
    for (const Case& c : cases) {
        platform::mm::SetAuxDevicesForTest(c.devices, c.mapper);
        EXPECT_EQ(FindCdAuxDevice(), c.expected) << c.devices.size();
        if (c.devices.empty()) continue;
        // The three operations act on the device found, and only on it.
        SetCdVolume(0x3000);
        DWORD volume = 0;
        auxGetVolume(c.expected, &volume);
        EXPECT_EQ(volume, 0x30003000u);
        for (UINT i = 0; i < c.devices.size(); ++i) {
            if (i == c.expected) continue;
            auxGetVolume(i, &volume);
            EXPECT_EQ(volume, 0xFFFFFFFFu) << "device " << i;
        }
    }
    platform::RunResetHooks();
    DWORD volume = 0;
    for (auto [level, packed] :
         {std::pair<std::uint16_t, DWORD>{0x3000, 0x30003000u}, {0xFFFF, 0xFFFFFFFFu}, {0, 0u}}) {
        SetCdVolume(level);
        GetCdVolume(&volume);
        EXPECT_EQ(volume, packed);
    }
    SetCdVolumePacked(0x0000FFFFu);  // left full, right silent
    GetCdVolume(&volume);
    EXPECT_EQ(volume, 0x0000FFFFu);
    EXPECT_EQ(platform::mm::CdPlaybackVolume(), 0x0000FFFFu);
}

// The credits' loop for real: track 2 starts, each SUCCESSFUL notice the message loop dispatches
// starts it again, and what reaches the output is the track at 0x3000, repeat after repeat.
TEST_F(CdPlayerTest, TrackRestartsOnEachEndNoticeWithoutAGap) {
    UseDiskAudio();
    MakeDisc(15000);
    WriteRegistry("\"CD Path\"=\"D:\\\\\"");
    ReadCdPath();
    ASSERT_NE(Open(), nullptr);
    PlayCdTrack(2, false);
    auto plays = [] { return static_cast<int>(Calls({"mciSendCommand MCI_PLAY 0x0005"}).size()); };
    ASSERT_TRUE(PumpUntil([&] { return plays() >= 4; }, 10000));
    // No more messages are handled: the fourth start plays out and its notice waits unanswered.
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    CloseCdAudio(GetModuleHandleA(nullptr));

    std::vector<std::int16_t> expected = cdtest::Pattern(15000, 2);
    for (std::int16_t& s : expected) s = cdtest::Gain(s, 0x3000);
    cdtest::LoopLayout layout = cdtest::FindLoops(DiskAudio(), expected);
    EXPECT_EQ(layout.loops, 4);
    EXPECT_EQ(layout.gaps.size(), 3u);
    for (std::size_t gap : layout.gaps) EXPECT_EQ(gap, 0u);
    DWORD volume = 0;
    auxGetVolume(0, &volume);
    EXPECT_EQ(volume, 0xFFFFFFFFu);  // the line is back where it was
}

}  // namespace
