// The server's judging without sockets: the order of the checks, questions for the asked seat
// alone, host powers, and a room written out and read back rolling the same dice.
#include "net_support.h"

#include <QJsonDocument>

#include <array>

#include <gtest/gtest.h>

namespace dealbrix::net {
namespace {

using testing::everyStateLimits;
using testing::RecordingTransport;
using testing::testLimits;

/// A core with one room for `players`, `computer` seats played by the server, and one greeted
/// connection per person's seat (each took its seat).
struct Table {
    explicit Table(int players = 2, QList<int> computer = {})
        : core(transport, everyStateLimits(), {}, QStringLiteral("t")) {
        host = connect();
        QJsonArray seats;
        for (const int s : computer)
            seats.append(s);
        send(host, message(type::kCreateRoom, {{"players", players}, {"computer", seats}}));
        const QJsonObject created = transport.of(host, type::kRoomCreated).value(0);
        code = created.value(QLatin1String("room")).toString();
        for (int seat = 1; seat <= players; ++seat) {
            if (computer.contains(seat)) continue;
            const int id = seat == 1 ? host : connect();
            send(id, message(type::kJoin, {{"room", code}, {"seats", QJsonArray{seat}}}));
            byseat[seat] = id;
        }
    }
    int connect() {
        const int id = *core.openConnection(QStringLiteral("127.0.0.1"), 0);
        send(id, message(type::kHello, {{"protocol", kProtocolVersion}}));
        return id;
    }
    void send(int id, const QJsonObject& m) {
        core.receive(id, encode(m), now += 1);
        transport.runSteps(core);
    }
    void act(int id, const Action& a) { send(id, message(type::kAction, {{"action", actionToJson(a)}})); }
    QString lastError(int id) const {
        const QList<QJsonObject> errors = transport.of(id, type::kError);
        return errors.isEmpty() ? QString() : errors.last().value(QLatin1String("code")).toString();
    }
    int errors(int id) const { return static_cast<int>(transport.of(id, type::kError).size()); }
    const Room& room() const { return *core.room(code); }

