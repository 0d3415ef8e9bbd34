// Whole games through the sockets: remote clients played by the computer, computer seats on the
// server, a watcher; every client ends with the server's own state, and nothing random ever reaches
// a client.
#include "net_support.h"
#include "remote_player.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace dealbrix::net {
namespace {

using testing::LocalServer;
using testing::waitUntil;

/// Keys no client may ever receive: the order of the decks, the recorded draws, random state.
bool holdsSecret(const QJsonValue& value) {
    if (value.isArray()) {
        for (const QJsonValue entry : value.toArray())
            if (holdsSecret(entry)) return true;
        return false;
    }
    if (!value.isObject()) return false;
    const QJsonObject o = value.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        for (const char* secret : {"decks", "cards", "draws", "inProgress", "random", "seed", "tokenHash"})
            if (it.key() == QLatin1String(secret)) return true;
        if (holdsSecret(it.value())) return true;
    }
    return false;
}

/// A client that records every message and whether any held a secret.
struct Watched {
    explicit Watched(const QUrl& url) : client(QStringLiteral("test")) {
        QObject::connect(&client, &Client::messageReceived, [this](const QJsonObject& m) {
            ++messages;
            if (holdsSecret(m)) ++secrets;
        });
        QObject::connect(&client, &Client::errorReceived, [this](const QString& code, const QString& text) {
            errors.append(code + u' ' + text);
        });
        client.connectTo(url);
    }
    Client client;
    int messages = 0;
    int secrets = 0;
    QStringList errors;
};

TEST(NetworkGame, RemoteClientsAndComputerSeatsPlayToAWinnerAndEveryClientEndsWithTheServersState) {
    LocalServer local;
    ASSERT_TRUE(local.listening);
    Watched host(local.url());
    QString code;
    QObject::connect(&host.client, &Client::roomCreated,
                     [&](const QString& room, const QString&) { code = room; });
    host.client.createRoom(3, {3});
    ASSERT_TRUE(waitUntil([&] { return !code.isEmpty(); }));
    host.client.join(code, {1}, {}, QStringLiteral("Ann"));
    ASSERT_TRUE(waitUntil([&] { return host.client.hasState(); }));
    EXPECT_TRUE(host.client.isHost());
    EXPECT_FALSE(host.client.started()) << "seat 2 is still free";

    Watched guest(local.url());
    guest.client.join(code, {2}, {}, QStringLiteral("Bob"));
    Watched watcher(local.url());
    watcher.client.join(code, {});
    RemotePlayer ann(host.client, 1);
    RemotePlayer bob(guest.client, 2);

    int roomEnded = 0;
    QObject::connect(&watcher.client, &Client::roomEnded, [&](int) { ++roomEnded; });
    ASSERT_TRUE(waitUntil([&] { return roomEnded > 0; }, 90000)) << "the game did not end";
    // The last messages may still be on their way to the other clients.
    const Room* room = local.server.core().room(code);
    ASSERT_NE(room, nullptr);
    const QJsonObject last = QJsonDocument::fromJson(local.server.core().stateMessage(*room)).object();
    for (Watched* w : {&host, &guest, &watcher}) {
        ASSERT_TRUE(waitUntil([&] { return w->client.version() == room->version(); }));
        EXPECT_EQ(w->client.lastStateJson(), last);
        EXPECT_EQ(w->secrets, 0);
        EXPECT_EQ(w->errors.join(u';').toStdString(), "");
        EXPECT_TRUE(w->client.ended());
    }
    EXPECT_GT(ann.moves() + bob.moves(), 10);
    EXPECT_TRUE(room->ended());
    GameState expected = room->game().state;
    expected.decks = guest.client.state().decks;
    expected.nextCard = guest.client.state().nextCard;
    EXPECT_EQ(guest.client.state(), expected);
    // The people's names travel in the state; the computer's seat keeps "Player 3".
    EXPECT_EQ(guest.client.state().names[1], "Ann");
    EXPECT_EQ(guest.client.state().names[2], "Bob");
    EXPECT_EQ(seatName(guest.client.state(), 3), "Player 3");
}

} // namespace
} // namespace dealbrix::net
