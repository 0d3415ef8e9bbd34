#include "scripted.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

const std::string kDontOwn = "You don't own this property";
const std::string kHotel = "Already have a hotel!";
const std::string kNoHousesHere = "Can't own houses here";
const std::string kNotMet = "Requirements not met";
const std::string kNoneToSell = "No houses to sell !";
const std::string kBuyQuestion = "Are you sure you want to buy a house here?";
const std::string kSellQuestion = "Are you sure you want to sell a house here?";
const std::string kHasHouses = "Cannot mortgage a property with houses on it, please sell houses first";
const std::string kBeyondBank = "That would take Player 1's money beyond what the bank can count";

std::string bought(const std::string& title, int houses) {
    return "House successfully purchased. " + title + " now has " + std::to_string(houses) + " houses";
}

std::string sold(const std::string& title, int houses) {
    return "House successfully sold. " + title + " now has " + std::to_string(houses) + " houses";
}

/// What player 1, who holds the turn, owns before a click.
struct Holding {
    std::vector<int> mine;
    int mortgaged = -1; // one of `mine`, mortgaged
    int housesOn = -1;  // one of `mine`, with `houses` on it
    int houses = 0;
    int money = 1500;
};

/// Player 1 holds `h`, and the House Options window is opened afresh on `square`.
void setUp(Table& t, const Holding& h, int square) {
    for (const int s : h.mine)
        t.own(s, 1);
    if (h.mortgaged >= 0) t.s().Owner[h.mortgaged] = 5;
    if (h.housesOn >= 0) t.s().Houses[h.housesOn] = static_cast<i16>(h.houses);
    t.s().Money[1] = static_cast<i16>(h.money);
    t.game.closeHouseWork();
    t.game.Square_Click(square);
}

/// Buy House on `square` answers with `message` alone and changes nothing.
void expectBuyRefused(const Holding& h, int square, const std::string& message) {
    SCOPED_TRACE(message + " on " + std::to_string(square));
    Table t;
    setUp(t, h, square);
    t.ui.expect({msg(message)});
    t.game.cmdBuyHouse_Click();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().Houses[square], h.housesOn == square ? h.houses : 0);
    EXPECT_EQ(t.s().Money[1], h.money);
}

using BuyHouse = TableTest;
using HouseQuestions = TableTest;
using SellHouse = TableTest;
using HouseOptions = TableTest;
using Mortgage = TableTest;

} // namespace

TEST(BuyHouseRefusal, OnlyOnThePlayersOwnUnmortgagedSquare) {
    expectBuyRefused({.mine = {1, 3}, .mortgaged = 1}, 1, kDontOwn);
    // The window opened on the player's square, then pointed elsewhere by further clicks.
    Table t;
    t.own(39, 2);
    setUp(t, {.mine = {1, 3}}, 1);
    t.ui.expect({msg(kDontOwn), msg(kDontOwn)});
    t.game.Square_Click(5); // nobody's railroad
    t.game.cmdBuyHouse_Click();
    t.game.Square_Click(39);
    t.game.cmdBuyHouse_Click();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().Houses[39], 0);
    EXPECT_EQ(t.s().Money[1], 1500);
}

TEST(BuyHouseRefusal, HotelIsReportedBeforeGroupAndCash) {
    expectBuyRefused({.mine = {1}, .housesOn = 1, .houses = 5, .money = 0}, 1, kHotel);
}

TEST(BuyHouseRefusal, RailroadsAndUtilitiesTakeNoHouses) {
    expectBuyRefused({.mine = {25}}, 25, kNoHousesHere);
    expectBuyRefused({.mine = {12, 28}}, 28, kNoHousesHere);
}

TEST(BuyHouseRefusal, RequirementsNotMetForIncompleteOrMortgagedGroupOrTooLittleCash) {
    expectBuyRefused({.mine = {1}}, 1, kNotMet);
    expectBuyRefused({.mine = {1, 3}, .mortgaged = 3}, 1, kNotMet);
    expectBuyRefused({.mine = {6, 8, 9}, .mortgaged = 9}, 6, kNotMet);
    expectBuyRefused({.mine = {1, 3}, .money = 49}, 3, kNotMet);
}

