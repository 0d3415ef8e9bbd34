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
    if (h.mortgaged >= 0) t.s().owners[h.mortgaged] = 5;
    if (h.housesOn >= 0) t.s().houses[h.housesOn] = static_cast<i16>(h.houses);
    t.s().money[1] = static_cast<i16>(h.money);
    t.game.closeHouseOptions();
    t.game.openHouseOptions(square);
}

/// Buy House on `square` answers with `message` alone and changes nothing.
void expectBuyRefused(const Holding& h, int square, const std::string& message) {
    SCOPED_TRACE(message + " on " + std::to_string(square));
    Table t;
    setUp(t, h, square);
    t.ui.expect({msg(message)});
    t.game.buyHouse();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().houses[square], h.housesOn == square ? h.houses : 0);
    EXPECT_EQ(t.s().money[1], h.money);
}

using addHouse = TableTest;
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
    t.game.openHouseOptions(5); // nobody's railroad
    t.game.buyHouse();
    t.game.openHouseOptions(39);
    t.game.buyHouse();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().houses[39], 0);
    EXPECT_EQ(t.s().money[1], 1500);
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

TEST_F(addHouse, CashEqualToTheHousePriceIsEnough) {
    setUp(t, {.mine = {1, 3}, .money = 50}, 1);
    t.ui.expect({ask(kBuyQuestion, true), msg(bought("Mediteranean Avenue", 1))});
    t.game.buyHouse();
    EXPECT_EQ(t.s().houses[1], 1);
    EXPECT_EQ(t.s().money[1], 0);
    EXPECT_EQ(t.s().board.moneyLabels[1], "0");
}

TEST_F(addHouse, FiveOnOneSquareWithoutEvenBuildingThenTheHotelStops) {
    setUp(t, {.mine = {37, 39}}, 39);
    for (int n = 1; n <= 5; ++n)
        t.ui.expect({ask(kBuyQuestion, true), msg(bought("Boardwalk", n))});
    t.ui.expect({msg(kHotel)});
    for (int n = 1; n <= 6; ++n)
        t.game.buyHouse();
    EXPECT_EQ(t.s().houses[39], 5);
    EXPECT_EQ(t.s().houses[37], 0);
    EXPECT_EQ(t.s().money[1], 500);
}

TEST_F(HouseQuestions, AnsweringNoChangesNothingButMoneyIsStillRefreshed) {
    setUp(t, {.mine = {37, 39}, .housesOn = 39, .houses = 3}, 39);
    t.s().money[2] = -10;
    t.ui.expect({ask(kBuyQuestion, false), msg(debtText(2))});
    t.game.buyHouse();
    EXPECT_EQ(t.s().turn, 2); // the refresh held player 2
    t.s().turn = 1;
    t.ui.expect({ask(kSellQuestion, false), msg(debtText(2))});
    t.game.sellHouse();
    EXPECT_EQ(t.s().houses[39], 3);
    EXPECT_EQ(t.s().money[1], 1500);
}

TEST_F(SellHouse, SilentUnlessThePlayersOwnUnmortgagedSquare) {
    t.own(6, 2);
    t.s().houses[6] = 2;
    setUp(t, {.mine = {37, 39}, .housesOn = 39, .houses = 1}, 39);
    t.game.openHouseOptions(6); // another player's square
    t.game.sellHouse();
    t.game.openHouseOptions(5); // nobody's square
    t.game.sellHouse();
    t.s().owners[37] = 5; // the player's own square, mortgaged
    t.game.openHouseOptions(37);
    t.game.sellHouse();
    EXPECT_TRUE(t.ui.shown().empty());
    EXPECT_EQ(t.s().houses[6], 2);
    EXPECT_EQ(t.s().money[1], 1500);
}

TEST_F(SellHouse, NoHousesIsToldEvenWhenTheGroupIsIncomplete) {
    setUp(t, {.mine = {1}}, 1);
    t.ui.expect({msg(kNoneToSell)});
    t.game.sellHouse();
}

