// How fast the rules run with nobody watching: random play through every user action, and whole
// random games played until a player wins. Single-threaded; boxes are answered at once.
//
//   engine_bench [--benchmark_filter=...] [--benchmark_repetitions=N]

#include "game.h"
#include "random_player.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using dealbrix::Action;
using dealbrix::ActionKind;
using dealbrix::ActionResult;
using dealbrix::Game;

constexpr std::uint64_t kFirstSeed = 20261208;
constexpr long kActionsPerBatch = 100'000;   // random play: actions per timed batch
constexpr long kActionsPerGameCap = 3'000;   // random play: a game that runs this long starts over
constexpr int kGamesPerBatch = 40;           // whole games: games per timed batch
constexpr long kGameGiveUpAfter = 1'000'000; // whole games: a game still going after this is unfinished

/// Shows nothing, answers Yes three times in four (as the random player does), lets the rules stop.
class SilentUi final : public dealbrix::Ui {
  public:
    explicit SilentUi(std::mt19937_64& rng) : rng_(rng) {}
    void tell(const dealbrix::Box&) override {}
    bool ask(const dealbrix::Box&) override { return (rng_() & 3) != 0; }
    void endProgram() override {}

  private:
    std::mt19937_64& rng_;
};

/// (a) The random player's whole mix of actions, invariants unchecked; games start over when one
/// ends, is exited or runs kActionsPerGameCap actions. Items are actions.
void BM_RandomPlay(benchmark::State& state) {
    std::uint64_t seed = kFirstSeed;
    long actions = 0;
    long games = 0;
    for (auto _ : state) {
        const auto report =
            dealbrix::testing::playRandomly(seed++, kActionsPerBatch, false, kActionsPerGameCap);
        benchmark::DoNotOptimize(report.boxes);
        actions += report.actions;
        games += report.games;
    }
    state.SetItemsProcessed(actions);
    state.counters["actions/game"] =
        benchmark::Counter(static_cast<double>(actions) / static_cast<double>(games));
}
BENCHMARK(BM_RandomPlay)->Unit(benchmark::kMillisecond);

/// Plays one game from `seed` with the random player's actions, Exit left out (it ends the program
/// with no winner), until the game is over; returns the actions taken, or -1 when the game is still
/// going after kGameGiveUpAfter actions.
long playToWinner(std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    SilentUi ui(rng);
    dealbrix::testing::SeededRandom random(rng);
    Game game(ui, random);
    for (long n = 1; n <= kGameGiveUpAfter;) {
        const Action action = dealbrix::testing::randomAvailableAction(game, rng);
        if (action.kind == ActionKind::Exit) continue;
        if (game.apply(action) == ActionResult::Ended) return n;
        ++n;
    }
    return -1;
}

/// (b) Whole games to a winner: each iteration plays the same kGamesPerBatch seeded games, so every
/// run does the same work. Items are actions; also games per second, and the mean and median actions
/// per game (random games are either short or, with the money pinned at its 16-bit top, very long).
void BM_GamesToWinner(benchmark::State& state) {
    long actions = 0;
    long games = 0;
    long unfinished = 0;
    std::vector<long> lengths(kGamesPerBatch);
    for (auto _ : state) {
        for (int g = 0; g < kGamesPerBatch; ++g) {
            const long n = playToWinner(kFirstSeed + static_cast<std::uint64_t>(g));
            const long played = n < 0 ? kGameGiveUpAfter : n;
            lengths[static_cast<std::size_t>(g)] = played;
            actions += played;
            if (n < 0)
                ++unfinished;
            else
                ++games;
        }
    }
    std::nth_element(lengths.begin(), lengths.begin() + kGamesPerBatch / 2, lengths.end());
    state.SetItemsProcessed(actions);
    state.counters["games"] = benchmark::Counter(static_cast<double>(games), benchmark::Counter::kIsRate);
    state.counters["actions/game"] =
        benchmark::Counter(static_cast<double>(actions) / static_cast<double>(games + unfinished));
    state.counters["median"] = benchmark::Counter(static_cast<double>(lengths[kGamesPerBatch / 2]));
    state.counters["unfinished"] =
        benchmark::Counter(static_cast<double>(unfinished), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GamesToWinner)->Unit(benchmark::kMillisecond);

/// Plays one seeded random game of up to kActionsPerGameCap actions, Exit left out, and returns its
/// actions and the position before each.
struct RecordedGame {
    std::vector<Action> actions;
    std::vector<dealbrix::GameState> positions;
};

/// The dice and the answers draw from their own generators, apart from the choices, so a replay from
/// the same seeds goes exactly as the recording did.
RecordedGame recordGame(std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::mt19937_64 answers(seed + 1);
    std::mt19937_64 dice(seed + 2);
    SilentUi ui(answers);
    dealbrix::testing::SeededRandom random(dice);
    Game game(ui, random);
    RecordedGame recorded;
    while (static_cast<long>(recorded.actions.size()) < kActionsPerGameCap) {
        const Action action = dealbrix::testing::randomAvailableAction(game, rng);
        if (action.kind == ActionKind::Exit) continue;
        recorded.positions.push_back(game.state);
        recorded.actions.push_back(action);
        if (game.apply(action) == ActionResult::Ended) break;
    }
    return recorded;
}

/// (c) Listing the available actions alone, over the positions of a recorded random game. Items are
/// listings.
void BM_ListAvailable(benchmark::State& state) {
    const RecordedGame recorded = recordGame(kFirstSeed);
    std::mt19937_64 rng(kFirstSeed);
    SilentUi ui(rng);
    dealbrix::testing::SeededRandom random(rng);
    std::vector<Game> games;
    games.reserve(recorded.positions.size());
    for (const dealbrix::GameState& position : recorded.positions) {
        games.emplace_back(ui, random);
        games.back().restore(position);
    }
    long listings = 0;
    dealbrix::ActionChoices choices;
    for (auto _ : state) {
        for (const Game& game : games) {
            game.listAvailable(choices);
            benchmark::DoNotOptimize(choices.count);
        }
        listings += static_cast<long>(games.size());
    }
    state.SetItemsProcessed(listings);
}
BENCHMARK(BM_ListAvailable)->Unit(benchmark::kMicrosecond);

/// (d) `apply` alone: the actions of a recorded random game replayed with the same dice from a new
/// game. Items are actions.
void BM_Apply(benchmark::State& state) {
    const RecordedGame recorded = recordGame(kFirstSeed);
    long actions = 0;
    for (auto _ : state) {
        std::mt19937_64 answers(kFirstSeed + 1);
        std::mt19937_64 dice(kFirstSeed + 2);
        SilentUi ui(answers);
        dealbrix::testing::SeededRandom random(dice);
        Game game(ui, random);
        for (const Action& action : recorded.actions)
            benchmark::DoNotOptimize(game.apply(action));
        actions += static_cast<long>(recorded.actions.size());
    }
    state.SetItemsProcessed(actions);
}
BENCHMARK(BM_Apply)->Unit(benchmark::kMicrosecond);

/// The board window's load alone: money, tokens and both decks shuffled.
void BM_NewGame(benchmark::State& state) {
    std::mt19937_64 rng(kFirstSeed);
    SilentUi ui(rng);
    dealbrix::testing::SeededRandom random(rng);
    for (auto _ : state) {
        Game game(ui, random);
        benchmark::DoNotOptimize(game.state);
    }
}
BENCHMARK(BM_NewGame);

} // namespace

BENCHMARK_MAIN();
