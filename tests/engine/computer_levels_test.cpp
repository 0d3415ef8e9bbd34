// The computer's three levels in chosen positions: what no level can be talked into, Easy's
// beginner's habits, Hard's look-ahead, offers put to people, and answers to waiting questions.
#include "computer_player.h"
#include "invariants.h"
#include "random_player.h"
#include "scripted.h"
#include "seat_router.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <random>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

constexpr int kMediterranean = 1;
constexpr int kBaltic = 3;
constexpr int kStJames = 16;
constexpr int kTennessee = 18;
constexpr int kNewYork = 19;
constexpr int kParkPlace = 37;
constexpr int kBoardwalk = 39;

/// A started game; `computers` seats are the computer's at `level`, the other seats people who say No.
struct LevelTable {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    ScriptedUi screen;
    ComputerPlayer computer{{}, 5, {.playouts = 8, .rounds = 8}};
    SeatRouter router{screen, computer};
    Game game{router, random};

    LevelTable(int players, std::initializer_list<int> computers, ComputerLevel level) {
        screen.acceptAnything(false);
        router.attach(game);
        for (const int seat : computers) {
            router.setComputer(seat, true);
            router.setLevel(seat, level);
        }
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
    /// Seat 1 offers `given` of its own and asks `taken` of seat 2, with the money as typed; true when
    /// seat 2 accepted (the squares moved).
    bool offer(std::initializer_list<int> given, std::initializer_list<int> taken, const std::string& money0,
               const std::string& money1) {
        game.chooseTradePartner(2);
        for (const int square : given)
            game.enterSquare(0, num(square));
        for (const int square : taken)
            game.enterSquare(1, num(square));
        const Action finalize = Action::finalizeOffer(money0, money1);
        router.noteAction(finalize);
        const int probe = given.size() != 0 ? *given.begin() : *taken.begin();
        const int before = s().owners[probe];
        game.apply(finalize);
        game.closeTrade();
        return s().owners[probe] != before;
    }
    /// The computer's actions for the seat holding the turn until it would roll (not taken).
    std::vector<Action> untilRoll() {
        std::vector<Action> taken;
        const int seat = s().turn;
        for (int step = 0; step < 200 && s().turn == seat; ++step) {
            const std::optional<Action> action = computer.nextAction(game);
            if (!action || action->kind == ActionKind::Roll) break;
            router.noteAction(*action);
            EXPECT_EQ(game.apply(*action), ActionResult::Done) << action->describe();
            taken.push_back(*action);
        }
        return taken;
    }
};

class EveryLevel : public ::testing::TestWithParam<ComputerLevel> {};

INSTANTIATE_TEST_SUITE_P(Levels, EveryLevel,
                         ::testing::Values(ComputerLevel::Easy, ComputerLevel::Normal, ComputerLevel::Hard),
                         [](const auto& info) { return std::string(levelTitle(info.param)); });

} // namespace

// --- What no level can be talked into -------------------------------------------------------------

TEST_P(EveryLevel, RefusesCashWellBelowWhatTheSquareMakesOfTheOfferersGroup) {
    LevelTable t(2, {2}, GetParam());
    t.own(kParkPlace, 1);
    t.own(kBoardwalk, 2);
    EXPECT_FALSE(t.offer({}, {kBoardwalk}, "450", "0")) << "Boardwalk completes seat 1's dark blues";
    EXPECT_EQ(t.s().money[2], 1500);
}

TEST_P(EveryLevel, RefusesToGiveASquareOfItsWholeGroupForLittle) {
    LevelTable t(2, {2}, GetParam());
    for (const int square : {kStJames, kTennessee, kNewYork})
        t.own(square, 2);
    EXPECT_FALSE(t.offer({}, {kNewYork}, "260", "0")) << "60 over the price breaks up its oranges";
    t.own(kParkPlace, 2);
    t.own(kBoardwalk, 2);
    EXPECT_FALSE(t.offer({}, {kBoardwalk}, "450", "0")) << "nor its dark blues";
    EXPECT_EQ(t.s().owners[kNewYork], 2);
    EXPECT_EQ(t.s().owners[kBoardwalk], 2);
}

TEST_P(EveryLevel, AcceptsAnOfferThatPlainlyHelpsIt) {
    LevelTable t(2, {2}, GetParam());
    t.own(kParkPlace, 2);
    t.own(kBoardwalk, 1);
    EXPECT_TRUE(t.offer({kBoardwalk}, {}, "0", "100")) << "Boardwalk completes its dark blues for 100";
    EXPECT_EQ(t.s().owners[kBoardwalk], 2);
}

