#pragma once
// How a game went: every seat's worth after each round, and how often each square was landed on.

#include "values.h"

#include <vector>

namespace dealbrix {

/// Each seat's worth once a round was over.
struct RoundWorth {
    int round = 0;            // rounds played: 0 is the start
    PlayerArray<int> worth{}; // 0 for a seat that is out
    bool operator==(const RoundWorth&) const = default;
};

/// The most rounds kept; past it every second one is let go, so a long game keeps its shape in a
/// bounded saved game.
inline constexpr int kMaxRoundsKept = 512;

/// The statistics of a game, kept by the rules as it is played.
struct GameHistory {
    std::vector<RoundWorth> worth; // oldest first; the start, then rounds at a growing stride
    SquareArray<int> landings{};   // tokens come to rest on each square
    int rounds = 0;                // rounds completed since the start
    bool operator==(const GameHistory&) const = default;

    /// Records `round`'s worth (thinning the list past kMaxRoundsKept).
    void addRound(const RoundWorth& entry);
};

} // namespace dealbrix