TEST_F(BuyHouse, CashEqualToTheHousePriceIsEnough) {
    setUp(t, {.mine = {1, 3}, .money = 50}, 1);
    t.ui.expect({ask(kBuyQuestion, true), msg(bought("Mediteranean Avenue", 1))});
    t.game.cmdBuyHouse_Click();
    EXPECT_EQ(t.s().Houses[1], 1);
    EXPECT_EQ(t.s().Money[1], 0);
    EXPECT_EQ(t.s().board.moneyLabel[1], "0");
}

TEST_F(BuyHouse, FiveOnOneSquareWithoutEvenBuildingThenTheHotelStops) {
    setUp(t, {.mine = {37, 39}}, 39);
    for (int n = 1; n <= 5; ++n)
        t.ui.expect({ask(kBuyQuestion, true), msg(bought("Boardwalk", n))});
    t.ui.expect({msg(kHotel)});
    for (int n = 1; n <= 6; ++n)
        t.game.cmdBuyHouse_Click();
    EXPECT_EQ(t.s().Houses[39], 5);
    EXPECT_EQ(t.s().Houses[37], 0);
    EXPECT_EQ(t.s().Money[1], 500);
}

TEST_F(HouseQuestions, AnsweringNoChangesNothingButMoneyIsStillRefreshed) {
    setUp(t, {.mine = {37, 39}, .housesOn = 39, .houses = 3}, 39);
    t.s().Money[2] = -10;
    t.ui.expect({ask(kBuyQuestion, false), msg(debtText(2))});
    t.game.cmdBuyHouse_Click();
    EXPECT_EQ(t.s().turn, 2); // the refresh held player 2
    t.s().turn = 1;
    t.ui.expect({ask(kSellQuestion, false), msg(debtText(2))});
    t.game.cmdSellHouse_Click();
    EXPECT_EQ(t.s().Houses[39], 3);
    EXPECT_EQ(t.s().Money[1], 1500);
}

TEST_F(SellHouse, SilentUnlessThePlayersOwnUnmortgagedSquare) {
    t.own(6, 2);
    t.s().Houses[6] = 2;
    setUp(t, {.mine = {37, 39}, .housesOn = 39, .houses = 1}, 39);
    t.game.Square_Click(6); // another player's square
    t.game.cmdSellHouse_Click();
    t.game.Square_Click(5); // nobody's square
    t.game.cmdSellHouse_Click();
    t.s().Owner[37] = 5; // the player's own square, mortgaged
    t.game.Square_Click(37);
    t.game.cmdSellHouse_Click();
    EXPECT_TRUE(t.ui.shown().empty());
    EXPECT_EQ(t.s().Houses[6], 2);
    EXPECT_EQ(t.s().Money[1], 1500);
}

TEST_F(SellHouse, NoHousesIsToldEvenWhenTheGroupIsIncomplete) {
    setUp(t, {.mine = {1}}, 1);
    t.ui.expect({msg(kNoneToSell)});
    t.game.cmdSellHouse_Click();
}

TEST_F(SellHouse, NeedsCashOfTheFullHousePriceAndRefundsHalf) {
    setUp(t, {.mine = {37, 39}, .housesOn = 37, .houses = 2, .money = -20}, 37);
    t.ui.expect(
        {msg(kNotMet), msg(debtText(1)), msg(kNotMet), ask(kSellQuestion, true), msg(sold("Park Place", 1))});
    t.game.cmdSellHouse_Click();
    t.s().Money[1] = 199;
    t.game.cmdSellHouse_Click();
    EXPECT_EQ(t.s().Houses[37], 2);
    t.s().Money[1] = 200;
    t.game.cmdSellHouse_Click();
    EXPECT_EQ(t.s().Houses[37], 1);
    EXPECT_EQ(t.s().Money[1], 300);
    EXPECT_EQ(t.s().board.moneyLabel[1], "300");
}

TEST_F(SellHouse, SellingTheHotelLeavesFour) {
    setUp(t, {.mine = {6, 8, 9}, .housesOn = 9, .houses = 5, .money = 50}, 9);
    t.ui.expect({ask(kSellQuestion, true), msg(sold("Connecticut Avenue", 4))});
    t.game.cmdSellHouse_Click();
    EXPECT_EQ(t.s().Houses[9], 4);
    EXPECT_EQ(t.s().Money[1], 75);
}

