#pragma once
// What a square picture tells about the square as things stand: who holds it, what stands on it,
// and its price and rent table, in words a screen reader and a tool tip can use.

#include "game.h"

#include <string>

namespace dealbrix {

/// Who holds an ownable square and what stands on it, as the board draws it.
struct SquareHolding {
    int owner = 0;  // 1..4, 0 for the bank
    int houses = 0; // 0..4 houses, 5 a hotel
    bool mortgaged = false;
    bool operator==(const SquareHolding&) const = default;
};

inline constexpr int kHotel = 5; // the house count that stands for a hotel

/// The holding of `square` in `state`; the bank's, with nothing on it, for a square that cannot be owned.
SquareHolding holdingOf(const GameState& state, int square);

/// "For sale", "Owned by Player N", "Owned by Player N, 1 house", "Owned by Player N, 3 houses",
/// "Owned by Player N, a hotel" or "Mortgaged, owned by Player N"; empty for a square that cannot be
/// owned.
std::string ownershipDescription(const GameState& state, int square);

/// The facts of an ownable square, one per line: its title, price, rent table, house price,
/// mortgage value, and its owner and houses now. Empty for a square that cannot be owned.
std::string squareFacts(const GameState& state, int square);

} // namespace dealbrix
