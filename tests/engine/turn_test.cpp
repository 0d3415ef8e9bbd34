#include "scripted.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

/// The current player rolls `a` and `b` from `from` (Roll must be enabled).
void rollFrom(Table& t, int from, int a, int b) {
    t.s().positions[t.s().turn] = static_cast<i16>(from);
    t.random.dice(a, b);
    t.game.roll();
}

/// The current player rolls 1 and 2 from square 17 to Free Parking and ends the turn; returns who plays next.
int playPlainTurn(Table& t) {
    t.ui.expect({landing(t.s().turn, 20)});
    rollFrom(t, 17, 1, 2);
    EXPECT_FALSE(t.s().board.rollEnabled);
    EXPECT_TRUE(t.s().board.endTurnEnabled);
    t.game.endTurn();
    EXPECT_TRUE(t.ui.done());
    EXPECT_TRUE(t.s().board.rollEnabled);
    EXPECT_FALSE(t.s().board.endTurnEnabled);
    EXPECT_EQ(t.s().board.turnLabel, "Player " + std::to_string(t.s().turn) + "'s turn");
    return t.s().turn;
}

/// Seat `player` comes to rest on Free Parking.
void parkOnFreeParking(Table& t, int player) {
    t.s().turn = static_cast<i16>(player);
    t.ui.expect({landing(player, 20)});
    t.game.moveToken(20);
}

/// The face a die shows for the raw draw `r` (both dice are given the same draw).
int face(float r) {
    Table t;
    t.start(2);
    t.ui.acceptAnything(false);
    t.random.push({r, r});
    t.game.roll();
    EXPECT_EQ(t.s().board.dice[1], t.s().diceRoll[0]);
    return t.s().diceRoll[0];
}

/// Each seat as Start left it: "in" or "out" by its Bankrupt value, " hidden" when its token is not shown.
std::string seats(Table& t) {
    std::string text;
    for (int p = 1; p <= kPlayerCount; ++p) {
        if (p > 1) text += ",";
        text += t.s().seatOut[p] == kTrue ? "out" : t.s().seatOut[p] == 0 ? "in" : "?";
        if (!t.s().board.tokens[p].visible) text += " hidden";
    }
    return text;
}

/// Records, for every box, the current player's token, money and position at the moment it is shown.
struct Snapshot {
    std::string text;
    TokenView token;
    i16 money;
    i16 position;
};
class WatchingUi final : public Ui {
  public:
    const GameState* state = nullptr;
    std::vector<Snapshot> seen;
    void tell(const Box& box) override {
        const int t = state->turn;
        seen.push_back({box.text, state->board.tokens[t], state->money[t], state->positions[t]});
    }
    bool ask(const Box& question) override {
        tell(question);
        return false;
    }
    void endProgram() override {}
};

} // namespace

TEST(PassingGo, SalaryIsAnnouncedWhileTheTokenStillStandsOnItsOldSquare) {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    WatchingUi ui;
    Game game(ui, random);
    ui.state = &game.state;
    game.start();
    game.moveToken(38); // Luxury Tax: 1425 left
    ui.seen.clear();
    random.dice(1, 1);
    game.roll();
    ASSERT_EQ(ui.seen.size(), 2u);
    EXPECT_EQ(ui.seen[0].text, "Player 1 Passed GO");
    EXPECT_EQ(ui.seen[0].token.square, 38);
    EXPECT_EQ(ui.seen[0].money, 1425);
    EXPECT_EQ(ui.seen[0].position, 0); // the new square is already counted from Go
    EXPECT_EQ(ui.seen[1].text, "Player 1 lands on Go");
    EXPECT_EQ(ui.seen[1].token.square, 0);
    EXPECT_EQ(ui.seen[1].money, 1625);
    EXPECT_EQ(game.state.positions[1], 0);
    EXPECT_EQ(game.state.board.moneyLabels[1], "1625");
}

TEST(PassingGo, EndingExactlyOnGoPays) {
    Table t;
    t.start(2);
    t.ui.expect({msg("Player 1 Passed GO"), landing(1, 0)});
    rollFrom(t, 28, 6, 6);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().positions[1], 0);
    EXPECT_EQ(t.s().money[1], 1700);
}

