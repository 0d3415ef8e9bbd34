// The computer seat's decisions in chosen positions, and the game log's lines.
#include "computer_player.h"
#include "game_log.h"
#include "invariants.h"
#include "scripted.h"
#include "seat_router.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

constexpr int kBaltic = 3;
constexpr int kMediterranean = 1;
constexpr int kReading = 5;
constexpr int kElectric = 12;
constexpr int kParkPlace = 37;
constexpr int kBoardwalk = 39;

/// A started game whose `computers` seats are played by a computer player through a seat router,
/// every box logged. People's questions are answered No.
struct ComputerTable {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    ScriptedUi screen;
    ComputerPlayer computer;
    SeatRouter router{screen, computer};
    GameLog log{router};
    Game game{log, random};

    ComputerTable(int players, std::initializer_list<int> computers) {
        screen.acceptAnything(false);
        router.attach(game);
        for (const int seat : computers)
            router.setComputer(seat, true);
        game.choosePlayers(players);
        game.start();
    }
    GameState& s() { return game.state; }
    void setMoney(int seat, int money) {
        s().money[seat] = static_cast<i16>(money);
        s().board.moneyLabels[seat] = num(money);
    }
    void own(int square, int player, int houses = 0) {
        s().owners[square] = static_cast<i16>(player);
        for (int seat = 1; seat <= kPlayerCount; ++seat)
            s().grid.ticked[seat][square] = seat == ownerOf(player);
        s().pricePaid[square] = squareInfo(square).price;
        s().houses[square] = static_cast<i16>(houses);
    }
    /// Lets the computer act for the seat holding the turn until it chooses `kind` (not taken) or
    /// the turn passes; returns every action it took. Each must be carried out and keep the invariants.
    std::vector<Action> playUntil(ActionKind kind) {
        std::vector<Action> taken;
        const int seat = s().turn;
        for (int step = 0; step < 200 && s().turn == seat; ++step) {
            const std::optional<Action> action = computer.nextAction(game);
            if (!action || action->kind == kind) break;
            router.noteAction(*action);
            EXPECT_EQ(game.apply(*action), ActionResult::Done) << action->describe();
            EXPECT_EQ(brokenInvariants(s()), std::vector<std::string>{}) << action->describe();
            taken.push_back(*action);
        }
        return taken;
    }
    /// Asks seat `seat` whether it buys `square`, as a landing there would.
    bool buys(int seat, int square) {
        return computer.answer(s(), {.kind = BoxKind::PurchaseOffer,
                                     .seat = seat,
                                     .turn = seat,
                                     .square = square,
                                     .amount = squareInfo(square).price});
    }
    /// Puts the offer of seat 1 to seat 2: squares and money, as the trade window's fields hold them.
    void offer(std::initializer_list<int> given, std::initializer_list<int> taken, const std::string& money0,
               const std::string& money1) {
        game.chooseTradePartner(2);
        for (const int square : given)
            game.enterSquare(0, num(square));
        for (const int square : taken)
            game.enterSquare(1, num(square));
        const Action finalize = Action::finalizeOffer(money0, money1);
        router.noteAction(finalize);
        game.apply(finalize);
    }
};

// --- Purchases ------------------------------------------------------------------------------------

TEST(ComputerBuys, WhenItCanAffordTheSquareAndKeepItsReserve) {
    ComputerTable t(2, {1});
    EXPECT_TRUE(t.buys(1, kBoardwalk));
    t.setMoney(1, squareInfo(kBoardwalk).price + t.computer.reserve(t.s(), 1));
    EXPECT_TRUE(t.buys(1, kBoardwalk)) << "exactly the reserve left";
}

TEST(ComputerBuys, DeclinesWhenTheReserveWouldBreak) {
    ComputerTable t(2, {1});
    t.setMoney(1, squareInfo(kBoardwalk).price + t.computer.reserve(t.s(), 1) - 1);
    EXPECT_FALSE(t.buys(1, kBoardwalk));
}

TEST(ComputerBuys, ReserveGrowsWithTheRentsItMayFace) {
    ComputerTable t(2, {1});
    const int calm = t.computer.reserve(t.s(), 1);
    t.own(kParkPlace, 2);
    t.own(kBoardwalk, 2, 5); // a hotel: 2000 rent
    EXPECT_GT(t.computer.reserve(t.s(), 1), calm + 500);
    t.setMoney(1, 900);
    EXPECT_FALSE(t.buys(1, 6)) << "900 - 100 would leave less than the reserve against a hotel";
    EXPECT_EQ(t.computer.reserve(t.s(), 2), calm) << "its own hotel is no danger to seat 2";
}

