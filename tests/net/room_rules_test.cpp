// A room's house rules, starting money and computer levels over real WebSockets on 127.0.0.1: chosen
// at createRoom and refused with a reason when the game has no such thing, played by from the first
// state on, told to every client, kept through a restart of the store, and the path a join by code
// takes.
#include "computer_player.h"
#include "net_support.h"
#include "room_store.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace dealbrix::net {
namespace {

using testing::LocalServer;
using testing::RawSocket;
using testing::waitUntil;

constexpr int kPlayMs = 60000;

HouseRules rulesOf(std::initializer_list<HouseRule> chosen, int startingMoney) {
    HouseRules rules;
    for (const HouseRule rule : chosen)
        rules.set(rule, true);
    rules.startingMoney = static_cast<i16>(startingMoney);
    return rules;
}

/// The screen and dice of a game that is only read for the computer's next move, never played.
struct Quiet final : Ui, RandomSource {
    void tell(const Box&) override {}
    bool ask(const Box&) override { return false; }
    void endProgram() override {}
    float next() override { return 0.0f; }
};

/// A client that creates a room and takes `seats` of it once it is created.
struct Creator {
    Creator(const QUrl& url, QList<int> seats) : client(QStringLiteral("test")) {
        QObject::connect(&client, &Client::roomCreated, [this, seats](const QString& room, const QString&) {
            code = room;
            client.join(room, seats);
        });
        QObject::connect(&client, &Client::errorReceived,
                         [this](const QString& c, const QString&) { errors.append(c); });
        client.connectTo(url);
    }
    Client client;
    QString code;
    QStringList errors;
};

TEST(RoomRules, ARoomPlaysByItsRulesFromTheFirstStateAndItsAuctionAsksTheBidderForAnAmount) {
    LocalServer local;
    ASSERT_TRUE(local.listening);
    // One client holds both seats, so every question of the game comes to it.
    Creator creator(local.url(), {1, 2});
    Client& client = creator.client;
    const HouseRules rules = rulesOf({HouseRule::Auction, HouseRule::DoubleGo}, 2300);
    client.createRoom(2, {}, {}, rules);
    ASSERT_TRUE(waitUntil([&] { return client.hasState() && client.started(); }));
    EXPECT_EQ(client.rules(), rules) << "joined tells the room's rules";
    EXPECT_EQ(client.state().rules, rules) << "and so does every state";
    EXPECT_EQ(client.state().money[1], 2300);
    EXPECT_EQ(client.state().money[2], 2300);

    // Every purchase is declined, so the square goes to auction: the first bidder bids the least it
    // may, the other passes, and the square is the first bidder's for that bid.
    Quiet quiet;
    Game mirror(quiet, quiet);
    ComputerPlayer computer;
    int bidder = 0;
    int square = -1;
    int bid = 0;
    int cashBefore = 0;
    bool won = false;
    qint64 actedAt = -1;
    int asked = 0;
    QElapsedTimer clock;
    clock.start();
    while (!won && !client.ended() && clock.elapsed() < kPlayMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (bidder != 0 && !client.state().auction.open &&
            ownerOf(client.state().owners[static_cast<std::size_t>(square)]) == bidder) {
            won = true;
            break;
        }
        if (const std::optional<Question>& question = client.openQuestion()) {
            if (question->id == asked) continue;
            asked = question->id;
            if (question->box.kind == BoxKind::AuctionBid) {
                ASSERT_TRUE(isAmountQuestion(question->box));
                if (bidder == 0) {
                    bidder = question->box.seat;
                    square = question->box.square;
                    bid = question->box.minimum;
                    cashBefore = client.state().money[bidder];
                    client.answerAmount(bid);
                } else {
                    client.answerAmount(0);
                }
            } else {
                client.answer(false); // No to a purchase, a house, a trade or the jail card
            }
            continue;
        }
        if (!client.mayAct() || actedAt == client.version()) continue;
        actedAt = client.version();
        // The game at the client's end, as far as the state tells it, for the computer to move in.
        mirror.restore(client.state());
        if (const std::optional<Action> action = computer.nextAction(mirror)) client.sendAction(*action);
    }
    ASSERT_TRUE(won) << "no auction was held in time";
    EXPECT_EQ(ownerOf(client.state().owners[static_cast<std::size_t>(square)]), bidder);
    EXPECT_EQ(client.state().money[bidder], cashBefore - bid) << "the winner pays the bid";
}

/// A greeted raw connection to `local`.
std::unique_ptr<RawSocket> greeted(const LocalServer& local) {
    auto socket = std::make_unique<RawSocket>(local.url());
    if (!socket->open()) return nullptr;
    socket->hello();
    socket->waitFor(type::kWelcome);
    return socket;
}

TEST(RoomRules, UnknownRulesMoneyAndLevelsAreRefusedWithAReasonBeforeAnyLimitAndMakeNoRoom) {
    ServerLimits limits = testing::testLimits();
    limits.maxRooms = 1;
    LocalServer local(limits);
    ASSERT_TRUE(local.listening);
    std::unique_ptr<RawSocket> socket = greeted(local);
    ASSERT_NE(socket, nullptr);
    const QList<QJsonObject> unknown{
        {{"players", 2}, {"rules", QJsonArray{"auction", "auctions"}}},
        {{"players", 2}, {"rules", QJsonArray{"auction,double-go"}}}, // one name per entry
        {{"players", 2}, {"startingMoney", 450}},
        {{"players", 2}, {"startingMoney", 5100}},
        {{"players", 2}, {"startingMoney", 1550}},
        {{"players", 2}, {"computer", QJsonArray{QJsonObject{{"seat", 2}, {"level", "expert"}}}}},
        {{"players", 2}, {"computer", QJsonArray{QJsonObject{{"seat", 2}, {"level", "Hard"}}}}},
    };
    for (const QJsonObject& fields : unknown) {
        const qsizetype from = socket->messages.size();
        socket->send(message(type::kCreateRoom, fields));
        const QJsonObject error = socket->waitFor(type::kError, from);
        EXPECT_EQ(error.value(QLatin1String("code")).toString(), "badSettings")
            << encode(fields).toStdString();
        EXPECT_FALSE(error.value(QLatin1String("message")).toString().isEmpty());
    }
    EXPECT_FALSE(socket->closed) << "a value the game lacks does not break the protocol";
    EXPECT_EQ(local.server.core().roomCount(), 0);

    // Known values make the one room the server holds; then the limit answers, but only for a
    // message whose values are known: they are judged first.
    socket->send(message(type::kCreateRoom,
                         {{"players", 2}, {"rules", QJsonArray{"auction"}}, {"startingMoney", 5000}}));
    EXPECT_FALSE(socket->waitFor(type::kRoomCreated).isEmpty());
    qsizetype from = socket->messages.size();
    socket->send(message(type::kCreateRoom, {{"players", 2}, {"startingMoney", 1234}}));
    EXPECT_EQ(socket->waitFor(type::kError, from).value(QLatin1String("code")).toString(), "badSettings");
    from = socket->messages.size();
    socket->send(message(type::kCreateRoom, {{"players", 2}, {"startingMoney", 1200}}));
    EXPECT_EQ(socket->waitFor(type::kError, from).value(QLatin1String("code")).toString(), "full");
    EXPECT_EQ(local.server.core().roomCount(), 1);

    // Fields of the wrong type break the protocol.
    for (const QJsonObject& fields :
         {QJsonObject{{"players", 2}, {"rules", "auction"}},
          QJsonObject{{"players", 2}, {"startingMoney", "2000"}},
          QJsonObject{{"players", 2}, {"startingMoney", 2000.5}},
          QJsonObject{{"players", 2}, {"rules", QJsonArray{1}}},
          QJsonObject{{"players", 2}, {"computer", QJsonArray{QJsonObject{{"seat", 2}, {"level", 3}}}}},
          QJsonObject{{"players", 2}, {"computer", QJsonArray{QJsonObject{{"level", "hard"}}}}}}) {
        std::unique_ptr<RawSocket> rude = greeted(local);
        ASSERT_NE(rude, nullptr);
        rude->send(message(type::kCreateRoom, fields));
        EXPECT_TRUE(rude->waitClosed()) << encode(fields).toStdString();
        EXPECT_EQ(rude->lastError(), "malformed");
    }
    EXPECT_EQ(local.server.core().roomCount(), 1);
}

/// The level of `seat` as the client was last told it, or nothing.
std::optional<ComputerLevel> toldLevel(const Client& client, int seat) {
    for (const SeatInfo& info : client.seatInfo())
        if (info.seat == seat) return info.level;
    return std::nullopt;
}

TEST(RoomRules, AHardComputerSeatPlaysItsTurnsAndEveryClientIsToldItsLevel) {
    // The watcher follows the turns one by one: every state is sent to it, none folded into the next.
    LocalServer local(testing::everyStateLimits());
    ASSERT_TRUE(local.listening);
    Creator watcher(local.url(), {});
    QStringList history;
    QObject::connect(&watcher.client, &Client::historyReceived,
                     [&](const QStringList& log, const QList<ChatLine>&) { history = log; });
    ComputerChoice computer{{1, 2}, {}};
    computer.levels[2] = ComputerLevel::Hard;
    watcher.client.createRoom(2, computer.seats, {}, {}, computer.levels);
    ASSERT_TRUE(waitUntil([&] { return watcher.client.hasState() && !watcher.client.seatInfo().isEmpty(); }));
    EXPECT_EQ(toldLevel(watcher.client, 1), ComputerLevel::Normal);
    EXPECT_EQ(toldLevel(watcher.client, 2), ComputerLevel::Hard);
    const Room* room = local.server.core().room(watcher.code);
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(room->level(2), ComputerLevel::Hard) << "the room's computer plays the seat at Hard";
    EXPECT_EQ(room->level(1), ComputerLevel::Normal);
    EXPECT_TRUE(history.contains(QStringLiteral("Player 2 is played by the computer (Hard)")))
        << history.join(u'\n').toStdString();
    // Seat 2 has its turn and ends it: the turn comes back to seat 1.
    bool seatTwoPlayed = false;
    EXPECT_TRUE(waitUntil(
        [&] {
            if (watcher.client.started() && watcher.client.state().turn == 2) seatTwoPlayed = true;
            return (seatTwoPlayed && watcher.client.state().turn == 1) || watcher.client.ended();
        },
        kPlayMs));
    EXPECT_TRUE(seatTwoPlayed);
    EXPECT_TRUE(watcher.errors.isEmpty()) << watcher.errors.join(u' ').toStdString();
}

TEST(RoomRules, RulesMoneyAndLevelsComeBackWithTheRoomAfterTheStoreIsReopened) {
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    const HouseRules rules = rulesOf({HouseRule::LimitedHouses, HouseRule::NoRentInJail}, 3000);
    QString code;
    QString token;
    {
        QString problem;
        std::unique_ptr<RoomStore> store = RoomStore::open(data.path(), {}, &problem);
        ASSERT_NE(store, nullptr) << problem.toStdString();
        LocalServer local;
        ASSERT_TRUE(local.listening);
        local.server.setJournal(store.get());
        Creator host(local.url(), {1});
        PlayerArray<ComputerLevel> levels{};
        levels[2] = ComputerLevel::Hard;
        levels[3] = ComputerLevel::Easy;
        host.client.createRoom(3, {2, 3}, {}, rules, levels);
        ASSERT_TRUE(waitUntil([&] { return host.client.hasState() && host.client.started(); }));
        code = host.code;
        token = host.client.token();
        host.client.disconnectFromServer();
        local.server.stop();
        local.server.setJournal(nullptr);
    }
    QString problem;
    std::unique_ptr<RoomStore> store = RoomStore::open(data.path(), {}, &problem);
    ASSERT_NE(store, nullptr) << problem.toStdString();
    const std::vector<StoredRoom> stored = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].snapshot.settings.rules, rules);
    LocalServer local;
    ASSERT_TRUE(local.listening);
    ASSERT_TRUE(local.server.restoreRoom(stored[0].snapshot, 0, 0));
    const Room* room = local.server.core().room(code);
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(room->rules(), rules);
    EXPECT_EQ(room->level(2), ComputerLevel::Hard);
    EXPECT_EQ(room->level(3), ComputerLevel::Easy);
    EXPECT_EQ(room->level(1), ComputerLevel::Normal);

    // The player comes back with its token and is told all of it again.
    Client back(QStringLiteral("test"));
    back.rejoin(code, token);
    back.connectTo(local.url(), code);
    ASSERT_TRUE(waitUntil([&] { return back.hasState() && !back.seatInfo().isEmpty(); }));
    EXPECT_EQ(back.rules(), rules);
    EXPECT_EQ(back.state().rules, rules);
    EXPECT_EQ(back.state().money[1], 3000);
    EXPECT_EQ(toldLevel(back, 2), ComputerLevel::Hard);
    EXPECT_EQ(toldLevel(back, 3), ComputerLevel::Easy);
}