// --- Easy plays as a beginner -----------------------------------------------------------------------

TEST(EasyLevel, BuysWhereNormalWouldKeepItsReserve) {
    LevelTable t(2, {1}, ComputerLevel::Easy);
    t.own(kParkPlace, 2);
    t.own(kBoardwalk, 2, 3); // 1400 rent waiting on the board
    t.setMoney(1, 300);
    const Box offer{.kind = BoxKind::PurchaseOffer, .seat = 1, .turn = 1, .square = 6, .amount = 100};
    EXPECT_TRUE(t.computer.answer(t.s(), offer)) << "Easy buys readily";
    t.router.setLevel(1, ComputerLevel::Normal);
    EXPECT_FALSE(t.computer.answer(t.s(), offer)) << "Normal keeps money back against the hotel-like rent";
}

TEST(EasyLevel, BuildsLateAndThinly) {
    LevelTable t(2, {1}, ComputerLevel::Easy);
    t.own(kMediterranean, 1);
    t.own(kBaltic, 1);
    t.setMoney(1, 400);
    EXPECT_TRUE(t.untilRoll().empty()) << "400 is not plenty in hand yet";
    t.router.setLevel(1, ComputerLevel::Normal);
    EXPECT_FALSE(t.untilRoll().empty()) << "Normal builds with 400";
    t.own(kMediterranean, 1);
    t.own(kBaltic, 1);
    t.router.setLevel(1, ComputerLevel::Easy);
    t.setMoney(1, 5000);
    t.untilRoll();
    EXPECT_EQ(t.s().houses[kMediterranean], 3) << "even when rich, three houses at most";
    EXPECT_EQ(t.s().houses[kBaltic], 3);
}

TEST(EasyLevel, AcceptsAFairSwapNormalWouldTurnDown) {
    LevelTable t(2, {2}, ComputerLevel::Easy);
    t.own(kStJames, 1);       // 180
    t.own(kMediterranean, 2); // 60
    EXPECT_TRUE(t.offer({kStJames}, {kMediterranean}, "0", "125")) << "125 on top: about even";
    LevelTable n(2, {2}, ComputerLevel::Normal);
    n.own(kStJames, 1);
    n.own(kMediterranean, 2);
    EXPECT_FALSE(n.offer({kStJames}, {kMediterranean}, "0", "125")) << "Normal wants to gain by it";
}

// --- Hard looks ahead -------------------------------------------------------------------------------

TEST(HardLevel, ItsLookAheadTellsAWinningPositionFromALosingOne) {
    LevelTable t(2, {1}, ComputerLevel::Hard);
    GameState strong = t.s();
    GameState weak = t.s();
    for (const int square : {kStJames, kTennessee, kNewYork}) {
        strong.owners[square] = 1;
        strong.houses[square] = 4;
        weak.owners[square] = 2;
        weak.houses[square] = 4;
    }
    EXPECT_GT(t.computer.lookahead(strong, 1, 9), 0.7);
    EXPECT_LT(t.computer.lookahead(weak, 1, 9), 0.3);
    EXPECT_EQ(t.computer.lookahead(strong, 1, 9), t.computer.lookahead(strong, 1, 9)) << "the same dice";
}

TEST(HardLevel, PlaysTheSameGameForTheSameSeed) {
    // Hard against Normal with seeded dice, twice: every action and every answer the same.
    auto play = [] {
        std::mt19937_64 rng(17);
        SeededRandom dice(rng);
        ScriptedUi screen;
        screen.acceptAnything(false);
        ComputerPlayer computer({}, 3, {.playouts = 4, .rounds = 4});
        SeatRouter router(screen, computer);
        Game game(router, dice);
        router.attach(game);
        router.setComputerSeats([] {
            ComputerSeats seats{};
            seats[1] = seats[2] = true;
            return seats;
        }());
        router.setLevel(1, ComputerLevel::Hard);
        game.choosePlayers(2);
        game.start();
        std::vector<std::string> record;
        for (int step = 0; step < 400; ++step) {
            const std::optional<Action> action = computer.nextAction(game);
            if (!action) break;
            router.noteAction(*action);
            record.push_back(action->describe());
            if (game.apply(*action) == ActionResult::Ended) break;
        }
        record.push_back(num(game.state.money[1]) + " " + num(game.state.money[2]));
        return record;
    };
    const std::vector<std::string> first = play();
    EXPECT_GT(first.size(), 100u);
    EXPECT_EQ(play(), first);
}

