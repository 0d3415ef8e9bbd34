// Hostile clients: each gets its error or is closed, and a game in another room goes on unharmed.
#include "net_support.h"

#include <QTcpSocket>

#include <gtest/gtest.h>

namespace dealbrix::net {
namespace {

using testing::LocalServer;
using testing::RawSocket;
using testing::spin;
using testing::waitUntil;

ServerLimits hostileLimits() {
    ServerLimits limits; // the shipped message rate and limits
    limits.computerDelayMs = 20;
    limits.handshakeSeconds = 1;
    return limits;
}

class HostileClients : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(local.listening);
        // The other room: four computer seats, followed by a watcher.
        watcher.connectTo(local.url());
        QObject::connect(&watcher, &Client::roomCreated,
                         [this](const QString& room, const QString&) { watcher.join(room, {}); });
        QObject::connect(&watcher, &Client::errorReceived,
                         [this](const QString& code, const QString&) { watcherErrors.append(code); });
        watcher.createRoom(4, {1, 2, 3, 4});
        ASSERT_TRUE(waitUntil([this] { return watcher.hasState() && watcher.version() > 1; }));
        // A room for people.
        RawSocket creator(local.url());
        ASSERT_TRUE(creator.open());
        creator.hello();
        creator.send(message(type::kCreateRoom, {{"players", 2}}));
        code = creator.waitFor(type::kRoomCreated).value(QLatin1String("room")).toString();
        ASSERT_FALSE(code.isEmpty());
        versionBefore = watcher.version();
    }

    /// The other room's game went on and its watcher saw nothing wrong.
    void expectOtherRoomUnharmed() {
        EXPECT_TRUE(waitUntil([this] { return watcher.version() > versionBefore + 2 || watcher.ended(); }))
            << "the other room's game stopped";
        EXPECT_TRUE(watcher.isReady());
        EXPECT_EQ(watcherErrors.join(u' ').toStdString(), "");
    }

    /// A greeted raw client.
    std::unique_ptr<RawSocket> greeted() {
        auto socket = std::make_unique<RawSocket>(local.url());
        EXPECT_TRUE(socket->open());
        socket->hello();
        EXPECT_FALSE(socket->waitFor(type::kWelcome).isEmpty());
        return socket;
    }

    LocalServer local{hostileLimits()};
    Client watcher{QStringLiteral("watcher")};
    QStringList watcherErrors;
    QString code;
    qint64 versionBefore = 0;
};

TEST_F(HostileClients, MalformedJsonUnknownTypesWrongFieldTypesAndHugeNumbersAreRefusedAndClosed) {
    const QString longChat(kDefaultChatLength + 1, u'x');
    const std::vector<QByteArray> bad{
        "{not json",
        "[1,2,3]",
        R"({"type":7})",
        R"({"type":"teleport"})",
        R"({"type":"action","action":{"kind":"Roll","number":"x"}})",
        R"({"type":"action","action":{"kind":"OpenHouseOptions","number":1e308}})",
        R"({"type":"createRoom","players":1e308})",
        R"({"type":"createRoom","players":3,"computer":[1,1]})",
        R"({"type":"join","room":5,"seats":[1]})",
        R"({"type":"answer","question":-1,"yes":true})",
        R"({"type":"answer","question":1,"yes":"yes"})",
        encode(message(type::kChat, {{"text", longChat}})),
        encode(message(type::kJoin, {{"room", code}, {"seats", QJsonArray{9}}})),
        encode(message(type::kJoin, {{"room", code}, {"seats", QJsonArray{1}}, {"name", "a\u0007b"}})),
        encode(message(type::kJoin, {{"room", code}, {"seats", QJsonArray{1}}, {"name", QString(25, u'n')}})),
    };
    for (const QByteArray& text : bad) {
        auto socket = greeted();
        socket->send(text);
        EXPECT_TRUE(socket->waitClosed()) << text.toStdString();
        EXPECT_EQ(socket->lastError().toStdString(), "malformed") << text.toStdString();
    }
    auto binary = greeted();
    binary->socket.sendBinaryMessage("\x01\x02");
    EXPECT_TRUE(binary->waitClosed());
    EXPECT_EQ(binary->lastError(), QStringLiteral("malformed"));
    // The seat nobody could take with a bad name is still free.
    EXPECT_FALSE(local.server.core().room(code)->seat(1).tokenHash.size() > 0);
    expectOtherRoomUnharmed();
}

