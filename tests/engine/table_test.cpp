// Named seats, the statistics the rules keep, and the log's lines for events without a box.
#include "game_log.h"
#include "invariants.h"
#include "scripted.h"

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

constexpr int kMediterranean = 1;
constexpr int kBaltic = 3;
constexpr int kReading = 5;

/// A Ui that records the notes it hears and takes every box.
class NoteScreen final : public Ui {
  public:
    void tell(const Box& box) override { boxes.push_back(box); }
    bool ask(const Box& question) override {
        boxes.push_back(question);
        return true;
    }
    void note(const Box& note) override { notes.push_back(note); }
    void endProgram() override {}
    std::vector<Box> boxes;
    std::vector<Box> notes;
};

PlayerArray<std::string> typed(std::string a, std::string b, std::string c = {}, std::string d = {}) {
    PlayerArray<std::string> names;
    names[1] = std::move(a);
    names[2] = std::move(b);
    names[3] = std::move(c);
    names[4] = std::move(d);
    return names;
}

} // namespace

TEST(SeatNames, AreTrimmedAndAnEmptyNameIsNoName) {
    const NameCheck check = checkNames(typed("  Ann\t", "   ", "Player 3", "Zoë"));
    EXPECT_EQ(check.error, "");
    EXPECT_EQ(check.names, typed("Ann", "", "", "Zoë"));
    EXPECT_EQ(seatName(check.names[1], 1), "Ann");
    EXPECT_EQ(seatName(check.names[2], 2), "Player 2");
}

TEST(SeatNames, RefuseTooLongUnprintableSharedOrAnotherSeatsNumber) {
    EXPECT_EQ(checkNames(typed(std::string(24, 'x'), "")).error, "");
    // 24 characters of two bytes each are fine; the 25th is one too many.
    std::string accents;
    for (int k = 0; k < 24; ++k)
        accents += "é";
    EXPECT_EQ(checkNames(typed(accents, "")).error, "");
    EXPECT_EQ(checkNames(typed(accents + "é", "")).seat, 1);
    EXPECT_EQ(checkNames(typed("", std::string(25, 'x'))).error,
              "The name of Player 2 is longer than 24 characters.");
    EXPECT_EQ(checkNames(typed("A\nB", "")).seat, 1);
    EXPECT_EQ(checkNames(typed("A\x7f", "")).seat, 1);
    EXPECT_EQ(checkNames(typed("\xc3", "")).seat, 1) << "cut short UTF-8";
    EXPECT_EQ(checkNames(typed("\xc0\xaf", "")).seat, 1) << "overlong UTF-8";
    EXPECT_EQ(checkNames(typed("Ann", "", "ann")).error,
              "The name of Player 3 is already taken by Player 1.");
    EXPECT_EQ(checkNames(typed("player 2", "")).seat, 1);
}

TEST(SeatNames, CallTheSeatInBoxesLabelsTheTradeAndTheLog) {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    ScriptedUi screen;
    GameLog log(screen);
    Game game(log, random);
    game.nameSeats(typed("Ann", ""));
    game.choosePlayers(2);
    game.start();
    EXPECT_EQ(game.state.board.turnLabel, "Ann's turn");
    screen.expect({msg("Ann lands on Baltic Avenue $60"), ask("Buy Baltic Avenue?", true, "Buy Property"),
                   msg("Baltic Avenue Bought by Ann")});
    random.dice(1, 2);
    game.roll();
    game.endTurn();
    EXPECT_EQ(game.state.board.turnLabel, "Player 2's turn");
    screen.expect({msg("Player 2 lands on Baltic Avenue $60"), msg("You Owe $4 to Ann")});
    random.dice(2, 1);
    game.roll();
    game.chooseTradePartner(1);
    EXPECT_EQ(game.state.trade.traderName, "Player 2");
    EXPECT_EQ(game.state.trade.partnerName, "Ann");
    screen.expect({ask("Ann, do you accept this offer?", false)});
    game.finalizeOffer("10", "");
    EXPECT_TRUE(screen.done());
    EXPECT_EQ(log.lines().front(), "Ann: Ann lands on Baltic Avenue $60");
    EXPECT_EQ(log.lines().back(), "Player 2: Ann, do you accept this offer? - No");
    EXPECT_TRUE(brokenInvariants(game.state).empty());
}