TEST_F(SellHouse, NeedsCashOfTheFullHousePriceAndRefundsHalf) {
    setUp(t, {.mine = {37, 39}, .housesOn = 37, .houses = 2, .money = -20}, 37);
    t.ui.expect(
        {msg(kNotMet), msg(debtText(1)), msg(kNotMet), ask(kSellQuestion, true), msg(sold("Park Place", 1))});
    t.game.sellHouse();
    t.s().money[1] = 199;
    t.game.sellHouse();
    EXPECT_EQ(t.s().houses[37], 2);
    t.s().money[1] = 200;
    t.game.sellHouse();
    EXPECT_EQ(t.s().houses[37], 1);
    EXPECT_EQ(t.s().money[1], 300);
    EXPECT_EQ(t.s().board.moneyLabels[1], "300");
}

TEST_F(SellHouse, SellingTheHotelLeavesFour) {
    setUp(t, {.mine = {6, 8, 9}, .housesOn = 9, .houses = 5, .money = 50}, 9);
    t.ui.expect({ask(kSellQuestion, true), msg(sold("Connecticut Avenue", 4))});
    t.game.sellHouse();
    EXPECT_EQ(t.s().houses[9], 4);
    EXPECT_EQ(t.s().money[1], 75);
}

TEST_F(SellHouse, RefusedWhenTheRefundWouldPassWhatTheBankCanCount) {
    setUp(t, {.mine = {37, 39}, .housesOn = 37, .houses = 2, .money = 32667}, 37);
    t.ui.expect({ask(kSellQuestion, true), msg(sold("Park Place", 1))}); // reaches the top exactly
    t.game.sellHouse();
    EXPECT_EQ(t.s().money[1], 32767);

    t.s().money[1] = 32700;
    t.ui.acceptAnything(true);
    t.game.sellHouse();
    ASSERT_EQ(t.ui.shown().size(), 4u);
    EXPECT_EQ(t.ui.shown()[2], kSellQuestion);
    EXPECT_TRUE(t.ui.shown()[3].starts_with(kBeyondBank)) << t.ui.shown()[3];
    EXPECT_EQ(t.s().houses[37], 1);
    EXPECT_EQ(t.s().money[1], 32700);
}

TEST_F(HouseOptions, SquaresThatCannotBeOwnedOpenNothing) {
    t.s().houseOptionsSquare = 39;
    for (const int square : {0, 2, 4, 7, 10, 17, 20, 22, 30, 33, 36, 38}) {
        t.game.openHouseOptions(square);
        EXPECT_FALSE(t.s().houseOptions.open) << square;
        EXPECT_EQ(t.s().houseOptionsSquare, 39) << square;
    }
}

TEST_F(HouseOptions, ButtonsServeOnlyTheCurrentPlayersSquare) {
    t.own(39, 2);
    t.own(8, 2);
    t.s().owners[8] = 6;
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
        const HouseOptionsView& view = t.s().houseOptions;
        EXPECT_TRUE(view.open);
        EXPECT_EQ(view.titleSquare, c.square);
        EXPECT_EQ(t.s().houseOptionsSquare, c.square);
        EXPECT_EQ(view.buyEnabled, c.enabled);
        EXPECT_EQ(view.sellEnabled, c.enabled);
        EXPECT_EQ(view.mortgageEnabled, c.enabled);
        EXPECT_EQ(view.mortgageCaption, c.caption);
    }
}

TEST_F(HouseOptions, ClickWhileOpenMovesOnlyTheSquareWorkedOn) {
    t.own(39, 2);
    setUp(t, {.mine = {1}}, 1);
    t.game.openHouseOptions(39);
    EXPECT_EQ(t.s().houseOptionsSquare, 39);
    EXPECT_EQ(t.s().houseOptions.titleSquare, 1);
    EXPECT_TRUE(t.s().houseOptions.mortgageEnabled);
    t.game.toggleMortgage(); // not the player's: nothing
    EXPECT_EQ(t.s().owners[39], 2);
    EXPECT_EQ(t.s().money[1], 1500);
    EXPECT_EQ(t.s().money[2], 1500);

    t.game.closeHouseOptions();
    t.game.openHouseOptions(39);
    EXPECT_EQ(t.s().houseOptions.titleSquare, 39);
    EXPECT_FALSE(t.s().houseOptions.mortgageEnabled);
    EXPECT_TRUE(t.ui.shown().empty());
}

