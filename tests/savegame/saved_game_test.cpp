#include "invariants.h"
#include "random_player.h"
#include "saved_game.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

/// Answers Yes three times in four from its own generator and records every box.
class RecordingUi final : public Ui {
  public:
    explicit RecordingUi(std::uint64_t seed) : answers(seed) {}
    void tell(const Box& box) override { boxes.push_back(box); }
    bool ask(const Box& box) override {
        boxes.push_back(box);
        return (answers() & 3) != 0;
    }
    void endProgram() override { ended = true; }

    std::mt19937_64 answers;
    std::vector<Box> boxes;
    bool ended = false;
};

/// A random available action other than Exit, so play goes on.
Action playingAction(const Game& game, std::mt19937_64& rng) {
    Action action = randomAvailableAction(game, rng);
    while (action.kind == ActionKind::Exit)
        action = randomAvailableAction(game, rng);
    return action;
}

/// A game as the program starts it, before Start.
SavedGame freshGame() {
    std::mt19937_64 rng(1);
    SeededRandom random(rng);
    RecordingUi ui(1);
    return {.state = Game(ui, random).state, .computerSeats = {}, .log = {}, .actions = 0, .inProgress = {}};
}

SavedGame roundTrip(const SavedGame& game) {
    const LoadResult loaded = readSavedGame(writeSavedGame(game));
    EXPECT_TRUE(loaded.game.has_value()) << loaded.error.toStdString();
    return loaded.game.value_or(SavedGame{});
}

/// A four-player game a few turns in, as a file's JSON.
QJsonObject midGame() {
    std::mt19937_64 rng(7);
    SeededRandom random(rng);
    RecordingUi ui(7);
    Game game(ui, random);
    game.start();
    for (int n = 0; n < 60; ++n)
        game.apply(randomAvailableAction(game, rng));
    SavedGame saved{.state = game.state, .computerSeats = {}, .log = {}, .actions = 61, .inProgress = {}};
    return QJsonDocument::fromJson(writeSavedGame(saved)).object();
}

/// `top` with the value at `path` (keys and array indexes) replaced, or removed when `value` is undefined.
QJsonValue edited(const QJsonValue& node, const QList<QVariant>& path, const QJsonValue& value, int at = 0) {
    if (at == path.size()) return value;
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        const int i = path[at].toInt();
        array[i] = edited(array[i], path, value, at + 1);
        return array;
    }
    QJsonObject object = node.toObject();
    const QString key = path[at].toString();
    if (at + 1 == path.size() && value.isUndefined())
        object.remove(key);
    else
        object[key] = edited(object.value(key), path, value, at + 1);
    return object;
}

/// The error of reading `top` with one value changed; fails when the file is accepted.
std::string refusal(const QList<QVariant>& path, const QJsonValue& value) {
    const QJsonObject top = edited(midGame(), path, value).toObject();
    const LoadResult loaded = readSavedGame(QJsonDocument(top).toJson());
    EXPECT_FALSE(loaded.game.has_value());
    return loaded.error.toStdString();
}

const QJsonValue kRemoved{QJsonValue::Undefined};

} // namespace

TEST(SavedGameRoundTrip, EveryStateOfRandomPlayReadsBackIdenticalAndSound) {
    constexpr int kStates = 4000;
    std::mt19937_64 rng(12);
    SeededRandom random(rng);
    RecordingUi ui(12);
    int states = 0;
    int games = 0;
    while (states < kStates) {
        ++games;
        Game game(ui, random);
        ui.ended = false;
        // The state before Start is one the loader must take too.
        for (int n = 0; n < 1500 && states < kStates; ++n, ++states) {
            const SavedGame saved{
                .state = game.state, .computerSeats = {}, .log = {}, .actions = n, .inProgress = {}};
            ASSERT_EQ(roundTrip(saved), saved) << "state " << states;
            if (game.apply(randomAvailableAction(game, rng)) == ActionResult::Ended) break;
        }
    }
    EXPECT_GT(games, 1);
}

