#include "values.h"

#include <algorithm>
#include <cmath>

namespace dealbrix {

i16 clampedAdd(i16 value, long long delta) {
    const long long sum = std::clamp<long long>(static_cast<long long>(value) + delta, kMin16, kMax16);
    return static_cast<i16>(sum);
}

std::optional<i16> checkedAdd(i16 value, long long delta) {
    // Deltas come from 16-bit amounts or from checked conversions, so the sum cannot overflow here.
    const long long sum = static_cast<long long>(value) + delta;
    if (sum < kMin16 || sum > kMax16) return std::nullopt;
    return static_cast<i16>(sum);
}

double roundHalfEven(double value) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-even unless changed.
    return std::nearbyint(value);
}

std::string num(long long value) {
    return std::to_string(value);
}

} // namespace dealbrix