TEST(HardLevel, DecidesTheSameBetweenACandidateAndItsCopy) {
    LevelTable t(2, {1}, ComputerLevel::Hard);
    EXPECT_EQ(t.computer.bestCandidate({t.s(), t.s()}, 1), 0u) << "Normal's own choice stands on a tie";
}

TEST(HardLevel, BuildsNoHouseThatLeavesItShortOfTheWorstRentAhead) {
    // Seat 2's hotel on Boardwalk charges 2000. Normal keeps 80 and 40% of it in cash, so it builds
    // with 1000; 1000 and two mortgages of 30 cannot cover it, so Hard builds nothing.
    auto table = [](ComputerLevel level) {
        auto t = std::make_unique<LevelTable>(2, std::initializer_list<int>{1}, level);
        t->own(kMediterranean, 1);
        t->own(kBaltic, 1);
        t->own(kParkPlace, 2, 5);
        t->own(kBoardwalk, 2, 5);
        t->setMoney(1, 1000);
        return t;
    };
    auto hard = table(ComputerLevel::Hard);
    EXPECT_EQ(hard->computer.paymentFloor(hard->s(), 1), 2000);
    EXPECT_EQ(hard->computer.raisableMoney(hard->s(), 1), 1060);
    hard->untilRoll();
    EXPECT_EQ(hard->s().houses[kMediterranean] + hard->s().houses[kBaltic], 0);
    auto normal = table(ComputerLevel::Normal);
    normal->untilRoll();
    EXPECT_GT(normal->s().houses[kMediterranean] + normal->s().houses[kBaltic], 0) << "Normal builds here";
}

TEST(HardLevel, BuildsOnlyDownToWhatTheWorstPaymentAheadNeeds) {
    // No rival rent is high, so the dearer tax is the floor; houses are no help in debt, mortgages are.
    LevelTable t(2, {1}, ComputerLevel::Hard);
    t.own(kMediterranean, 1);
    t.own(kBaltic, 1);
    t.own(kBoardwalk, 2);
    t.setMoney(1, 600);
    const int floor = t.computer.paymentFloor(t.s(), 1);
    EXPECT_GE(floor, 50) << "a rival's single square or a tax";
    t.untilRoll();
    EXPECT_GT(t.s().houses[kMediterranean] + t.s().houses[kBaltic], 0) << "600 leaves room to build";
    EXPECT_GE(t.computer.raisableMoney(t.s(), 1), floor);
    EXPECT_EQ(t.computer.raisableMoney(t.s(), 1) - t.s().money[1],
              (t.s().houses[kMediterranean] == 0 ? 30 : 0) + (t.s().houses[kBaltic] == 0 ? 30 : 0))
        << "only squares without houses count their mortgage";
}

// --- Offers to people ---------------------------------------------------------------------------------

TEST(OffersToPeople, AtMostOneARoundAndNeverTheSameOneInTheSamePosition) {
    LevelTable t(3, {1, 3}, ComputerLevel::Normal);
    t.own(kParkPlace, 1);
    t.own(kBoardwalk, 2);
    t.own(kMediterranean, 3);
    t.own(kBaltic, 2);
    auto offersTo2 = [&](const std::vector<Action>& taken) {
        return std::count(taken.begin(), taken.end(), Action::chooseTradePartner(2));
    };
    EXPECT_EQ(offersTo2(t.untilRoll()), 1);
    t.s().turn = 3;
    EXPECT_EQ(offersTo2(t.untilRoll()), 0) << "seat 2 has had its offer this round";
}

// --- Waiting questions ----------------------------------------------------------------------------------

TEST(WaitingQuestions, EachLevelAnswersThroughItsOwnJudgement) {
    for (const ComputerLevel level : kComputerLevels) {
        LevelTable t(2, {1}, level);
        t.game.setQuestionsWait(true);
        t.random.dice(2, 4); // Oriental Avenue, 100
        ASSERT_EQ(t.game.roll(), ActionResult::Waiting);
        ASSERT_NE(t.game.openQuestion(), nullptr);
        const std::optional<Action> answer = t.computer.nextAction(t.game);
        ASSERT_TRUE(answer);
        EXPECT_EQ(*answer, Action::answer(true)) << levelTitle(level) << " buys with 1500 in hand";
        EXPECT_EQ(t.game.apply(*answer), ActionResult::Done);
        EXPECT_EQ(t.s().owners[6], 1);
        EXPECT_EQ(brokenInvariants(t.s()), std::vector<std::string>{});
    }
}
