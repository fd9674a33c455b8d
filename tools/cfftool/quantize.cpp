// Wu's colour quantiser and nearest-colour mapping for cfftool. The quantiser keeps cumulative
// colour moments over a 32-level-per-axis histogram and repeatedly splits the box of largest
// variance where the split reduces the summed variance most.
#include "tools/cfftool/quantize.h"

#include <array>
#include <cstring>
#include <limits>

namespace cff {

namespace {

constexpr int kSide = 33;  // 32 histogram levels per axis plus the zero plane of the cumulative sums

struct Box {
    int r0, r1, g0, g1, b0, b1;  // lower bounds exclusive, upper inclusive
    int volume;
};

enum Axis { kRed, kGreen, kBlue };

class WuHistogram {
  public:
    explicit WuHistogram(const std::vector<Rgb>& pixels)
        : weight_(Cells()), red_(Cells()), green_(Cells()), blue_(Cells()), square_(Cells()) {
        for (const Rgb& p : pixels) {
            const int i = Index((p.r >> 3) + 1, (p.g >> 3) + 1, (p.b >> 3) + 1);
            weight_[i] += 1;
            red_[i] += p.r;
            green_[i] += p.g;
            blue_[i] += p.b;
            square_[i] += static_cast<double>(p.r * p.r + p.g * p.g + p.b * p.b);
        }
        Accumulate();
    }

    std::vector<Box> Split(int wanted) {
        std::vector<Box> boxes(wanted);
        std::vector<double> variance(wanted, 0.0);
        boxes[0] = {0, kSide - 1, 0, kSide - 1, 0, kSide - 1, 0};
        int count = 1;
        int next = 0;
        for (int i = 1; i < wanted; ++i) {
            if (Cut(&boxes[next], &boxes[i])) {
                variance[next] = boxes[next].volume > 1 ? Variance(boxes[next]) : 0.0;
                variance[i] = boxes[i].volume > 1 ? Variance(boxes[i]) : 0.0;
                count = i + 1;
            } else {
                variance[next] = 0.0;
                --i;
            }
            next = 0;
            double largest = variance[0];
            for (int k = 1; k <= i; ++k) {
                if (variance[k] > largest) {
                    largest = variance[k];
                    next = k;
                }
            }
            if (largest <= 0.0) break;
        }
        boxes.resize(count);
        return boxes;
    }

    Rgb Mean(const Box& box) const {
        const double w = Volume(box, weight_);
        if (w <= 0) return {0, 0, 0};
        auto mean = [&](const std::vector<double>& m) {
            return static_cast<std::uint8_t>(Volume(box, m) / w + 0.5);
        };
        return {mean(red_), mean(green_), mean(blue_)};
    }

  private:
    static std::size_t Cells() { return kSide * kSide * kSide; }
    static int Index(int r, int g, int b) { return (r * kSide + g) * kSide + b; }

    // Turns the histogram into cumulative sums: cell (r, g, b) holds the totals of every cell at or
    // below it on all three axes, so any box's totals take eight lookups.
    void Accumulate() {
        for (std::vector<double>* m : {&weight_, &red_, &green_, &blue_, &square_}) {
            for (int r = 1; r < kSide; ++r) {
                std::array<double, kSide> area{};
                for (int g = 1; g < kSide; ++g) {
                    double line = 0;
                    for (int b = 1; b < kSide; ++b) {
                        line += (*m)[Index(r, g, b)];
                        area[b] += line;
                        (*m)[Index(r, g, b)] = (*m)[Index(r - 1, g, b)] + area[b];
                    }
                }
            }
        }
    }

    static double Volume(const Box& x, const std::vector<double>& m) {
        return m[Index(x.r1, x.g1, x.b1)] - m[Index(x.r1, x.g1, x.b0)] - m[Index(x.r1, x.g0, x.b1)] +
               m[Index(x.r1, x.g0, x.b0)] - m[Index(x.r0, x.g1, x.b1)] + m[Index(x.r0, x.g1, x.b0)] +
               m[Index(x.r0, x.g0, x.b1)] - m[Index(x.r0, x.g0, x.b0)];
    }