TEST_F(HostileClients, NoHelloFirstOrAnotherProtocolVersionGetsAProtocolErrorNamingOurs) {
    RawSocket early(local.url());
    ASSERT_TRUE(early.open());
    early.send(message(type::kCreateRoom, {{"players", 2}}));
    EXPECT_TRUE(early.waitClosed());
    EXPECT_EQ(early.lastError(), QStringLiteral("protocol"));

    RawSocket future(local.url());
    ASSERT_TRUE(future.open());
    future.send(message(type::kHello, {{"protocol", 2}, {"client", "future"}}));
    EXPECT_TRUE(future.waitClosed());
    ASSERT_FALSE(future.messages.isEmpty());
    EXPECT_EQ(future.lastError(), QStringLiteral("protocol"));
    EXPECT_TRUE(future.messages.last().value(QLatin1String("message")).toString().contains(u'1'));
    expectOtherRoomUnharmed();
}

TEST_F(HostileClients, AMessageOfOneMebibyteClosesWith1009) {
    auto socket = greeted();
    socket->send(QByteArray(1024 * 1024, 'x'));
    EXPECT_TRUE(socket->waitClosed());
    EXPECT_EQ(socket->closeCode, QWebSocketProtocol::CloseCodeTooMuchData);
    expectOtherRoomUnharmed();
}

TEST_F(HostileClients, AThousandMessagesInABurstGetTooFastAndAClose) {
    auto socket = greeted();
    for (int i = 0; i < 1000; ++i)
        socket->send(message(type::kLeave));
    EXPECT_TRUE(socket->waitClosed());
    EXPECT_EQ(socket->lastError(), QStringLiteral("tooFast"));
    // The burst was answered, then nothing more.
    EXPECT_LE(socket->messages.size(), hostileLimits().burstMessages + 3);
    expectOtherRoomUnharmed();
}

TEST_F(HostileClients, ActingOutOfTurnAnsweringAQuestionNotAskedAndATakenSeatAreRefusedWithoutHarm) {
    auto first = greeted();
    first->send(message(type::kJoin, {{"room", code}, {"seats", QJsonArray{1}}}));
    ASSERT_FALSE(first->waitFor(type::kJoined).isEmpty());
    auto thief = greeted();
    thief->send(message(type::kJoin, {{"room", code}, {"seats", QJsonArray{1}}}));
    EXPECT_FALSE(thief->waitFor(type::kError).isEmpty());
    EXPECT_EQ(thief->lastError(), QStringLiteral("seatTaken"));
    auto second = greeted();
    second->send(message(type::kJoin, {{"room", code}, {"seats", QJsonArray{2}}}));
    ASSERT_FALSE(second->waitFor(type::kJoined).isEmpty());
    ASSERT_TRUE(waitUntil([&] { return local.server.core().room(code)->started(); }));

    const qsizetype seen = second->messages.size();
    second->send(message(type::kAction, {{"action", actionToJson(Action::roll())}}));
    EXPECT_FALSE(second->waitFor(type::kError, seen).isEmpty());
    EXPECT_EQ(second->lastError(), QStringLiteral("notYourTurn"));
    second->send(message(type::kAnswer, {{"question", 1}, {"yes", true}}));
    first->send(message(type::kAnswer, {{"question", 1}, {"yes", true}}));
    EXPECT_TRUE(waitUntil([&] { return first->lastError() == QStringLiteral("notYourTurn"); }))
        << "no question is open";
    thief->send(message(type::kAction, {{"action", actionToJson(Action::roll())}}));
    EXPECT_TRUE(waitUntil([&] { return thief->lastError() == QStringLiteral("notInRoom"); }));
    spin(50);
    EXPECT_FALSE(first->closed || second->closed || thief->closed) << "refusals keep the connection";
    EXPECT_EQ(local.server.core().room(code)->version(), 1) << "only the start";
    expectOtherRoomUnharmed();
}

TEST_F(HostileClients, GuessedTokensAreRefusedAndTooManyGuessesClose) {
    auto guesser = greeted();
    const int allowed = hostileLimits().failuresAllowed;
    for (int i = 0; i <= allowed; ++i)
        guesser->send(
            message(type::kJoin, {{"room", code}, {"token", QString::number(i).repeated(32).left(32)}}));
    EXPECT_TRUE(guesser->waitClosed());
    int badTokens = 0;
    for (const QJsonObject& m : guesser->messages)
        if (m.value(QLatin1String("code")).toString() == QLatin1String("badToken")) ++badTokens;
    EXPECT_EQ(badTokens, allowed + 1);
    auto wrongRoom = greeted();
    wrongRoom->send(message(type::kJoin, {{"room", "ZZZZZZZZ"}, {"seats", QJsonArray{1}}}));
    EXPECT_FALSE(wrongRoom->waitFor(type::kError).isEmpty());
    EXPECT_EQ(wrongRoom->lastError(), QStringLiteral("unknownRoom"));
    expectOtherRoomUnharmed();
}

