// mktrack: writes the demo disc's track 12, a 30-second piece for the credits made here from
// nothing but arithmetic: a soft pad, a bass, a flute-like tune and bell arpeggios over ten bars
// at 80 beats a minute, with a little reverb. Every note and the reverb tail that would ring past
// the end is wrapped round to the start, so the piece loops without a seam.
// Usage: mktrack OUTPUT.flac
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kBeat = 0.75;  // 80 beats a minute
constexpr int kBars = 10;
constexpr int kBeatFrames = static_cast<int>(kBeat * kRate);  // 33,075
constexpr int kBarFrames = 4 * kBeatFrames;
constexpr int kLoopFrames = kBars * kBarFrames;  // 1,323,000: 30 s, a whole number of CD sectors
static_assert(kLoopFrames % 588 == 0);
constexpr double kTwoPi = 6.283185307179586;

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(std::size_t n) : left(n), right(n) {}
    void Add(long frame, float l, float r) {
        std::size_t i = static_cast<std::size_t>(((frame % kLoopFrames) + kLoopFrames) % kLoopFrames);
        left[i] += l;
        right[i] += r;
    }
};

double Hz(int midi) {
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// Attack, hold until `length`, then release; all in seconds.
double Envelope(double t, double attack, double length, double release) {
    if (t < 0) return 0;
    double level = t < attack ? std::sin(0.5 * 3.141592653589793 * t / attack) : 1.0;
    if (t > length) level *= std::exp(-(t - length) * 5.0 / release);
    return level;
}

struct Chord {
    int bass;
    std::array<int, 4> pad;
};

// D major: Dmaj7 | Bm7 | Gmaj7 | A | D/F# | Em7 | Gmaj7 | A7sus4 | Bm7 | A (back to Dmaj7)
const Chord kChords[kBars] = {
    {38, {54, 57, 61, 62}}, {35, {54, 57, 59, 62}}, {43, {55, 59, 62, 66}}, {45, {52, 57, 61, 64}},
    {42, {54, 57, 62, 66}}, {40, {55, 59, 62, 64}}, {43, {55, 59, 62, 66}}, {45, {55, 57, 62, 64}},
    {47, {54, 57, 59, 62}}, {45, {52, 57, 61, 64}},
};

struct Note {
    int bar;
    double beat;
    double beats;
    int midi;
};

const Note kTune[] = {
    {0, 0, 2, 78},   {0, 2, 1, 76},     {0, 3, 1, 74}, {1, 0, 1.5, 78}, {1, 1.5, 0.5, 74}, {1, 2, 2, 71},
    {2, 0, 1, 74},   {2, 1, 1, 76},     {2, 2, 1, 78}, {2, 3, 1, 79},   {3, 0, 2, 81},     {3, 2, 1, 79},
    {3, 3, 1, 76},   {4, 0, 3, 78},     {4, 3, 1, 69}, {5, 0, 1, 71},   {5, 1, 1, 74},     {5, 2, 2, 76},
    {6, 0, 1.5, 74}, {6, 1.5, 0.5, 71}, {6, 2, 2, 67}, {7, 0, 2, 69},   {7, 2, 1, 74},     {7, 3, 1, 76},
    {8, 0, 2, 78},   {8, 2, 1, 76},     {8, 3, 1, 74}, {9, 0, 2, 73},   {9, 2, 2, 76},
};

long At(int bar, double beat) {
    return static_cast<long>(bar * kBarFrames + beat * kBeatFrames);
}

void Pad(Stereo& out, long start, double seconds, int midi, double pan) {
    const double f = Hz(midi);
    const double release = 1.8;
    const long frames = static_cast<long>((seconds + release) * kRate);
    for (int osc = 0; osc < 2; ++osc) {
        const double detune = osc ? 1.0035 : 0.9965;
        const double side = osc ? pan : -pan;
        for (long i = 0; i < frames; ++i) {
            double t = static_cast<double>(i) / kRate;
            double v = 0;
            for (int h = 1; h <= 6; ++h)
                v += std::sin(kTwoPi * f * detune * h * t + h * 0.7) / std::pow(h, 1.8);
            v *=
                0.035 * Envelope(t, 0.9, seconds, release) * (1.0 + 0.15 * std::sin(kTwoPi * 0.2 * t + midi));
            out.Add(start + i, static_cast<float>(v * (1 - side)), static_cast<float>(v * (1 + side)));
        }
    }
}

void Bass(Stereo& out, long start, double seconds, int midi) {
    const double f = Hz(midi);
    const long frames = static_cast<long>((seconds + 0.5) * kRate);
    for (long i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double v =
            (std::sin(kTwoPi * f * t) + 0.3 * std::sin(2 * kTwoPi * f * t)) * Envelope(t, 0.03, seconds, 0.5);
        v *= 0.22 * (0.75 + 0.25 * std::exp(-t * 2.5));
        out.Add(start + i, static_cast<float>(v), static_cast<float>(v));
    }
}

void Flute(Stereo& out, long start, double seconds, int midi) {
    const double f = Hz(midi);
    const long frames = static_cast<long>((seconds + 0.5) * kRate);
    double phase = 0;
    for (long i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double vibrato =
            1.0 + 0.004 * std::min(1.0, std::max(0.0, t - 0.25) * 2) * std::sin(kTwoPi * 5.2 * t);
        phase += kTwoPi * f * vibrato / kRate;
        double v = std::sin(phase) + 0.22 * std::sin(2 * phase) + 0.07 * std::sin(3 * phase);
        v *= 0.16 * Envelope(t, 0.07, seconds - 0.05, 0.35);
        out.Add(start + i, static_cast<float>(v * 0.9), static_cast<float>(v * 1.1));
    }
}

void Bell(Stereo& out, long start, int midi, double pan, double level) {
    const double f = Hz(midi);
    const long frames = static_cast<long>(2.5 * kRate);
    for (long i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double index = 2.2 * std::exp(-t / 0.35);
        double v = std::sin(kTwoPi * f * t + index * std::sin(kTwoPi * f * 3.5 * t));
        v *= level * std::exp(-t / 0.9) * std::min(1.0, t / 0.004);
        out.Add(start + i, static_cast<float>(v * (1 - pan)), static_cast<float>(v * (1 + pan)));
    }
}

// A small room: eight damped combs and four all-passes per side (the classic arrangement), run
// over two laps of the loop; the second lap is kept, so the tail of the end rings into the start.
void Reverb(Stereo& dry, float wetLevel) {
    const int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    const int allpasses[4] = {556, 441, 341, 225};
    Stereo wet(kLoopFrames);
    for (int side = 0; side < 2; ++side) {
        const std::vector<float>& in = side ? dry.right : dry.left;
        std::vector<float>& result = side ? wet.right : wet.left;
        const int spread = side ? 23 : 0;
        std::vector<std::vector<float>> combBuf, allBuf;
        for (int d : combs) combBuf.emplace_back(d + spread, 0.0f);
        for (int d : allpasses) allBuf.emplace_back(d + spread, 0.0f);
        std::vector<float> combStore(8, 0.0f);
        std::vector<std::size_t> ci(8, 0), ai(4, 0);
        for (int lap = 0; lap < 2; ++lap) {
            for (int n = 0; n < kLoopFrames; ++n) {
                float x = in[n] * 0.015f;
                float sum = 0;
                for (int c = 0; c < 8; ++c) {
                    float y = combBuf[c][ci[c]];
                    combStore[c] = y * 0.8f + combStore[c] * 0.2f;  // damping
                    combBuf[c][ci[c]] = x + combStore[c] * 0.84f;
                    ci[c] = (ci[c] + 1) % combBuf[c].size();
                    sum += y;
                }
                for (int a = 0; a < 4; ++a) {
                    float b = allBuf[a][ai[a]];
                    allBuf[a][ai[a]] = sum + b * 0.5f;
                    ai[a] = (ai[a] + 1) % allBuf[a].size();
                    sum = b - sum;
                }
                if (lap == 1) result[n] = sum;
            }
        }
    }
    for (int n = 0; n < kLoopFrames; ++n) {
        dry.left[n] += wetLevel * wet.left[n];
        dry.right[n] += wetLevel * wet.right[n];
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mktrack OUTPUT.flac\n");
        return 2;
    }
    Stereo music(kLoopFrames);
    for (int bar = 0; bar < kBars; ++bar) {
        const Chord& chord = kChords[bar];
        for (int v = 0; v < 4; ++v) Pad(music, At(bar, 0), 4 * kBeat, chord.pad[v], 0.25 * (v - 1.5));
        Bass(music, At(bar, 0), 1.9 * kBeat, chord.bass);
        Bass(music, At(bar, 2), 1.9 * kBeat, chord.bass + (bar % 2 ? 7 : 12));
        static const int kPattern[8] = {0, 1, 2, 3, 2, 1, 3, 2};
        for (int e = 0; e < 8; ++e) {
            int midi = chord.pad[kPattern[e]] + 12;
            Bell(music, At(bar, e * 0.5), midi, e % 2 ? 0.45 : -0.45, e % 4 == 0 ? 0.055 : 0.035);
        }
    }
    for (const Note& n : kTune) Flute(music, At(n.bar, n.beat), n.beats * kBeat, n.midi);
    Reverb(music, 1.0f);

    float peak = 0;
    for (int n = 0; n < kLoopFrames; ++n)
        peak = std::max({peak, std::fabs(music.left[n]), std::fabs(music.right[n])});
    const float scale = 0.89f / peak;  // -1 dBFS at the loudest moment
    std::vector<short> pcm(static_cast<std::size_t>(kLoopFrames) * 2);
    for (int n = 0; n < kLoopFrames; ++n) {
        pcm[2 * n] = static_cast<short>(std::lrint(music.left[n] * scale * 32767));
        pcm[2 * n + 1] = static_cast<short>(std::lrint(music.right[n] * scale * 32767));
    }

    // The step from the last frame to the first must look like any other step of the piece.
    int largestStep = 0;
    for (int n = 1; n < kLoopFrames; ++n)
        for (int c = 0; c < 2; ++c)
            largestStep = std::max(largestStep, std::abs(pcm[2 * n + c] - pcm[2 * (n - 1) + c]));
    int seamStep =
        std::max(std::abs(pcm[0] - pcm[2 * (kLoopFrames - 1)]), std::abs(pcm[1] - pcm[2 * kLoopFrames - 1]));
    if (seamStep > largestStep) {
        std::fprintf(stderr, "mktrack: the loop seam jumps by %d, more than any step inside (%d)\n", seamStep,
                     largestStep);
        return 1;
    }

    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "mktrack: cannot write %s: %s\n", argv[1], sf_strerror(nullptr));
        return 1;
    }
    sf_count_t written = sf_writef_short(file, pcm.data(), kLoopFrames);
    sf_close(file);
    if (written != kLoopFrames) {
        std::fprintf(stderr, "mktrack: writing %s failed\n", argv[1]);
        return 1;
    }
    std::printf("mktrack: wrote %s: %d frames (%.1f s), seam step %d, largest step %d\n", argv[1],
                kLoopFrames, kLoopFrames / static_cast<double>(kRate), seamStep, largestStep);
    return 0;
}
