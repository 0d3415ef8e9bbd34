// Questions that wait as part of the game, and actions resumed from their record: the same boxes, the
// same dice and the same outcome as an action played through at one screen.
#include "game.h"
#include "random_player.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

namespace dealbrix {
namespace {

using testing::randomAvailableAction;
using testing::SeededRandom;

/// The same answer for the same question, whoever asks and however often.
bool answerFor(const Box& question) {
    return (question.text.size() + static_cast<std::size_t>(question.square + 40) + question.turn) % 3 != 0;
}

/// Records every box and answers every question by its content.
class RecordingUi final : public Ui {
  public:
    void tell(const Box& box) override {
        boxes.push_back(box);
        if (onTell) onTell();
    }
    bool ask(const Box& question) override {
        boxes.push_back(question);
        return answerFor(question);
    }
    void endProgram() override { ended = true; }

    std::vector<Box> boxes;
    bool ended = false;
    std::function<void()> onTell;
};

/// Exit ends the game for good; the other actions keep it going.
bool playable(const Action& action) {
    return action.kind != ActionKind::Exit;
}

/// Applies `action`, answering each question that waits as the one-screen game would.
ActionResult applyAnswering(Game& game, RecordingUi& ui, const Action& action) {
    ActionResult result = game.apply(action);
    while (result == ActionResult::Waiting) {
        const Box question = *game.openQuestion();
        ui.boxes.push_back(question);
        result = game.apply(Action::answer(answerFor(question)));
    }
    return result;
}

TEST(QuestionsWait, PlayBoxForBoxAsAtOneScreen) {
    for (std::uint64_t seed = 1; seed <= 6; ++seed) {
        std::mt19937_64 diceAtScreen(seed), diceWaiting(seed), choices(seed * 77);
        SeededRandom randomAtScreen(diceAtScreen), randomWaiting(diceWaiting);
        RecordingUi atScreen, waiting;
        Game one(atScreen, randomAtScreen);
        Game other(waiting, randomWaiting);
        other.setQuestionsWait(true);
        for (Game* game : {&one, &other}) {
            game->choosePlayers(2 + static_cast<int>(seed % 3));
            game->start();
        }
        for (int step = 0; step < 1500 && !atScreen.ended; ++step) {
            Action action = randomAvailableAction(one, choices);
            if (!playable(action)) continue;
            const ActionResult expected = one.apply(action);
            const ActionResult result = applyAnswering(other, waiting, action);
            ASSERT_EQ(result, expected) << "seed " << seed << " step " << step << ": " << action.describe();
            ASSERT_EQ(other.state, one.state)
                << "seed " << seed << " step " << step << ": " << action.describe();
            ASSERT_EQ(other.inProgress(), nullptr);
        }
        EXPECT_EQ(waiting.boxes, atScreen.boxes) << "seed " << seed;
        EXPECT_GT(atScreen.boxes.size(), 50u);
    }
}

/// A started two-player game whose first seat is about to roll onto an unowned square.
struct WaitingTable {
    std::mt19937_64 dice{11};
    SeededRandom random{dice};
    RecordingUi ui;
    Game game{ui, random};

    WaitingTable() {
        game.setQuestionsWait(true);
        game.choosePlayers(2);
        game.start();
    }

