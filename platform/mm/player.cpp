// CD playback: the decoding thread, the ring it fills and the audio callback that drains it.
// The end notice of a play is posted as soon as its last frame is in the ring, about 370 ms before
// it is heard, so the player's "play the track again" lands behind it without a single silent frame.
#include "platform/mm/player.h"

#include <SDL.h>
#include <sndfile.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/mm/mixer.h"
#include "platform/mmsystem.h"

namespace platform::mm {
namespace {

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint64_t ThreadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(ts.tv_nsec);
}

std::int16_t ToS16(float f) {
    float v = f * 32768.0f;
    if (v >= 32767.0f) return 32767;
    if (v <= -32768.0f) return -32768;
    return static_cast<std::int16_t>(std::lrintf(v));
}

// level / 0xFFFF, rounded to nearest.
std::int16_t Scale(std::int16_t sample, std::int32_t level) {
    if (level == 0xFFFF) return sample;
    std::int64_t x = static_cast<std::int64_t>(sample) * level * 2;
    return static_cast<std::int16_t>((x + (x >= 0 ? 0xFFFF : -0xFFFF)) / (2 * 0xFFFF));
}

// Reads the disc timeline into 44,100 Hz stereo frames. Owned by the decoding thread: it keeps
// the current file open, and an SDL_AudioStream when the file needs converting (Opus is 48 kHz,
// some rips are mono), between calls.
class Reader {
public:
    explicit Reader(const Disc& disc) : disc_(disc) {}
    ~Reader() { Close(); }

    struct Result {
        int frames = 0;           // written to `out`
        std::int64_t next = 0;    // timeline position to read from next
        bool jumped = false;      // skipped a part that is not audio: the output goes on from `next`
        bool done = false;        // `stop` reached and everything handed out
    };

    Result Read(std::int64_t pos, std::int64_t stop, std::int16_t* out, int max) {
        if (pos != expected_) Close();
        Result r;
        r.next = pos;
        if (stream_ && flushed_) {
            int got = SDL_AudioStreamGet(stream_, out, max * 4);
            if (got > 0) {
                r.frames = got / 4;
                return r;
            }
            Close();
            expected_ = pos;
        }
        if (pos >= stop) {
            r.done = true;
            return r;
        }
        const DiscPiece* piece = PieceAt(pos);
        if (!piece) {
            r.done = true;
            return r;
        }
        std::int64_t limit = std::min(stop, piece->start + piece->frames);
        if (piece->kind == DiscPiece::Kind::Data) {
            r.next = expected_ = limit;
            r.jumped = true;
            r.done = limit >= stop;
            return r;
        }
        if (piece->kind == DiscPiece::Kind::Silence) {
            int n = static_cast<int>(std::min<std::int64_t>(max, limit - pos));
            std::fill(out, out + n * 2, 0);
            r.frames = n;
            r.next = expected_ = pos + n;
            return r;
        }
        if (piece_ != piece && !Open(piece, pos)) {
            // An unreadable file plays as silence of its length rather than ending the play.
            int n = static_cast<int>(std::min<std::int64_t>(max, limit - pos));
            std::fill(out, out + n * 2, 0);
            r.frames = n;
            r.next = expected_ = pos + n;
            return r;
        }
        return stream_ ? ReadConverted(limit, out, max) : ReadDirect(pos, limit, out, max);
    }

private:
    const DiscPiece* PieceAt(std::int64_t pos) const {
        auto it = std::upper_bound(disc_.pieces.begin(), disc_.pieces.end(), pos,
                                   [](std::int64_t p, const DiscPiece& piece) { return p < piece.start; });
        if (it == disc_.pieces.begin()) return nullptr;
        --it;
        return pos < it->start + it->frames ? &*it : nullptr;
    }