TEST(Statistics, WorthCountsCashSquaresHousesAndHalfOfMortgagedSquares) {
    Table t;
    t.start(2);
    t.own(kBaltic, 1);
    t.s().houses[kBaltic] = 2;
    t.own(kReading, 1);
    t.s().owners[kReading] = mortgagedCode(1);
    EXPECT_EQ(worthOf(t.s(), 1), 1500 + 60 + 2 * 50 + 100);
    EXPECT_EQ(worthOf(t.s(), 2), 1500);
}

TEST(Statistics, ARoundEndsWhenTheTurnComesBackAndLandingsAreCounted) {
    Table t;
    t.start(2);
    ASSERT_EQ(t.s().history.worth.size(), 1u);
    EXPECT_EQ(t.s().history.worth[0].worth[1], kStartingMoney);
    EXPECT_EQ(t.s().history.worth[0].worth[3], 0) << "a seat not at the table";
    t.ui.acceptAnything(false);
    for (int turn = 0; turn < 4; ++turn) {
        t.random.dice(1, turn % 2 == 0 ? 2 : 3); // no doubles
        t.game.roll();
        t.game.endTurn();
    }
    const GameHistory& h = t.s().history;
    EXPECT_EQ(h.rounds, 2);
    ASSERT_EQ(h.worth.size(), 3u);
    EXPECT_EQ(h.worth[2].round, 2);
    EXPECT_EQ(h.worth[2].worth[2], worthOf(t.s(), 2));
    // Player 1 goes to 3 then 6, player 2 to 4 then 8.
    for (const int square : {3, 4, 6, 8})
        EXPECT_EQ(h.landings[square], 1) << square;
    EXPECT_EQ(h.landings[0], 0);

    // Doubles keep the turn: no round ends.
    t.random.dice(3, 3);
    t.game.roll();
    t.ui.expect({});
    t.game.endTurn();
    EXPECT_EQ(t.s().history.rounds, 2);
}

TEST(Statistics, ALongGameKeepsABoundedEvenlySpacedHistory) {
    GameHistory h;
    for (int round = 0; round <= 3 * kMaxRoundsKept; ++round)
        h.addRound({.round = round});
    EXPECT_LE(static_cast<int>(h.worth.size()), kMaxRoundsKept);
    EXPECT_EQ(h.worth.front().round, 0);
    const int stride = h.worth[1].round - h.worth[0].round;
    for (std::size_t k = 1; k < h.worth.size(); ++k)
        EXPECT_EQ(h.worth[k].round - h.worth[k - 1].round, stride);
    EXPECT_GT(h.worth.back().round, 3 * kMaxRoundsKept - stride - 1);
}

TEST(LogNotes, GivingUpMortgagesAndTradesAreToldWithWhatMoved) {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    NoteScreen screen;
    Game game(screen, random);
    game.choosePlayers(3);
    game.start();
    for (const int square : {kMediterranean, kBaltic, kReading}) {
        game.state.owners[square] = 1;
        game.state.pricePaid[square] = squareInfo(square).price;
    }
    game.openHouseOptions(kReading);
    game.toggleMortgage();
    game.toggleMortgage();
    game.toggleMortgage();
    game.closeHouseOptions();
    game.chooseTradePartner(2);
    game.enterSquare(0, "1");
    game.enterMoney(1, "25.5");
    game.finalizeOffer("", "25.5");
    game.state.money[1] = -5;
    game.refreshMoney();
    game.giveUp();
    std::vector<std::string> texts;
    for (const Box& n : screen.notes)
        texts.push_back(n.text);
    EXPECT_EQ(texts,
              (std::vector<std::string>{
                  "Player 1 mortgaged Reading Railroad for $100.",
                  "Player 1 paid off the mortgage on Reading Railroad for $100.",
                  "Player 1 mortgaged Reading Railroad for $100.",
                  "Player 1 traded with Player 2: Player 1 gave Mediteranean Avenue, Player 2 gave $25.5.",
                  "Player 1 gave up; back to the bank: Baltic Avenue; still mortgaged in the same name: "
                  "Reading Railroad.",
              }));
    EXPECT_EQ(screen.notes.back().kind, BoxKind::GaveUp);
}

