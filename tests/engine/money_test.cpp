#include "invariants.h"
#include "scripted.h"

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

/// Puts `player` below zero and lets the refresh hold them.
void holdInDebt(Table& t, int player, i16 money = -10) {
    t.s().money[player] = money;
    t.ui.expect({msg(debtText(player))});
    t.game.refreshMoney();
}

/// `player` goes below zero and gives up.
void goBankrupt(Table& t, int player) {
    holdInDebt(t, player);
    t.game.giveUp();
    ASSERT_EQ(t.s().seatOut[player], kTrue);
}

} // namespace

TEST(DebtHold, ZeroNeitherHoldsNorReleases) {
    Table t;
    t.start(4);
    t.s().turn = 2;
    t.s().board.endTurnEnabled = true;
    t.s().money[1] = 0;
    t.game.refreshMoney();
    EXPECT_TRUE(t.ui.shown().empty());
    EXPECT_EQ(t.s().debtor, 0);
    EXPECT_TRUE(t.s().board.endTurnEnabled);

    holdInDebt(t, 1, -5);
    EXPECT_EQ(t.s().turn, 1);
    EXPECT_EQ(t.s().turnAfterDebt, 2);
    EXPECT_FALSE(t.s().board.endTurnEnabled);
    EXPECT_FALSE(t.s().board.rollEnabled);
    EXPECT_TRUE(t.s().board.giveUpEnabled);

    t.s().money[1] = 0;
    t.game.refreshMoney();
    EXPECT_EQ(t.ui.shown().size(), 1u);
    EXPECT_EQ(t.s().debtor, 1);
    EXPECT_FALSE(t.s().board.endTurnEnabled);
    EXPECT_EQ(t.s().board.moneyLabels[1], "0");
}

TEST(DebtHold, ReleaseGivesTheTurnBackAndEnablesEndTurnButNotRoll) {
    Table t;
    t.start(4);
    t.s().turn = 2;
    holdInDebt(t, 1);
    t.s().money[1] = 1;
    t.game.refreshMoney();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().debtor, 0);
    EXPECT_EQ(t.s().turn, 2);
    EXPECT_TRUE(t.s().board.endTurnEnabled);
    EXPECT_FALSE(t.s().board.rollEnabled);
    EXPECT_TRUE(t.s().board.giveUpEnabled); // a release leaves the button as it is
}

TEST(DebtHold, EveryRefreshRepeatsTheMessageAndOverwritesSavedTurn) {
    Table t;
    t.start(4);
    t.s().turn = 2;
    t.s().board.turnLabel = "Player 2's turn";
    holdInDebt(t, 3);
    EXPECT_EQ(t.s().turnAfterDebt, 2);
    EXPECT_EQ(t.s().turn, 3);
    t.ui.expect({msg(debtText(3))});
    t.game.refreshMoney();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().turnAfterDebt, 3);
    t.s().money[3] = 10;
    t.game.refreshMoney();
    EXPECT_EQ(t.s().turn, 3); // the turn stays with the former debtor
    EXPECT_EQ(t.s().board.turnLabel, "Player 2's turn");
}

TEST(DebtHold, TwoDebtorsAreHeldInSeatOrderAndTheLaterHoldsTheTurn) {
    Table t;
    t.start(4);
    t.s().money[2] = -1;
    t.s().money[4] = -300;
    t.ui.expect({msg(debtText(2)), msg(debtText(4))});
    t.game.refreshMoney();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().turn, 4);
    EXPECT_EQ(t.s().debtor, 4);
    EXPECT_EQ(t.s().turnAfterDebt, 2);
    EXPECT_EQ(t.s().board.moneyLabels[4], "-300");
}

TEST(DebtHold, WhenTheLaterDebtorGivesUpEndTurnHoldsTheEarlierAndHandsTheTurnOnPastIt) {
    // Seen in computer play: the hold then names a debtor that no longer holds the turn. The game
    // must go on from there, and a saved game of it must open.
    Table t;
    t.start(3);
    t.s().money[1] = -50;
    t.s().money[2] = -1;
    t.ui.expect({msg(debtText(1)), msg(debtText(2))});
    t.game.refreshMoney();
    t.s().diceRoll = {1, 2, 3};
    t.game.giveUp(); // player 2 is out; the turn goes back to player 1, still below zero
    EXPECT_EQ(t.s().turn, 1);
    EXPECT_TRUE(t.s().board.endTurnEnabled);
    t.ui.expect({msg(debtText(1))});
    EXPECT_EQ(t.game.endTurn(), ActionResult::Done);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().debtor, 1);
    EXPECT_EQ(t.s().turn, 3);
    EXPECT_TRUE(brokenInvariants(t.s(), true).empty());
}