TEST(SavedGameRoundTrip, ComputerSeatsAndLogComeBackAndOlderFilesWithoutThemRead) {
    SavedGame saved = freshGame();
    saved.computerSeats[2] = true;
    saved.computerSeats[4] = true;
    saved.log = {"Player 1 lands on Baltic Avenue $60", "ünïcode \"quoted\"\n"};
    EXPECT_EQ(roundTrip(saved), saved);

    QJsonObject top = QJsonDocument::fromJson(writeSavedGame(saved)).object();
    top.remove(QStringLiteral("log"));
    top = edited(top, {"players", 1, "computer"}, kRemoved).toObject();
    const LoadResult loaded = readSavedGame(QJsonDocument(top).toJson());
    ASSERT_TRUE(loaded.game) << loaded.error.toStdString();
    EXPECT_TRUE(loaded.game->log.empty());
    EXPECT_FALSE(loaded.game->computerSeats[2]);
    EXPECT_TRUE(loaded.game->computerSeats[4]);
}

TEST(SavedGameRoundTrip, LevelsComeBackAndFilesWithoutThemPlayNormal) {
    SavedGame saved = freshGame();
    saved.computerSeats[2] = saved.computerSeats[3] = true;
    saved.computerLevels[2] = ComputerLevel::Hard;
    saved.computerLevels[3] = ComputerLevel::Easy;
    saved.computerLevels[4] = ComputerLevel::Hard; // a person's seat keeps the level it would get
    EXPECT_EQ(roundTrip(saved), saved);

    QJsonObject top = QJsonDocument::fromJson(writeSavedGame(saved)).object();
    for (int p = 0; p < kPlayerCount; ++p)
        top = edited(top, {"players", p, "level"}, kRemoved).toObject();
    const LoadResult old = readSavedGame(QJsonDocument(top).toJson());
    ASSERT_TRUE(old.game) << old.error.toStdString();
    EXPECT_TRUE(old.game->computerSeats[2]);
    EXPECT_EQ(old.game->computerLevels, (PlayerArray<ComputerLevel>{})) << "every seat Normal";
    EXPECT_EQ(old.game->computerLevels[2], ComputerLevel::Normal);

    for (const QJsonValue& wrong : {QJsonValue(QStringLiteral("expert")), QJsonValue(QStringLiteral("Hard")),
                                   QJsonValue(2), QJsonValue(QJsonValue::Null)}) {
        const QJsonObject bad = edited(top, {"players", 1, "level"}, wrong).toObject();
        const LoadResult refused = readSavedGame(QJsonDocument(bad).toJson());
        EXPECT_FALSE(refused.game);
        EXPECT_TRUE(refused.error.contains(QStringLiteral("computer level of player 2")))
            << refused.error.toStdString();
    }
}

TEST(SavedGameRoundTrip, OpenedGameGoesOnBoxForBoxAsTheSavedOneWouldHave) {
    std::mt19937_64 choices(3);
    std::mt19937_64 diceA(99);
    SeededRandom randomA(diceA);
    RecordingUi uiA(5);
    Game a(uiA, randomA);
    a.start();
    for (int n = 0; n < 300; ++n)
        a.apply(playingAction(a, choices));

    std::mt19937_64 diceB(1);
    SeededRandom randomB(diceB);
    RecordingUi uiB(1);
    Game continued(uiB, randomB); // deals its own decks, which the file replaces
    continued.restore(
        roundTrip({.state = a.state, .computerSeats = {}, .log = {}, .actions = 0, .inProgress = {}}).state);
    // From here both games get the same dice and the same answers.
    diceB = diceA;
    uiB.answers = uiA.answers;
    uiA.boxes.clear();
    for (int n = 0; n < 500 && !uiA.ended; ++n) {
        const Action action = playingAction(a, choices);
        EXPECT_EQ(a.apply(action), continued.apply(action)) << action.describe();
        ASSERT_EQ(uiA.boxes.size(), uiB.boxes.size()) << "after " << action.describe();
        ASSERT_EQ(a.state, continued.state) << "after " << action.describe();
    }
    EXPECT_EQ(uiA.boxes, uiB.boxes);
    EXPECT_GT(uiA.boxes.size(), 20u);
}

