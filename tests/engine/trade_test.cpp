#include "scripted.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const std::string kCannotCarryOut = "This offer cannot be carried out";

std::string question(int player) {
    return "Player " + std::to_string(player) + ", do you accept this offer?";
}

std::string noLonger(const std::string& title, int player) {
    return title + " is no longer Player " + std::to_string(player) +
           "'s to trade (sold, traded or mortgaged since it was listed). The offer was not made.";
}

void enterMoney(Table& t, int side, std::string_view text) {
    t.game.enterMoney(side, std::string(text));
}

void enterSquare(Table& t, int side, std::string_view text) {
    t.game.enterSquare(side, std::string(text));
}

const OfferedSquare& listed(Table& t, int side, int k) {
    return t.s().trade.squaresOffered[static_cast<std::size_t>(side)][static_cast<std::size_t>(k)];
}

/// The titles in a side's list, as "Reading Railroad, Oriental Avenue".
std::string list(Table& t, int side) {
    std::string text;
    for (const OfferedSquare& label : t.s().trade.squaresOffered[static_cast<std::size_t>(side)])
        if (!label.text.empty()) text += (text.empty() ? "" : ", ") + label.text;
    return text;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        out.push_back(text.substr(from, at - from));
    out.push_back(text.substr(from));
    return out;
}

/// The balances of players 1 and 2, as "1500 1500".
std::string balances(Table& t) {
    return std::to_string(t.s().money[1]) + " " + std::to_string(t.s().money[2]);
}

/// Player 1 (the turn) owns 1 and 3, player 2 owns 39 with two houses; the window is open with player 2.
void dealTable(Table& t) {
    t.own(1, 1);
    t.own(3, 1);
    t.own(39, 2);
    t.s().houses[39] = 2;
    t.game.chooseTradePartner(2);
}

using TradeMoneyField = TableTest;
using TradePropertyField = TableTest;
using TradeHelp = TableTest;
using TradeWindow = TableTest;
using TradeOffer = TableTest;

} // namespace