    bool Open(const DiscPiece* piece, std::int64_t pos) {
        Close();
        SF_INFO info{};
        if (piece->kind != DiscPiece::Kind::Decoded) {
            info.samplerate = kCdRate;
            info.channels = 2;
            info.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16 |
                          (piece->kind == DiscPiece::Kind::RawBig ? SF_ENDIAN_BIG : SF_ENDIAN_LITTLE);
        }
        file_ = sf_open(piece->path.c_str(), SFM_READ, &info);
        if (!file_) return false;
        channels_ = info.channels;
        rate_ = info.samplerate;
        std::int64_t into = pos - piece->start;
        if (rate_ != kCdRate) into = into * rate_ / kCdRate;
        nativePos_ = piece->sourceStart + into;
        nativeEnd_ = piece->sourceStart + piece->sourceFrames;
        if (sf_seek(file_, nativePos_, SEEK_SET) < 0) {
            Close();
            return false;
        }
        if (rate_ != kCdRate || channels_ != 2) {
            stream_ = SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(channels_), rate_, AUDIO_S16SYS, 2, kCdRate);
            if (!stream_) {
                Close();
                return false;
            }
        }
        piece_ = piece;
        return true;
    }

    void Close() {
        if (stream_) SDL_FreeAudioStream(stream_);
        if (file_) sf_close(file_);
        stream_ = nullptr;
        file_ = nullptr;
        piece_ = nullptr;
        flushed_ = false;
        expected_ = -1;
    }

    Result ReadDirect(std::int64_t pos, std::int64_t limit, std::int16_t* out, int max) {
        int n = static_cast<int>(std::min<std::int64_t>(max, limit - pos));
        buffer_.resize(static_cast<std::size_t>(n) * 2);
        sf_count_t got = sf_readf_float(file_, buffer_.data(), n);
        if (got < 0) got = 0;
        for (sf_count_t i = 0; i < got * 2; ++i) out[i] = ToS16(buffer_[i]);
        std::fill(out + got * 2, out + n * 2, 0);  // a file shorter than it said: the rest is silence
        nativePos_ += n;
        Result r;
        r.frames = n;
        r.next = expected_ = pos + n;
        if (r.next >= piece_->start + piece_->frames) piece_ = nullptr;
        return r;
    }

    Result ReadConverted(std::int64_t limit, std::int16_t* out, int max) {
        std::int64_t stopNative = piece_->sourceStart + (limit - piece_->start) * rate_ / kCdRate;
        if (limit == piece_->start + piece_->frames) stopNative = nativeEnd_;
        while (SDL_AudioStreamAvailable(stream_) < max * 4 && nativePos_ < stopNative) {
            int n = static_cast<int>(std::min<std::int64_t>(kConvertChunk, stopNative - nativePos_));
            buffer_.resize(static_cast<std::size_t>(n) * channels_);
            sf_count_t got = sf_readf_float(file_, buffer_.data(), n);
            if (got < 0) got = 0;
            std::fill(buffer_.begin() + got * channels_, buffer_.end(), 0.0f);
            SDL_AudioStreamPut(stream_, buffer_.data(), static_cast<int>(buffer_.size() * sizeof(float)));
            nativePos_ += n;
        }
        if (nativePos_ >= stopNative && !flushed_) {
            SDL_AudioStreamFlush(stream_);
            flushed_ = true;
        }
        int got = SDL_AudioStreamGet(stream_, out, max * 4);
        Result r;
        r.frames = got > 0 ? got / 4 : 0;
        std::int64_t at = piece_->start + (nativePos_ - piece_->sourceStart) * kCdRate / rate_;
        r.next = expected_ = flushed_ ? limit : std::min(at, limit - 1);
        return r;
    }

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
    Reader reader(*disc_);
    std::vector<std::int16_t> chunk(static_cast<std::size_t>(kChunkFrames) * 2);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        decoderWake_.wait(lock, [this] { return quit_ || (active_ && kRingFrames - Fill() >= kChunkFrames); });
        if (quit_) return;
        const std::uint64_t generation = generation_;
        const std::int64_t from = cursor_;
        const std::int64_t to = end_;
        lock.unlock();
        Reader::Result r = reader.Read(from, to, chunk.data(), kChunkFrames);
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
        stats_.noticeLeadMs =
            static_cast<double>(NowNs() - leadPostedNs_) / 1e6 + 1000.0 * AudioOutput::kPeriodFrames / kCdRate;
    }
    if (active_ && kRingFrames - Fill() >= kChunkFrames) decoderWake_.notify_one();
    if (!active_ && Fill() == 0) done_.notify_all();
}

}  // namespace platform::mm