TEST(SavedGameRefused, WhatIsNotASavedGameAtAll) {
    const QByteArray good = writeSavedGame(freshGame());
    const std::string notOurs = "The file is not a Dealbrix saved game.";
    EXPECT_EQ(readSavedGame("").error.toStdString(), "The file is empty: it is not a Dealbrix saved game.");
    EXPECT_EQ(readSavedGame(" \n").error.toStdString(),
              "The file is empty: it is not a Dealbrix saved game.");
    EXPECT_EQ(readSavedGame("hello").error.toStdString(), notOurs);
    // A saved game cut short is ours, but damaged.
    const std::string cutShort = "The file is a damaged Dealbrix saved game: it ends too soon";
    EXPECT_EQ(readSavedGame(good.left(good.size() / 2)).error.toStdString().substr(0, cutShort.size()),
              cutShort);
    EXPECT_EQ(readSavedGame(good.chopped(2)).error.toStdString().substr(0, cutShort.size()), cutShort);
    EXPECT_EQ(readSavedGame("[1, 2]").error.toStdString(), notOurs);
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(static_cast<char>((i * 131 + 7) & 0xff));
    EXPECT_EQ(readSavedGame(garbage).error.toStdString(), notOurs);
    EXPECT_EQ(refusal({"format"}, "other-game"), notOurs);
    EXPECT_EQ(refusal({"format"}, kRemoved), notOurs);
    const std::string versions = "; this program opens versions 1 to 2.";
    EXPECT_EQ(refusal({"version"}, 3), "The file is a Dealbrix saved game of another version (3)" + versions);
    EXPECT_EQ(refusal({"version"}, 0), "The file is a Dealbrix saved game of another version (0)" + versions);
    const std::string other = "The file is a Dealbrix saved game of another version ";
    EXPECT_EQ(refusal({"version"}, 1.5), other + "(1.5)" + versions);
    EXPECT_EQ(refusal({"version"}, "1"), other + "(none)" + versions);
}

TEST(SavedGameRefused, MissingFieldsAndWrongTypes) {
    EXPECT_EQ(refusal({"turn"}, kRemoved), "The file is damaged: turn is missing.");
    EXPECT_EQ(refusal({"players", 2, "money"}, kRemoved),
              "The file is damaged: money of player 3 is missing.");
    EXPECT_EQ(refusal({"trade"}, kRemoved), "The file is damaged: trade window is missing.");
    EXPECT_EQ(refusal({"actions"}, kRemoved), "The file is damaged: action count is missing.");
    EXPECT_EQ(refusal({"actions"}, -1),
              "The file is damaged: the action count is not a whole number of actions.");
    EXPECT_EQ(refusal({"turn"}, "1"), "The file is damaged: turn is not a whole number.");
    EXPECT_EQ(refusal({"players", 0, "money"}, 1.5),
              "The file is damaged: money of player 1 is not a whole number.");
    EXPECT_EQ(refusal({"players", 0, "out"}, 0),
              "The file is damaged: seat of player 1 is not true or false.");
    EXPECT_EQ(refusal({"players"}, QJsonObject{}), "The file is damaged: players is not a list.");
    EXPECT_EQ(refusal({"owners"}, QJsonArray{0, 0}),
              "The file is damaged: owners has 2 entries instead of 40.");
    EXPECT_EQ(refusal({"board"}, 3), "The file is damaged: board is not a group of values.");
    EXPECT_EQ(refusal({"board", "turnLabel"}, QString(201, 'x')),
              "The file is damaged: turn label is 201 characters long.");
    EXPECT_EQ(
        refusal({"trade", "squaresOffered", 1, 3, "typed"}, "3"),
        "The file is damaged: the number typed in line 4 of squares offered by side 1 is not a number.");
    EXPECT_EQ(refusal({"log"}, QJsonArray{"fine", 5}),
              "The file is damaged: a line of the game log is not a text.");
}