TEST_F(SellHouse, RefusedWhenTheRefundWouldPassWhatTheBankCanCount) {
    setUp(t, {.mine = {37, 39}, .housesOn = 37, .houses = 2, .money = 32667}, 37);
    t.ui.expect({ask(kSellQuestion, true), msg(sold("Park Place", 1))}); // reaches the top exactly
    t.game.cmdSellHouse_Click();
    EXPECT_EQ(t.s().Money[1], 32767);

    t.s().Money[1] = 32700;
    t.ui.acceptAnything(true);
    t.game.cmdSellHouse_Click();
    ASSERT_EQ(t.ui.shown().size(), 4u);
    EXPECT_EQ(t.ui.shown()[2], kSellQuestion);
    EXPECT_TRUE(t.ui.shown()[3].starts_with(kBeyondBank)) << t.ui.shown()[3];
    EXPECT_EQ(t.s().Houses[37], 1);
    EXPECT_EQ(t.s().Money[1], 32700);
}

TEST_F(HouseOptions, SquaresThatCannotBeOwnedOpenNothing) {
    t.s().PIndex = 39;
    for (const int square : {0, 2, 4, 7, 10, 17, 20, 22, 30, 33, 36, 38}) {
        t.game.Square_Click(square);
        EXPECT_FALSE(t.s().houseWork.open) << square;
        EXPECT_EQ(t.s().PIndex, 39) << square;
    }
}

TEST_F(HouseOptions, ButtonsServeOnlyTheCurrentPlayersSquare) {
    t.own(39, 2);
    t.own(8, 2);
    t.s().Owner[8] = 6;
    const struct {
        int square;
        bool enabled;
        const char* caption;
    } cases[] = {{3, false, "Mortgage"},
                 {39, false, "Mortgage"},
                 {8, false, "Mortgage"},
                 {1, true, "Mortgage"},
                 {6, true, "Unmortgage"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.square);
        setUp(t, {.mine = {1, 6}, .mortgaged = 6}, c.square);
        const HouseWorkView& view = t.s().houseWork;
        EXPECT_TRUE(view.open);
        EXPECT_EQ(view.titleSquare, c.square);
        EXPECT_EQ(t.s().PIndex, c.square);
        EXPECT_EQ(view.buyEnabled, c.enabled);
        EXPECT_EQ(view.sellEnabled, c.enabled);
        EXPECT_EQ(view.mortgageEnabled, c.enabled);
        EXPECT_EQ(view.mortgageCaption, c.caption);
    }
}

TEST_F(HouseOptions, ClickWhileOpenMovesOnlyTheSquareWorkedOn) {
    t.own(39, 2);
    setUp(t, {.mine = {1}}, 1);
    t.game.Square_Click(39);
    EXPECT_EQ(t.s().PIndex, 39);
    EXPECT_EQ(t.s().houseWork.titleSquare, 1);
    EXPECT_TRUE(t.s().houseWork.mortgageEnabled);
    t.game.cmdMortgage_Click(); // not the player's: nothing
    EXPECT_EQ(t.s().Owner[39], 2);
    EXPECT_EQ(t.s().Money[1], 1500);
    EXPECT_EQ(t.s().Money[2], 1500);

    t.game.closeHouseWork();
    t.game.Square_Click(39);
    EXPECT_EQ(t.s().houseWork.titleSquare, 39);
    EXPECT_FALSE(t.s().houseWork.mortgageEnabled);
    EXPECT_TRUE(t.ui.shown().empty());
}

TEST_F(Mortgage, PaysHalfOfWhatWasPaidAndUnmortgageChargesItBack) {
    setUp(t, {.mine = {37, 39}}, 37);
    t.game.cmdMortgage_Click();
    EXPECT_EQ(t.s().Owner[37], 5);
    EXPECT_EQ(t.s().Money[1], 1675);
    EXPECT_EQ(t.s().board.moneyLabel[1], "1675");
    EXPECT_EQ(t.s().houseWork.mortgageCaption, "Unmortgage");
    EXPECT_TRUE(t.s().grid.ticked[1][37]);
    t.game.cmdMortgage_Click();
    EXPECT_EQ(t.s().Owner[37], 1);
    EXPECT_EQ(t.s().Money[1], 1500);
    EXPECT_EQ(t.s().houseWork.mortgageCaption, "Mortgage");
    EXPECT_TRUE(t.ui.shown().empty());

    t.s().PricePaid[37] = 175; // an odd price: the half rounds to even, both ways
    t.game.cmdMortgage_Click();
    EXPECT_EQ(t.s().Money[1], 1588);
    t.game.cmdMortgage_Click();
    EXPECT_EQ(t.s().Money[1], 1500);
}

