// Run-length encoders for the toolkit's packed pictures: the smallest stream by dynamic
// programming, and the PackBits-style greedy choice it is measured against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cff {

// The shortest stream (end byte included) that decodes to exactly these bytes.
std::vector<std::uint8_t> EncodeSmallest(const std::uint8_t* pixels, std::size_t count);

// The greedy choice: every run of at least `minimumRun` equal bytes becomes repeat packets, the
// bytes between runs literal packets. Plain PackBits takes runs of 2.
std::vector<std::uint8_t> EncodeGreedy(const std::uint8_t* pixels, std::size_t count,
                                       std::size_t minimumRun = 2);

}  // namespace cff