TEST(DebtHold, ASeatThatIsOutIsHeldToo) {
    Table t;
    t.start(2);
    holdInDebt(t, 3, -50);
    EXPECT_EQ(t.s().turn, 3);
    t.s().money[3] = 0;
    t.game.refreshMoney();
    EXPECT_EQ(t.s().debtor, 3);
    t.game.giveUp();
    EXPECT_EQ(t.s().turn, 1);
    EXPECT_EQ(t.s().debtor, 0);
    EXPECT_TRUE(t.ui.done());
}

TEST(Bankruptcy, MortgagedSquaresKeepTheirCodeAndTheRestGoBackToTheBank) {
    Table t;
    t.start(4);
    t.own(6, 2);
    t.own(8, 2);
    t.own(39, 2);
    t.s().houses[6] = 2;
    t.s().owners[39] = 6; // mortgaged
    t.own(1, 3);
    holdInDebt(t, 2, -100);
    t.game.giveUp();

    EXPECT_EQ(t.s().seatOut[2], kTrue);
    EXPECT_EQ(t.s().owners[6], 0);
    EXPECT_EQ(t.s().owners[8], 0);
    EXPECT_EQ(t.s().houses[6], 2);
    EXPECT_FALSE(t.s().grid.ticked[2][6]);
    EXPECT_FALSE(t.s().grid.ticked[2][8]);
    EXPECT_EQ(t.s().owners[39], 6);
    EXPECT_TRUE(t.s().grid.ticked[2][39]);
    EXPECT_EQ(t.s().owners[1], 3);
    EXPECT_EQ(t.s().money[2], 0);
    EXPECT_EQ(t.s().money[1], 1500); // nobody collects the debt
    EXPECT_EQ(t.s().board.moneyLabels[2], "-100");
    EXPECT_FALSE(t.s().board.tokens[2].visible);
    EXPECT_EQ(t.s().turn, 1);
    EXPECT_EQ(t.s().debtor, 0);
    EXPECT_TRUE(t.s().board.endTurnEnabled);
    EXPECT_FALSE(t.s().board.giveUpEnabled);
}

TEST(Bankruptcy, ButtonLeftEnabledAfterAReleaseMakesTheTurnHolderGiveUp) {
    Table t;
    t.start(4);
    holdInDebt(t, 2);
    t.s().money[2] = 5;
    t.game.refreshMoney();
    ASSERT_EQ(t.s().turn, 1);
    t.game.giveUp();
    EXPECT_EQ(t.s().seatOut[1], kTrue);
    EXPECT_EQ(t.s().seatOut[2], 0);
    EXPECT_EQ(t.s().turn, 1);
}

TEST(Winner, LastSeatInPlayWinsAtTheNextEndTurn) {
    Table t;
    t.start(2);
    goBankrupt(t, 1);
    EXPECT_FALSE(t.ui.ended());
    t.ui.expect({msg("Player 2 WINS!!!")});
    EXPECT_EQ(t.game.endTurn(), ActionResult::Ended);
    EXPECT_TRUE(t.ui.done());
    EXPECT_TRUE(t.ui.ended());
    EXPECT_EQ(t.s().board.moneyLabels[1], "0");
}

TEST(Winner, WinsEvenBelowZero) {
    Table t;
    t.start(2);
    goBankrupt(t, 2);
    t.s().money[1] = -30;
    t.ui.expect({msg(debtText(1)), msg("Player 1 WINS!!!")});
    EXPECT_THROW(t.game.refreshMoney(), ProgramEnded);
    EXPECT_TRUE(t.ui.done());
    EXPECT_TRUE(t.ui.ended());
}

TEST(Winner, NoWinnerWhileTwoSeatsAreInPlay) {
    Table t;
    t.start(3);
    goBankrupt(t, 3);
    t.game.refreshMoney();
    EXPECT_FALSE(t.ui.ended());
    EXPECT_TRUE(t.ui.done());
}

TEST(GameEnd, EveryoneOutEndsTheGameInsteadOfLookingForANextSeat) {
    Table t;
    t.start(4);
    goBankrupt(t, 1);
    goBankrupt(t, 2);
    t.start(2); // seats 3 and 4 go out as well
    t.ui.expect({msg("No player is left in the game. The game is over.")});
    EXPECT_EQ(t.game.endTurn(), ActionResult::Ended);
    EXPECT_TRUE(t.ui.done());
    EXPECT_TRUE(t.ui.ended());
}