TEST(SavedGameRefused, ValuesTheGameCannotHold) {
    EXPECT_EQ(refusal({"owners", 1}, 9), "The file is damaged: owner of square 1 is 9, outside 0..8.");
    EXPECT_EQ(refusal({"owners", 1}, -1), "The file is damaged: owner of square 1 is -1, outside 0..8.");
    EXPECT_EQ(refusal({"houses", 3}, 6), "The file is damaged: houses of square 3 is 6, outside 0..5.");
    EXPECT_EQ(refusal({"houses", 5}, 1),
              "The file is damaged: square 5 (Reading Railroad) takes no houses but has 1.");
    EXPECT_EQ(refusal({"players", 2, "money"}, 40000),
              "The file is damaged: money of player 3 is 40000, beyond what the game can hold.");
    EXPECT_EQ(refusal({"players", 2, "money"}, 1e9),
              "The file is damaged: money of player 3 is 1000000000, beyond what the game can hold.");
    EXPECT_EQ(refusal({"players", 2, "money"}, -32769),
              "The file is damaged: money of player 3 is -32769, beyond what the game can hold.");
    EXPECT_EQ(refusal({"players", 0, "position"}, 40),
              "The file is damaged: position of player 1 is 40, outside 0..39.");
    EXPECT_EQ(refusal({"decks", 1, "cards", 0}, 18),
              "The file is damaged: card 1 of deck 2 is 18, outside 1..17.");
    EXPECT_EQ(refusal({"decks", 0, "next"}, 0),
              "The file is damaged: next position of deck 1 is 0, outside 1..17.");
    EXPECT_EQ(refusal({"decks", 1, "next"}, 18),
              "The file is damaged: next position of deck 2 is 18, outside 1..17.");
    EXPECT_EQ(refusal({"turn"}, 5), "The file is damaged: turn is 5, outside 1..4.");
    EXPECT_EQ(refusal({"turn"}, 0), "The file is damaged: turn is 0, outside 1..4.");
    EXPECT_EQ(refusal({"debtor"}, 5), "The file is damaged: debtor is 5, outside 0..4.");
    EXPECT_EQ(refusal({"tradePartner"}, -1), "The file is damaged: trade partner is -1, outside 0..4.");
    EXPECT_EQ(refusal({"playerCount"}, 1), "The file is damaged: the number of players is 1.");
    EXPECT_EQ(refusal({"diceRoll", 2}, 13), "The file is damaged: dice total is 13, outside 0..12.");
    EXPECT_EQ(refusal({"players", 3, "gridTicks"}, QJsonArray{40}),
              "The file is damaged: grid ticks of player 4 is 40, outside 0..39.");
}

TEST(SavedGameRefused, DeckThatIsNotAShuffleOfItsCards) {
    const QJsonArray cards = midGame()["decks"][0]["cards"].toArray();
    EXPECT_EQ(refusal({"decks", 0, "cards", 1}, cards[0]),
              "The file is damaged: deck 1 is not a shuffle of the cards 1 to 17.");
}

TEST(SavedGameRefused, CombinationsPlayNeverReaches) {
    const std::string never = "The file holds a game that play could never reach: ";
    // Owner code 5 is player 1 mortgaged; the grid agrees, but a mortgaged square carries no houses.
    QJsonObject top = edited(midGame(), {"owners", 1}, 5).toObject();
    top = edited(top, {"players", 0, "gridTicks"}, QJsonArray{1}).toObject();
    top = edited(top, {"houses", 1}, 1).toObject();
    LoadResult loaded = readSavedGame(QJsonDocument(top).toJson());
    EXPECT_EQ(loaded.error.toStdString(), never + "mortgaged square 1 has houses.");

    EXPECT_EQ(refusal({"players", 0, "gridTicks"}, QJsonArray{0}),
              never + "grid box of player 1 for square 0 is ticked, owner code 0.");
    EXPECT_EQ(refusal({"board", "turnLabel"}, "Player 9's turn"),
              never + "turn label reads Player 9's turn.");
    const std::string hold = refusal({"debtor"}, 1);
    EXPECT_EQ(hold.rfind(never + "debt hold on player 1 with turn after the debt ", 0), 0u) << hold;
    const std::string label = refusal({"players", 1, "moneyLabel"}, "1000000");
    EXPECT_EQ(label.rfind(never + "money label of player 2 reads 1000000 for ", 0), 0u) << label;
}

