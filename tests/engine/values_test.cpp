#include "scripted.h"

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

TEST(SixteenBitMoney, ForcedChangesStopAtTheBounds) {
    EXPECT_EQ(clampedAdd(32700, 200), 32767);
    EXPECT_EQ(clampedAdd(-32700, -200), -32768);
    EXPECT_EQ(clampedAdd(100, -250), -150);
}

TEST(SixteenBitMoney, ChosenChangesAreRefusedOutsideTheRange) {
    EXPECT_EQ(checkedAdd(32667, 100), std::optional<i16>(32767));
    EXPECT_EQ(checkedAdd(32668, 100), std::nullopt);
    EXPECT_EQ(checkedAdd(-32768, -1), std::nullopt);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(87.5), 88);
    EXPECT_EQ(roundHalfEven(112.5), 112);
}

TEST(Numbers, AreWrittenPlainly) {
    EXPECT_EQ(num(1500), "1500");
    EXPECT_EQ(num(-50), "-50");
    EXPECT_EQ(num(0), "0");
}

TEST(GameLoad, GivesEverySeatStartingMoneyAndTurnOne) {
    Table t;
    for (int p = 1; p <= 4; ++p) {
        EXPECT_EQ(t.s().money[p], 1500);
        EXPECT_EQ(t.s().board.moneyLabels[p], "1500");
        EXPECT_FALSE(t.s().board.tokens[p].visible);
    }
    EXPECT_EQ(t.s().turn, 1);
    EXPECT_EQ(t.s().nextCard[1], 1);
    EXPECT_EQ(t.s().nextCard[2], 1);
    EXPECT_EQ(t.random.left(), 0u);
    EXPECT_FALSE(t.s().board.rollEnabled);
}

TEST(GameLoad, FirstRollLandsAndMoves) {
    Table t;
    t.start(2);
    t.random.dice(2, 1);
    t.ui.expect({msg("Player 1 lands on Baltic Avenue $60"), ask("Buy Baltic Avenue?", false, "Buy Property"),
                 msg("Property Turned Down")});
    t.game.roll();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().positions[1], 3);
    EXPECT_EQ(t.s().board.tokens[1], (TokenView{3, 0, true, true}));
}