/// A relay on 127.0.0.1 to a server that keeps the request line of every connection through it.
class RecordingRelay final : public QObject {
  public:
    explicit RecordingRelay(quint16 target) {
        listener_.listen(QHostAddress::LocalHost, 0);
        connect(&listener_, &QTcpServer::newConnection, this, [this, target] {
            while (QTcpSocket* near = listener_.nextPendingConnection()) {
                auto* far = new QTcpSocket(near);
                const qsizetype index = requests.size();
                requests.append(QString());
                connect(near, &QTcpSocket::readyRead, far, [this, near, far, index] {
                    const QByteArray bytes = near->readAll();
                    if (requests[index].isEmpty())
                        requests[index] = QString::fromLatin1(bytes.left(bytes.indexOf('\r')));
                    far->write(bytes);
                });
                connect(far, &QTcpSocket::readyRead, near, [near, far] { near->write(far->readAll()); });
                connect(far, &QTcpSocket::disconnected, near, &QTcpSocket::disconnectFromHost);
                connect(near, &QTcpSocket::disconnected, near, &QObject::deleteLater);
                far->connectToHost(QHostAddress::LocalHost, target);
            }
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(listener_.serverPort())); }
    /// Cuts every connection through the relay.
    void cut() {
        for (QTcpSocket* near : listener_.findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly))
            near->abort();
    }
    QStringList requests; // "GET /room/CODE HTTP/1.1", one a connection

