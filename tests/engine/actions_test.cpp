// The action vocabulary: what is available when, what a refused action does, and the typed boxes.
#include "random_player.h"
#include "scripted.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

std::vector<std::string> describeAll(const std::vector<Action>& actions) {
    std::vector<std::string> out;
    for (const Action& a : actions)
        out.push_back(a.describe());
    return out;
}

/// Says Yes to every question and shows nothing.
class YesUi final : public Ui {
  public:
    void tell(const Box&) override {}
    bool ask(const Box&) override { return true; }
    void endProgram() override {}
};

bool listed(const Game& game, const Action& action) {
    const std::vector<Action> available = game.availableActions();
    return std::ranges::find(available, action) != available.end();
}

} // namespace

TEST(Availability, BeforeStartOnlyTheMenuTheSquaresAndTheHeadingsAreThere) {
    Table t;
    EXPECT_TRUE(listed(t.game, Action::start()));
    EXPECT_TRUE(listed(t.game, Action::choosePlayers(3)));
    EXPECT_TRUE(listed(t.game, Action::openHouseOptions(39)));
    EXPECT_TRUE(listed(t.game, Action::chooseTradePartner(4)));
    EXPECT_FALSE(listed(t.game, Action::roll()));
    EXPECT_FALSE(listed(t.game, Action::buyHouse()));
    EXPECT_FALSE(listed(t.game, Action::finalizeOffer({}, {})));
    EXPECT_FALSE(listed(t.game, Action::openHouseOptions(0))) << "Go cannot be owned";
    EXPECT_FALSE(t.game.isAvailable(Action::choosePlayers(1)));
    EXPECT_FALSE(t.game.isAvailable(Action::choosePlayers(5)));
    EXPECT_FALSE(t.game.isAvailable(Action::chooseTradePartner(0)));
    EXPECT_FALSE(t.game.isAvailable(Action::openHouseOptions(40)));
}

TEST(Availability, TradeFieldsTakeEitherSideAndAnyTextOnlyWhileTheWindowIsOpen) {
    Table t;
    t.start(2);
    EXPECT_FALSE(t.game.isAvailable(Action::enterMoney(0, "5")));
    t.game.chooseTradePartner(2);
    EXPECT_TRUE(t.game.isAvailable(Action::enterMoney(1, "anything at all")));
    EXPECT_TRUE(t.game.isAvailable(Action::enterSquare(0, "")));
    EXPECT_FALSE(t.game.isAvailable(Action::enterSquare(2, "1"))) << "there is no third side";
    t.game.closeTrade();
    EXPECT_FALSE(t.game.isAvailable(Action::tradeHelp()));
}

TEST(Availability, ADebtHoldLeavesGiveUpButNeitherRollNorEndTurn) {
    Table t;
    t.start(2);
    t.s().money[1] = -5;
    t.ui.expect({msg(debtText(1))});
    t.game.refreshMoney();
    EXPECT_TRUE(listed(t.game, Action::giveUp()));
    EXPECT_FALSE(listed(t.game, Action::roll()));
    EXPECT_FALSE(listed(t.game, Action::endTurn()));
}

TEST(Availability, TheFastListHoldsExactlyTheAvailableActionsInTheUsualOrder) {
    // Every kind under every number in range and a little beyond, against the list, over the
    // positions random games pass through.
    std::mt19937_64 rng(11);
    SeededRandom dice(rng);
    YesUi ui;
    for (int g = 0; g < 20; ++g) {
        Game game(ui, dice);
        for (int step = 0; step < 300; ++step) {
            ActionChoices fast;
            game.listAvailable(fast);
            std::set<std::string> expected;
            for (int kind = 0; kind < kActionKindCount; ++kind) {
                for (int number = -1; number <= kSquareCount; ++number) {
                    const Action a{static_cast<ActionKind>(kind), number, {}, {}};
                    // Kinds without a number take any, and the Rules window's starting money is typed:
                    // the list names them once, as 0.
                    const bool typed = a.kind == ActionKind::ChooseRules;
                    if (game.isAvailable(a) &&
                        (number == 0 || (!typed && Action{a.kind, 0, {}, {}}.describe() != a.describe())))
                        expected.insert(a.describe());
                }
            }
            std::vector<Action> listed;
            for (const ActionChoice& choice : fast)
                listed.push_back(choice.action());
            const std::vector<std::string> names = describeAll(listed);
            ASSERT_EQ(std::set<std::string>(names.begin(), names.end()), expected)
                << "game " << g << " step " << step;
            ASSERT_EQ(names.size(), expected.size()) << "each action once";
            // availableActions lists the Rules window's choice as the rules now chosen.
            std::vector<Action> full = game.availableActions();
            for (Action& a : full)
                if (a.kind == ActionKind::ChooseRules) a = {a.kind, 0, {}, {}};
            ASSERT_EQ(listed, full);
            const Action next = randomAvailableAction(game, rng);
            if (next.kind == ActionKind::Exit) continue;
            if (game.apply(next) == ActionResult::Ended) break;
        }
    }
}