TEST_F(Mortgage, SquareReceivedInATradePaysHalfOfWhatItsFirstBuyerPaid) {
    t.own(39, 1); // first bought by player 1 for 400, then given to player 2
    t.s().Owner[39] = 2;
    t.s().turn = 2;
    setUp(t, {}, 39);
    t.game.cmdMortgage_Click();
    EXPECT_EQ(t.s().Owner[39], 6);
    EXPECT_EQ(t.s().Money[2], 1700);
}

TEST_F(Mortgage, RefusedWhileTheSquareHasHousesAndBlocksHousesInTheGroup) {
    setUp(t, {.mine = {37, 39}, .housesOn = 39, .houses = 2}, 39);
    t.ui.expect({msg(kHasHouses)});
    t.game.cmdMortgage_Click();
    EXPECT_EQ(t.s().Owner[39], 1);
    EXPECT_EQ(t.s().Money[1], 1500);

    t.game.Square_Click(37); // the partner without houses can be mortgaged
    t.game.cmdMortgage_Click();
    EXPECT_EQ(t.s().Owner[37], 5);
    t.game.Square_Click(39);
    t.ui.expect({msg(kNotMet), msg(kNotMet)});
    t.game.cmdBuyHouse_Click();
    t.game.cmdSellHouse_Click();
    EXPECT_EQ(t.s().Houses[39], 2);
}

TEST_F(Mortgage, UnmortgagingWithTooLittleCashLeadsToDebt) {
    setUp(t, {.mine = {37}, .mortgaged = 37, .money = 100}, 37);
    t.ui.expect({msg(debtText(1))});
    t.game.cmdMortgage_Click();
    EXPECT_EQ(t.s().Owner[37], 1);
    EXPECT_EQ(t.s().Money[1], -75);
    EXPECT_EQ(t.s().Debtor, 1);
}

TEST_F(Mortgage, ClickAfterEndTurnIsJudgedForTheNewTurn) {
    t.start(2);
    setUp(t, {.mine = {37}}, 37);
    t.s().DiceRoll = {1, 2, 3};
    t.s().board.endTurnEnabled = true;
    t.game.cmdEndTurn_Click();
    ASSERT_EQ(t.s().turn, 2);
    t.game.cmdMortgage_Click();
    EXPECT_EQ(t.s().Owner[37], 1);
    EXPECT_EQ(t.s().Money[1], 1500);
    EXPECT_EQ(t.s().Money[2], 1500);
}

TEST_F(Mortgage, RefusedWhenTheBalanceWouldPassWhatTheBankCanCount) {
    t.ui.acceptAnything(true);
    setUp(t, {.mine = {37, 39}, .mortgaged = 37, .money = 32700}, 39); // Boardwalk would pay 200
    t.game.cmdMortgage_Click();
    ASSERT_EQ(t.ui.shown().size(), 1u);
    EXPECT_TRUE(t.ui.shown()[0].starts_with(kBeyondBank)) << t.ui.shown()[0];
    EXPECT_EQ(t.s().Owner[39], 1);
    EXPECT_EQ(t.s().Money[1], 32700);
    EXPECT_EQ(t.s().houseWork.mortgageCaption, "Mortgage");

    t.s().Money[1] = -32600; // redeeming Park Place would charge 175
    t.game.Square_Click(37);
    t.game.cmdMortgage_Click();
    ASSERT_EQ(t.ui.shown().size(), 3u);
    EXPECT_TRUE(t.ui.shown()[1].starts_with(kBeyondBank)) << t.ui.shown()[1];
    EXPECT_EQ(t.ui.shown()[2], debtText(1));
    EXPECT_EQ(t.s().Owner[37], 5);
    EXPECT_EQ(t.s().Money[1], -32600);
}