TEST(TradeNumbers, ReadTheLongestLeadingDecimalNumber) {
    const std::string manyDigits(400, '9');
    const std::pair<std::string, double> cases[] = {
        {"", 0},           {"   ", 0},    {"12abc", 12},  {"-50", -50}, {"5.4", 5.4},       {"6.5", 6.5},
        {"7.5", 7.5},      {"1e3", 1000}, {"1E2", 100},   {".5", 0.5},  {"-.5", -0.5},      {"5.", 5},
        {"+7", 7},         {"+", 0},      {"e5", 0},      {"  42", 42}, {manyDigits, kInf}, {"1e400", kInf},
        {"-1e400", -kInf}, {"1e-400", 0}, {"nan", 0},     {"inf", 0},   {"-", 0},           {"1.2.3", 1.2},
        {"3e", 3},         {"3e+", 3},    {"2e-1x", 0.2}, {"abc12", 0}, {"- 5", 0},         {"0x10", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(Game::readNumber(text), value) << '"' << text << '"';
}

TEST(TradeNumbers, ShowPlainlyWithoutAPointWhenWhole) {
    EXPECT_EQ(Game::showNumber(100), "100");
    EXPECT_EQ(Game::showNumber(5.4), "5.4");
    EXPECT_EQ(Game::showNumber(-50), "-50");
    EXPECT_EQ(Game::showNumber(0.5), "0.5");
    EXPECT_EQ(Game::showNumber(200.0), "200");
    EXPECT_EQ(Game::showNumber(-0.0), "0");
    EXPECT_EQ(Game::showNumber(1234567), "1234567");
    EXPECT_EQ(Game::showNumber(0.1 + 0.2), "0.3");
}

TEST_F(TradeMoneyField, EnterAddsTheAmountToTheRunningSum) {
    t.game.chooseTradePartner(2);
    enterMoney(t, 0, "");
    EXPECT_EQ(t.s().trade.moneyOffered[0], "0");
    enterMoney(t, 0, "100");
    enterMoney(t, 0, "100");
    EXPECT_EQ(t.s().trade.moneyOffered[0], "200");
    enterMoney(t, 0, "-50");
    EXPECT_EQ(t.s().trade.moneyOffered[0], "150");
    enterMoney(t, 0, "0.25");
    EXPECT_EQ(t.s().trade.moneyOffered[0], "150.25");
    EXPECT_EQ(t.s().trade.moneyOffered[1], "");
    enterMoney(t, 1, "0.1");
    enterMoney(t, 1, "0.2");
    EXPECT_EQ(t.s().trade.moneyOffered[1], "0.3");
}

TEST_F(TradeMoneyField, HugeSumsAreShownWithoutBreaking) {
    t.game.chooseTradePartner(2);
    enterMoney(t, 0, "1e30");
    enterMoney(t, 0, "1e30");
    EXPECT_EQ(Game::readNumber(t.s().trade.moneyOffered[0]), 2e30);
    enterMoney(t, 1, std::string(400, '9'));
    EXPECT_FALSE(t.s().trade.moneyOffered[1].empty());
}

TEST_F(TradePropertyField, RoundsHalvesToEvenAndKeepsTheTypedNumberAsTag) {
    for (const int square : {5, 6, 8, 9})
        t.own(square, 1);
    t.game.chooseTradePartner(2);
    for (const char* typed : {"5.4", "6.5", "7.5", "8.5"})
        enterSquare(t, 0, typed);
    EXPECT_EQ(list(t, 0), "Reading Railroad, Oriental Avenue, Vermont Avenue, Vermont Avenue");
    EXPECT_EQ(listed(t, 0, 0).typed, 5.4);
    EXPECT_EQ(listed(t, 0, 1).typed, 6.5);
}

TEST_F(TradePropertyField, TakesOnlyTheSidesOwnUnmortgagedSquares) {
    dealTable(t);
    t.own(6, 1);
    t.s().owners[6] = 5;
    t.s().houses[1] = 3;
    for (const char* typed : {"6", "12", "39", "abc", ""})
        enterSquare(t, 0, typed);
    enterSquare(t, 0, "1"); // houses do not matter
    EXPECT_EQ(list(t, 0), "Mediteranean Avenue");
    enterSquare(t, 1, "3");
    enterSquare(t, 1, "39");
    EXPECT_EQ(list(t, 1), "Boardwalk");
    EXPECT_TRUE(t.ui.shown().empty());
}

TEST_F(TradePropertyField, SevenSquaresAtMostPerSide) {
    dealTable(t);
    for (int n = 0; n < 7; ++n)
        enterSquare(t, 0, "1");
    enterSquare(t, 0, "3");
    std::string seven = "Mediteranean Avenue";
    for (int n = 1; n < 7; ++n)
        seven += ", Mediteranean Avenue";
    EXPECT_EQ(list(t, 0), seven);
}

TEST_F(TradePropertyField, NumbersOffTheBoardAreIgnored) {
    t.own(39, 1);
    t.game.chooseTradePartner(2);
    for (const char* typed : {"40", "39.5", "-1", "-0.6", "1e30", "1e400", "-1e400", "65575"})
        enterSquare(t, 0, typed);
    EXPECT_EQ(list(t, 0), "");
}

TEST_F(TradeHelp, ListsTheTwentyEightSquaresOneALine) {
    t.game.chooseTradePartner(2);
    t.ui.acceptAnything(false);
    t.game.showTradeHelp();
    ASSERT_EQ(t.ui.shown().size(), 1u);
    const std::string& text = t.ui.shown()[0];
    EXPECT_FALSE(text.ends_with("\r\n"));
    const std::vector<std::string> rows = lines(text);
    ASSERT_EQ(rows.size(), 28u);
    EXPECT_EQ(rows[0], "1 = Mediteranean Avenue");
    EXPECT_EQ(rows[16], "25 = B && O Railroad");
    EXPECT_EQ(rows[27], "28 = Water Works");
    const int order[] = {1,  3,  5,  6,  8,  9,  11, 13, 14, 15, 16, 18, 19, 21,
                         23, 24, 25, 26, 27, 29, 31, 32, 34, 35, 37, 39, 12, 28};
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_TRUE(rows[i].starts_with(std::to_string(order[i]) + " = ")) << rows[i];
}

TEST_F(TradeWindow, HeadingClickLoadsNamesOnlyWhenTheWindowIsCreated) {
    t.own(6, 2);
    t.game.chooseTradePartner(3);
    EXPECT_TRUE(t.s().trade.open);
    EXPECT_EQ(t.s().tradePartner, 3);
    EXPECT_EQ(t.s().trade.traderName, "Player 1");
    EXPECT_EQ(t.s().trade.partnerName, "Player 3");
    enterMoney(t, 0, "5");

    t.s().turn = 2;
    t.game.chooseTradePartner(4);
    EXPECT_EQ(t.s().tradePartner, 4);
    EXPECT_EQ(t.s().trade.traderName, "Player 1");
    EXPECT_EQ(t.s().trade.partnerName, "Player 3");
    EXPECT_EQ(t.s().trade.moneyOffered[0], "5");
    enterSquare(t, 0, "6"); // side 0 is whoever holds the turn now
    EXPECT_EQ(list(t, 0), "Oriental Avenue");

    t.game.closeTrade();
    t.game.chooseTradePartner(1);
    EXPECT_EQ(t.s().trade.traderName, "Player 2");
    EXPECT_EQ(t.s().trade.partnerName, "Player 1");
    EXPECT_EQ(t.s().trade.moneyOffered[0], "");
    EXPECT_EQ(list(t, 0), "");
}

TEST_F(TradeOffer, NoChangesNothingButRefreshesTheMoney) {
    dealTable(t);
    enterSquare(t, 0, "1");
    t.s().money[1] = 1234;
    t.ui.expect({ask(question(2), false)});
    t.game.finalizeOffer("100", "50");
    EXPECT_EQ(balances(t), "1234 1500");
    EXPECT_EQ(t.s().owners[1], 1);
    EXPECT_EQ(t.s().board.moneyLabels[1], "1234");
}

TEST_F(TradeOffer, MoneyMovesInFourStepsRoundedEachTime) {
    t.game.chooseTradePartner(2);
    t.s().money[1] = 100;
    t.s().money[2] = 100;
    t.ui.expect({ask(question(2), true)});
    t.game.finalizeOffer("12.5", "");
    EXPECT_EQ(balances(t), "88 112");

    // Each side gives 0.5: receiving first, paying second, each result rounded on its own.
    t.s().money[1] = 101;
    t.s().money[2] = 101;
    t.ui.expect({ask(question(2), true)});
    t.game.finalizeOffer("0.5", "0.5");
    EXPECT_EQ(balances(t), "102 102");
    EXPECT_EQ(t.s().board.moneyLabels[2], "102");
}

TEST_F(TradeOffer, SquaresChangeHandsWithTheirHousesAndFirstPrice) {
    dealTable(t);
    for (const char* typed : {"1", "3", "1"}) // a square listed twice goes once
        enterSquare(t, 0, typed);
    enterSquare(t, 1, "39");
    enterMoney(t, 1, "25");
    const std::string given = list(t, 0), taken = list(t, 1);
    t.ui.expect({ask(question(2), true)});
    t.game.finalizeOffer("", "25");
    for (const int square : {1, 3}) {
        EXPECT_EQ(t.s().owners[square], 2);
        EXPECT_TRUE(t.s().grid.ticked[2][square]);
        EXPECT_FALSE(t.s().grid.ticked[1][square]);
    }
    EXPECT_EQ(t.s().owners[39], 1);
    EXPECT_TRUE(t.s().grid.ticked[1][39]);
    EXPECT_FALSE(t.s().grid.ticked[2][39]);
    EXPECT_EQ(t.s().houses[39], 2);
    EXPECT_EQ(t.s().pricePaid[39], 400);
    EXPECT_EQ(t.s().pricePaid[1], 60);
    EXPECT_EQ(balances(t), "1525 1475");
    EXPECT_TRUE(t.s().trade.open);
    EXPECT_EQ(t.s().trade.moneyOffered[1], "25");
    EXPECT_EQ(list(t, 0), given);
    EXPECT_EQ(list(t, 1), taken);
}

TEST_F(TradeOffer, EachFinalizeMovesTheAmountsInTheFieldsAgain) {
    t.game.chooseTradePartner(2);
    enterMoney(t, 0, "100");
    enterMoney(t, 0, "100"); // the running sum is not what moves
    t.ui.expect({ask(question(2), true), ask(question(2), true)});
    t.game.finalizeOffer("100", "");
    EXPECT_EQ(t.s().money[1], 1400);
    t.game.finalizeOffer("100", "");
    EXPECT_EQ(balances(t), "1300 1700");
}

TEST_F(TradeOffer, TradingWithOneselfChangesNothing) {
    dealTable(t);
    t.game.closeTrade();
    t.game.chooseTradePartner(1);
    enterSquare(t, 0, "1");
    enterSquare(t, 1, "3");
    t.ui.expect({ask(question(1), true)});
    t.game.finalizeOffer("10.5", "");
    EXPECT_EQ(t.s().money[1], 1500);
    EXPECT_EQ(t.s().owners[1], 1);
    EXPECT_EQ(t.s().owners[3], 1);
    EXPECT_TRUE(t.s().grid.ticked[1][1]);
    EXPECT_TRUE(t.s().grid.ticked[1][3]);
}

TEST_F(TradeOffer, ATradeIntoDebtHoldsTheDebtorAfterTheAnswer) {
    t.game.chooseTradePartner(2);
    t.s().money[2] = 100;
    t.ui.expect({ask(question(2), true), msg(debtText(2))});
    t.game.finalizeOffer("", "300");
    EXPECT_EQ(balances(t), "1800 -200");
    EXPECT_EQ(t.s().debtor, 2);
    EXPECT_EQ(t.s().turn, 2);
}

TEST(TradeOfferRefusal, SquareNoLongerItsSidesRefusesTheWholeOffer) {
    struct Case {
        const char* what;
        std::function<void(Table&)> change;
        std::string refusal;
    };
    const Case cases[] = {
        {"sold on", [](Table& t) { t.s().owners[1] = 3; }, noLonger("Mediteranean Avenue", 1)},
        {"mortgaged since", [](Table& t) { t.s().owners[39] = 6; }, noLonger("Boardwalk", 2)},
        {"turn passed", [](Table& t) { t.s().turn = 2; }, noLonger("Mediteranean Avenue", 2)},
        {"other tradee", [](Table& t) { t.game.chooseTradePartner(3); }, noLonger("Boardwalk", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Table t;
        dealTable(t);
        enterSquare(t, 0, "1");
        enterSquare(t, 1, "39");
        c.change(t);
        const GameState before = t.s();
        t.ui.expect({msg(c.refusal)});
        t.game.finalizeOffer("100", "50");
        EXPECT_TRUE(t.ui.done());
        EXPECT_TRUE(t.s().money == before.money);
        EXPECT_TRUE(t.s().owners == before.owners);
    }
}

TEST(TradeOfferRefusal, AmountsBeyondWhatTheBankCanCountRefuseTheWholeOffer) {
    struct Case {
        int money1, money2;
        const char *give0, *give1;
    };
    const Case cases[] = {
        {1500, 1500, "1e30", ""},   {1500, 1500, "", "1e400"},  {32000, 1500, "", "1000"},
        {1500, -32000, "", "1000"}, {32000, 1500, "", "767.5"}, {32000, 1500, "-1000", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.give0) + " / " + c.give1);
        Table t;
        dealTable(t);
        enterSquare(t, 0, "1");
        t.s().money[1] = static_cast<i16>(c.money1);
        t.s().money[2] = static_cast<i16>(c.money2);
        t.ui.acceptAnything(true);
        t.game.finalizeOffer(c.give0, c.give1);
        ASSERT_EQ(t.ui.shown().size(), 1u);
        EXPECT_TRUE(t.ui.shown()[0].starts_with(kCannotCarryOut)) << t.ui.shown()[0];
        EXPECT_EQ(balances(t), std::to_string(c.money1) + " " + std::to_string(c.money2));
        EXPECT_EQ(t.s().owners[1], 1);
    }
}

TEST_F(TradeOffer, BalancesUpToTheTopOfTheRangeAreCarriedOut) {
    t.game.chooseTradePartner(2);
    t.s().money[1] = 32000;
    t.ui.expect({ask(question(2), true)});
    t.game.finalizeOffer("", "767.4");
    EXPECT_EQ(balances(t), "32767 733");
}

namespace {
std::string notInTheGame(int player) {
    return "Player " + std::to_string(player) + " is not in the game, so the offer was not made.";
}
} // namespace

TEST_F(TradeOffer, ASeatNotSeatedAtStartCannotBeTheOtherParty) {
    t.start(2);
    t.own(1, 1);
    t.game.chooseTradePartner(3);
    ASSERT_TRUE(t.s().trade.open); // the window still opens for it
    enterSquare(t, 0, "1");
    t.ui.expect({msg(notInTheGame(3))});
    t.game.finalizeOffer("", "500");
    EXPECT_EQ(t.s().money[1], 1500);
    EXPECT_EQ(t.s().money[3], 1500);
    EXPECT_EQ(t.s().owners[1], 1);
    EXPECT_TRUE(t.s().grid.ticked[1][1]);
    ASSERT_EQ(t.ui.boxes().size(), 1u);
    EXPECT_EQ(t.ui.boxes()[0].kind, BoxKind::TradeRefused);
    EXPECT_EQ(t.ui.boxes()[0].seat, 1);
}

TEST_F(TradeOffer, ABankruptSeatCannotBeTheOtherParty) {
    t.start(3);
    t.own(39, 2);
    t.s().owners[39] = mortgagedCode(2); // a bankrupt seat keeps its mortgaged squares
    t.s().seatOut[2] = kTrue;
    t.game.chooseTradePartner(2);
    t.ui.expect({msg(notInTheGame(2))});
    t.game.finalizeOffer("100", "-50");
    EXPECT_EQ(t.s().owners[39], mortgagedCode(2));
    EXPECT_EQ(balances(t), "1500 1500");
}

TEST_F(TradeOffer, BeforeStartEverySeatMayTrade) {
    t.game.chooseTradePartner(4);
    t.ui.expect({ask(question(4), true)});
    t.game.finalizeOffer("100", "");
    EXPECT_EQ(t.s().money[1], 1400);
    EXPECT_EQ(t.s().money[4], 1600);
}
