// Saved games taken in the middle of an action: the action comes back with its draws and answers,
// and a record that the rules could not have made is refused as damage.
#include "random_player.h"
#include "saved_game.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <random>

namespace dealbrix {
namespace {

using testing::SeededRandom;

class QuietUi final : public Ui {
  public:
    void tell(const Box&) override {}
    bool ask(const Box&) override { return true; }
    void endProgram() override {}
};

/// A two-player game whose first roll waits at a question, saved as the program saves it.
struct GameAtQuestion {
    std::mt19937_64 dice{3};
    SeededRandom random{dice};
    QuietUi ui;
    Game game{ui, random};
    SavedGame saved;

    GameAtQuestion() {
        game.setQuestionsWait(true);
        game.choosePlayers(2);
        game.start();
        for (int step = 0; step < 200 && game.openQuestion() == nullptr; ++step)
            game.state.board.rollEnabled ? game.roll() : game.endTurn();
        saved.state = game.state;
        if (game.inProgress() != nullptr) saved.inProgress = *game.inProgress();
        saved.actions = 9;
    }
};

TEST(SavedGameInProgress, ComesBackWithItsQuestionOpenAndItsDraws) {
    GameAtQuestion g;
    ASSERT_TRUE(g.saved.inProgress);
    const LoadResult loaded = readSavedGame(writeSavedGame(g.saved));
    ASSERT_TRUE(loaded.game) << loaded.error.toStdString();
    // The file holds the game as the action found it, and the action to play on.
    EXPECT_EQ(loaded.game->state, g.saved.inProgress->before);
    ASSERT_TRUE(loaded.game->inProgress);
    EXPECT_EQ(loaded.game->inProgress->draws, g.saved.inProgress->draws);
    EXPECT_EQ(loaded.game->inProgress->action, g.saved.inProgress->action);

    std::mt19937_64 otherDice(77);
    SeededRandom otherRandom(otherDice);
    QuietUi ui;
    Game reopened(ui, otherRandom);
    reopened.setQuestionsWait(true);
    reopened.restore(loaded.game->state);
    ASSERT_EQ(reopened.resume(*loaded.game->inProgress), ActionResult::Waiting);
    ASSERT_NE(reopened.openQuestion(), nullptr);
    EXPECT_EQ(*reopened.openQuestion(), *g.game.openQuestion());
    EXPECT_EQ(reopened.state, g.game.state);
    g.game.apply(Action::answer(true));
    reopened.apply(Action::answer(true));
    EXPECT_EQ(reopened.state, g.game.state);
}

/// The saved game with its action record changed by `change`.
QByteArray withRecord(const SavedGame& saved, const std::function<void(QJsonObject&)>& change) {
    QJsonObject top = QJsonDocument::fromJson(writeSavedGame(saved)).object();
    QJsonObject record = top.value(QLatin1String("inProgress")).toObject();
    change(record);
    top.insert(QLatin1String("inProgress"), record);
    return QJsonDocument(top).toJson();
}

TEST(SavedGameInProgress, ARecordThePlayCouldNotMakeIsDamage) {
    GameAtQuestion g;
    ASSERT_TRUE(g.saved.inProgress);
    const std::vector<std::pair<const char*, std::function<void(QJsonObject&)>>> damages{
        {"draw of 1",
         [](QJsonObject& r) {
             r.insert(QLatin1String("draws"), QJsonArray{1.0, 0.5});
         }},
        {"draw not a number",
         [](QJsonObject& r) { r.insert(QLatin1String("draws"), QJsonArray{QStringLiteral("x")}); }},
        {"unknown kind",
         [](QJsonObject& r) {
             QJsonObject a = r.value(QLatin1String("action")).toObject();
             a.insert(QLatin1String("kind"), QStringLiteral("Teleport"));
             r.insert(QLatin1String("action"), a);
         }},
        {"an answer as the action",
         [](QJsonObject& r) {
             QJsonObject a = r.value(QLatin1String("action")).toObject();
             a.insert(QLatin1String("kind"), QStringLiteral("Answer"));
             r.insert(QLatin1String("action"), a);
         }},
        {"an action not available",
         [](QJsonObject& r) {
             QJsonObject a = r.value(QLatin1String("action")).toObject();
             a.insert(QLatin1String("kind"), QStringLiteral("SellHouse"));
             r.insert(QLatin1String("action"), a);
         }},
        {"answers never asked",
         [](QJsonObject& r) {
             r.insert(QLatin1String("answers"), QJsonArray{1, 0, 1, 1});
         }},
        {"boxes never shown", [](QJsonObject& r) { r.insert(QLatin1String("boxesShown"), 4000); }},
        {"huge number", [](QJsonObject& r) { r.insert(QLatin1String("boxesShown"), 1e300); }},
        {"not a group",
         [](QJsonObject& r) {
             r = QJsonObject{{QStringLiteral("draws"), 3}};
         }},
    };
    for (const auto& [why, change] : damages) {
        const LoadResult loaded = readSavedGame(withRecord(g.saved, change));
        EXPECT_FALSE(loaded.game) << why;
        EXPECT_TRUE(loaded.error.startsWith(QStringLiteral("The file is damaged")))
            << why << ": " << loaded.error.toStdString();
    }
}

} // namespace
} // namespace dealbrix
