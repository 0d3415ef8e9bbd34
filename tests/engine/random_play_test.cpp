#include "invariants.h"
#include "random_player.h"
#include "scripted.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {
/// DEALBRIX_RANDOM_ACTIONS overrides the number of actions of the long run.
long actionsToRun(long fallback) {
    const char* text = std::getenv("DEALBRIX_RANDOM_ACTIONS");
    return text != nullptr ? std::strtol(text, nullptr, 10) : fallback;
}
} // namespace

TEST(RandomPlay, KeepsEveryInvariantThroughAMillionActions) {
    const long total = actionsToRun(1'000'000);
    constexpr int kRuns = 8;
    long games = 0;
    long winners = 0;
    for (std::uint64_t seed = 1; seed <= kRuns; ++seed) {
        const RandomPlayReport report = playRandomly(seed, total / kRuns);
        ASSERT_TRUE(report.failure.empty()) << report.failure;
        EXPECT_EQ(report.actions, total / kRuns);
        EXPECT_EQ(report.refused, 0) << "the random player draws only available actions";
        games += report.games;
        winners += report.winners;
    }
    RecordProperty("games", static_cast<int>(games));
    RecordProperty("winners", static_cast<int>(winners));
    EXPECT_GT(winners, 0) << "random play should also reach the end of some games";
}

TEST(RandomPlay, KeepsEveryInvariantWithRandomHouseRules) {
    const long total = actionsToRun(1'000'000) / 4;
    constexpr int kRuns = 4;
    long winners = 0;
    for (std::uint64_t seed = 101; seed < 101 + kRuns; ++seed) {
        const RandomPlayReport report = playRandomly(seed, total / kRuns, true, 3000, true);
        ASSERT_TRUE(report.failure.empty()) << report.failure;
        EXPECT_EQ(report.refused, 0) << "the random player draws only available actions";
        winners += report.winners;
    }
    EXPECT_GT(winners, 0) << "games with house rules should also reach their end";
}

TEST(Invariants, FreshGameIsSound) {
    Table t;
    EXPECT_TRUE(brokenInvariants(t.s()).empty());
}

TEST(Invariants, CatchAGridBoxOutOfStepAndAMortgagedSquareWithHouses) {
    Table t;
    t.s().owners[39] = 6;
    t.s().houses[39] = 1;
    const auto broken = brokenInvariants(t.s());
    ASSERT_EQ(broken.size(), 2u);
    EXPECT_EQ(broken[0], "mortgaged square 39 has houses");
    EXPECT_EQ(broken[1], "grid box of player 2 for square 39 is not ticked, owner code 6");
}