TEST(ComputerBuys, DipsIntoItsReserveForASquareThatCompletesOrBlocksAGroup) {
    ComputerTable t(2, {1});
    t.own(kParkPlace, 1);
    t.setMoney(1, 440); // 40 left: below the reserve, above a quarter of it
    EXPECT_TRUE(t.buys(1, kBoardwalk)) << "completes its group";
    t.own(kParkPlace, 2);
    EXPECT_TRUE(t.buys(1, kBoardwalk)) << "blocks seat 2's group";
    t.own(kParkPlace, kBank);
    EXPECT_FALSE(t.buys(1, kBoardwalk)) << "neither";
    t.own(kParkPlace, 1);
    t.setMoney(1, 410);
    EXPECT_FALSE(t.buys(1, kBoardwalk)) << "never down to almost nothing";
}

// --- Houses ---------------------------------------------------------------------------------------

TEST(ComputerBuilds, ThreeHousesEvenlyOnACompleteGroupWhileItKeepsItsReserve) {
    ComputerTable t(2, {1});
    t.own(kMediterranean, 1);
    t.own(kBaltic, 1);
    t.setMoney(1, 400); // six houses of 50 leave 100; a seventh would break the reserve of 80
    t.playUntil(ActionKind::Roll);
    EXPECT_EQ(t.s().houses[kMediterranean], 3);
    EXPECT_EQ(t.s().houses[kBaltic], 3);
    EXPECT_EQ(t.s().money[1], 100);
    EXPECT_FALSE(t.s().houseOptions.open) << "it closes House Options when done";
}

TEST(ComputerBuilds, OnToHotelsWhenRich) {
    ComputerTable t(2, {1});
    t.own(kMediterranean, 1);
    t.own(kBaltic, 1);
    t.playUntil(ActionKind::Roll);
    EXPECT_EQ(t.s().houses[kMediterranean], 5);
    EXPECT_EQ(t.s().houses[kBaltic], 5);
}

TEST(ComputerBuilds, NothingOnAMortgagedOrBrokenGroup) {
    ComputerTable t(2, {1});
    t.own(kMediterranean, 1);
    t.own(kBaltic, mortgagedCode(1));
    t.setMoney(1, 100); // redeeming for 30 would break the reserve
    EXPECT_TRUE(t.playUntil(ActionKind::Roll).empty());
    t.own(kBaltic, 2);
    t.setMoney(1, 1500);
    const std::vector<Action> taken = t.playUntil(ActionKind::Roll); // it may ask seat 2 for Baltic
    EXPECT_EQ(std::count(taken.begin(), taken.end(), Action::buyHouse()), 0);
    EXPECT_EQ(t.s().houses[kMediterranean], 0);
}

TEST(ComputerBuilds, RedeemsAMortgagedSquareOfItsGroupFirst) {
    ComputerTable t(2, {1});
    t.own(kMediterranean, 1);
    t.own(kBaltic, mortgagedCode(1));
    t.setMoney(1, 400);
    t.playUntil(ActionKind::Roll);
    EXPECT_EQ(t.s().owners[kBaltic], 1);
    EXPECT_GT(t.s().houses[kBaltic], 0);
}

// --- Debt -----------------------------------------------------------------------------------------

TEST(ComputerInDebt, MortgagesTheLeastUsefulSquareFirst) {
    ComputerTable t(2, {1});
    t.own(kParkPlace, 1);
    t.own(kBoardwalk, 1);
    t.own(kElectric, 1);
    t.own(kReading, 1);
    t.setMoney(1, -50);
    t.game.refreshMoney(); // the debt hold
    ASSERT_EQ(t.s().debtor, 1);
    EXPECT_EQ(t.computer.squareToMortgage(t.s(), 1), kReading) << "earns 25, less than any other";
    t.playUntil(ActionKind::Roll);
    EXPECT_EQ(t.s().owners[kReading], mortgagedCode(1));
    EXPECT_EQ(t.s().owners[kElectric], 1);
    EXPECT_EQ(t.s().owners[kBoardwalk], 1);
    EXPECT_EQ(t.s().money[1], 50);
    EXPECT_EQ(t.s().debtor, 0);
}

