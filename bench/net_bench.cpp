// Network play on loopback: the round trip of an action (sent until the room's new state arrives),
// with one room and with 100 busy rooms beside it, and the size of a state message. A real
// dealbrix-server process on 127.0.0.1, stopped at the end; every loop is bounded in count and time.
//
//   net_bench [round trips per case, default 2000] [fast]

#include "protocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QWebSocket>

#include <sys/prctl.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

using namespace dealbrix;
using namespace dealbrix::net;

namespace {

constexpr int kBusyRooms = 100;
// Busy rooms play at the server's own pace for computer seats (a move every 600 ms, as people follow
// it); `net_bench N fast` plays them with 50 ms pauses instead, about 2,000 actions a second in all.
constexpr int kBusyDelayMs = kDefaultComputerDelayMs;
constexpr int kFastDelayMs = 50;
constexpr int kWaitMs = 10000;

bool waitUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "net_bench: %s\n", what);
    std::exit(1);
}

/// A raw connection that keeps the last message of each kind and every state's size.
struct Peer {
    explicit Peer(const QUrl& url) {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            const QByteArray bytes = text.toUtf8();
            const std::optional<QJsonObject> m = decode(bytes);
            if (!m) return;
            const QString kind = m->value(QLatin1String("type")).toString();
            if (kind == QLatin1String(type::kState)) {
                ++states;
                stateSizes.push_back(bytes.size());
            }
            last[kind] = *m;
        });
        socket.open(url);
        if (!waitUntil([this] { return socket.state() == QAbstractSocket::ConnectedState; }))
            fail("no connection to the server");
        send(message(type::kHello, {{"protocol", kProtocolVersion}, {"client", "net_bench"}}));
        if (!waitUntil([this] { return last.contains(QLatin1String(type::kWelcome)); })) fail("no welcome");
    }
    void send(const QJsonObject& m) { socket.sendTextMessage(QString::fromUtf8(encode(m))); }
    QString createRoom(int players, const QJsonArray& computer) {
        last.remove(QLatin1String(type::kRoomCreated));
        send(message(type::kCreateRoom, {{"players", players}, {"computer", computer}}));
        if (!waitUntil([this] { return last.contains(QLatin1String(type::kRoomCreated)); })) fail("no room");
        return last[QLatin1String(type::kRoomCreated)].value(QLatin1String("room")).toString();
    }
    void join(const QString& room, const QJsonArray& seats) {
        send(message(type::kJoin, {{"room", room}, {"seats", seats}}));
        if (!waitUntil([this] { return states > 0; })) fail("no state after joining");
    }
    QWebSocket socket;
    QHash<QString, QJsonObject> last;
    long states = 0;
    std::vector<qsizetype> stateSizes;
};

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[index];
}

/// Round trips of House Options opening and closing, one player holding both seats of a room.
std::vector<double> roundTrips(const QUrl& url, int count) {
    Peer player(url);
    const QString room = player.createRoom(2, {});
    player.join(room, {1, 2});
    std::vector<double> ms;
    QElapsedTimer clock;
    for (int i = 0; i < count; ++i) {
        const long before = player.states;
        const Action action = i % 2 == 0 ? Action::openHouseOptions(1) : Action::closeHouseOptions();
        clock.start();
        player.send(message(type::kAction, {{"action", actionToJson(action)}}));
        if (!waitUntil([&] { return player.states > before; })) fail("no state after an action");
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    return ms;
}

void report(const char* name, const std::vector<double>& ms) {
    std::printf("%-28s median %.3f ms, 99th percentile %.3f ms, max %.3f ms (%zu round trips)\n", name,
                percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0), ms.size());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    const bool fast = argc > 2 && std::string_view(argv[2]) == "fast";
    QProcess server;
    // The server goes with the benchmark, however the benchmark ends.
    server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    server.start(QStringLiteral(DEALBRIX_SERVER),
                 {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                  QStringLiteral("--computer-delay"), QString::number(fast ? kFastDelayMs : kBusyDelayMs),
                  QStringLiteral("--burst"), QStringLiteral("1000000"), QStringLiteral("--rate"),
                  QStringLiteral("1000000"), QStringLiteral("--connections-per-address"),
                  QStringLiteral("1000"), QStringLiteral("--rooms-per-address"), QStringLiteral("1000")});
    QByteArray said;
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    QRegularExpressionMatch match;
    if (!waitUntil([&] {
            said += server.readAllStandardError();
            match = listening.match(QString::fromLocal8Bit(said));
            return match.hasMatch();
        }))
        fail("the server did not start");
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1").arg(match.captured(1)));

    report("one room", roundTrips(url, count));

    // 100 rooms of computer seats, each followed by a watcher, playing on while the round trips run.
    std::vector<std::unique_ptr<Peer>> watchers;
    for (int i = 0; i < kBusyRooms; ++i) {
        watchers.push_back(std::make_unique<Peer>(url));
        watchers.back()->join(watchers.back()->createRoom(4, {1, 2, 3, 4}), {});
    }
    long busyBefore = 0;
    for (const auto& w : watchers)
        busyBefore += w->states;
    QElapsedTimer busyClock;
    busyClock.start();
    report("with 100 busy rooms", roundTrips(url, count));
    long busyAfter = 0;
    std::vector<qsizetype> sizes;
    for (const auto& w : watchers) {
        busyAfter += w->states;
        sizes.insert(sizes.end(), w->stateSizes.begin(), w->stateSizes.end());
    }
    std::printf("busy rooms' states meanwhile: %.0f a second\n",
                static_cast<double>(busyAfter - busyBefore) * 1000.0 /
                    static_cast<double>(busyClock.elapsed()));
    std::sort(sizes.begin(), sizes.end());
    if (!sizes.empty())
        std::printf("state message: median %lld bytes, largest %lld bytes (%zu states of computer games)\n",
                    static_cast<long long>(sizes[sizes.size() / 2]), static_cast<long long>(sizes.back()),
                    sizes.size());
    watchers.clear();
    server.terminate(); // SIGTERM: the server says goodbye to everyone and stops
    if (!server.waitForFinished(10000)) server.kill();
    return 0;
}
