// Speed of the toolkit's per-frame and start-up work: CopyToFrame against a plain memcpy of the
// same bytes, RleDecode of repeat-heavy and literal-heavy pictures against memset and memcpy, and
// the cost of one DrawRleSprite and one BlitTransparentClipped640 call.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "gfx/gfx.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kPicture = 640 * 480;

// A background-like picture of long runs (16 to 300 pixels) of one colour, as the stream
// a run-choosing encoder writes for it.
Bytes RepeatHeavyStream() {
    std::mt19937 random(1);
    Bytes stream;
    std::size_t produced = 0;
    while (produced < kPicture) {
        std::size_t run = std::min<std::size_t>(16 + random() % 285, kPicture - produced);
        const auto colour = static_cast<std::uint8_t>(random());
        produced += run;
        for (; run > 0;) {
            const std::size_t piece = std::min<std::size_t>(run, 128);
            stream.push_back(static_cast<std::uint8_t>(127 + piece));
            stream.push_back(colour);
            run -= piece;
        }
    }
    stream.push_back(0);
    return stream;
}

// Noise: no two neighbours alike, so every packet is a literal of up to 127 bytes.
Bytes LiteralHeavyStream() {
    std::mt19937 random(2);
    Bytes stream;
    for (std::size_t produced = 0; produced < kPicture;) {
        const std::size_t piece = std::min<std::size_t>(127, kPicture - produced);
        stream.push_back(static_cast<std::uint8_t>(piece));
        for (std::size_t i = 0; i < piece; ++i) stream.push_back(static_cast<std::uint8_t>(random()));
        produced += piece;
    }
    stream.push_back(0);
    return stream;
}

void BM_CopyToFrame(benchmark::State& state) {
    Bytes background(kPicture, 7);
    Bytes frame(704 * 480);
    LockedFrame = {frame.data(), 704};
    for (auto _ : state) {
        CopyToFrame(background.data(), 0, 0, 640, 480);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPicture));
}
BENCHMARK(BM_CopyToFrame);

void BM_Memcpy307200(benchmark::State& state) {
    Bytes source(kPicture, 7);
    Bytes destination(kPicture);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), kPicture);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPicture));
}
BENCHMARK(BM_Memcpy307200);

void BM_RleDecodeRepeatHeavy(benchmark::State& state) {
    const Bytes stream = RepeatHeavyStream();
    Bytes pixels(kPicture);
    for (auto _ : state) {
        RleDecode(stream.data(), pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPicture));
    state.counters["stream_bytes"] = static_cast<double>(stream.size());
}
BENCHMARK(BM_RleDecodeRepeatHeavy);

void BM_Memset307200(benchmark::State& state) {
    Bytes destination(kPicture);
    int value = 0;
    for (auto _ : state) {
        std::memset(destination.data(), ++value, kPicture);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPicture));
}
BENCHMARK(BM_Memset307200);

void BM_RleDecodeLiteralHeavy(benchmark::State& state) {
    const Bytes stream = LiteralHeavyStream();
    Bytes pixels(kPicture);
    for (auto _ : state) {
        RleDecode(stream.data(), pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPicture));
}
BENCHMARK(BM_RleDecodeLiteralHeavy);

// A 48 × 48 sprite with a transparent border and runs inside, the kind a game draws per object.
Bytes SpriteStream() {
    Bytes stream;
    for (int row = 0; row < 48; ++row) {
        const int inset = row < 24 ? 24 - row : row - 23;  // a diamond
        const int opaque = 48 - 2 * inset;
        if (opaque <= 0) {
            stream.push_back(48);
            continue;
        }
        stream.push_back(static_cast<std::uint8_t>(inset));
        stream.push_back(static_cast<std::uint8_t>(opaque));
        for (int i = 0; i < opaque; ++i) stream.push_back(static_cast<std::uint8_t>(1 + (row + i) % 250));
        stream.push_back(static_cast<std::uint8_t>(inset));
    }
    return stream;
}

void BM_DrawRleSprite(benchmark::State& state) {
    const Bytes sprite = SpriteStream();
    Bytes frame(800 * 600);
    LockedFrame = {frame.data(), 800};
    const auto x = static_cast<std::int16_t>(state.range(0));
    for (auto _ : state) {
        DrawRleSprite(sprite.data(), x, 200, 48);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawRleSprite)->ArgName("x")->Arg(300)->Arg(-10)->Arg(610);

void BM_BlitTransparentClipped640(benchmark::State& state) {
    // A 96 × 96 image, a quarter of it transparent, drawn whole or half off the left edge.
    const int size = 96;
    Bytes image(size * size);
    for (int i = 0; i < size * size; ++i)
        image[i] = (i % size) < size / 4 ? 0 : static_cast<std::uint8_t>(1 + i % 200);
    Bytes frame(704 * 480);
    const auto x = static_cast<std::int16_t>(state.range(0));
    for (auto _ : state) {
        BlitTransparentClipped640(image.data(), x, 150, size, size, frame.data(), 704);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlitTransparentClipped640)->ArgName("x")->Arg(300)->Arg(-38);

}  // namespace
