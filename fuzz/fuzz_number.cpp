// Any text typed into a trade field: the number reader never crashes, and what it reads is a number
// the trade window can show and read back to the same value.
#include "game.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = dealbrix::Game::readNumber(text);
    if (std::isnan(value)) std::abort();
    const std::string shown = dealbrix::Game::showNumber(value);
    if (std::isfinite(value)) {
        // Shown with 15 significant digits, the value reads back within that precision.
        const double back = dealbrix::Game::readNumber(shown);
        if (std::abs(back - value) > std::abs(value) * 1e-14) std::abort();
    }
    // A running sum built from it stays displayable.
    (void)dealbrix::Game::showNumber(value + dealbrix::Game::readNumber(shown));
    return 0;
}
