// The protocol's values: actions and boxes read back as written, anything else refused; the state
// carries no deck order; typed server addresses.
#include "protocol.h"
#include "random_player.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <limits>

namespace dealbrix::net {
namespace {

using dealbrix::testing::randomAvailableAction;
using dealbrix::testing::SeededRandom;

/// Answers every question Yes and shows nothing.
struct YesScreen final : Ui {
    void tell(const Box&) override {}
    bool ask(const Box&) override { return true; }
    void endProgram() override {}
};

QJsonObject parse(const char* text) {
    return QJsonDocument::fromJson(text).object();
}

TEST(Protocol, ActionsReadBackAsWrittenForEveryKind) {
    for (int k = 0; k < kActionKindCount; ++k) {
        const Action action{static_cast<ActionKind>(k), -7 + k, "12 x", "\xc3\xa9"};
        EXPECT_EQ(actionFromJson(actionToJson(action)), action) << action.describe();
        // Written directly, the whole message reads as the one made of its fields.
        const Action typed{static_cast<ActionKind>(k), std::numeric_limits<int>::min() + k, "\"1\\2\"\n",
                           "Zo\xc3\xab\t"};
        const QJsonObject written = QJsonDocument::fromJson(actionMessageText(typed)).object();
        EXPECT_EQ(written, message(type::kAction, {{"action", actionToJson(typed)}})) << typed.describe();
        EXPECT_EQ(actionFromJson(written.value(QLatin1String("action"))), typed) << typed.describe();
    }
    // Missing fields are 0 and empty.
    EXPECT_EQ(actionFromJson(parse(R"({"kind":"Roll"})")), Action::roll());
}

TEST(Protocol, ActionsOfUnknownKindWrongTypesOrHugeNumbersAreRefused) {
    for (const char* bad :
         {R"({"kind":"Teleport"})", R"({"kind":3})", R"({"number":1})",
          R"({"kind":"OpenHouseOptions","number":1.5})", R"({"kind":"OpenHouseOptions","number":1e300})",
          R"({"kind":"OpenHouseOptions","number":2147483648})", R"({"kind":"OpenHouseOptions","number":"3"})",
          R"({"kind":"EnterMoney","text":5})", R"({"kind":"EnterMoney","otherText":[]})"})
        EXPECT_FALSE(actionFromJson(parse(bad))) << bad;
    EXPECT_FALSE(actionFromJson(QJsonValue(5)));
    const QString longText(kMaxActionTextLength + 1, u'9');
    EXPECT_FALSE(actionFromJson(QJsonObject{{"kind", "EnterMoney"}, {"text", longText}}));
    EXPECT_TRUE(
        actionFromJson(QJsonObject{{"kind", "EnterMoney"}, {"text", longText.left(kMaxActionTextLength)}}));
}

TEST(Protocol, BoxesReadBackAsWrittenAndOutOfRangeSeatsAreRefused) {
    const Box box{.kind = BoxKind::TradeQuestion,
                  .seat = 3,
                  .turn = 2,
                  .square = 39,
                  .amount = -40,
                  .minimum = 10,
                  .maximum = 400,
                  .title = "t",
                  .text = "Player 3, do you accept this offer?"};
    EXPECT_EQ(boxFromJson(boxToJson(box)), box);
    QJsonObject bad = boxToJson(box);
    bad["seat"] = 5;
    EXPECT_FALSE(boxFromJson(bad));
    bad = boxToJson(box);
    bad["kind"] = "Nothing";
    EXPECT_FALSE(boxFromJson(bad));
}

TEST(Protocol, ABoxMessageWrittenDirectlyIsTheMessageOfItsFieldsWithItsTypeFirst) {
    const Box box{.kind = BoxKind::CardText,
                  .seat = 3,
                  .turn = 2,
                  .square = 36,
                  .amount = -150,
                  .minimum = 10,
                  .maximum = 1500,
                  .title = "Chance \"card\"",
                  .text = "Go back\n3 spaces \\ Zo\xc3\xab"};
    const qint64 version = (qint64{1} << 40) + 1;
    const QByteArray text = boxMessageText(version, box);
    EXPECT_TRUE(text.startsWith(R"({"type":"box")")) << text.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(text).object(),
              message(type::kBox, {{"version", static_cast<double>(version)}, {"box", boxToJson(box)}}));
    EXPECT_EQ(boxFromJson(QJsonDocument::fromJson(text).object().value(QLatin1String("box"))), box);
}

TEST(Protocol, EveryBoxKindOfTheHouseRulesHasItsOwnNameAndReadsBack) {
    // An auction's bid question reaches a client only if its kind is named; every kind up to the
    // last the game has reads back as itself.
    for (int kind = 0; kind <= static_cast<int>(BoxKind::TradeAnswer); ++kind) {
        const Box box{.kind = static_cast<BoxKind>(kind), .seat = 1, .turn = 1};
        const std::optional<Box> read = boxFromJson(boxToJson(box));
        ASSERT_TRUE(read) << kind;
        EXPECT_EQ(read->kind, box.kind) << boxKindName(box.kind).toStdString();
    }
    EXPECT_EQ(boxKindName(BoxKind::AuctionBid), "AuctionBid");
}

TEST(Protocol, SeatsCarryTheirComputerLevelAndAnUnknownLevelIsRefused) {
    const QList<SeatInfo> seats{{1, "Ann", false, true, true, ComputerLevel::Normal},
                                {2, "Computer", true, false, false, ComputerLevel::Hard},
                                {3, "Computer", true, false, false, ComputerLevel::Easy}};
    EXPECT_EQ(seatsFromJson(seatsToJson(seats)), seats);
    QJsonArray bad = seatsToJson(seats);
    QJsonObject seat = bad[1].toObject();
    seat["level"] = "expert";
    bad[1] = seat;
    EXPECT_FALSE(seatsFromJson(bad));
    // A server from before the levels names none: Normal.
    QJsonArray old = seatsToJson(seats);
    seat = old[1].toObject();
    seat.remove(QStringLiteral("level"));
    old[1] = seat;
    EXPECT_EQ(seatsFromJson(old)->at(1).level, ComputerLevel::Normal);
}

TEST(Protocol, AJoinByCodeConnectsToTheRoomsPathAfterTheServersOwn) {
    EXPECT_EQ(roomUrl(QUrl(QStringLiteral("ws://127.0.0.1:7532")), QStringLiteral(" a-7kq2m9xd ")),
              QUrl(QStringLiteral("ws://127.0.0.1:7532/room/A-7KQ2M9XD")));
    EXPECT_EQ(roomUrl(QUrl(QStringLiteral("wss://example.org/")), QStringLiteral("B-1")),
              QUrl(QStringLiteral("wss://example.org/room/B-1")));
    EXPECT_EQ(roomUrl(QUrl(QStringLiteral("wss://example.org/games/")), QStringLiteral("B-1")),
              QUrl(QStringLiteral("wss://example.org/games/room/B-1")));
    // Whatever was typed stays one segment of the path.
    EXPECT_EQ(roomUrl(QUrl(QStringLiteral("ws://h:1")), QStringLiteral("A/../B C")).path(QUrl::FullyEncoded),
              "/room/A%2F..%2FB%20C");
    EXPECT_EQ(roomUrl(QUrl(QStringLiteral("ws://h:1")), QString()), QUrl(QStringLiteral("ws://h:1")));
}

TEST(Protocol, StateCarriesNoDeckOrderAndReadsBackWithPlaceholderDecks) {
    // A mid-game state from random play, decks shuffled.
    std::mt19937_64 rng(11);
    SeededRandom random(rng);
    YesScreen screen;
    Game game(screen, random);
    game.choosePlayers(4);
    game.start();
    for (int i = 0; i < 300; ++i) {
        const Action action = randomAvailableAction(game, rng);
        if (action.kind == ActionKind::Exit || action.kind == ActionKind::Start ||
            action.kind == ActionKind::ChoosePlayers)
            continue;
        if (game.apply(action) == ActionResult::Ended) break;
    }
    const QJsonObject json = stateToJson(game.state);
    EXPECT_FALSE(json.contains(QLatin1String("decks")));
    const QByteArray text = QJsonDocument(json).toJson(QJsonDocument::Compact);
    EXPECT_FALSE(text.contains("cards"));
    QString error;
    const std::optional<GameState> back = stateFromJson(json, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_NE(back->decks, game.state.decks);
    GameState expected = game.state;
    expected.decks = back->decks;
    expected.nextCard = back->nextCard;
    EXPECT_EQ(*back, expected);
}

TEST(Protocol, StateMessageTextCarriesTheGameAndTheOfferOnTheTable) {
    std::mt19937_64 rng(23);
    SeededRandom random(rng);
    YesScreen screen;
    Game game(screen, random);
    game.choosePlayers(3);
    game.start();
    // Names as people type them: quotes, backslashes, letters beyond ASCII.
    game.state.names[1] = "Ann \"the\" \\ bank";
    game.state.names[2] = "Zo\xc3\xab";
    for (int i = 0; i < 200; ++i) {
        const Action action = randomAvailableAction(game, rng);
        if (action.kind == ActionKind::Exit || action.kind == ActionKind::Start ||
            action.kind == ActionKind::ChoosePlayers)
            continue;
        if (game.apply(action) == ActionResult::Ended) break;
    }
    const qint64 version = (qint64{1} << 40) + 3; // beyond 32 bits, still exact in JSON
    const QByteArray text =
        stateMessageText(version, game.state, 2, true, false, Action::finalizeOffer("1\"00", "\\0"));
    QJsonParseError error;
    const QJsonObject m = QJsonDocument::fromJson(text, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    EXPECT_EQ(m.value(QLatin1String("type")).toString(), QLatin1String(type::kState));
    EXPECT_EQ(m.value(QLatin1String("version")).toInteger(), version);
    EXPECT_EQ(m.value(QLatin1String("waitingFor")).toInt(), 2);
    EXPECT_TRUE(m.value(QLatin1String("started")).toBool());
    EXPECT_FALSE(m.value(QLatin1String("ended")).toBool());
    EXPECT_EQ(offerFromJson(m.value(QLatin1String("offer"))), Action::finalizeOffer("1\"00", "\\0"));
    QString problem;
    const std::optional<GameState> back = stateFromJson(m.value(QLatin1String("state")).toObject(), &problem);
    ASSERT_TRUE(back) << problem.toStdString();
    GameState expected = game.state;
    expected.decks = back->decks;
    expected.nextCard = back->nextCard;
    EXPECT_EQ(*back, expected);

    const QJsonObject noOffer =
        QJsonDocument::fromJson(stateMessageText(1, game.state, 0, false, true, std::nullopt)).object();
    EXPECT_FALSE(noOffer.contains(QLatin1String("offer")));
    EXPECT_TRUE(noOffer.value(QLatin1String("ended")).toBool());
}

TEST(Protocol, TypedServerAddresses) {
    EXPECT_EQ(serverUrl(QStringLiteral("127.0.0.1:9000")), QUrl(QStringLiteral("ws://127.0.0.1:9000")));
    EXPECT_EQ(serverUrl(QStringLiteral(" example.org ")), QUrl(QStringLiteral("ws://example.org:7532")));
    EXPECT_EQ(serverUrl(QStringLiteral("[::1]:80")), QUrl(QStringLiteral("ws://[::1]:80")));
    EXPECT_EQ(serverUrl(QStringLiteral("wss://example.org/room/AB12")),
              QUrl(QStringLiteral("wss://example.org/room/AB12")));
    for (const char* bad :
         {"", "http://example.org", "host:port", "a b:1", "user@host:1", "host/path", "ws://"})
        EXPECT_FALSE(serverUrl(QString::fromLatin1(bad)).isValid()) << bad;
}

TEST(Protocol, ErrorCodesHaveTheirNames) {
    for (const char* name :
         {"protocol", "malformed", "unknownRoom", "badPassword", "seatTaken", "badToken", "notYourTurn",
          "refused", "tooLarge", "tooFast", "full", "notHost", "notInRoom", "badSettings"}) {
        const auto code = errorCodeFromName(QString::fromLatin1(name));
        ASSERT_TRUE(code) << name;
        EXPECT_EQ(errorCodeName(*code), QString::fromLatin1(name));
    }
}

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

TEST(MergePatch, ThePatchOfEveryMoveOfAGameRebuildsTheNextStateAndIsFarSmaller) {
    std::mt19937_64 rng(31);
    SeededRandom random(rng);
    YesScreen screen;
    Game game(screen, random);
    game.choosePlayers(4);
    game.start();
    game.state.names[3] = "\"}{\" ,:[";
    QByteArray before = stateObjectText(game.state);
    StateText beforeNoted = stateTextWithMembers(game.state);
    QJsonObject held = QJsonDocument::fromJson(before).object();
    std::optional<GameState> heldState = stateFromJson(held);
    ASSERT_TRUE(heldState);
    qsizetype wholeBytes = 0;
    qsizetype patchBytes = 0;
    for (int i = 0; i < 400; ++i) {
        const Action action = randomAvailableAction(game, rng);
        if (action.kind == ActionKind::Exit || action.kind == ActionKind::Start ||
            action.kind == ActionKind::ChoosePlayers)
            continue;
        const ActionResult result = game.apply(action);
        const QByteArray after = stateObjectText(game.state);
        const std::optional<QByteArray> patch = mergePatchText(before, after);
        ASSERT_TRUE(patch) << "move " << i;
        // The server's way, from the places the writer noted, finds the very same patch; so does a
        // text whose places are lost, read again.
        const StateText afterNoted = stateTextWithMembers(game.state);
        ASSERT_EQ(afterNoted.text, after);
        EXPECT_EQ(mergePatchText(beforeNoted, afterNoted), patch) << "move " << i;
        EXPECT_EQ(mergePatchText(StateText{before, {}}, afterNoted), patch) << "move " << i;
        beforeNoted = afterNoted;
        const QJsonObject patchObject = QJsonDocument::fromJson(*patch).object();
        applyMergePatch(held, patchObject);
        ASSERT_EQ(held, QJsonDocument::fromJson(after).object())
            << "move " << i << ": " << patch->toStdString();
        QString error;
        ASSERT_TRUE(applyStateChange(held, patchObject, *heldState, &error)) << error.toStdString();
        GameState expected = game.state;
        expected.decks = heldState->decks;
        expected.nextCard = heldState->nextCard;
        ASSERT_EQ(*heldState, expected) << "move " << i;
        wholeBytes += after.size();
        patchBytes += patch->size();
        before = after;
        if (result == ActionResult::Ended) break;
    }
    EXPECT_LT(patchBytes * 3, wholeBytes) << "a change is a fraction of the whole state";
}

TEST(MergePatch, MembersGoneAreNullAndObjectsDifferOnlyWhereTheyChange) {
    const QByteArray before = R"({"a":1,"b":{"x":"}\"{","y":[1,2],"z":{"k":false}},"c":"q"})";
    const QByteArray after = R"({"a":1,"b":{"x":"}\"{","y":[1,3],"z":{"k":false}},"d":{"e":[null]}})";
    const std::optional<QByteArray> patch = mergePatchText(before, after);
    ASSERT_TRUE(patch);
    EXPECT_EQ(*patch, QByteArray(R"({"b":{"y":[1,3]},"d":{"e":[null]},"c":null})"));
    QJsonObject target = parse(before.constData());
    applyMergePatch(target, QJsonDocument::fromJson(*patch).object());
    EXPECT_EQ(compact(target), compact(parse(after.constData())));
    EXPECT_EQ(mergePatchText(after, after), QByteArray("{}"));
    // A member that turns from an object into a number, and back.
    EXPECT_EQ(mergePatchText(R"({"a":{"b":1}})", R"({"a":2})"), QByteArray(R"({"a":2})"));
    EXPECT_EQ(mergePatchText(R"({"a":2})", R"({"a":{"b":1}})"), QByteArray(R"({"a":{"b":1}})"));
}

