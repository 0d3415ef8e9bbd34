#include "scripted.h"

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

ExpectedBox owe(int rent, int owner) {
    return msg("You Owe $" + std::to_string(rent) + " to Player " + std::to_string(owner));
}

/// A four-player game, player 1 to move.
struct Game4 : Table {
    Game4() { start(4); }
    /// Player 1's token comes to rest on `square` (as a card or jail move would put it there).
    void land(int square) {
        s().turn = 1;
        game.moveToken(square);
    }
    /// Player 1 rolls `a` and `b` from `from`.
    void rollFrom(int from, int a, int b) {
        s().turn = 1;
        s().positions[1] = static_cast<i16>(from);
        s().board.rollEnabled = true;
        random.dice(a, b);
        game.roll();
    }
    /// Player 1 lands on `square`, which belongs to `owner`, and must pay `rent`.
    void expectRent(int square, int owner, int rent) {
        SCOPED_TRACE("rent on square " + std::to_string(square));
        const int payer = s().money[1], payee = s().money[owner];
        ui.expect({landing(1, square), owe(rent, owner)});
        land(square);
        EXPECT_TRUE(ui.done());
        EXPECT_EQ(s().money[1], payer - rent);
        EXPECT_EQ(s().money[owner], payee + rent);
    }
    /// Player 1 lands on `square` and sees `box` after the landing message, paying nothing.
    void expectFreeVisit(int square, const ExpectedBox& box) {
        ui.expect({landing(1, square), box});
        land(square);
        EXPECT_TRUE(ui.done());
        EXPECT_EQ(s().money[1], 1500);
    }
};

} // namespace

TEST(Landing, GoJailAndFreeParkingOnlyAnnounceTheSquare) {
    Game4 t;
    t.ui.expect(
        {msg("Player 1 lands on Go"), msg("Player 1 lands on Jail"), msg("Player 1 lands on Free Parking")});
    for (const int square : {0, 10, 20})
        t.land(square);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().money[1], 1500);
    EXPECT_EQ(t.s().jailTurns[1], 0);
}

TEST(Landing, GoToGailSendsThePlayerToJailWithoutSalary) {
    Game4 t;
    t.ui.expect({msg("Player 1 lands on Go To Gail"), msg("Player 1 lands on Jail")});
    t.rollFrom(25, 2, 3);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().positions[1], 10);
    EXPECT_EQ(t.s().jailTurns[1], 1);
    EXPECT_EQ(t.s().money[1], 1500);
    EXPECT_EQ(t.s().board.tokens[1].square, 10);
    EXPECT_EQ(t.s().board.tokens[1].stack, 0);
}

TEST(Landing, DoublesThatEndInJailGiveARollFromJail) {
    Game4 t;
    t.ui.expect({landing(1, 30), landing(1, 10), msg("Doubles, Roll Again !!"), msg("3Turns left")});
    t.rollFrom(26, 2, 2);
    t.game.endTurn();
    t.rollFrom(10, 1, 2);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().positions[1], 10);
    EXPECT_EQ(t.s().jailTurns[1], 2);
}

TEST(Landing, TaxesAreChargedEvenIntoDebt) {
    Game4 t;
    t.s().money[1] = 150;
    t.ui.expect({msg("Player 1 lands on Income Tax"), msg(debtText(1))});
    t.land(4);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().money[1], -50);
    EXPECT_EQ(t.s().debtor, 1);
    t.ui.expect({msg("Player 1 lands on Luxury Tax"), msg(debtText(1))});
    t.land(38);
    EXPECT_EQ(t.s().money[1], -125);
}

TEST(Rent, ThreeSquareGroupDoublesOnlyWhenOneCodeHoldsAllThree) {
    Game4 t;
    t.own(6, 2);
    t.own(8, 2);
    t.expectRent(6, 2, 6);
    t.own(9, 2);
    t.expectRent(6, 2, 12);
    t.s().owners[9] = 6; // mortgaged: no longer counts with its owner's other squares
    t.expectRent(6, 2, 6);
    t.s().houses[6] = 3; // houses count on a three-square group whatever the others hold
    t.expectRent(6, 2, 270);
    t.own(9, 2);
    t.expectRent(6, 2, 270);
}

TEST(Rent, WaterWorksIsNoPartOfTheYellowGroup) {
    Game4 t;
    t.own(26, 2);
    t.own(27, 2);
    t.own(28, 2);
    t.expectRent(26, 2, 22);
}

TEST(Rent, TwoSquareGroupHouseRentsOnlyWhileBothMatch) {
    Game4 t;
    t.own(37, 2);
    t.own(39, 2);
    t.expectRent(39, 2, 100);
    t.s().houses[39] = 2;
    t.expectRent(39, 2, 600);
    t.s().owners[37] = 6; // mortgaged: the group no longer matches and the houses stop counting
    t.expectRent(39, 2, 50);
    t.own(37, 3);
    t.expectRent(39, 2, 50);
}

TEST(Rent, RailroadsChargeByHowManyShareTheOwnerCode) {
    Game4 t;
    t.own(5, 3);
    t.expectRent(5, 3, 25);
    t.own(35, 3);
    t.expectRent(5, 3, 50);
    t.expectRent(35, 3, 50);
    t.own(15, 3);
    t.expectRent(15, 3, 100);
    t.own(25, 3);
    t.expectRent(35, 3, 200);
    t.s().owners[25] = 7; // mortgaged
    t.expectRent(5, 3, 100);
}