    RecordingTransport transport;
    ServerCore core;
    QString code;
    int host = 0;
    std::map<int, int> byseat;
    qint64 now = 0;
};

TEST(ServerJudging, ActionsAreJudgedBySeatThenTurnThenAvailabilityAndARefusalChangesNothing) {
    Table t(2);
    ASSERT_TRUE(t.room().started());
    const qint64 version = t.room().version();
    const GameState before = t.room().game().state;
    const int watcher = t.connect();
    t.send(watcher, message(type::kJoin, {{"room", t.code}, {"seats", QJsonArray{}}}));

    t.act(watcher, Action::roll());
    EXPECT_EQ(t.lastError(watcher), QStringLiteral("notYourTurn")) << "a watcher holds no seat";
    t.act(t.byseat[2], Action::roll());
    EXPECT_EQ(t.lastError(t.byseat[2]), QStringLiteral("notYourTurn")) << "seat 1 holds the turn";
    for (const Action& a : {Action::start(), Action::exit(), Action::choosePlayers(3), Action::answer(true),
                            Action::endTurn(), Action::buyHouse()}) {
        const int before = t.errors(t.byseat[1]);
        t.act(t.byseat[1], a);
        EXPECT_EQ(t.errors(t.byseat[1]), before + 1) << a.describe();
        EXPECT_EQ(t.lastError(t.byseat[1]), QStringLiteral("refused")) << a.describe();
    }
    EXPECT_EQ(t.room().version(), version);
    EXPECT_EQ(t.room().game().state, before);
    EXPECT_TRUE(t.transport.closed.empty()) << "refusals do not close";
    // The refusals went to their senders alone.
    EXPECT_EQ(t.errors(t.byseat[2]), 1);

    t.act(t.byseat[1], Action::roll());
    EXPECT_NE(t.room().game().state, before) << "the roll was taken";
    EXPECT_EQ(t.transport.of(t.byseat[2], type::kState).last(),
              QJsonDocument::fromJson(t.core.stateMessage(t.room())).object());
}

/// Plays seat 1's turns (rolling, then ending) until a question is asked of a person's seat.
bool playToQuestion(Table& t, int limit = 400) {
    for (int i = 0; i < limit && !t.room().ended(); ++i) {
        if (t.room().waitingFor() != 0) return true;
        const GameState& s = t.room().game().state;
        const int id = t.byseat[s.turn];
        t.act(id, s.board.rollEnabled      ? Action::roll()
                  : s.board.endTurnEnabled ? Action::endTurn()
                                           : Action::giveUp());
    }
    return t.room().waitingFor() != 0;
}

TEST(ServerJudging, AQuestionGoesOnlyToTheAskedSeatAndOnlyItsAnswerToThatQuestionIsTaken) {
    Table t(2);
    ASSERT_TRUE(playToQuestion(t));
    const int asked = t.room().waitingFor();
    const int other = asked == 1 ? 2 : 1;
    const QList<QJsonObject> questions = t.transport.of(t.byseat[asked], type::kQuestion);
    ASSERT_FALSE(questions.isEmpty());
    EXPECT_TRUE(t.transport.of(t.byseat[other], type::kQuestion).isEmpty());
    const int id = questions.last().value(QLatin1String("id")).toInt();
    EXPECT_EQ(t.transport.of(t.byseat[other], type::kState).last().value(QLatin1String("waitingFor")).toInt(),
              asked);

    const qint64 version = t.room().version();
    t.send(t.byseat[other], message(type::kAnswer, {{"question", id}, {"yes", true}}));
    EXPECT_EQ(t.lastError(t.byseat[other]), QStringLiteral("notYourTurn"));
    t.send(t.byseat[asked], message(type::kAnswer, {{"question", id + 1}, {"yes", true}}));
    EXPECT_EQ(t.lastError(t.byseat[asked]), QStringLiteral("refused")) << "not the question asked";
    t.act(t.byseat[asked], Action::roll());
    EXPECT_EQ(t.lastError(t.byseat[asked]), QStringLiteral("refused")) << "only an answer while it waits";
    EXPECT_EQ(t.room().waitingFor(), asked);
    EXPECT_EQ(t.room().version(), version);

    t.send(t.byseat[asked], message(type::kAnswer, {{"question", id}, {"yes", false}}));
    EXPECT_EQ(t.room().openQuestionId() == id, false);
    t.send(t.byseat[asked], message(type::kAnswer, {{"question", id}, {"yes", false}}));
    EXPECT_TRUE(t.lastError(t.byseat[asked]) == QStringLiteral("refused") ||
                t.lastError(t.byseat[asked]) == QStringLiteral("notYourTurn"))
        << "an answered question is not answered twice";
}

TEST(ServerJudging, ARoomWrittenOutAndReadBackRollsTheSameDiceAndKeepsItsOpenQuestion) {
    Table t(2);
    ASSERT_TRUE(playToQuestion(t));
    const RoomSnapshot atQuestion = t.room().snapshot();
    ASSERT_TRUE(atQuestion.inProgress);

    // Written out as a store keeps it and reopened in another server: the same question waits, with
    // the same id.
    QString error;
    const std::optional<RoomSnapshot> stored = readRoomSnapshot(writeRoomSnapshot(atQuestion), &error);
    ASSERT_TRUE(stored) << error.toStdString();
    RecordingTransport other;
    ServerCore second(other, testLimits(), {}, QStringLiteral("t"));
    ASSERT_TRUE(second.restoreRoom(*stored, 0));
    const Room& reopened = *second.room(t.code);
    EXPECT_EQ(reopened.waitingFor(), t.room().waitingFor());
    EXPECT_EQ(reopened.openQuestionId(), t.room().openQuestionId());
    EXPECT_EQ(reopened.snapshot(), atQuestion);
    EXPECT_FALSE(readRoomSnapshot(writeRoomSnapshot(atQuestion).replace("\"players\":2", "\"players\":9")));

    // Answered alike and played alike on, both rooms come out the same: the dice are part of the room.
    // (Seats come back with their tokens in a real restart; here the test speaks to the rooms directly.)
    Room& a = const_cast<Room&>(t.room());
    Room& b = const_cast<Room&>(reopened);
    for (int step = 0; step < 60 && !a.ended(); ++step) {
        if (a.waitingFor() != 0) {
            const int seat = a.waitingFor();
            ASSERT_EQ(a.answer({seat}, a.openQuestionId(), step % 2 == 0, 0), std::nullopt);
            ASSERT_EQ(b.answer({seat}, b.openQuestionId(), step % 2 == 0, 0), std::nullopt);
        } else {
            const int turn = a.game().state.turn;
            // A seat in debt may neither roll nor end its turn: it gives up, as the rooms allow.
            const BoardView& board = a.game().state.board;
            const Action next = board.rollEnabled      ? Action::roll()
                                : board.endTurnEnabled ? Action::endTurn()
                                                       : Action::giveUp();
            ASSERT_EQ(a.act({turn}, next), std::nullopt);
            ASSERT_EQ(b.act({turn}, next), std::nullopt);
        }
        ASSERT_EQ(a.game().state, b.game().state) << "step " << step;
    }
}

TEST(ServerJudging, OnlyTheHostStartsEarlyAndHandsSeatsToTheComputerAndBack) {
    RecordingTransport transport;
    ServerCore core(transport, testLimits(), {}, QStringLiteral("t"));
    auto connect = [&] {
        const int id = *core.openConnection(QStringLiteral("127.0.0.1"), 0);
        core.receive(id, encode(message(type::kHello, {{"protocol", 1}})), 1);
        return id;
    };
    const int host = connect();
    core.receive(host, encode(message(type::kCreateRoom, {{"players", 3}})), 2);
    const QString code =
        transport.of(host, type::kRoomCreated).value(0).value(QLatin1String("room")).toString();
    core.receive(host, encode(message(type::kJoin, {{"room", code}, {"seats", QJsonArray{1}}})), 3);
    const int guest = connect();
    core.receive(guest, encode(message(type::kJoin, {{"room", code}, {"seats", QJsonArray{2}}})), 4);
    EXPECT_FALSE(core.room(code)->started()) << "seat 3 is free";

    core.receive(guest, encode(message(type::kStartRoom)), 5);
    EXPECT_EQ(transport.of(guest, type::kError).last().value(QLatin1String("code")).toString(), "notHost");
    core.receive(host, encode(message(type::kStartRoom)), 6);
    EXPECT_TRUE(core.room(code)->started());
    EXPECT_TRUE(core.room(code)->seat(3).computer);

    core.receive(guest, encode(message(type::kSetComputer, {{"seat", 2}, {"computer", true}})), 7);
    EXPECT_FALSE(core.room(code)->seat(2).computer);
    core.receive(host, encode(message(type::kSetComputer, {{"seat", 2}, {"computer", true}})), 8);
    EXPECT_TRUE(core.room(code)->seat(2).computer);
    core.receive(host, encode(message(type::kSetComputer, {{"seat", 2}, {"computer", false}})), 9);
    EXPECT_FALSE(core.room(code)->seat(2).computer);
    core.receive(host, encode(message(type::kSetComputer, {{"seat", 3}, {"computer", false}})), 10);
    EXPECT_TRUE(core.room(code)->seat(3).computer) << "no person holds seat 3 to take it back";
}

TEST(ServerJudging, RoomCodesStartWithTheServerIdAndHoldFortyBits) {
    RecordingTransport transport;
    ServerCore core(transport, testLimits(), QStringLiteral("eu1"), QStringLiteral("t"));
    const int id = *core.openConnection(QStringLiteral("127.0.0.1"), 0);
    core.receive(id, encode(message(type::kHello, {{"protocol", 1}})), 1);
    QSet<QString> codes;
    for (int i = 0; i < testLimits().roomsPerAddress; ++i) {
        core.receive(id, encode(message(type::kCreateRoom, {{"players", 2}})), 100 * (i + 2));
        codes.insert(transport.of(id, type::kRoomCreated).last().value(QLatin1String("room")).toString());
    }
    EXPECT_EQ(codes.size(), testLimits().roomsPerAddress);
    core.receive(id, encode(message(type::kCreateRoom, {{"players", 2}})), 99999);
    EXPECT_EQ(transport.of(id, type::kError).last().value(QLatin1String("code")).toString(), "full")
        << "one address cannot fill the server";
    for (const QString& code : codes) {
        EXPECT_TRUE(code.startsWith(QStringLiteral("EU1-"))) << code.toStdString();
        EXPECT_EQ(code.size(), 4 + kRoomCodeLength); // 8 characters of 32: 40 bits
    }
    EXPECT_FALSE(isValidServerId(QStringLiteral("a-b")));
    EXPECT_FALSE(isValidServerId(QStringLiteral("123456789")));
}

TEST(ServerJudging, TokensAreNeverLoggedAndAGuessedTokenIsRefused) {
    Table t(2);
    QStringList log;
    const QString token =
        t.transport.of(t.byseat[2], type::kJoined).value(0).value(QLatin1String("token")).toString();
    ASSERT_EQ(token.size(), 32);
    t.core.setLog([&](const QString& line) { log.append(line); });
    const int back = t.connect();
    QString guess = token;
    guess[0] = guess[0] == u'0' ? u'1' : u'0';
    t.send(back, message(type::kJoin, {{"room", t.code}, {"token", guess}}));
    EXPECT_EQ(t.lastError(back), QStringLiteral("badToken"));
    t.send(back, message(type::kJoin, {{"room", t.code.toLower()}, {"token", token}}));
    const QList<QJsonObject> joined = t.transport.of(back, type::kJoined);
    ASSERT_EQ(joined.size(), 1);
    EXPECT_EQ(joined[0].value(QLatin1String("seats")).toArray(), QJsonArray{2});
    for (const QString& line : log)
        EXPECT_FALSE(line.contains(token)) << line.toStdString();
    EXPECT_FALSE(log.isEmpty());
}

} // namespace
} // namespace dealbrix::net