    // The part of a box's total that does not depend on its upper bound along `axis`...
    static double Bottom(const Box& x, Axis axis, const std::vector<double>& m) {
        switch (axis) {
            case kRed:
                return -m[Index(x.r0, x.g1, x.b1)] + m[Index(x.r0, x.g1, x.b0)] + m[Index(x.r0, x.g0, x.b1)] -
                       m[Index(x.r0, x.g0, x.b0)];
            case kGreen:
                return -m[Index(x.r1, x.g0, x.b1)] + m[Index(x.r1, x.g0, x.b0)] + m[Index(x.r0, x.g0, x.b1)] -
                       m[Index(x.r0, x.g0, x.b0)];
            default:
                return -m[Index(x.r1, x.g1, x.b0)] + m[Index(x.r1, x.g0, x.b0)] + m[Index(x.r0, x.g1, x.b0)] -
                       m[Index(x.r0, x.g0, x.b0)];
        }
    }

    // ...and the part that does, with that bound moved to `at`.
    static double Top(const Box& x, Axis axis, int at, const std::vector<double>& m) {
        switch (axis) {
            case kRed:
                return m[Index(at, x.g1, x.b1)] - m[Index(at, x.g1, x.b0)] - m[Index(at, x.g0, x.b1)] +
                       m[Index(at, x.g0, x.b0)];
            case kGreen:
                return m[Index(x.r1, at, x.b1)] - m[Index(x.r1, at, x.b0)] - m[Index(x.r0, at, x.b1)] +
                       m[Index(x.r0, at, x.b0)];
            default:
                return m[Index(x.r1, x.g1, at)] - m[Index(x.r1, x.g0, at)] - m[Index(x.r0, x.g1, at)] +
                       m[Index(x.r0, x.g0, at)];
        }
    }

    double Variance(const Box& x) const {
        const double r = Volume(x, red_), g = Volume(x, green_), b = Volume(x, blue_);
        return Volume(x, square_) - (r * r + g * g + b * b) / Volume(x, weight_);
    }

    struct Totals {
        double r, g, b, w;
    };

    // The best place to cut a box along one axis: the cut that maximises the summed squared means
    // of the two halves (equivalently, minimises their summed variance). -1 when no cut leaves
    // pixels on both sides.
    double BestCut(const Box& x, Axis axis, int first, int last, const Totals& whole, int* cut) const {
        const Totals base{Bottom(x, axis, red_), Bottom(x, axis, green_), Bottom(x, axis, blue_),
                          Bottom(x, axis, weight_)};
        double best = 0.0;
        *cut = -1;
        for (int i = first; i < last; ++i) {
            Totals half{base.r + Top(x, axis, i, red_), base.g + Top(x, axis, i, green_),
                        base.b + Top(x, axis, i, blue_), base.w + Top(x, axis, i, weight_)};
            if (half.w <= 0) continue;
            double score = (half.r * half.r + half.g * half.g + half.b * half.b) / half.w;
            half = {whole.r - half.r, whole.g - half.g, whole.b - half.b, whole.w - half.w};
            if (half.w <= 0) continue;
            score += (half.r * half.r + half.g * half.g + half.b * half.b) / half.w;
            if (score > best) {
                best = score;
                *cut = i;
            }
        }
        return best;
    }

    bool Cut(Box* a, Box* b) const {
        const Totals whole{Volume(*a, red_), Volume(*a, green_), Volume(*a, blue_), Volume(*a, weight_)};
        int cutR, cutG, cutB;
        const double maxR = BestCut(*a, kRed, a->r0 + 1, a->r1, whole, &cutR);
        const double maxG = BestCut(*a, kGreen, a->g0 + 1, a->g1, whole, &cutG);
        const double maxB = BestCut(*a, kBlue, a->b0 + 1, a->b1, whole, &cutB);
        Axis axis;
        if (maxR >= maxG && maxR >= maxB) {
            axis = kRed;
            if (cutR < 0) return false;
        } else {
            axis = maxG >= maxR && maxG >= maxB ? kGreen : kBlue;
        }
        b->r1 = a->r1;
        b->g1 = a->g1;
        b->b1 = a->b1;
        switch (axis) {
            case kRed:
                b->r0 = a->r1 = cutR;
                b->g0 = a->g0;
                b->b0 = a->b0;
                break;
            case kGreen:
                b->g0 = a->g1 = cutG;
                b->r0 = a->r0;
                b->b0 = a->b0;
                break;
            case kBlue:
                b->b0 = a->b1 = cutB;
                b->r0 = a->r0;
                b->g0 = a->g0;
                break;
        }
        a->volume = (a->r1 - a->r0) * (a->g1 - a->g0) * (a->b1 - a->b0);
        b->volume = (b->r1 - b->r0) * (b->g1 - b->g0) * (b->b1 - b->b0);
        return true;
    }

