// The disc a drive stands for: ripped-track names, folders of rips, CUE sheets over a BIN image
// or over per-track files, and the drive table that maps letters to them.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <string>

#include "platform/mm/disc.h"
#include "platform/mm/drives.h"
#include "tests/support/cd_fixture.h"

namespace {

using platform::mm::Disc;
using platform::mm::DiscPiece;
using platform::mm::LoadDisc;

TEST(RippedTrackNames, CommonNamesInAnyCase) {
    struct Case {
        const char* name;
        int track;
    } cases[] = {
        {"track12.flac", 12}, {"Track12.ogg", 12},       {"TRACK_03.WAV", 3},    {"track01.cdda.wav", 1},
        {"track 7.opus", 7},  {"track-09.mp3", 9},       {"Track02.oga", 2},     {"track12.flac.part", 0},
        {"track100.flac", 0}, {"track00.flac", 0},       {"music12.flac", 0},    {"track12.txt", 0},
        {"track.flac", 0},    {"track12.cdda.flac", 12}, {"track12cdda.wav", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::mm::TrackNumberFromFileName(c.name), c.track) << c.name;
}

class DiscTest : public cdtest::CdTest {};

TEST_F(DiscTest, FolderOfRipsWithExactLengthsAndMissingTracks) {
    WriteFile("cd/notes.txt", "not a track");
    cdtest::WriteTrack(Path("cd/track02.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, cdtest::Pattern(1000, 1));
    cdtest::WriteTrack(Path("cd/Track03.FLAC"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, cdtest::Pattern(777, 2));
    cdtest::WriteTrack(Path("cd/track_05.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, cdtest::Pattern(4410, 3));
    // Two rips of track 2: the lossless one is taken.
    cdtest::WriteTrack(Path("cd/track02.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, cdtest::Pattern(3000, 4));
    WriteFile("cd/track06.flac", "this is no FLAC stream");

    std::string why;
    auto disc = LoadDisc(Path("cd"), &why);
    ASSERT_TRUE(disc) << why;
    ASSERT_EQ(disc->LastTrack(), 5);
    struct Expected {
        bool audio;
        std::int64_t start;
        std::int64_t frames;
        const char* source;
    } expected[] = {
        {false, 0, 0, ""},  // a data track 1 before the first ripped track 2
        {true, 0, 1000, "track02.wav"},
        {true, 1000, 777, "Track03.FLAC"},
        {false, 1777, 0, ""},
        {true, 1777, 4410, "track_05.ogg"},
    };
    for (int i = 0; i < 5; ++i) {
        const auto& t = disc->tracks[i];
        EXPECT_EQ(t.number, i + 1);
        EXPECT_EQ(t.audio, expected[i].audio) << "track " << i + 1;
        EXPECT_EQ(t.start, expected[i].start) << "track " << i + 1;
        EXPECT_EQ(t.frames, expected[i].frames) << "track " << i + 1;
        EXPECT_EQ(t.source, expected[i].source) << "track " << i + 1;
    }
    EXPECT_EQ(disc->totalFrames, 6187);
    ASSERT_EQ(disc->warnings.size(), 1u);
    EXPECT_NE(disc->warnings[0].find("track06.flac cannot be read"), std::string::npos) << disc->warnings[0];
}

TEST_F(DiscTest, NoDiscWhereThereIsNoAudio) {
    WriteFile("empty/readme.txt", "nothing");
    std::string why;
    EXPECT_FALSE(LoadDisc(Path("empty"), &why));
    EXPECT_NE(why.find("no ripped tracks"), std::string::npos) << why;
    EXPECT_FALSE(LoadDisc(Path("nowhere"), &why));
    EXPECT_NE(why.find("does not exist"), std::string::npos) << why;
}

TEST_F(DiscTest, CueSheetOverABinImageWithDataTrackAndGaps) {
    // 10 sectors of data, then audio: track 2 from sector 10 (its pregap) / 12, track 3 from 30 to 50.
    std::string bin(50 * 2352, '\0');
    for (std::size_t i = 0; i < 10 * 2352; ++i) bin[i] = static_cast<char>(0xAA);
    WriteFile("image/GAME.BIN", bin);
    WriteFile("image/game.cue",
              "REM a comment\n"
              "FILE \"game.bin\" BINARY\n"
              "  TRACK 01 MODE1/2352\n"
              "    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n"
              "    TITLE \"Two\"\n"
              "    INDEX 00 00:00:10\n"
              "    INDEX 01 00:00:12\n"
              "  TRACK 03 AUDIO\n"
              "    PREGAP 00:00:02\n"
              "    INDEX 01 00:00:30\n");
    std::string why;
    // The folder holding the sheet and the sheet itself are the same disc.
    for (const char* where : {"image", "image/game.cue"}) {
        auto disc = LoadDisc(Path(where), &why);
        ASSERT_TRUE(disc) << why;
        ASSERT_EQ(disc->LastTrack(), 3);
        const int s = 588;
        EXPECT_FALSE(disc->tracks[0].audio);
        EXPECT_EQ(disc->tracks[0].start, 0);
        EXPECT_EQ(disc->tracks[0].frames, 12 * s);
        EXPECT_EQ(disc->tracks[1].start, 12 * s);
        EXPECT_EQ(disc->tracks[1].frames, 20 * s);  // to track 3's start, over its 2-sector PREGAP
        EXPECT_EQ(disc->tracks[2].start, 32 * s);
        EXPECT_EQ(disc->tracks[2].frames, 20 * s);
        EXPECT_EQ(disc->totalFrames, 52 * s);
        ASSERT_EQ(disc->pieces.size(), 4u);
        EXPECT_EQ(disc->pieces[0].kind, DiscPiece::Kind::Data);
        EXPECT_EQ(disc->pieces[1].kind, DiscPiece::Kind::RawLittle);
        EXPECT_EQ(disc->pieces[1].sourceStart, 10 * s);
        EXPECT_EQ(disc->pieces[2].kind, DiscPiece::Kind::Silence);
        EXPECT_EQ(disc->pieces[3].sourceStart, 30 * s);
    }
}

TEST_F(DiscTest, CueSheetOverPerTrackFilesFindsRenamedRips) {
    cdtest::WriteTrack(Path("rip/Vexmoor 01.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                       cdtest::Pattern(1234, 1));
    cdtest::WriteTrack(Path("rip/vexmoor 02.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                       cdtest::Pattern(2000, 2));
    WriteFile(
        "rip/disc.cue",
        "FILE \"Vexmoor 01.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        "FILE \"VEXMOOR 02.wav\" WAVE\n  TRACK 02 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:00:01\n");
    std::string why;
    auto disc = LoadDisc(Path("rip"), &why);
    ASSERT_TRUE(disc) << why;
    ASSERT_EQ(disc->LastTrack(), 2);
    EXPECT_EQ(disc->tracks[0].start, 0);
    EXPECT_EQ(disc->tracks[0].frames, 1234 + 588);  // track 2's pregap sits in its own file
    EXPECT_EQ(disc->tracks[1].start, 1234 + 588);
    EXPECT_EQ(disc->tracks[1].frames, 2000 - 588);
    EXPECT_EQ(disc->tracks[1].source, "vexmoor 02.flac");
}

TEST_F(DiscTest, BrokenCueSheetsSayWhy) {
    struct Case {
        const char* sheet;
        const char* why;
    } cases[] = {
        {"TRACK 01 AUDIO\n", "line 1: TRACK before any FILE"},
        {"FILE \"x.bin\" BINARY\n TRACK 01 AUDIO\n INDEX 01 00:00:00\n", "line 1: file \"x.bin\" not found"},
        {"FILE \"a.bin\" BINARY\n TRACK 02 AUDIO\n INDEX 01 00:00:00\n TRACK 02 AUDIO\n",
         "line 4: track numbers"},
        {"FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n INDEX 01 00:99:00\n", "line 3: expected a position"},
        {"FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n", "line 2: TRACK without INDEX 01"},
        {"FILE \"a.bin\" BINARY\n TRACK 01 MODE1/2352\n INDEX 01 00:00:00\n", "no audio track"},
    };
    WriteFile("c/a.bin", std::string(2352 * 4, '\1'));
    for (const Case& c : cases) {
        WriteFile("c/sheet.cue", c.sheet);
        std::string why;
        EXPECT_FALSE(LoadDisc(Path("c/sheet.cue"), &why)) << c.sheet;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.sheet << " gave: " << why;
    }
}

TEST_F(DiscTest, DriveTableFromFileAndEnvironment) {
    WriteFile("conf/drives.conf",
              "# drives\n"
              "D: cd\n"
              "e = \"~/my rips\"\n"
              "F:/abs/path\n"
              "this is wrong\n"
              "G:\n");
    SetEnv("HOME", "/home/player");
    SetEnv("VEXMOOR_DRIVES", Path("conf/drives.conf"));
    SetEnv("VEXMOOR_DRIVE_F", "");
    SetEnv("VEXMOOR_DRIVE_X", "/media/x");
    testing::internal::CaptureStderr();
    auto drives = platform::mm::ConfiguredDrives();
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0].letter, 'D');
    EXPECT_EQ(drives[0].path, Path("conf/cd"));  // relative to the table's folder
    EXPECT_EQ(drives[0].origin, Path("conf/drives.conf") + ":2");
    EXPECT_EQ(drives[1].letter, 'E');
    EXPECT_EQ(drives[1].path, "/home/player/my rips");
    EXPECT_EQ(drives[2].letter, 'X');  // F: is switched off by its empty variable
    EXPECT_EQ(drives[2].path, "/media/x");
    EXPECT_EQ(drives[2].origin, "VEXMOOR_DRIVE_X");
    EXPECT_NE(err.find("drives.conf:5: expected a drive letter"), std::string::npos) << err;
    EXPECT_NE(err.find("drives.conf:6: expected a drive letter"), std::string::npos) << err;
}

}  // namespace