TEST(ComputerInDebt, GivesUpOnlyWhenNothingCanSaveIt) {
    ComputerTable t(3, {1});
    t.own(kReading, 1); // mortgage brings 100
    t.setMoney(1, -99);
    t.game.refreshMoney();
    EXPECT_TRUE(t.computer.canRaiseEnough(t.s(), 1));
    EXPECT_NE(t.computer.nextAction(t.game)->kind, ActionKind::GiveUp);
    t.setMoney(1, -100); // 0 is not enough: the hold lasts until the money is above zero
    EXPECT_FALSE(t.computer.canRaiseEnough(t.s(), 1));
    EXPECT_EQ(t.computer.nextAction(t.game), Action::giveUp());
}

TEST(ComputerInDebt, HousesCannotSaveItSinceTheyCannotBeSoldInDebt) {
    ComputerTable t(3, {1});
    t.own(kMediterranean, 1, 5);
    t.own(kBaltic, 1, 5);
    t.setMoney(1, -10);
    t.game.refreshMoney();
    EXPECT_EQ(t.computer.nextAction(t.game), Action::giveUp());
    EXPECT_EQ(t.game.apply(Action::giveUp()), ActionResult::Done);
    EXPECT_EQ(t.s().seatOut[1], kTrue);
}

// --- Trades ---------------------------------------------------------------------------------------

TEST(ComputerTrades, AcceptsAClearlyFavourableOffer) {
    ComputerTable t(2, {2});
    t.own(kBoardwalk, 1);
    t.own(kMediterranean, 2);
    t.offer({kBoardwalk}, {kMediterranean}, "100", "0");
    EXPECT_EQ(t.s().owners[kBoardwalk], 2);
    EXPECT_EQ(t.s().owners[kMediterranean], 1);
    EXPECT_EQ(t.s().money[2], 1600);
    const std::vector<std::string>& shown = t.screen.shown();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Player 2, do you accept this offer?"), 0)
        << "a computer's question shows no box";
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), "Player 2 accepts the offer.") << "the person who offered hears the answer";
    const std::vector<std::string>& lines = t.log.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Player 1: Player 2, do you accept this offer? - Yes");
    EXPECT_EQ(lines.back(),
              "Player 1: Player 1 traded with Player 2: Player 1 gave Boardwalk and $100, Player 2 "
              "gave Mediteranean Avenue.");
}

TEST(ComputerTrades, RefusesAnOfferThatCompletesOnlyTheRivalsGroup) {
    ComputerTable t(2, {2});
    t.own(kParkPlace, 1);
    t.own(kBoardwalk, 2);
    t.offer({}, {kBoardwalk}, "500", "0"); // 100 over its price for the rival's whole dark blue group
    EXPECT_EQ(t.s().owners[kBoardwalk], 2);
    EXPECT_EQ(t.s().money[2], 1500);
    EXPECT_EQ(t.log.lines().back(), "Player 1: Player 2, do you accept this offer? - No");
}

TEST(ComputerTrades, RefusesToPayMoreThanItHas) {
    ComputerTable t(2, {2});
    t.own(kBoardwalk, 1);
    t.setMoney(2, 300);
    t.offer({kBoardwalk}, {}, "0", "300"); // Boardwalk for all it has
    EXPECT_EQ(t.s().owners[kBoardwalk], 1);
}

TEST(ComputerTrades, BuysTheSquareThatCompletesItsGroupAtAPriceTheRivalAccepts) {
    ComputerTable t(2, {1, 2});
    t.own(kParkPlace, 1);
    t.own(kBoardwalk, 2);
    const std::vector<Action> taken = t.playUntil(ActionKind::Roll);
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.front(), Action::chooseTradePartner(2));
    EXPECT_EQ(t.s().owners[kBoardwalk], 1);
    EXPECT_GT(t.s().money[2], 1500 + 400 / 2) << "paid well over the mortgage value";
    EXPECT_FALSE(t.s().trade.open) << "it closes the trade window";
}

TEST(ComputerTrades, OffersOnlyOncePerTurn) {
    ComputerTable t(2, {1}); // seat 2 is a person who says No
    t.own(kParkPlace, 1);
    t.own(kBoardwalk, 2);
    const std::vector<Action> taken = t.playUntil(ActionKind::Roll);
    EXPECT_EQ(std::count(taken.begin(), taken.end(), Action::chooseTradePartner(2)), 1);
    EXPECT_EQ(t.s().owners[kBoardwalk], 2);
}

