// The run-length encoders of cfftool. A stream is packets of 1..127 literal bytes (control byte
// = count) and repeats of 1..128 bytes (control byte = count + 127), ended by a 0 byte.
#include "tools/cfftool/encoder.h"

#include <algorithm>
#include <limits>

namespace cff {

namespace {

constexpr std::size_t kMaxLiteral = 127;
constexpr std::size_t kMaxRepeat = 128;

void PutLiteral(std::vector<std::uint8_t>* out, const std::uint8_t* bytes, std::size_t count) {
    out->push_back(static_cast<std::uint8_t>(count));
    out->insert(out->end(), bytes, bytes + count);
}

void PutRepeat(std::vector<std::uint8_t>* out, std::uint8_t value, std::size_t count) {
    out->push_back(static_cast<std::uint8_t>(count + 127));
    out->push_back(value);
}

}  // namespace

std::vector<std::uint8_t> EncodeSmallest(const std::uint8_t* pixels, std::size_t count) {
    // cost[i]: fewest bytes that encode pixels i..count-1; take[i]: the packet that achieves it
    // (positive: a literal of that length, negative: a repeat of minus that length).
    std::vector<std::uint32_t> cost(count + 1, 0);
    std::vector<std::int16_t> take(count, 0);
    // run[i]: equal bytes from i on, capped at the longest repeat.
    std::vector<std::uint8_t> run(count + 1, 0);
    for (std::size_t i = count; i-- > 0;) {
        run[i] = (i + 1 < count && pixels[i + 1] == pixels[i])
                     ? static_cast<std::uint8_t>(std::min<std::size_t>(run[i + 1] + 1, kMaxRepeat))
                     : 1;
    }
    for (std::size_t i = count; i-- > 0;) {
        std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
        std::int16_t choice = 0;
        for (std::size_t k = run[i]; k >= 1; --k) {
            if (2 + cost[i + k] < best) {
                best = 2 + cost[i + k];
                choice = static_cast<std::int16_t>(-static_cast<int>(k));
            }
        }
        const std::size_t longest = std::min(kMaxLiteral, count - i);
        for (std::size_t k = 1; k <= longest; ++k) {
            if (1 + k + cost[i + k] < best) {
                best = static_cast<std::uint32_t>(1 + k + cost[i + k]);
                choice = static_cast<std::int16_t>(k);
            }
        }
        cost[i] = best;
        take[i] = choice;
    }

    std::vector<std::uint8_t> out;
    out.reserve(cost.empty() ? 1 : cost[0] + 1);
    for (std::size_t i = 0; i < count;) {
        if (take[i] > 0) {
            PutLiteral(&out, pixels + i, static_cast<std::size_t>(take[i]));
            i += static_cast<std::size_t>(take[i]);
        } else {
            PutRepeat(&out, pixels[i], static_cast<std::size_t>(-take[i]));
            i += static_cast<std::size_t>(-take[i]);
        }
    }
    out.push_back(0);
    return out;
}

std::vector<std::uint8_t> EncodeGreedy(const std::uint8_t* pixels, std::size_t count,
                                       std::size_t minimumRun) {
    auto runAt = [&](std::size_t i) {
        std::size_t n = 1;
        while (i + n < count && n < kMaxRepeat && pixels[i + n] == pixels[i]) ++n;
        return n;
    };
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < count;) {
        const std::size_t repeat = runAt(i);
        if (repeat >= minimumRun) {
            PutRepeat(&out, pixels[i], repeat);
            i += repeat;
            continue;
        }
        std::size_t end = i;
        while (end < count && end - i < kMaxLiteral && runAt(end) < minimumRun) ++end;
        PutLiteral(&out, pixels + i, end - i);
        i = end;
    }
    out.push_back(0);
    return out;
}

}  // namespace cff