TEST_F(Mortgage, PaysHalfOfWhatWasPaidAndUnmortgageChargesItBack) {
    setUp(t, {.mine = {37, 39}}, 37);
    t.game.toggleMortgage();
    EXPECT_EQ(t.s().owners[37], 5);
    EXPECT_EQ(t.s().money[1], 1675);
    EXPECT_EQ(t.s().board.moneyLabels[1], "1675");
    EXPECT_EQ(t.s().houseOptions.mortgageCaption, "Unmortgage");
    EXPECT_TRUE(t.s().grid.ticked[1][37]);
    t.game.toggleMortgage();
    EXPECT_EQ(t.s().owners[37], 1);
    EXPECT_EQ(t.s().money[1], 1500);
    EXPECT_EQ(t.s().houseOptions.mortgageCaption, "Mortgage");
    EXPECT_TRUE(t.ui.shown().empty());

    t.s().pricePaid[37] = 175; // an odd price: the half rounds to even, both ways
    t.game.toggleMortgage();
    EXPECT_EQ(t.s().money[1], 1588);
    t.game.toggleMortgage();
    EXPECT_EQ(t.s().money[1], 1500);
}

TEST_F(Mortgage, SquareReceivedInATradePaysHalfOfWhatItsFirstBuyerPaid) {
    t.own(39, 1); // first bought by player 1 for 400, then given to player 2
    t.s().owners[39] = 2;
    t.s().turn = 2;
    setUp(t, {}, 39);
    t.game.toggleMortgage();
    EXPECT_EQ(t.s().owners[39], 6);
    EXPECT_EQ(t.s().money[2], 1700);
}

TEST_F(Mortgage, RefusedWhileTheSquareHasHousesAndBlocksHousesInTheGroup) {
    setUp(t, {.mine = {37, 39}, .housesOn = 39, .houses = 2}, 39);
    t.ui.expect({msg(kHasHouses)});
    t.game.toggleMortgage();
    EXPECT_EQ(t.s().owners[39], 1);
    EXPECT_EQ(t.s().money[1], 1500);

    t.game.openHouseOptions(37); // the partner without houses can be mortgaged
    t.game.toggleMortgage();
    EXPECT_EQ(t.s().owners[37], 5);
    t.game.openHouseOptions(39);
    t.ui.expect({msg(kNotMet), msg(kNotMet)});
    t.game.buyHouse();
    t.game.sellHouse();
    EXPECT_EQ(t.s().houses[39], 2);
}

TEST_F(Mortgage, UnmortgagingWithTooLittleCashLeadsToDebt) {
    setUp(t, {.mine = {37}, .mortgaged = 37, .money = 100}, 37);
    t.ui.expect({msg(debtText(1))});
    t.game.toggleMortgage();
    EXPECT_EQ(t.s().owners[37], 1);
    EXPECT_EQ(t.s().money[1], -75);
    EXPECT_EQ(t.s().debtor, 1);
}

TEST_F(Mortgage, ClickAfterEndTurnIsJudgedForTheNewTurn) {
    t.start(2);
    setUp(t, {.mine = {37}}, 37);
    t.s().diceRoll = {1, 2, 3};
    t.s().board.endTurnEnabled = true;
    t.game.endTurn();
    ASSERT_EQ(t.s().turn, 2);
    t.game.toggleMortgage();
    EXPECT_EQ(t.s().owners[37], 1);
    EXPECT_EQ(t.s().money[1], 1500);
    EXPECT_EQ(t.s().money[2], 1500);
}

TEST_F(Mortgage, RefusedWhenTheBalanceWouldPassWhatTheBankCanCount) {
    t.ui.acceptAnything(true);
    setUp(t, {.mine = {37, 39}, .mortgaged = 37, .money = 32700}, 39); // Boardwalk would pay 200
    t.game.toggleMortgage();
    ASSERT_EQ(t.ui.shown().size(), 1u);
    EXPECT_TRUE(t.ui.shown()[0].starts_with(kBeyondBank)) << t.ui.shown()[0];
    EXPECT_EQ(t.s().owners[39], 1);
    EXPECT_EQ(t.s().money[1], 32700);
    EXPECT_EQ(t.s().houseOptions.mortgageCaption, "Mortgage");

    t.s().money[1] = -32600; // redeeming Park Place would charge 175
    t.game.openHouseOptions(37);
    t.game.toggleMortgage();
    ASSERT_EQ(t.ui.shown().size(), 3u);
    EXPECT_TRUE(t.ui.shown()[1].starts_with(kBeyondBank)) << t.ui.shown()[1];
    EXPECT_EQ(t.ui.shown()[2], debtText(1));
    EXPECT_EQ(t.s().owners[37], 5);
    EXPECT_EQ(t.s().money[1], -32600);
}