namespace dealbrix::net {
namespace {

TEST(ServerRooms, ChatReachesTheWholeRoomWithTheSendersSeatAndNameAndJoinersReadItBack) {
    Table t(2);
    t.send(t.byseat[2], message(type::kChat, {{"text", "  good luck  "}}));
    for (const int id : {t.byseat[1], t.byseat[2]}) {
        const QList<QJsonObject> chat = t.transport.of(id, type::kChat);
        ASSERT_EQ(chat.size(), 1);
        EXPECT_EQ(chatFromJson(chat[0]),
                  (ChatLine{2, QStringLiteral("Player 2"), QStringLiteral("good luck")}));
    }
    t.act(t.byseat[1], Action::roll()); // a box or two for the log
    const int late = t.connect();
    t.send(late, message(type::kJoin, {{"room", t.code}, {"seats", QJsonArray{}}}));
    const QJsonObject history = t.transport.of(late, type::kHistory).value(0);
    EXPECT_EQ(history.value(QLatin1String("chat")).toArray().size(), 1);
    EXPECT_FALSE(history.value(QLatin1String("log")).toArray().isEmpty()) << "the start's boxes";
}

TEST(ServerRooms, ASeatShowsAwayWhenItsClientGoesAndTheRoomClosesOnlyOnceIdleOrOverAndEmpty) {
    Table t(2);
    auto connected = [&](int seat) {
        const QJsonArray seats =
            t.transport.of(t.byseat[1], type::kSeats).last().value(QLatin1String("seats")).toArray();
        return seats[seat - 1].toObject().value(QLatin1String("connected")).toBool();
    };
    EXPECT_TRUE(connected(2));
    t.core.connectionClosed(t.byseat[2]);
    EXPECT_FALSE(connected(2));
    t.core.closeIdleRooms(1000);
    EXPECT_NE(t.core.room(t.code), nullptr) << "seat 1 is still there";
    t.core.connectionClosed(t.byseat[1]);
    const qint64 idleMs = qint64{testLimits().roomIdleMinutes} * 60'000;
    t.core.closeIdleRooms(1000 + idleMs - 1);
    EXPECT_NE(t.core.room(t.code), nullptr) << "an away seat may come back for a while";
    t.core.closeIdleRooms(1000 + idleMs + 1);
    EXPECT_EQ(t.core.room(t.code), nullptr);
}

TEST(ServerRooms, AComputerOnlyRoomPlaysToItsEndAndAFullServerRefusesNewRooms) {
    RecordingTransport transport;
    ServerLimits limits = testLimits();
    limits.maxRooms = 1;
    ServerCore core(transport, limits, {}, QStringLiteral("t"));
    const int id = *core.openConnection(QStringLiteral("127.0.0.1"), 0);
    core.receive(id, encode(message(type::kHello, {{"protocol", 1}})), 1);
    core.receive(id, encode(message(type::kCreateRoom, {{"players", 3}, {"computer", QJsonArray{1, 2, 3}}})),
                 2);
    const QString code =
        transport.of(id, type::kRoomCreated).value(0).value(QLatin1String("room")).toString();
    core.receive(id, encode(message(type::kJoin, {{"room", code}, {"seats", QJsonArray{}}})), 3);
    transport.runSteps(core, 200000);
    ASSERT_TRUE(core.room(code)->ended()) << "the computers' game did not end";
    EXPECT_EQ(transport.of(id, type::kRoomEnded).size(), 1);
    core.receive(id, encode(message(type::kCreateRoom, {{"players", 2}})), 4);
    EXPECT_EQ(transport.of(id, type::kError).last().value(QLatin1String("code")).toString(), "full");
    EXPECT_TRUE(transport.closed.empty());
    // Over and empty, the room goes; then there is room for another.
    core.receive(id, encode(message(type::kLeave)), 5);
    core.closeIdleRooms(6);
    EXPECT_EQ(core.roomCount(), 0);
}

/// The `state` fields a watcher is sent, rebuilt from its whole states and changes, by state number.
std::map<qint64, QJsonObject> rebuiltStates(const QList<QJsonObject>& messages, int* changes) {
    std::map<qint64, QJsonObject> byId;
    QJsonObject held;
    qint64 heldId = -1;
    for (const QJsonObject& m : messages) {
        const QString kind = m.value(QLatin1String("type")).toString();
        const qint64 id = m.value(QLatin1String("stateId")).toInteger(-1);
        if (kind == QLatin1String(type::kState)) {
            held = m.value(QLatin1String("state")).toObject();
        } else if (kind == QLatin1String(type::kChange)) {
            EXPECT_EQ(m.value(QLatin1String("from")).toInteger(), heldId) << "a change from another state";
            applyMergePatch(held, m.value(QLatin1String("state")).toObject());
            ++*changes;
        } else {
            continue;
        }
        EXPECT_GT(id, heldId) << "state numbers only grow";
        heldId = id;
        byId[id] = held;
    }
    return byId;
}

TEST(StateChanges, AClientThatAsksIsSentChangesThatRebuildEveryStateOthersAreSentWhole) {
    RecordingTransport transport;
    ServerCore core(transport, everyStateLimits(), {}, QStringLiteral("t"));
    const int whole = *core.openConnection(QStringLiteral("127.0.0.1"), 0);
    const int changing = *core.openConnection(QStringLiteral("127.0.0.1"), 0);
    core.receive(whole, encode(message(type::kHello, {{"protocol", 1}})), 1);
    core.receive(changing, encode(message(type::kHello, {{"protocol", 1}, {"changes", true}})), 1);
    EXPECT_FALSE(transport.of(whole, type::kWelcome).value(0).contains(QLatin1String("changes")));
    EXPECT_TRUE(transport.of(changing, type::kWelcome).value(0).value(QLatin1String("changes")).toBool());
    core.receive(whole,
                 encode(message(type::kCreateRoom, {{"players", 3}, {"computer", QJsonArray{1, 2, 3}}})), 2);
    const QString code =
        transport.of(whole, type::kRoomCreated).value(0).value(QLatin1String("room")).toString();
    for (const int id : {whole, changing})
        core.receive(id, encode(message(type::kJoin, {{"room", code}, {"seats", QJsonArray{}}})), 3);
    transport.runSteps(core, 200000);
    ASSERT_TRUE(core.room(code)->ended());

    EXPECT_TRUE(transport.of(whole, type::kChange).isEmpty()) << "a client that did not ask";
    int changes = 0;
    int noChanges = 0;
    const std::map<qint64, QJsonObject> sentWhole = rebuiltStates(transport.sent[whole], &noChanges);
    const std::map<qint64, QJsonObject> rebuilt = rebuiltStates(transport.sent[changing], &changes);
    EXPECT_GT(changes, 100) << "every move after the first state is a change";
    ASSERT_EQ(rebuilt.size(), sentWhole.size());
    for (const auto& [id, state] : rebuilt) {
        ASSERT_EQ(sentWhole.count(id), 1U) << "state " << id;
        ASSERT_EQ(state, sentWhole.at(id)) << "state " << id;
    }
    EXPECT_EQ(rebuilt.rbegin()->second, stateToJson(core.room(code)->game().state));

    // Back in the room after leaving, it holds nothing the server knows: it is sent the whole state.
    core.receive(changing, encode(message(type::kLeave)), 4);
    transport.sent[changing].clear();
    core.receive(changing, encode(message(type::kJoin, {{"room", code}, {"seats", QJsonArray{}}})), 5);
    EXPECT_EQ(transport.of(changing, type::kState).size(), 1);
    EXPECT_TRUE(transport.of(changing, type::kChange).isEmpty());

    // Asked for with anything but true or false, the hello breaks the protocol.
    const int odd = *core.openConnection(QStringLiteral("127.0.0.1"), 0);
    core.receive(odd, encode(message(type::kHello, {{"protocol", 1}, {"changes", "yes"}})), 6);
    EXPECT_EQ(transport.of(odd, type::kError).value(0).value(QLatin1String("code")).toString(), "malformed");
    EXPECT_EQ(transport.closed.count(odd), 1U);
}

/// Three people's seats and a watcher, every client taking changes, at the server's own watch
/// interval; the clock is the test's.
struct QuickTable {
    QuickTable() : core(transport, testLimits(), {}, QStringLiteral("t")) {
        for (int& id : ids) {
            id = *core.openConnection(QStringLiteral("127.0.0.1"), 0);
            send(id, message(type::kHello, {{"protocol", 1}, {"changes", true}}));
        }
        send(ids[0], message(type::kCreateRoom, {{"players", 3}}));
        code = transport.of(ids[0], type::kRoomCreated).value(0).value(QLatin1String("room")).toString();
        for (int seat = 1; seat <= 4; ++seat)
            send(ids[seat - 1],
                 message(type::kJoin,
                         {{"room", code}, {"seats", seat <= 3 ? QJsonArray{seat} : QJsonArray{}}}));
    }
    void send(int id, const QJsonObject& m) { core.receive(id, encode(m), now); }
    /// The move due: the asked seat passes, else the turn's seat rolls, ends its turn or gives up.
    void moveDue() {
        const Room& r = *core.room(code);
        if (const int asked = r.waitingFor(); asked != 0) {
            send(ids[asked - 1], message(type::kAnswer, {{"question", r.openQuestionId()}, {"yes", false}}));
            return;
        }
        const GameState& s = r.game().state;
        const Action a = s.board.rollEnabled      ? Action::roll()
                         : s.board.endTurnEnabled ? Action::endTurn()
                                                  : Action::giveUp();
        send(ids[s.turn - 1], message(type::kAction, {{"action", actionToJson(a)}}));
    }
    /// The connection holding the seat that moves now.
    int mover() const {
        const Room& r = *core.room(code);
        return ids[(r.waitingFor() != 0 ? r.waitingFor() : r.game().state.turn) - 1];
    }
    qint64 roomStateId() const {
        return decode(core.stateMessage(*core.room(code)))->value(QLatin1String("stateId")).toInteger();
    }
    /// The number of the state `id` was sent last.
    qint64 stateIdSent(int id) {
        const QList<QJsonObject>& sent = transport.sent[id];
        for (qsizetype i = sent.size() - 1; i >= 0; --i) {
            const QString kind = sent[i].value(QLatin1String("type")).toString();
            if (kind == QLatin1String(type::kState) || kind == QLatin1String(type::kChange))
                return sent[i].value(QLatin1String("stateId")).toInteger();
        }
        return -1;
    }
    QList<QJsonObject> boxes(int id) const { return transport.of(id, type::kBox); }