TEST(Rent, UtilitiesChargeTheDiceTotalTimesFourOrTen) {
    Game4 t;
    t.own(28, 2);
    t.own(12, 3);
    t.ui.expect({landing(1, 28), owe(28, 2)});
    t.rollFrom(21, 3, 4);
    EXPECT_TRUE(t.ui.done());
    t.own(12, 2);
    t.ui.expect({landing(1, 28), owe(70, 2)});
    t.rollFrom(21, 5, 2);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().money[1], 1500 - 28 - 70);
}

TEST(Rent, IsPaidInFullBeyondThePayersBalance) {
    Game4 t;
    t.own(37, 2);
    t.own(39, 2);
    t.s().houses[39] = 5;
    t.s().money[1] = 10;
    t.ui.expect({landing(1, 39), owe(2000, 2), msg(debtText(1))});
    t.land(39);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().money[1], -1990);
    EXPECT_EQ(t.s().money[2], 3500);
    EXPECT_EQ(t.s().turn, 1);
}

TEST(Rent, PaymentsStopAtTheSixteenBitLimits) {
    Game4 t;
    t.own(37, 2);
    t.own(39, 2);
    t.s().houses[39] = 5;
    t.s().money[1] = -32000;
    t.s().money[2] = 32000;
    t.ui.expect({landing(1, 39), owe(2000, 2), msg(debtText(1))});
    t.land(39);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().money[1], -32768);
    EXPECT_EQ(t.s().money[2], 32767);
}

TEST(PassingGoLimit, SalaryStopsAt32767) {
    Game4 t;
    t.s().money[1] = 32700;
    t.ui.expect({msg("Player 1 Passed GO"), landing(1, 0)});
    t.rollFrom(38, 1, 1);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().money[1], 32767);
}

TEST(ResolveProperty, OwnSquareCostsNothing) {
    Game4 t;
    t.own(3, 1);
    t.expectFreeVisit(3, msg("You landed on your own property"));
}

TEST(ResolveProperty, MortgagedSquareCostsNothingWhoeverOwnsIt) {
    Game4 t;
    t.own(3, 1);
    t.s().owners[3] = 5; // the lander's own, mortgaged
    t.expectFreeVisit(3, msg("Property mortgaged, just visiting"));
    t.own(3, 2);
    t.s().owners[3] = 6;
    t.expectFreeVisit(3, msg("Property mortgaged, just visiting"));
    EXPECT_EQ(t.s().money[2], 1500);
}

TEST(Purchase, IsOfferedUnderThePurchaseName) {
    Game4 t;
    t.ui.expect({msg("Player 1 lands on Reading Railroad $200"),
                 ask("Buy Reading Railread?", true, "Buy Property"),
                 msg("Reading Railread Bought by player 1")});
    t.land(5);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().owners[5], 1);
    EXPECT_TRUE(t.s().grid.ticked[1][5]);
    EXPECT_EQ(t.s().pricePaid[5], 200);
    EXPECT_EQ(t.s().money[1], 1300);
    EXPECT_EQ(t.s().purchaseAnswer, kAnswerYes);

    t.s().turn = 2;
    t.ui.expect({msg("Player 2 lands on Virginia avenue $160"),
                 ask("Buy Virginia Avenue?", true, "Buy Property"),
                 msg("Virginia Avenue Bought by player 2")});
    t.game.moveToken(14);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().owners[14], 2);
    EXPECT_EQ(t.s().money[2], 1340);
}

TEST(Purchase, TurningDownChangesNothing) {
    Game4 t;
    t.ui.expect(
        {landing(1, 3), ask("Buy Baltic Avenue?", false, "Buy Property"), msg("Property Turned Down")});
    t.land(3);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().purchaseAnswer, kAnswerNo);
    EXPECT_EQ(t.s().owners[3], 0);
    EXPECT_EQ(t.s().pricePaid[3], 0);
    EXPECT_EQ(t.s().money[1], 1500);
    for (int p = 1; p <= 4; ++p)
        EXPECT_FALSE(t.s().grid.ticked[p][3]);
}

TEST(Purchase, BuyingBeyondTheBalanceIsHeldForDebtTwice) {
    Game4 t;
    t.s().money[1] = 40;
    t.ui.expect({landing(1, 3), ask("Buy Baltic Avenue?", true, "Buy Property"),
                 msg("Baltic Avenue Bought by player 1"), msg(debtText(1)), msg(debtText(1))});
    t.rollFrom(0, 1, 2);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().owners[3], 1);
    EXPECT_EQ(t.s().money[1], -20);
    EXPECT_EQ(t.s().debtor, 1);
    EXPECT_FALSE(t.s().board.endTurnEnabled);
    EXPECT_FALSE(t.s().board.rollEnabled);
}

TEST(WholeGroup, ComparesRawOwnerCodesAndChangesNothing) {
    Game4 t;
    const ColourGroup& lightBlue = *colourGroupOf(6);
    t.s().rent = 6;
    EXPECT_TRUE(t.game.ownsWholeGroup(lightBlue)); // three squares of the bank match too
    t.s().owners[6] = 2;
    t.s().owners[8] = 2;
    t.s().owners[9] = 6;
    EXPECT_FALSE(t.game.ownsWholeGroup(lightBlue)); // one of them mortgaged
    t.s().owners[9] = 2;
    EXPECT_TRUE(t.game.ownsWholeGroup(lightBlue));
    t.s().owners[8] = 3;
    EXPECT_FALSE(t.game.ownsWholeGroup(lightBlue)); // first and third alike, the middle one not
    EXPECT_EQ(t.s().rent, 6);
    const ColourGroup& darkBlue = *colourGroupOf(37);
    t.s().owners[37] = 1;
    EXPECT_FALSE(t.game.ownsWholeGroup(darkBlue));
    t.s().owners[39] = 1;
    EXPECT_TRUE(t.game.ownsWholeGroup(darkBlue));
}