TEST_F(HostileClients, AHundredConnectionsFromOneAddressGetSixteenAndTheRestAreTurnedAway) {
    std::vector<std::unique_ptr<RawSocket>> sockets;
    for (int i = 0; i < 100; ++i) {
        sockets.push_back(std::make_unique<RawSocket>(local.url()));
        RawSocket* s = sockets.back().get();
        QObject::connect(&s->socket, &QWebSocket::connected, [s] { s->hello(); });
    }
    auto welcomed = [](const RawSocket& s) {
        return std::any_of(s.messages.begin(), s.messages.end(), [](const QJsonObject& m) {
            return m.value(QLatin1String("type")).toString() == QLatin1String(type::kWelcome);
        });
    };
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(sockets.begin(), sockets.end(),
                           [&](const auto& s) { return s->closed || welcomed(*s); });
    }));
    // The watcher already holds one connection of the address.
    const int allowed = hostileLimits().connectionsPerAddress - 1;
    int refused = 0;
    int open = 0;
    for (const auto& s : sockets) {
        if (s->closed && s->lastError() == QStringLiteral("full")) ++refused;
        if (!s->closed && welcomed(*s)) ++open;
    }
    EXPECT_EQ(open, allowed);
    EXPECT_EQ(refused, 100 - allowed);
    EXPECT_EQ(local.server.core().connectionCount(), allowed + 1);
    sockets.clear();
    EXPECT_TRUE(waitUntil([&] { return local.server.core().connectionCount() == 1; }));
    expectOtherRoomUnharmed();
}

TEST_F(HostileClients, AHandshakeNeverFinishedAndAHelloNeverSentAreClosedInTime) {
    QTcpSocket silent;
    silent.connectToHost(QHostAddress::LocalHost, local.server.port());
    ASSERT_TRUE(waitUntil([&] { return silent.state() == QAbstractSocket::ConnectedState; }));
    silent.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n"); // never finished
    RawSocket mute(local.url());
    ASSERT_TRUE(mute.open());
    const int limitMs = hostileLimits().handshakeSeconds * 1000;
    EXPECT_TRUE(
        waitUntil([&] { return silent.state() == QAbstractSocket::UnconnectedState; }, limitMs + 3000));
    EXPECT_TRUE(mute.waitClosed(limitMs + 3000));
    expectOtherRoomUnharmed();
}

/// A client that finishes the WebSocket handshake and says hello by hand over plain TCP, then never
/// answers anything: not even a ping, which every WebSocket library would answer for it.
struct DeafClient {
    explicit DeafClient(quint16 port) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; })) return;
        socket.write(QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.1:") + QByteArray::number(port) +
                     "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                     "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        QByteArray reply;
        if (!waitUntil([&] {
                reply += socket.readAll();
                return reply.contains("\r\n\r\n");
            }) ||
            !reply.startsWith("HTTP/1.1 101"))
            return;
        // One masked text frame (a mask of zeros leaves the bytes as they are).
        const QByteArray hello =
            encode(message(type::kHello, {{"protocol", kProtocolVersion}, {"client", "deaf"}}));
        if (hello.size() >= 126) return;
        QByteArray frame;
        frame.append(char(0x81)).append(char(0x80 | hello.size())).append(4, '\0').append(hello);
        socket.write(frame);
        greeted = true;
    }
    QTcpSocket socket;
    bool greeted = false;
};

TEST(ServerSweep, EveryConnectionThatNeverAnswersAPingIsDroppedAndOneThatDoesStays) {
    ServerLimits limits = testing::testLimits();
    limits.pingSeconds = 1;
    limits.silentSeconds = 2;
    LocalServer local{limits};
    ASSERT_TRUE(local.listening);
    RawSocket live(local.url()); // Qt answers the pings for it
    ASSERT_TRUE(live.open());
    live.hello();
    ASSERT_FALSE(live.waitFor(type::kWelcome).isEmpty());
    // Connections in a row, so that they fall in different slices of the server's sweep.
    std::vector<std::unique_ptr<DeafClient>> deaf;
    for (int i = 0; i < 5; ++i) {
        deaf.push_back(std::make_unique<DeafClient>(local.server.port()));
        ASSERT_TRUE(deaf.back()->greeted);
    }
    ASSERT_TRUE(waitUntil([&] { return local.server.core().connectionCount() == 6; }));
    // Silent for 2 s, noticed at the next visit of its slice: within one ping interval more.
    EXPECT_TRUE(waitUntil([&] { return local.server.core().connectionCount() == 1; },
                          (limits.silentSeconds + limits.pingSeconds + 3) * 1000))
        << local.server.core().connectionCount() - 1 << " deaf connections left open";
    spin(1500);
    EXPECT_FALSE(live.closed) << "a connection that answers pings was dropped";
}

} // namespace
} // namespace dealbrix::net
