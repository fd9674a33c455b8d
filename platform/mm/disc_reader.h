// Reading a disc's timeline as 44,100 Hz 16-bit stereo frames: the files of its pieces through
// libsndfile, converted by an SDL_AudioStream where they are not at CD rate and stereo, silence
// for gaps, data tracks skipped. Used by the player's decoding thread and the decoding benchmark.
#pragma once

#include <SDL.h>
#include <sndfile.h>

#include <cstdint>
#include <vector>

#include "platform/mm/disc.h"

namespace platform::mm {

// Owned by one thread at a time. It keeps the current file open, and the converter when the file
// needs one (Opus is 48 kHz, some rips are mono), from one call to the next.
class DiscReader {
  public:
    explicit DiscReader(const Disc& disc) : disc_(disc) {}
    ~DiscReader() { Close(); }
    DiscReader(const DiscReader&) = delete;
    DiscReader& operator=(const DiscReader&) = delete;

    struct Result {
        int frames = 0;         // written to `out`
        std::int64_t next = 0;  // timeline position to read from next
        bool jumped = false;    // skipped a part that is not audio: the output goes on from `next`
        bool done = false;      // `stop` reached and everything handed out
    };

    // Up to `max` frames of [pos, stop) into `out`. Reading on from the `next` of the last call
    // continues where it left off; any other position starts afresh.
    Result Read(std::int64_t pos, std::int64_t stop, std::int16_t* out, int max);

  private:
    const DiscPiece* PieceAt(std::int64_t pos) const;
    bool Open(const DiscPiece* piece, std::int64_t pos);
    void Close();
    Result ReadDirect(std::int64_t pos, std::int64_t limit, std::int16_t* out, int max);
    Result ReadConverted(std::int64_t limit, std::int16_t* out, int max);

    // SDL 2.26's converter drops output when it is handed 1024 or more frames at a time at some
    // rates (22,050 Hz loses 1024 frames a track); 256 at a time comes out whole at every rate.
    static constexpr int kConvertChunk = 256;
    const Disc& disc_;
    const DiscPiece* piece_ = nullptr;
    SNDFILE* file_ = nullptr;
    SDL_AudioStream* stream_ = nullptr;
    bool flushed_ = false;
    int channels_ = 2;
    int rate_ = kCdRate;
    std::int64_t nativePos_ = 0;
    std::int64_t nativeEnd_ = 0;
    std::int64_t expected_ = -1;
    std::vector<float> buffer_;
};

}  // namespace platform::mm
