// The disc reader (see disc_reader.h).
#include "platform/mm/disc_reader.h"

#include <algorithm>
#include <cmath>

namespace platform::mm {
namespace {

std::int16_t ToS16(float f) {
    float v = f * 32768.0f;
    if (v >= 32767.0f) return 32767;
    if (v <= -32768.0f) return -32768;
    return static_cast<std::int16_t>(std::lrintf(v));
}

}  // namespace

DiscReader::Result DiscReader::Read(std::int64_t pos, std::int64_t stop, std::int16_t* out, int max) {
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

const DiscPiece* DiscReader::PieceAt(std::int64_t pos) const {
    auto it = std::upper_bound(disc_.pieces.begin(), disc_.pieces.end(), pos,
                               [](std::int64_t p, const DiscPiece& piece) { return p < piece.start; });
    if (it == disc_.pieces.begin()) return nullptr;
    --it;
    return pos < it->start + it->frames ? &*it : nullptr;
}

bool DiscReader::Open(const DiscPiece* piece, std::int64_t pos) {
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
        stream_ =
            SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(channels_), rate_, AUDIO_S16SYS, 2, kCdRate);
        if (!stream_) {
            Close();
            return false;
        }
    }
    piece_ = piece;
    return true;
}

void DiscReader::Close() {
    if (stream_) SDL_FreeAudioStream(stream_);
    if (file_) sf_close(file_);
    stream_ = nullptr;
    file_ = nullptr;
    piece_ = nullptr;
    flushed_ = false;
    expected_ = -1;
}

DiscReader::Result DiscReader::ReadDirect(std::int64_t pos, std::int64_t limit, std::int16_t* out, int max) {
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

DiscReader::Result DiscReader::ReadConverted(std::int64_t limit, std::int16_t* out, int max) {
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

}  // namespace platform::mm