// --- Stalled games --------------------------------------------------------------------------------

constexpr int kOriental = 6;
constexpr int kVermont = 8;
constexpr int kConnecticut = 9;

/// The money of the last Finalize Offer among `taken`, or -1 when none was made.
double moneyOfferedIn(const std::vector<Action>& taken) {
    for (auto step = taken.rbegin(); step != taken.rend(); ++step)
        if (step->kind == ActionKind::FinalizeOffer) return Game::readNumber(step->text);
    return -1;
}

/// Hands the turn round once: the computer's seat 1 rolls 3 and 4 and ends its turn, then each
/// person does the same, and seat 1 holds the turn again.
void playRound(ComputerTable& t) {
    t.random.dice(3, 4);
    t.playUntil(ActionKind::EndTurn);
    t.game.endTurn();
    while (t.s().turn != 1) {
        t.random.dice(3, 4);
        t.game.roll();
        if (t.s().board.endTurnEnabled) t.game.endTurn();
    }
}

TEST(ComputerInAStalledGame, PaysWellForAStepTowardsAGroupOnlyOnceNobodyHasBuiltForLong) {
    ComputerTable t(2, {1}); // seat 2 is a person who says No
    t.own(kOriental, 1);
    t.own(kVermont, 2);
    t.own(kConnecticut, 2);
    const ComputerWeights weights;
    // Early on, Vermont alone does not make the group whole and is worth no more than its price.
    std::vector<Action> taken = t.playUntil(ActionKind::Roll);
    EXPECT_EQ(moneyOfferedIn(taken), -1) << "no offer";
    // Many rounds on and nobody has built: a step towards the group is worth paying for.
    t.s().history.rounds = weights.stalledRounds;
    ASSERT_TRUE(t.computer.stalled(t.s()));
    taken = t.playUntil(ActionKind::Roll);
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.front(), Action::chooseTradePartner(2));
    const int price = squareInfo(kVermont).price;
    EXPECT_GE(moneyOfferedIn(taken), weights.stalledFirstPaid * price) << "more than its price";
    EXPECT_EQ(t.s().owners[kVermont], 2) << "the person said No";
}

TEST(ComputerInAStalledGame, RaisesItsOfferAfterEachRefusalUpToAMostAndAsksAgainLater) {
    ComputerTable t(2, {1});
    t.own(kOriental, 1);
    t.own(kVermont, 2);
    t.own(kConnecticut, 2);
    t.setMoney(1, 3000);
    const ComputerWeights weights;
    t.s().history.rounds = weights.stalledRounds;
    // Vermont and Connecticut are asked for in turn, each offer more than the last for its square.
    SquareArray<double> last{};
    int raised = 0;
    int rounds = 0;
    for (; rounds < 20; ++rounds) {
        const std::vector<Action> taken = t.playUntil(ActionKind::Roll);
        const double money = moneyOfferedIn(taken);
        if (money < 0) break;
        const auto asked = std::find_if(taken.begin(), taken.end(), [](const Action& a) {
            return a.kind == ActionKind::EnterSquare && a.number == 1;
        });
        ASSERT_NE(asked, taken.end());
        const int wanted = static_cast<int>(Game::readNumber(asked->text));
        EXPECT_LE(money, weights.stalledMostPaid * squareInfo(wanted).price + 1) << "never absurd";
        if (last[wanted] > 0 && money > last[wanted]) ++raised;
        last[wanted] = money;
        t.s().history.rounds = weights.stalledRounds + rounds + 1;
        playRound(t);
    }
    EXPECT_GE(raised, 4) << "each refusal raised the next offer for that square";
    ASSERT_LT(rounds, 20) << "it stops once refused at the most";
    // The game goes on and the person may think again: the square is asked for once more.
    t.s().history.rounds += weights.stalledRetryRounds;
    EXPECT_GE(moneyOfferedIn(t.playUntil(ActionKind::Roll)), squareInfo(kVermont).price);
}

TEST(ComputerInAStalledGame, StillRefusesALopsidedOffer) {
    ComputerTable t(2, {2}); // seat 1 is a person who offers
    t.own(kOriental, 2);
    t.own(kVermont, 1);
    t.own(kConnecticut, 1);
    t.s().history.rounds = ComputerWeights{}.stalledRounds;
    ASSERT_TRUE(t.computer.stalled(t.s()));
    t.offer({kVermont}, {kOriental}, "0", "300"); // Vermont for Oriental and $300 of the computer's
    EXPECT_EQ(t.s().owners[kOriental], 2);
    EXPECT_EQ(t.s().owners[kVermont], 1);
}