TEST(MergePatch, ANullMemberOrTextThatIsNotOneObjectGivesNoPatch) {
    // A merge patch reads null as "remove": a null the new object holds cannot be said.
    EXPECT_FALSE(mergePatchText(R"({"a":1})", R"({"a":null})"));
    EXPECT_FALSE(mergePatchText(R"({})", R"({"a":{"b":{"c":null}}})"));
    EXPECT_FALSE(mergePatchText(R"({"a":{"b":1}})", R"({"a":{"b":null}})"));
    for (const char* broken : {"[1]", "", "{\"a\":", "{\"a\":1} x", "{\"a\" 1}", "{\"a\":\"open}", "{1:2}"}) {
        EXPECT_FALSE(mergePatchText("{}", broken)) << broken;
        EXPECT_FALSE(mergePatchText(broken, "{}")) << broken;
    }
}

TEST(MergePatch, AChangeToAGameNoPlayCouldReachIsRefusedAndTheStateKept) {
    std::mt19937_64 rng(5);
    SeededRandom random(rng);
    YesScreen screen;
    Game game(screen, random);
    game.choosePlayers(2);
    game.start();
    constexpr int kStation = 5;
    game.state.owners[kStation] = 1;
    game.state.grid.ticked[1][kStation] = true;
    QJsonObject held = stateToJson(game.state);
    QString error;
    const std::optional<GameState> read = stateFromJson(held, &error);
    ASSERT_TRUE(read) << error.toStdString();
    GameState state = *read;
    const GameState kept = state;

    // A game of one player.
    QJsonObject patch = parse(R"({"playerCount":1})");
    QJsonObject merged = held;
    applyMergePatch(merged, patch);
    EXPECT_FALSE(applyStateChange(merged, patch, state, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(state, kept);

    // The square traded to player 2: the tick the change no longer lists for player 1 is gone.
    GameState traded = game.state;
    traded.owners[kStation] = 2;
    traded.grid.ticked[1][kStation] = false;
    traded.grid.ticked[2][kStation] = true;
    const std::optional<QByteArray> text =
        mergePatchText(stateObjectText(game.state), stateObjectText(traded));
    ASSERT_TRUE(text);
    patch = QJsonDocument::fromJson(*text).object();
    applyMergePatch(held, patch);
    ASSERT_TRUE(applyStateChange(held, patch, state, &error)) << error.toStdString();
    EXPECT_FALSE(state.grid.ticked[1][kStation]);
    EXPECT_TRUE(state.grid.ticked[2][kStation]);
}

} // namespace
} // namespace dealbrix::net