TEST(RefusedAction, ChangesNothingAndSaysSo) {
    Table t;
    const GameState before = t.s();
    for (const Action& action :
         {Action::roll(), Action::endTurn(), Action::giveUp(), Action::buyHouse(), Action::sellHouse(),
          Action::toggleMortgage(), Action::closeHouseOptions(), Action::enterMoney(0, "100"),
          Action::finalizeOffer("1", "2"), Action::closeTrade(), Action::tradeHelp(),
          Action::openHouseOptions(-1), Action::choosePlayers(9), Action::chooseTradePartner(7)}) {
        EXPECT_EQ(t.game.apply(action), ActionResult::Refused) << action.describe();
        EXPECT_TRUE(t.s() == before) << action.describe() << " changed the game";
    }
    EXPECT_TRUE(t.ui.shown().empty());
}

TEST(RefusedAction, AButtonDisabledByTheLastActionRefusesTheNextClick) {
    Table t;
    t.start(2);
    t.random.dice(2, 1);
    t.ui.expect(
        {landing(1, 3), ask("Buy Baltic Avenue?", false, "Buy Property"), msg("Property Turned Down")});
    EXPECT_EQ(t.game.roll(), ActionResult::Done);
    EXPECT_EQ(t.game.roll(), ActionResult::Refused);
    EXPECT_EQ(t.s().positions[1], 3);
}

TEST(TypedBoxes, APurchaseQuestionAsksThePlayerHoldingTheTurnAboutTheSquareAndPrice) {
    Table t;
    t.start(2);
    t.random.dice(2, 1);
    t.ui.expect({landing(1, 3), ask("Buy Baltic Avenue?", true, "Buy Property"),
                 msg("Baltic Avenue Bought by player 1")});
    t.game.roll();
    const std::vector<Box>& boxes = t.ui.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].kind, BoxKind::Landing);
    EXPECT_EQ(boxes[0].square, 3);
    EXPECT_EQ(boxes[1].kind, BoxKind::PurchaseOffer);
    EXPECT_EQ(boxes[1].seat, 1);
    EXPECT_EQ(boxes[1].amount, 60);
    EXPECT_EQ(boxes[2].kind, BoxKind::PurchaseMade);
    for (const Box& box : boxes)
        EXPECT_EQ(box.turn, 1);
}

TEST(TypedBoxes, TheTradeQuestionIsForThePartnerAndRentNamesTheOwnerAmount) {
    Table t;
    t.start(3);
    t.own(1, 1);
    t.game.chooseTradePartner(3);
    t.game.enterSquare(0, "1");
    t.ui.expect({ask("Player 3, do you accept this offer?", false)});
    t.game.finalizeOffer("", "");
    ASSERT_EQ(t.ui.boxes().size(), 1u);
    EXPECT_EQ(t.ui.boxes()[0].kind, BoxKind::TradeQuestion);
    EXPECT_EQ(t.ui.boxes()[0].seat, 3);
    EXPECT_EQ(t.ui.boxes()[0].turn, 1);
    t.game.closeTrade();

    t.own(39, 2);
    t.ui.expect({landing(1, 39), msg("You Owe $50 to Player 2")});
    t.game.moveToken(39);
    const Box& rent = t.ui.boxes().back();
    EXPECT_EQ(rent.kind, BoxKind::Rent);
    EXPECT_EQ(rent.seat, 1);
    EXPECT_EQ(rent.square, 39);
    EXPECT_EQ(rent.amount, 50);
}

TEST(ActionText, NamesTheKindItsNumberAndItsTexts) {
    EXPECT_EQ(Action::roll().describe(), "Roll");
    EXPECT_EQ(Action::openHouseOptions(39).describe(), "OpenHouseOptions(39)");
    EXPECT_EQ(Action::enterMoney(1, "250").describe(), "EnterMoney(1) \"250\"");
    EXPECT_EQ(Action::finalizeOffer("5", "").describe(), "FinalizeOffer \"5\" \"\"");
}