    std::vector<double> weight_, red_, green_, blue_, square_;
};

// A 6-bit colour packed into 18 bits, the key of the lookup tables below.
std::uint32_t Key6(const Rgb& c) {
    return static_cast<std::uint32_t>(EightToSix(c.r)) << 12 |
           static_cast<std::uint32_t>(EightToSix(c.g)) << 6 | EightToSix(c.b);
}

}  // namespace

std::vector<std::uint8_t> MapToPalette(const std::vector<Rgb>& pixels, const Palette6& palette) {
    // One search per distinct 6-bit colour, remembered for the rest of the picture.
    std::vector<std::int16_t> nearest(1 << 18, -1);
    std::vector<std::uint8_t> indices(pixels.size());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t key = Key6(pixels[i]);
        if (nearest[key] < 0) {
            const int r = key >> 12, g = (key >> 6) & 63, b = key & 63;
            int best = 0;
            int bestDistance = std::numeric_limits<int>::max();
            for (int e = 0; e < 256; ++e) {
                const int dr = r - palette.bytes[3 * e], dg = g - palette.bytes[3 * e + 1],
                          db = b - palette.bytes[3 * e + 2];
                const int distance = dr * dr + dg * dg + db * db;
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = e;
                }
            }
            nearest[key] = static_cast<std::int16_t>(best);
        }
        indices[i] = static_cast<std::uint8_t>(nearest[key]);
    }
    return indices;
}

Reduction ReduceColours(const std::vector<Rgb>& pixels) {
    Reduction result;
    // The display shows 6 bits per component, so colours equal at 6 bits are one colour.
    std::vector<std::int16_t> entry(1 << 18, -1);
    int used = 0;
    for (const Rgb& p : pixels) {
        const std::uint32_t key = Key6(p);
        if (entry[key] >= 0) continue;
        ++result.distinctColours;
        if (used < 256) {
            entry[key] = static_cast<std::int16_t>(used);
            result.palette.bytes[3 * used] = static_cast<std::uint8_t>(key >> 12);
            result.palette.bytes[3 * used + 1] = static_cast<std::uint8_t>((key >> 6) & 63);
            result.palette.bytes[3 * used + 2] = static_cast<std::uint8_t>(key & 63);
            ++used;
        } else {
            entry[key] = 256;  // counted; the palette is full
        }
    }
    if (result.distinctColours <= 256) {
        result.exact = true;
        result.indices.resize(pixels.size());
        for (std::size_t i = 0; i < pixels.size(); ++i)
            result.indices[i] = static_cast<std::uint8_t>(entry[Key6(pixels[i])]);
        return result;
    }

    WuHistogram histogram(pixels);
    const std::vector<Box> boxes = histogram.Split(256);
    result.palette = Palette6{};
    for (std::size_t k = 0; k < boxes.size(); ++k) {
        const Rgb mean = histogram.Mean(boxes[k]);
        result.palette.bytes[3 * k] = EightToSix(mean.r);
        result.palette.bytes[3 * k + 1] = EightToSix(mean.g);
        result.palette.bytes[3 * k + 2] = EightToSix(mean.b);
    }
    // Unused entries repeat the first colour, so nearest-colour search never lands on a stray black.
    for (std::size_t k = boxes.size(); k < 256; ++k)
        std::memcpy(result.palette.bytes + 3 * k, result.palette.bytes, 3);
    result.indices = MapToPalette(pixels, result.palette);
    return result;
}

}  // namespace cff