    /// Rolls until a purchase question waits; false if none came in a few turns.
    bool rollToQuestion() {
        for (int step = 0; step < 200; ++step) {
            const ActionResult result =
                game.state.board.rollEnabled
                    ? game.roll()
                    : (game.state.board.endTurnEnabled ? game.endTurn() : game.giveUp());
            if (result == ActionResult::Waiting) return true;
        }
        return false;
    }
};

TEST(QuestionsWait, OnlyTheAnswerIsAvailableWhileAQuestionWaits) {
    WaitingTable t;
    ASSERT_TRUE(t.rollToQuestion());
    const Box question = *t.game.openQuestion();
    EXPECT_EQ(question.seat, t.game.state.turn);
    // The token has moved and the landing was told before the question came.
    EXPECT_FALSE(t.ui.boxes.empty());
    const GameState atQuestion = t.game.state;
    for (const Action& action : {Action::roll(), Action::endTurn(), Action::giveUp(), Action::exit(),
                                 Action::openHouseOptions(1), Action::chooseTradePartner(2)})
        EXPECT_EQ(t.game.apply(action), ActionResult::Refused) << action.describe();
    EXPECT_EQ(t.game.apply({ActionKind::Answer, 2, {}, {}}), ActionResult::Refused);
    EXPECT_EQ(t.game.apply(Action::answerAmount(-1)), ActionResult::Refused);
    EXPECT_EQ(t.game.state, atQuestion);
    const std::vector<Action> available = t.game.availableActions();
    ASSERT_EQ(available.size(), 2u);
    for (const Action& action : available)
        EXPECT_EQ(action.kind, ActionKind::Answer);
}

TEST(QuestionsWait, AnAnswerPlaysOnWithoutShowingAnEarlierBoxAgain) {
    WaitingTable t;
    ASSERT_TRUE(t.rollToQuestion());
    const std::size_t shownBefore = t.ui.boxes.size();
    const Box question = *t.game.openQuestion();
    ASSERT_EQ(question.kind, BoxKind::PurchaseOffer) << question.text;
    const std::vector<float> draws = t.game.inProgress()->draws;
    EXPECT_NE(t.game.apply(Action::answer(true)), ActionResult::Waiting);
    EXPECT_EQ(t.game.openQuestion(), nullptr);
    EXPECT_EQ(t.game.inProgress(), nullptr);
    EXPECT_EQ(ownerOf(t.game.state.owners[question.square]), question.seat);
    // Only what came after the question is new: the purchase message.
    ASSERT_EQ(t.ui.boxes.size(), shownBefore + 1);
    EXPECT_EQ(t.ui.boxes.back().kind, BoxKind::PurchaseMade);
    EXPECT_FALSE(draws.empty());
}

/// Plays `seed`'s game at one screen with recording on, and at every `stride`-th box takes a copy of
/// the action on its way, as an autosave before that box does. Each copy, resumed in a fresh game
/// whose dice would come out differently, must end exactly as the uninterrupted action did.
void expectResumedActionsToEndAsPlayed(std::uint64_t seed, int stride) {
    std::mt19937_64 dice(seed), otherDice(seed + 1000), choices(seed * 31);
    SeededRandom random(dice), otherRandom(otherDice);
    RecordingUi ui;
    Game game(ui, random);
    game.setRecording(true);
    game.choosePlayers(4);
    game.start();
    std::vector<ActionInProgress> taken;
    int boxes = 0;
    ui.onTell = [&] {
        if (++boxes % stride == 0 && game.inProgress() != nullptr) taken.push_back(*game.inProgress());
    };
    int checked = 0;
    for (int step = 0; step < 400 && !ui.ended; ++step) {
        const Action action = randomAvailableAction(game, choices);
        if (!playable(action)) continue;
        taken.clear();
        const ActionResult played = game.apply(action);
        for (const ActionInProgress& record : taken) {
            RecordingUi resumedUi;
            Game resumed(resumedUi, otherRandom);
            resumed.setRecording(true);
            ASSERT_EQ(resumed.resume(record), played) << "seed " << seed << ": " << action.describe();
            ASSERT_EQ(resumed.state, game.state) << "seed " << seed << ": " << action.describe();
            ++checked;
        }
    }
    EXPECT_GT(checked, 5) << "seed " << seed;
}

TEST(ResumedAction, EndsAsItWouldHaveWithTheSameDice) {
    for (std::uint64_t seed = 1; seed <= 8; ++seed)
        expectResumedActionsToEndAsPlayed(seed, static_cast<int>(seed % 3) + 1);
}

TEST(ResumedAction, ShowsOnlyTheBoxesNotYetShown) {
    WaitingTable t;
    t.game.setQuestionsWait(false);
    t.game.setRecording(true);
    std::optional<ActionInProgress> taken;
    t.ui.onTell = [&] {
        if (!taken && t.game.inProgress() != nullptr) taken = *t.game.inProgress();
    };
    t.game.roll();
    ASSERT_TRUE(taken);
    const std::vector<Box> all(t.ui.boxes.begin(), t.ui.boxes.end());
    RecordingUi again;
    std::mt19937_64 dice(99);
    SeededRandom random(dice);
    Game resumed(again, random);
    ASSERT_NE(resumed.resume(*taken), ActionResult::Refused);
    // The copy was taken as the first box was about to show, so every box of the roll comes again.
    EXPECT_EQ(again.boxes, all);
}

TEST(ResumedAction, ARecordThatDoesNotFitIsRefusedAndChangesNothing) {
    WaitingTable t;
    ASSERT_TRUE(t.rollToQuestion());
    const ActionInProgress good = *t.game.inProgress();
    ASSERT_FALSE(good.draws.empty());
    auto refused = [&](ActionInProgress record, const char* why) {
        RecordingUi ui;
        std::mt19937_64 dice(5);
        SeededRandom random(dice);
        Game game(ui, random);
        game.setQuestionsWait(true);
        const GameState fresh = game.state;
        EXPECT_EQ(game.resume(record), ActionResult::Refused) << why;
        EXPECT_EQ(game.state, fresh) << why;
        EXPECT_EQ(game.inProgress(), nullptr) << why;
    };
    ActionInProgress record = good;
    record.draws[0] = 1.0f;
    refused(record, "a draw of 1");
    record = good;
    record.draws[0] = -0.25f;
    refused(record, "a negative draw");
    record = good;
    record.draws.insert(record.draws.end(), 50, 0.5f);
    refused(record, "draws the action never makes");
    record = good;
    record.answers = {1, 1, 1, 1, 1, 1};
    refused(record, "answers to questions never asked");
    record = good;
    record.answers = {7};
    refused(record, "an answer no Yes/No question takes");
    record = good;
    record.action = Action::buyHouse();
    refused(record, "an action not available");
    record = good;
    record.action = Action::answer(true);
    refused(record, "an answer as the action");
    record = good;
    record.boxesShown = 500;
    refused(record, "more boxes shown than the action has");
}

} // namespace
} // namespace dealbrix