  private:
    QTcpServer listener_;
};

TEST(RoomPath, AJoinByCodeAndEveryComebackFromARoomTakeTheRoomsPathAProxyRoutesOn) {
    LocalServer local(testing::testLimits(), QStringLiteral("A"));
    ASSERT_TRUE(local.listening);
    RecordingRelay relay(local.server.port());
    // The host opens its room at the server's own address.
    Creator host(relay.url(), {1});
    host.client.createRoom(2, {});
    ASSERT_TRUE(waitUntil([&] { return host.client.hasState(); }));
    ASSERT_EQ(relay.requests.size(), 1);
    EXPECT_EQ(relay.requests[0], "GET / HTTP/1.1");
    // A join by the code, typed in lower case as a player may: the path names the room.
    Client guest(QStringLiteral("test"));
    guest.join(host.code.toLower(), {2});
    guest.connectTo(relay.url(), host.code.toLower());
    ASSERT_TRUE(waitUntil([&] { return guest.hasState(); }));
    ASSERT_EQ(relay.requests.size(), 2);
    EXPECT_EQ(relay.requests[1], QStringLiteral("GET /room/%1 HTTP/1.1").arg(host.code));
    EXPECT_TRUE(host.code.startsWith(QStringLiteral("A-")));
    // Both come back after a drop through the room's path: behind a proxy the bare address may lead
    // to another server.
    bool hostBack = false;
    bool guestBack = false;
    QObject::connect(&host.client, &Client::reconnected, [&] { hostBack = true; });
    QObject::connect(&guest, &Client::reconnected, [&] { guestBack = true; });
    relay.cut();
    ASSERT_TRUE(waitUntil([&] { return hostBack && guestBack; }));
    ASSERT_EQ(relay.requests.size(), 4);
    EXPECT_EQ(relay.requests[2], QStringLiteral("GET /room/%1 HTTP/1.1").arg(host.code));
    EXPECT_EQ(relay.requests[3], QStringLiteral("GET /room/%1 HTTP/1.1").arg(host.code));
}

} // namespace
} // namespace dealbrix::net
