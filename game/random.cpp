#include "random.h"

#include <chrono>

namespace dealbrix {

namespace {
// SplitMix64's finaliser: spreads every bit of the state over the output.
std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
} // namespace

ClockRandom::ClockRandom(std::uint64_t seed) : state_(seed) {}

float ClockRandom::next() {
    const auto ticks =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    // The clock is folded into the state, which also keeps stepping on its own: two draws within one
    // tick still differ, and the sequence never starts over.
    state_ = mix(state_ ^ ticks) + 0x9E3779B97F4A7C15ull;
    const std::uint64_t bits = mix(state_) >> 40; // 24 bits: every value exact in a float
    return static_cast<float>(bits) * (1.0f / 16777216.0f);
}

} // namespace dealbrix
