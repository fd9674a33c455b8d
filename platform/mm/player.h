// Playback of one open cdaudio device: a decoding thread that reads the disc's files ahead into a
// ring of 16-bit stereo frames, and the audio output that drains the ring through the CD line's
// gain. Driven by platform/mm/mci.cpp; the program never sees it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/mm/audio_output.h"
#include "platform/mm/disc.h"
#include "platform/win_types.h"

namespace platform::mm {

struct PlaybackStats {
    std::uint64_t framesOut = 0;       // frames of music handed to the output
    std::uint64_t underrunFrames = 0;  // silence handed over while a play still had frames to come
    std::uint64_t framesDecoded = 0;
    std::uint64_t decodeCpuNs = 0;  // CPU time of the decoding thread
    int successNotices = 0;
    std::int64_t noticeLeadFrames = 0;  // at the last end notice: frames queued ahead of the ear
    double noticeLeadMs = 0;            // measured: notice posted → its last frame output, plus one period
};

class Player {
  public:
    // Posts MM_MCINOTIFY with the given reason to a window (called with the player's lock held).
    using Notify = std::function<void(HWND window, WPARAM reason)>;

    Player(std::shared_ptr<const Disc> disc, Notify notify);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Plays [from, to) of the disc timeline. A play still being read is cut off and its notice
    // aborted; a play whose last frame is already queued is followed seamlessly. With a window,
    // the end notice goes there.
    void Play(std::int64_t from, std::int64_t to, HWND window);
    // Silences the output at once and aborts the pending notice; the position stays.
    void Stop();
    // Another command's notice replaces the pending one.
    void Supersede();
    // The timeline position being heard (where a stop left it when nothing plays).
    std::int64_t Position();
    // Returns when the current play has been heard to its end or was stopped.
    void WaitUntilDone();
    PlaybackStats Stats();

    static constexpr int kChunkFrames = 1024;
    static constexpr int kRingFrames = 16384;  // about 370 ms read ahead

  private:
    struct Marker {
        std::uint64_t seq;      // ring frame count at which ...
        std::int64_t timeline;  // ... this timeline position starts
    };

    void DecodeLoop();
    void Pull(std::int16_t* out, int frames);
    std::uint64_t Fill() const { return writeSeq_ - readSeq_; }
    std::int64_t PositionLocked();
    void Flush();

    std::shared_ptr<const Disc> disc_;
    Notify notify_;

    std::mutex mutex_;
    std::condition_variable decoderWake_;
    std::condition_variable done_;
    bool quit_ = false;

    bool active_ = false;  // frames of the play are still to be read
    std::int64_t cursor_ = 0;
    std::int64_t end_ = 0;
    std::uint64_t generation_ = 0;
    HWND pendingWindow_ = nullptr;
    bool pending_ = false;
    std::int64_t stoppedAt_ = 0;

    std::vector<std::int16_t> ring_;
    std::uint64_t writeSeq_ = 0;
    std::uint64_t readSeq_ = 0;
    std::deque<Marker> markers_;
    bool flowing_ = false;  // the output has had music since the last start from silence

    PlaybackStats stats_;
    bool leadOpen_ = false;
    std::uint64_t leadSeq_ = 0;
    std::int64_t leadPostedNs_ = 0;

    std::thread decoder_;
    std::unique_ptr<AudioOutput> output_;
};

}  // namespace platform::mm
