#pragma once
// A seeded random player: every action a user can take, in any order, with every question answered
// at random, and the invariants checked after each action.

#include "game.h"

#include <cstdint>
#include <functional>
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

/// What a run of random play did.
struct RandomPlayReport {
    std::uint64_t seed = 0;
    long actions = 0;
    long games = 0;
    long winners = 0;    // games that ended with a winner's or no-player-left message
    long boxes = 0;      // message boxes shown
    long refused = 0;    // actions the game refused
    std::string failure; // empty when every invariant held: else the seed, game and actions that broke one
};

/// Plays `actions` random actions over as many games as they take, starting a new game whenever one
/// ends or has run `actionsPerGame` actions. Checks the invariants after every action when `check`.
/// With `houseRules` every game is played with a random rule set, which the player may change again
/// before Start; without, every game is the plain one.
RandomPlayReport playRandomly(std::uint64_t seed, long actions, bool check = true, long actionsPerGame = 3000,
                              bool houseRules = false);

/// A random rule set and starting money; `pick(n)` draws 0..n-1.
HouseRules randomHouseRules(const std::function<int(int)>& pick);

/// A random answer to an amount question: a pass, a bid within its bounds, or now and then one beyond.
int randomAmount(const Box& question, std::mt19937_64& rng);

/// Builds one action of any kind from two draws, available or not, with numbers a little beyond
/// their ranges now and then (the fuzzer turns bytes into actions with it).
Action actionFrom(std::uint64_t draw, std::uint64_t detail);

/// One of the actions `game` has available now, drawn with the random player's weights (turns most
/// often, so games move on), its texts drawn from typical and hostile typing. A rules choice is among
/// them only when `chooseRules`.
Action randomAvailableAction(const Game& game, std::mt19937_64& rng, bool chooseRules = false);

} // namespace dealbrix::testing