TEST(LogNotes, EachHouseBoughtOrSoldIsALineWithItsMoney) {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    ScriptedUi screen;
    GameLog log(screen);
    Game game(log, random);
    screen.acceptAnything(true);
    game.choosePlayers(2);
    game.start();
    for (const int square : {kMediterranean, kBaltic}) {
        game.state.owners[square] = 1;
        game.state.pricePaid[square] = squareInfo(square).price;
    }
    game.openHouseOptions(kBaltic);
    game.buyHouse();
    game.buyHouse();
    game.sellHouse();
    game.sellHouse();
    game.sellHouse(); // none left: its refusal is a box of its own, no sale
    EXPECT_EQ(game.state.houses[kBaltic], 0);
    const std::string bought = "Player 1: House successfully purchased. Baltic Avenue now has ";
    const std::string sold = "Player 1: House successfully sold. Baltic Avenue now has ";
    std::vector<std::string> houseLines;
    for (const std::string& line : log.lines())
        if (line.find("House successfully") != std::string::npos) houseLines.push_back(line);
    EXPECT_EQ(houseLines, (std::vector<std::string>{
                              bought + "1 houses - paid $50", bought + "2 houses - paid $50",
                              sold + "1 houses - paid back $25", sold + "0 houses - paid back $25"}));
    EXPECT_EQ(log.lines().back(), "Player 1: No houses to sell !");
}

TEST(LogNotes, ARepeatedDebtHoldIsOneLineWithACount) {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    ScriptedUi screen;
    GameLog log(screen);
    Game game(log, random);
    screen.acceptAnything(false);
    game.choosePlayers(2);
    game.start();
    std::vector<std::string> rewritten;
    log.setRewriteListener([&](const std::string& line) { rewritten.push_back(line); });
    game.state.money[2] = -10;
    game.refreshMoney();
    game.refreshMoney();
    game.refreshMoney();
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Player 1: " + debtText(2) + " (3 times)"}));
    EXPECT_EQ(rewritten.back(), log.lines().back());
    EXPECT_EQ(screen.shown().size(), 3u) << "the boxes are shown every time";
    game.state.money[2] = 5;
    game.refreshMoney();
    game.state.money[2] = -1;
    game.refreshMoney();
    EXPECT_EQ(log.lines().size(), 2u) << "a new hold is a new line";
}

TEST(MoneyFacts, ComeWithThePurchaseAndHouseQuestions) {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    NoteScreen screen;
    Game game(screen, random);
    game.choosePlayers(2);
    game.start();
    game.state.owners[kMediterranean] = 1;
    random.dice(1, 2);
    game.roll();
    const Box& offer = screen.boxes[1];
    ASSERT_EQ(offer.kind, BoxKind::PurchaseOffer);
    ASSERT_TRUE(offer.facts);
    EXPECT_EQ(*offer.facts, (MoneyFacts{.price = 60, .rentNow = 8, .cashAfter = 1440})) << "the group's rent";
    game.openHouseOptions(kBaltic);
    game.buyHouse();
    const Box& house = screen.boxes[3];
    ASSERT_EQ(house.kind, BoxKind::HouseQuestion);
    EXPECT_EQ(*house.facts,
              (MoneyFacts{.price = 50, .rentNow = 8, .rentAfter = 20, .houses = 0, .cashAfter = 1390}));
}