TEST(PassingGo, SalaryGoesToThePlayerWhoRolled) {
    Table t;
    t.start(2);
    t.s().turn = 2;
    t.ui.expect({msg("Player 2 Passed GO"), landing(2, 4)});
    rollFrom(t, 35, 4, 5);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().positions[2], 4);
    EXPECT_EQ(t.s().money[2], 1500); // +200 salary, -200 Income Tax
    EXPECT_EQ(t.s().money[1], 1500);
}

TEST(Dice, FaceIsTheSixthOfTheDrawPlusOne) {
    EXPECT_EQ(face(0.0f), 1);
    EXPECT_EQ(face(0.1666f), 1);
    EXPECT_EQ(face(1.0f / 6.0f), 2);
    EXPECT_EQ(face(0.4999f), 3);
    EXPECT_EQ(face(0.5f), 4);
    EXPECT_EQ(face(std::nextafter(1.0f, 0.0f)), 6);
}

TEST(Dice, DrawsJustBelowASixthStayOnTheLowerFace) {
    EXPECT_EQ(face(std::nextafter(1.0f / 6.0f, 0.0f)), 1);
    EXPECT_EQ(face(std::nextafter(2.0f / 6.0f, 0.0f)), 2);
    EXPECT_EQ(face(std::nextafter(0.5f, 0.0f)), 3);
    EXPECT_EQ(face(std::nextafter(4.0f / 6.0f, 0.0f)), 4);
}

TEST(Dice, RandomValueScalesByHighMinusOne) {
    Table t;
    t.random.push({0.5f, 0.0f});
    EXPECT_FLOAT_EQ(t.game.randomValue(1, 6), 3.5f);
    EXPECT_FLOAT_EQ(t.game.randomValue(1, 6), 1.0f);
}

TEST(Jail, ThreeRollsWithoutDoublesUseUpTheStay) {
    Table t;
    t.start(2);
    t.s().jailTurns[1] = 1;
    for (const char* left : {"3Turns left", "2Turns left", "1Turns left"}) {
        t.ui.expect({msg(left)});
        rollFrom(t, 10, 3, 5);
        EXPECT_TRUE(t.ui.done());
        EXPECT_EQ(t.s().positions[1], 10);
        t.game.start(); // Start enables Roll again for the same player
    }
    EXPECT_EQ(t.s().jailTurns[1], 4);
    t.ui.expect({landing(1, 20)});
    rollFrom(t, 10, 4, 6);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().positions[1], 20);
    EXPECT_EQ(t.s().jailTurns[1], 0);
}

TEST(Jail, DoublesLeaveJailAtOnceAndRollAgain) {
    Table t;
    t.start(2);
    t.s().jailTurns[1] = 2;
    t.ui.expect({landing(1, 20), msg("Doubles, Roll Again !!")});
    rollFrom(t, 10, 5, 5);
    EXPECT_EQ(t.s().jailTurns[1], 0);
    t.game.endTurn();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().turn, 1);
}

TEST(Jail, UsingACardFreesThePlayerForTheNextRoll) {
    Table t;
    t.start(2);
    t.s().jailTurns[1] = 1;
    t.s().jailCards[1] = 2;
    t.ui.expect({msg("3Turns left"), ask("Use Get out of jail free card?", true)});
    rollFrom(t, 10, 3, 5);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().jailCards[1], 1);
    EXPECT_EQ(t.s().jailTurns[1], 0);
    EXPECT_EQ(t.s().positions[1], 10);
    t.game.start();
    t.ui.expect({landing(1, 20)});
    rollFrom(t, 10, 4, 6);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().positions[1], 20);
    EXPECT_EQ(t.s().jailCards[1], 1);
}

TEST(Jail, KeepingTheCardSpendsTheRoll) {
    Table t;
    t.start(2);
    t.s().jailTurns[1] = 1;
    t.s().jailCards[1] = 1;
    t.ui.expect({msg("3Turns left"), ask("Use Get out of jail free card?", false)});
    rollFrom(t, 10, 6, 5);
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().jailCards[1], 1);
    EXPECT_EQ(t.s().jailTurns[1], 2);
    EXPECT_EQ(t.s().positions[1], 10);
}

