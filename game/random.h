#pragma once
// The program's real random source.

#include "ports.h"

#include <cstdint>

namespace dealbrix {

/// Mixes a clock reading into its state before every draw, never restarting the sequence, so two
/// draws within one tick of the clock still differ as consecutive draws of one generator do.
class ClockRandom final : public RandomSource {
  public:
    /// Starts from `seed`; the clock is mixed in at every draw.
    explicit ClockRandom(std::uint64_t seed = 0x9E3779B97F4A7C15ull);
    float next() override;

  private:
    std::uint64_t state_;
};

} // namespace dealbrix