TEST(SavedGameFile, LargeFilesAreRefusedBeforeTheyAreRead) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.dealbrix"));
    QFile big(path);
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    // A sound game followed by blanks: a parser would accept it, the size check must not.
    QByteArray bytes = writeSavedGame(freshGame());
    bytes.append(QByteArray(kMaxSavedGameBytes + 1 - bytes.size(), ' '));
    big.write(bytes);
    big.close();
    EXPECT_EQ(loadGameFile(path).error.toStdString(),
              "The file is larger than any saved game (over 1048576 bytes).");

    bytes.chop(1);
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(bytes);
    big.close();
    EXPECT_TRUE(loadGameFile(path).game.has_value()) << "exactly 1 MB is still a saved game";
}

TEST(SavedGameFile, SaveReplacesTheWholeFileAndReportsWhatFails) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("game.dealbrix"));
    SavedGame saved = freshGame();
    saved.actions = 5;
    saved.state.money[1] = 99;
    saved.state.board.moneyLabels[1] = "99";
    ASSERT_EQ(saveGameFile(path, saved), QString());
    saved.actions = 6;
    ASSERT_EQ(saveGameFile(path, saved), QString());
    const LoadResult loaded = loadGameFile(path);
    ASSERT_TRUE(loaded.game) << loaded.error.toStdString();
    EXPECT_EQ(*loaded.game, saved);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("game.dealbrix")})
        << "no temporary file is left behind";

    EXPECT_FALSE(saveGameFile(dir.filePath(QStringLiteral("no/such/folder/x.dealbrix")), saved).isEmpty());
    EXPECT_TRUE(loadGameFile(dir.filePath(QStringLiteral("missing.dealbrix")))
                    .error.startsWith(QStringLiteral("The file could not be read: ")));
}

TEST(SavedGameRoundTrip, NamesAndStatisticsComeBackAndOlderFilesWithoutThemRead) {
    QJsonObject top = midGame();
    SavedGame saved = readSavedGame(QJsonDocument(top).toJson()).game.value();
    EXPECT_FALSE(saved.state.history.worth.empty()) << "a started game has its start's worth";
    saved.state.names[2] = "Zoë";
    saved.state.history.landings[5] = 17;
    EXPECT_EQ(roundTrip(saved), saved);
    // No name is written for an unnamed seat, and a file without statistics reads with none.
    const QJsonObject written = QJsonDocument::fromJson(writeSavedGame(saved)).object();
    EXPECT_FALSE(written["players"].toArray()[0].toObject().contains(QStringLiteral("name")));
    EXPECT_EQ(written["players"].toArray()[1].toObject()["name"].toString(), QStringLiteral("Zoë"));
    top.remove(QStringLiteral("history"));
    const LoadResult older = readSavedGame(QJsonDocument(top).toJson());
    ASSERT_TRUE(older.game) << older.error.toStdString();
    EXPECT_EQ(older.game->state.history, GameHistory{});
}

TEST(SavedGameRefused, NamesNoSeatCanCarryAndStatisticsOutOfShape) {
    EXPECT_EQ(refusal({"players", 0, "name"}, QString(25, QLatin1Char('x'))),
              "The file is damaged: the name of player 1 is not one a seat can carry.");
    EXPECT_EQ(refusal({"players", 1, "name"}, " padded"),
              "The file is damaged: the name of player 2 is not one a seat can carry.");
    EXPECT_EQ(refusal({"players", 0, "name"}, 5), "The file is damaged: name of player 1 is not a text.");
    EXPECT_EQ(refusal({"history", "landings", 3}, -1),
              "The file is damaged: landings of square 3 is not a whole number from 0 to 2147483647.");
    EXPECT_EQ(refusal({"history", "worth"}, QJsonArray{QJsonArray{0, 1, 2, 3, 4}, QJsonArray{0, 1, 2, 3, 4}}),
              "The file is damaged: the rounds of the statistics are out of order.");
    EXPECT_EQ(refusal({"history", "worth"}, QJsonArray{QJsonArray{0, 1, 2}}),
              "The file is damaged: a round's worth has 3 entries instead of 5.");
}