TEST(ComputerInAStalledGame, OnlyAfterManyRoundsWithoutAHouse) {
    ComputerTable t(2, {1});
    t.own(kMediterranean, 2);
    t.own(kBaltic, 2);
    const int rounds = ComputerWeights{}.stalledRounds;
    t.s().history.rounds = rounds - 1;
    EXPECT_FALSE(t.computer.stalled(t.s())) << "not yet long enough";
    t.s().history.rounds = rounds;
    EXPECT_TRUE(t.computer.stalled(t.s())) << "seat 2 holds a whole group but never built on it";
    t.own(kBaltic, 2, 1);
    EXPECT_FALSE(t.computer.stalled(t.s())) << "a house stands";
}

// --- Turns ----------------------------------------------------------------------------------------

TEST(ComputerTurn, RollsThenEndsItsTurnAndClosesWindowsLeftOpen) {
    ComputerTable t(2, {1});
    t.game.openHouseOptions(kBoardwalk);
    EXPECT_EQ(t.computer.nextAction(t.game), Action::closeHouseOptions());
    t.game.closeHouseOptions();
    EXPECT_EQ(t.computer.nextAction(t.game), Action::roll());
    t.random.dice(3, 4);
    t.game.roll(); // Chance, card 1 of a deck in order
    EXPECT_EQ(t.computer.nextAction(t.game)->kind, ActionKind::EndTurn);
}

TEST(ComputerTurn, NothingBeforeTheGameStarts) {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    ScriptedUi screen;
    Game game(screen, random);
    ComputerPlayer computer;
    EXPECT_EQ(computer.nextAction(game), std::nullopt);
}

// --- The game log ---------------------------------------------------------------------------------

TEST(GameLogLines, APurchaseTurnInOrderWithTheAnswer) {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    ScriptedUi screen;
    GameLog log(screen);
    Game game(log, random);
    game.start();
    screen.expect({landing(1, kBaltic), ask("Buy Baltic Avenue?", true, "Buy Property"),
                   msg("Baltic Avenue Bought by player 1")});
    random.dice(1, 2);
    game.roll();
    game.endTurn();
    EXPECT_TRUE(screen.done());
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Player 1: Player 1 lands on Baltic Avenue $60",
                                                     "Player 1: Buy Baltic Avenue? - Yes",
                                                     "Player 1: Baltic Avenue Bought by player 1"}));
}

TEST(GameLogLines, SeveralLinesOfABoxBecomeOne) {
    EXPECT_EQ(GameLog::lineFor({.turn = 3, .text = "Advance to Go\r\nCollect $200"}),
              "Player 3: Advance to Go / Collect $200");
    EXPECT_EQ(GameLog::lineFor({.turn = 2, .text = "a\nb\rc\r\n"}), "Player 2: a / b / c / ");
}

TEST(GameLogLines, TheListenerHearsEachNewLineAndEarlierLinesCanBePutBack) {
    ScriptedUi screen;
    screen.acceptAnything(false);
    GameLog log(screen);
    log.setLines({"Player 1: earlier"});
    std::vector<std::string> heard;
    log.setListener([&](const std::string& line) { heard.push_back(line); });
    log.tell({.turn = 2, .text = "Player 2 Passed GO"});
    EXPECT_FALSE(log.ask({.turn = 2, .text = "Use Get out of jail free card?"}));
    EXPECT_EQ(heard, (std::vector<std::string>{"Player 2: Player 2 Passed GO",
                                               "Player 2: Use Get out of jail free card? - No"}));
    EXPECT_EQ(log.lines().size(), 3u);
}

} // namespace

TEST(ComputerStart, TheComputerStartsOnlyATableWithNoPersonAtIt) {
    Table t;
    ScriptedUi screen;
    ComputerPlayer computer;
    SeatRouter router{screen, computer};
    t.game.choosePlayers(3);
    for (const int seat : {1, 2})
        router.setComputer(seat, true);
    EXPECT_FALSE(router.computerStarts(t.s())) << "player 3 is a person";
    router.setComputer(3, true);
    EXPECT_TRUE(router.computerStarts(t.s())) << "seat 4 is not in the ticked count";
    t.game.start();
    EXPECT_FALSE(router.computerStarts(t.s())) << "the game has started";
}