    RecordingTransport transport;
    ServerCore core;
    QString code;
    std::array<int, 4> ids{};
    qint64 now = 1;
};

TEST(WatchInterval, AtAFastTableOnlyTheMoversHearAtOnceAndTheOthersGetTheLatestStateWithEveryBox) {
    QuickTable t;
    ASSERT_TRUE(t.core.room(t.code)->started());
    const int watcher = t.ids[3];
    constexpr int kMoves = 120;
    const qint64 interval = testLimits().watchIntervalMs;
    const qint64 watcherStatesBefore = static_cast<qint64>(t.transport.of(watcher, type::kChange).size());
    for (int i = 0; i < kMoves && !t.core.room(t.code)->ended(); ++i) {
        t.now += 1;
        const int sender = t.mover();
        t.moveDue();
        // Whoever moved and whoever moves next hold the room's state at once.
        ASSERT_EQ(t.stateIdSent(sender), t.roomStateId()) << "move " << i;
        ASSERT_EQ(t.stateIdSent(t.mover()), t.roomStateId()) << "move " << i;
        if (t.now % interval == 0) t.transport.runCatchUps(t.core, t.now);
    }
    t.now += interval;
    t.transport.runCatchUps(t.core, t.now);
    EXPECT_TRUE(t.transport.catchUps.empty()) << "a catch-up sends and asks for no other";

    const QJsonObject final = stateToJson(t.core.room(t.code)->game().state);
    std::map<qint64, QJsonObject> byId;
    for (const int id : t.ids) {
        int changes = 0;
        const std::map<qint64, QJsonObject> rebuilt = rebuiltStates(t.transport.sent[id], &changes);
        ASSERT_FALSE(rebuilt.empty());
        EXPECT_EQ(rebuilt.rbegin()->second, final) << "connection " << id << " ends with the room's state";
        for (const auto& [stateId, state] : rebuilt) {
            const auto [it, added] = byId.emplace(stateId, state);
            EXPECT_EQ(it->second, state) << "state " << stateId << " told two ways";
        }
        // Every box of every move, in order, each before the state that follows it.
        EXPECT_EQ(t.boxes(id), t.boxes(t.ids[0])) << "connection " << id;
        qint64 boxVersion = -1;
        for (const QJsonObject& m : t.transport.sent[id]) {
            const QString kind = m.value(QLatin1String("type")).toString();
            if (kind == QLatin1String(type::kBox)) boxVersion = m.value(QLatin1String("version")).toInteger();
            if (kind == QLatin1String(type::kChange)) {
                EXPECT_GE(m.value(QLatin1String("version")).toInteger(), boxVersion);
                boxVersion = -1;
            }
        }
        EXPECT_EQ(boxVersion, -1) << "a box after the last state";
    }
    const qint64 watcherStates =
        static_cast<qint64>(t.transport.of(watcher, type::kChange).size()) - watcherStatesBefore;
    EXPECT_GT(watcherStates, 0);
    EXPECT_LT(watcherStates, kMoves / 4) << "the watcher was sent the moves folded together";
    EXPECT_FALSE(t.boxes(watcher).isEmpty());
}

TEST(WatchInterval, AtATableOfPeopleEveryStateGoesToEveryoneAtOnce) {
    QuickTable t;
    t.now += 100;
    t.transport.runCatchUps(t.core, t.now); // the start, made as the last seat was taken
    for (int i = 0; i < 30 && !t.core.room(t.code)->ended(); ++i) {
        t.now += 2 * testLimits().watchIntervalMs;
        t.moveDue();
        for (const int id : t.ids)
            ASSERT_EQ(t.stateIdSent(id), t.roomStateId()) << "move " << i << ", connection " << id;
    }
    EXPECT_TRUE(t.transport.catchUps.empty());
}

TEST(WatchInterval, AnyOtherMessageComesAfterTheStateHeldBackAndALeaverIsSentNothingMore) {
    QuickTable t;
    const int watcher = t.ids[3];
    // Two quick moves: the watcher hears of the first at once and is held back from the second.
    t.now += 100;
    t.moveDue();
    t.now += 1;
    t.moveDue();
    ASSERT_LT(t.stateIdSent(watcher), t.roomStateId());
    ASSERT_FALSE(t.transport.catchUps.empty());

    t.send(t.ids[1], message(type::kChat, {{"text", "hi"}}));
    const QList<QJsonObject>& sent = t.transport.sent[watcher];
    ASSERT_GE(sent.size(), 2);
    EXPECT_EQ(sent.last().value(QLatin1String("type")).toString(), QLatin1String(type::kChat));
    EXPECT_EQ(sent[sent.size() - 2].value(QLatin1String("type")).toString(), QLatin1String(type::kChange));
    EXPECT_EQ(t.stateIdSent(watcher), t.roomStateId());
    const qsizetype afterChat = sent.size();
    t.transport.runCatchUps(t.core, t.now + 50);
    EXPECT_EQ(t.transport.sent[watcher].size(), afterChat) << "nothing is sent twice";

    // Held back again, then gone: the catch-up passes over the one that left and the one closed.
    t.now += 1;
    t.moveDue();
    ASSERT_LT(t.stateIdSent(watcher), t.roomStateId());
    const int third = t.ids[2] == t.mover() ? t.ids[1] : t.ids[2];
    ASSERT_LT(t.stateIdSent(third), t.roomStateId());
    t.send(watcher, message(type::kLeave));
    EXPECT_EQ(t.transport.sent[watcher].last().value(QLatin1String("type")).toString(),
              QLatin1String(type::kLeft));
    t.core.connectionClosed(third);
    const qsizetype watcherSent = t.transport.sent[watcher].size();
    const qsizetype thirdSent = t.transport.sent[third].size();
    t.transport.runCatchUps(t.core, t.now + 50);
    EXPECT_EQ(t.transport.sent[watcher].size(), watcherSent);
    EXPECT_EQ(t.transport.sent[third].size(), thirdSent);
}

} // namespace
} // namespace dealbrix::net
