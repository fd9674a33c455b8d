// CD playback: the decoding thread, the ring it fills and the audio callback that drains it.
// The end notice of a play is posted as soon as its last frame is in the ring, about 370 ms before
// it is heard, so the player's "play the track again" lands behind it without a single silent frame.
#include "platform/mm/player.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/mm/disc_reader.h"
#include "platform/mm/mixer.h"
#include "platform/mmsystem.h"

namespace platform::mm {
namespace {

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint64_t ThreadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(ts.tv_nsec);
}

// level / 0xFFFF, rounded to nearest.
std::int16_t Scale(std::int16_t sample, std::int32_t level) {
    if (level == 0xFFFF) return sample;
    std::int64_t x = static_cast<std::int64_t>(sample) * level * 2;
    return static_cast<std::int16_t>((x + (x >= 0 ? 0xFFFF : -0xFFFF)) / (2 * 0xFFFF));
}

}  // namespace

Player::Player(std::shared_ptr<const Disc> disc, Notify notify)
    : disc_(std::move(disc)), notify_(std::move(notify)), ring_(static_cast<std::size_t>(kRingFrames) * 2) {
    decoder_ = std::thread([this] { DecodeLoop(); });
    output_ = AudioOutput::Open([this](std::int16_t* out, int frames) { Pull(out, frames); });
}

Player::~Player() {
    output_.reset();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    decoderWake_.notify_all();
    done_.notify_all();
    decoder_.join();
}

void Player::Flush() {
    flowing_ = false;
    readSeq_ = writeSeq_;
    markers_.clear();
    leadOpen_ = false;
}

void Player::Play(std::int64_t from, std::int64_t to, HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_) notify_(pendingWindow_, MCI_NOTIFY_ABORTED);
    pending_ = false;
    if (active_) Flush();
    ++generation_;
    active_ = from < to;
    cursor_ = from;
    end_ = to;
    stoppedAt_ = from;
    markers_.push_back(Marker{writeSeq_, from});
    if (window) {
        if (active_) {
            pending_ = true;
            pendingWindow_ = window;
        } else {
            notify_(window, MCI_NOTIFY_SUCCESSFUL);
        }
    }
    decoderWake_.notify_one();
}

void Player::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stoppedAt_ = PositionLocked();
    if (pending_) notify_(pendingWindow_, MCI_NOTIFY_ABORTED);
    pending_ = false;
    Flush();
    active_ = false;
    ++generation_;
    done_.notify_all();
}

void Player::Supersede() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_) notify_(pendingWindow_, MCI_NOTIFY_SUPERSEDED);
    pending_ = false;
}

std::int64_t Player::PositionLocked() {
    while (markers_.size() >= 2 && markers_[1].seq <= readSeq_) markers_.pop_front();
    if (markers_.empty()) return stoppedAt_;
    const Marker& m = markers_.front();
    std::int64_t heard = m.timeline + static_cast<std::int64_t>(readSeq_ - std::min(readSeq_, m.seq));
    return std::min(heard, disc_->totalFrames);
}

std::int64_t Player::Position() {
    std::lock_guard<std::mutex> lock(mutex_);
    return PositionLocked();
}

void Player::WaitUntilDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return quit_ || (!active_ && Fill() == 0); });
}

PlaybackStats Player::Stats() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stats_;
}

void Player::DecodeLoop() {
    DiscReader reader(*disc_);
    std::vector<std::int16_t> chunk(static_cast<std::size_t>(kChunkFrames) * 2);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        decoderWake_.wait(lock,
                          [this] { return quit_ || (active_ && kRingFrames - Fill() >= kChunkFrames); });
        if (quit_) return;
        const std::uint64_t generation = generation_;
        const std::int64_t from = cursor_;
        const std::int64_t to = end_;
        lock.unlock();
        DiscReader::Result r = reader.Read(from, to, chunk.data(), kChunkFrames);
        const std::uint64_t cpu = ThreadCpuNs();
        lock.lock();
        stats_.decodeCpuNs = cpu;
        if (generation != generation_) continue;  // stopped or replaced while reading: drop it

        if (r.jumped) markers_.push_back(Marker{writeSeq_, r.next});
        for (int i = 0; i < r.frames; ++i) {
            std::size_t at = static_cast<std::size_t>((writeSeq_ + i) % kRingFrames) * 2;
            ring_[at] = chunk[static_cast<std::size_t>(i) * 2];
            ring_[at + 1] = chunk[static_cast<std::size_t>(i) * 2 + 1];
        }
        writeSeq_ += static_cast<std::uint64_t>(r.frames);
        stats_.framesDecoded += static_cast<std::uint64_t>(r.frames);
        cursor_ = r.next;
        if (!r.done) continue;

        active_ = false;
        if (pending_) {
            pending_ = false;
            notify_(pendingWindow_, MCI_NOTIFY_SUCCESSFUL);
            ++stats_.successNotices;
            stats_.noticeLeadFrames = static_cast<std::int64_t>(Fill()) + AudioOutput::kPeriodFrames;
            leadOpen_ = true;
            leadSeq_ = writeSeq_;
            leadPostedNs_ = NowNs();
        }
        done_.notify_all();
    }
}

void Player::Pull(std::int16_t* out, int frames) {
    const DWORD volume = CdPlaybackVolume();
    const std::int32_t left = static_cast<std::int32_t>(volume & 0xFFFF);
    const std::int32_t right = static_cast<std::int32_t>(volume >> 16);
    std::lock_guard<std::mutex> lock(mutex_);
    int n = static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(frames), Fill()));
    for (int i = 0; i < n; ++i) {
        std::size_t at = static_cast<std::size_t>((readSeq_ + i) % kRingFrames) * 2;
        out[i * 2] = Scale(ring_[at], left);
        out[i * 2 + 1] = Scale(ring_[at + 1], right);
    }
    std::fill(out + n * 2, out + frames * 2, 0);
    readSeq_ += static_cast<std::uint64_t>(n);
    stats_.framesOut += static_cast<std::uint64_t>(n);
    // Silence before a play's first frame arrives is its start-up, not a gap in the music.
    if (n < frames && active_ && flowing_) stats_.underrunFrames += static_cast<std::uint64_t>(frames - n);
    if (n > 0)
        flowing_ = true;
    else if (!active_)
        flowing_ = false;  // heard to the end, nothing more to come
    if (leadOpen_ && readSeq_ >= leadSeq_) {
        leadOpen_ = false;
        stats_.noticeLeadMs = static_cast<double>(NowNs() - leadPostedNs_) / 1e6 +
                              1000.0 * AudioOutput::kPeriodFrames / kCdRate;
    }
    if (active_ && kRingFrames - Fill() >= kChunkFrames) decoderWake_.notify_one();
    if (!active_ && Fill() == 0) done_.notify_all();
}

}  // namespace platform::mm
