// Saved games with house rules: the rules and what they keep come back, a game saved mid-auction goes
// on with the same bids, and older files open with every rule off.
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
    bool ask(const Box&) override { return false; }
    void endProgram() override {}
};

HouseRules everyRule(int money = 2500) {
    HouseRules rules;
    rules.on.fill(true);
    rules.startingMoney = static_cast<i16>(money);
    return rules;
}

/// A two-player game with every rule on whose first roll turned a square down and waits for a bid.
struct GameAtBid {
    std::mt19937_64 dice{5};
    SeededRandom random{dice};
    QuietUi ui;
    Game game{ui, random};
    SavedGame saved;

    GameAtBid() {
        game.setQuestionsWait(true);
        game.chooseRules(everyRule());
        game.choosePlayers(2);
        game.start();
        // Roll on until a purchase question waits; turn it down and bid once.
        for (int step = 0; step < 400 && game.openQuestion() == nullptr; ++step)
            game.state.board.rollEnabled ? game.roll() : game.endTurn();
        while (game.openQuestion() != nullptr && game.openQuestion()->kind != BoxKind::AuctionBid)
            game.apply(Action::answer(false));
        if (game.openQuestion() != nullptr)
            game.apply(Action::answerAmount(game.openQuestion()->minimum + 4));
        saved.state = game.state;
        if (game.inProgress() != nullptr) saved.inProgress = *game.inProgress();
    }
};

QJsonObject fileOf(const SavedGame& saved) {
    return QJsonDocument::fromJson(writeSavedGame(saved)).object();
}

LoadResult read(const QJsonObject& top) {
    return readSavedGame(QJsonDocument(top).toJson());
}

} // namespace

TEST(SavedGameHouseRules, TheRulesThePotTheBankAndTheDebtsComeBack) {
    std::mt19937_64 rng(9);
    SeededRandom random(rng);
    QuietUi ui;
    Game game(ui, random);
    game.chooseRules(everyRule(3000));
    game.start();
    game.state.pot = 315;
    game.state.money[2] = -40;
    game.state.creditor[2] = 3;
    game.state.board.moneyLabels[2] = "-40";
    SavedGame saved{.state = game.state};
    const LoadResult loaded = readSavedGame(writeSavedGame(saved));
    ASSERT_TRUE(loaded.game) << loaded.error.toStdString();
    EXPECT_EQ(loaded.game->state, game.state);
    EXPECT_EQ(loaded.game->state.rules, everyRule(3000));
    EXPECT_EQ(fileOf(saved).value(QLatin1String("version")).toInt(), 2);
}

TEST(SavedGameHouseRules, AGameSavedMidAuctionGoesOnWithTheSameBids) {
    GameAtBid g;
    ASSERT_TRUE(g.saved.inProgress);
    ASSERT_NE(g.game.openQuestion(), nullptr);
    EXPECT_TRUE(g.game.state.auction.open);
    const LoadResult loaded = readSavedGame(writeSavedGame(g.saved));
    ASSERT_TRUE(loaded.game) << loaded.error.toStdString();
    std::mt19937_64 otherDice(99);
    SeededRandom otherRandom(otherDice);
    QuietUi ui;
    Game reopened(ui, otherRandom);
    reopened.setQuestionsWait(true);
    reopened.restore(loaded.game->state);
    ASSERT_EQ(reopened.resume(*loaded.game->inProgress), ActionResult::Waiting);
    ASSERT_NE(reopened.openQuestion(), nullptr);
    EXPECT_EQ(*reopened.openQuestion(), *g.game.openQuestion());
    EXPECT_EQ(reopened.state, g.game.state) << "the high bid and its bidder are back";
    g.game.apply(Action::answerAmount(0));
    reopened.apply(Action::answerAmount(0));
    EXPECT_EQ(reopened.state, g.game.state);
}

TEST(SavedGameHouseRules, AVersionOneFileOpensWithEveryRuleOff) {
    std::mt19937_64 rng(4);
    SeededRandom random(rng);
    QuietUi ui;
    Game game(ui, random);
    game.start();
    QJsonObject top = fileOf({.state = game.state});
    top.remove(QLatin1String("houseRules"));
    top.insert(QLatin1String("version"), 1);
    const LoadResult loaded = read(top);
    ASSERT_TRUE(loaded.game) << loaded.error.toStdString();
    EXPECT_TRUE(loaded.game->state.rules.plain());
    EXPECT_EQ(loaded.game->state, game.state);
}

TEST(SavedGameHouseRules, DamagedRulesAreRefused) {
    std::mt19937_64 rng(4);
    SeededRandom random(rng);
    QuietUi ui;
    Game game(ui, random);
    game.chooseRules(everyRule());
    game.start();
    const QJsonObject good = fileOf({.state = game.state});
    auto refusal = [&good](const char* key, const QJsonValue& value) {
        QJsonObject top = good;
        QJsonObject rules = top.value(QLatin1String("houseRules")).toObject();
        if (value.isUndefined())
            rules.remove(QLatin1String(key));
        else
            rules.insert(QLatin1String(key), value);
        top.insert(QLatin1String("houseRules"), rules);
        const LoadResult loaded = read(top);
        EXPECT_FALSE(loaded.game) << key;
        return loaded.error.toStdString();
    };
    QJsonObject missing = good;
    missing.remove(QLatin1String("houseRules"));
    EXPECT_EQ(read(missing).error.toStdString(), "The file is damaged: house rules is missing.");
    EXPECT_EQ(refusal("chosen", QJsonArray{QStringLiteral("auction"), QStringLiteral("casino")}),
              "The file is damaged: 'casino' is not a house rule.");
    EXPECT_EQ(refusal("startingMoney", 9000),
              "The file is damaged: starting money is 9000, outside 500..5000.");
    EXPECT_EQ(refusal("startingMoney", 1550),
              "The file holds a game that play could never reach: starting money 1550.");
    EXPECT_EQ(refusal("pot", -5), "The file is damaged: Free Parking pot is -5, outside 0..32767.");
    EXPECT_EQ(refusal("housesInBank", 30), "The file holds a game that play could never reach: bank holds 30 "
                                           "houses and 12 hotels, board 0 houses and 0 hotels.");
    EXPECT_EQ(refusal("creditors", QJsonArray{0, 0}),
              "The file is damaged: creditors has 2 entries instead of 4.");
}

} // namespace dealbrix