TEST(TokenStacking, LaterArrivalStandsOnePlaceFurtherOn) {
    Table t;
    t.start(4);
    parkOnFreeParking(t, 1);
    parkOnFreeParking(t, 2);
    EXPECT_EQ(t.s().board.tokens[1], (TokenView{20, 0, true, true}));
    EXPECT_EQ(t.s().board.tokens[2], (TokenView{20, 1, true, true}));
    parkOnFreeParking(t, 3); // moved on past seat 1, then past seat 2
    EXPECT_EQ(t.s().board.tokens[3], (TokenView{20, 2, true, true}));
    EXPECT_TRUE(t.ui.done());
}

TEST(TokenStacking, OnePassInSeatOrderDoesNotLookBack) {
    Table t;
    t.start(4);
    parkOnFreeParking(t, 2);
    parkOnFreeParking(t, 1);
    EXPECT_EQ(t.s().board.tokens[1].stack, 1);
    parkOnFreeParking(t, 3); // seat 1 is looked at before the move on caused by seat 2
    EXPECT_EQ(t.s().board.tokens[3].square, 20);
    EXPECT_EQ(t.s().board.tokens[3].stack, t.s().board.tokens[1].stack);
}

TEST(TokenStacking, HiddenTokenOfAGoneSeatStillMakesRoom) {
    Table t;
    t.start(4);
    parkOnFreeParking(t, 3);
    t.s().money[3] = -1;
    t.ui.expect({msg(debtText(3))});
    t.game.refreshMoney();
    t.game.giveUp();
    ASSERT_FALSE(t.s().board.tokens[3].visible);
    parkOnFreeParking(t, 1);
    EXPECT_EQ(t.s().board.tokens[1].stack, 1);
    EXPECT_TRUE(t.ui.done());
}

TEST(TokenStacking, FirstSeatsStartingPlaceIsTheFirstPlaceOnGo) {
    // Player 1 starts where a token sent to Go stands; the others start beside it in places of their own.
    Table t;
    t.start(4);
    t.s().turn = 2;
    t.ui.expect({landing(2, 0)});
    t.game.moveToken(0);
    EXPECT_EQ(t.s().board.tokens[2], (TokenView{0, 1, true, true}));
    t.s().turn = 4;
    t.ui.expect({landing(4, 0)});
    t.game.moveToken(0); // past player 1 at its start, then past player 2; player 3's start is elsewhere
    EXPECT_EQ(t.s().board.tokens[4], (TokenView{0, 2, true, true}));
    EXPECT_TRUE(t.ui.done());
}

TEST(TurnOrder, ThreePlayersTakeTurnsInSeatOrder) {
    Table t;
    t.start(3);
    std::vector<int> order{t.s().turn};
    for (int k = 0; k < 3; ++k)
        order.push_back(playPlainTurn(t));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 1}));
}

TEST(TurnOrder, SeatsThatAreOutAreSkipped) {
    Table t;
    t.start(4);
    t.s().seatOut[4] = kTrue;
    t.s().turn = 3;
    EXPECT_EQ(playPlainTurn(t), 1);
    t.s().seatOut[2] = kTrue;
    EXPECT_EQ(playPlainTurn(t), 3);
    EXPECT_EQ(playPlainTurn(t), 1);
}

TEST(TurnOrder, DoublesKeepTheTurn) {
    Table t;
    t.start(3);
    t.s().turn = 2;
    t.ui.expect({landing(2, 20), msg("Doubles, Roll Again !!")});
    rollFrom(t, 16, 2, 2);
    t.s().board.turnLabel.clear();
    t.game.endTurn();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().turn, 2);
    EXPECT_EQ(t.s().board.turnLabel, "Player 2's turn");
    EXPECT_TRUE(t.s().board.rollEnabled);
    EXPECT_FALSE(t.s().board.endTurnEnabled);
}

TEST(TurnOrder, DoublesOfAPlayerWhoWentOutPassTheTurnOn) {
    Table t;
    t.start(3);
    t.s().turn = 2;
    t.ui.expect({landing(2, 20), msg("Doubles, Roll Again !!")});
    rollFrom(t, 16, 2, 2);
    t.s().seatOut[2] = kTrue;
    t.game.endTurn();
    EXPECT_TRUE(t.ui.done());
    EXPECT_EQ(t.s().turn, 3);
}

TEST(GameStart, WithoutChoosingACountFourPlay) {
    Table t;
    t.game.start();
    EXPECT_EQ(t.s().playerCount, 4);
    EXPECT_TRUE(t.s().board.rollEnabled);
    EXPECT_EQ(seats(t), "in,in,in,in");
}

