// The disc in a drive, as the cdaudio device and tools/cdinfo see it: its tracks on one timeline of
// 44,100 Hz frames and the pieces of files (or silence) that timeline is made of. Built from a
// folder of ripped tracks or from a CUE sheet (over one BIN image or over per-track audio files).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::mm {

constexpr int kCdRate = 44100;
constexpr int kFramesPerSector = 588;  // 1/75 s of CD audio
constexpr int kSectorsPerSecond = 75;
constexpr int kLeadInSectors = 150;  // MSF addresses count the 2 s before the first track

struct DiscPiece {
    enum class Kind {
        Decoded,    // an audio file libsndfile reads (WAV, FLAC, Ogg Vorbis, Opus, MP3, …)
        RawLittle,  // raw 16-bit stereo samples, little-endian (a BIN image)
        RawBig,     // the same, big-endian (CUE "MOTOROLA")
        Silence,    // a gap the CUE sheet asks for (PREGAP, POSTGAP)
        Data        // a data track, or a track that was not ripped: takes its place, never played
    };
    Kind kind = Kind::Silence;
    std::string path;
    int rate = kCdRate;  // of the source file
    int channels = 2;
    std::int64_t start = 0;         // on the disc timeline (44,100 Hz frames)
    std::int64_t frames = 0;        // on the disc timeline
    std::int64_t sourceStart = 0;   // first frame in the source file, in its own rate
    std::int64_t sourceFrames = 0;  // in the source file's own rate
};

struct DiscTrack {
    int number = 0;
    bool audio = false;
    std::int64_t start = 0;   // INDEX 01 on the timeline: where "track t, 0:00:00" plays from
    std::int64_t frames = 0;  // up to the next track's start, or the end of the disc
    std::string source;       // file name shown in listings; empty for a track that is not there
};

struct Disc {
    std::string origin;             // the folder or CUE sheet it was read from
    std::vector<DiscTrack> tracks;  // tracks[i].number == i + 1
    std::vector<DiscPiece> pieces;  // in timeline order, back to back
    std::int64_t totalFrames = 0;
    std::vector<std::string> warnings;  // files left out and why

    bool HasAudio() const;
    int LastTrack() const { return static_cast<int>(tracks.size()); }
    // The track a timeline position belongs to (the last one for the end of the disc); 0 when none.
    int TrackAt(std::int64_t frame) const;
};

// Reads the disc a drive stands for: `path` is a folder of ripped tracks or CUE sheets, or a CUE
// sheet itself. Without any audio track there is no disc: nullopt, with the reason in *why.
std::optional<Disc> LoadDisc(const std::string& path, std::string* why);

// Parses a CUE sheet's text; `dir` is where the files it names are looked for.
std::optional<Disc> ParseCueSheet(const std::string& text, const std::string& cuePath, const std::string& dir,
                                  std::string* why);

// The track number a ripped file's name stands for ("track12.flac", "Track_03.cdda.wav", …); 0 for none.
int TrackNumberFromFileName(const std::string& name);

}  // namespace platform::mm
