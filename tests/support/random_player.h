#pragma once
// A seeded random player: every action a user can take, in any order, with every question answered
// at random, and the invariants checked after each action.

#include "game.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace dealbrix::testing {

/// Dice and shuffles drawn from a seeded generator that the caller also uses for its choices.
class SeededRandom final : public RandomSource {
  public:
    explicit SeededRandom(std::mt19937_64& rng) : rng_(rng) {}
    float next() override { return static_cast<float>(rng_() >> 40) * (1.0f / 16777216.0f); }

  private:
    std::mt19937_64& rng_;
};

/// One thing a user can do to the game.
struct Action {
    enum Kind : std::uint8_t {
        Roll,
        EndTurn,
        Bankrupt,
        Players,
        Start,
        Exit,
        SquareClick,
        BuyHouse,
        SellHouse,
        Mortgage,
        CloseHouseWork,
        Heading,
        MoneyKey,
        PropertyKey,
        Help,
        Offer,
        CloseTrade
    } kind = Roll;
    int number = 0;   // players, square, heading, side or key
    int side = 0;     // trade side for the key actions
    std::string text; // typed text, or the two money fields of an offer joined by '|'

    /// How the action reads in a failure report.
    std::string describe() const;
};

/// Carries out `action` on `game`; returns false when the action ended the program.
bool perform(Game& game, const Action& action);

/// What a run of random play did.
struct RandomPlayReport {
    std::uint64_t seed = 0;
    long actions = 0;
    long games = 0;
    long winners = 0;    // games that ended with a winner's or no-player-left message
    long boxes = 0;      // message boxes shown
    std::string failure; // empty when every invariant held: else the seed, game and actions that broke one
};

/// Plays `actions` random actions over as many games as they take, starting a new game whenever one
/// ends or has run `actionsPerGame` actions. Checks the invariants after every action when `check`.
RandomPlayReport playRandomly(std::uint64_t seed, long actions, bool check = true,
                              long actionsPerGame = 3000);

/// Builds one random action from `draws` (used by the fuzzer to turn bytes into actions).
Action actionFrom(std::uint64_t draw, std::uint64_t detail);

} // namespace dealbrix::testing