TEST(GameStart, TwoPlayersLeaveSeatsThreeAndFourOut) {
    Table t;
    t.start(2);
    EXPECT_EQ(t.s().playerCount, 2);
    EXPECT_EQ(seats(t), "in,in,out hidden,out hidden");
    EXPECT_EQ(t.s().money[3], 1500);
}

TEST(GameStart, StartingAgainWithMorePlayersDoesNotBringSeatsBack) {
    Table t;
    t.start(2);
    t.start(3);
    EXPECT_EQ(seats(t), "in,in,out,out hidden");
    EXPECT_EQ(playPlainTurn(t), 2);
    EXPECT_EQ(playPlainTurn(t), 1);
}

TEST(GameStart, StartAfterARollLetsThePlayerRollAgain) {
    Table t;
    t.start(2);
    t.ui.expect({landing(1, 20)});
    rollFrom(t, 17, 1, 2);
    ASSERT_FALSE(t.s().board.rollEnabled);
    t.game.start();
    EXPECT_TRUE(t.s().board.rollEnabled);
    EXPECT_TRUE(t.s().board.endTurnEnabled);
    EXPECT_EQ(t.s().turn, 1);
    EXPECT_EQ(t.s().positions[1], 20);
}

TEST(GameStart, DisabledButtonsIgnoreClicks) {
    Table t;
    t.game.roll();
    t.game.endTurn(); // the dice still read 0 and 0: a hand-over would announce doubles
    t.game.giveUp();
    EXPECT_TRUE(t.ui.shown().empty());
    EXPECT_EQ(t.random.left(), 0u);
    EXPECT_EQ(t.s().positions[1], 0);
    EXPECT_EQ(t.s().turn, 1);
    EXPECT_EQ(t.s().seatOut[1], 0);
}

TEST(GameExit, ExitEndsTheProgramWithoutAMessage) {
    Table t;
    t.start(2);
    EXPECT_EQ(t.game.exitProgram(), ActionResult::Ended);
    EXPECT_TRUE(t.ui.ended());
    EXPECT_TRUE(t.ui.shown().empty());
}

TEST(GameStart, TurnOnASeatLeftOutPassesToTheNextSeatInPlay) {
    Table t;
    t.s().turn = 3;
    t.start(2);
    EXPECT_EQ(t.s().turn, 1);
    EXPECT_EQ(t.s().board.turnLabel, "Player 1's turn");
    EXPECT_TRUE(t.s().board.rollEnabled);
    EXPECT_EQ(seats(t), "in,in,out hidden,out hidden");
}

TEST(GameStart, TurnOnABankruptSeatPassesOnInSeatOrder) {
    Table t;
    t.start(4);
    t.s().seatOut[2] = kTrue;
    t.s().seatOut[3] = kTrue;
    t.s().turn = 2;
    t.game.start();
    EXPECT_EQ(t.s().turn, 4);
    EXPECT_EQ(t.s().board.turnLabel, "Player 4's turn");
}

TEST(GameStart, TurnOnTheLastSeatWrapsRoundToTheFirstInPlay) {
    Table t;
    t.start(4);
    t.s().seatOut[1] = kTrue;
    t.s().turn = 4;
    t.start(3);
    EXPECT_EQ(t.s().turn, 2);
    EXPECT_EQ(t.s().board.turnLabel, "Player 2's turn");
}

TEST(GameStart, TurnOnASeatInPlayStaysWithItsLabel) {
    Table t;
    t.start(4);
    t.s().turn = 3;
    t.s().board.turnLabel = "Player 3's turn";
    t.start(3);
    EXPECT_EQ(t.s().turn, 3);
    EXPECT_EQ(t.s().board.turnLabel, "Player 3's turn");
}

TEST(GameStart, WithNoSeatInPlayTheTurnStaysWhereItIs) {
    Table t;
    t.start(2);
    t.s().seatOut[1] = kTrue;
    t.s().seatOut[2] = kTrue;
    t.s().turn = 2;
    t.s().board.turnLabel = "Player 2's turn";
    t.game.start();
    EXPECT_EQ(t.s().turn, 2);
    EXPECT_EQ(t.s().board.turnLabel, "Player 2's turn");
    EXPECT_TRUE(t.ui.shown().empty());
}
