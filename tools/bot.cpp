// dealbrix-bot: takes seats of a room on a game server and plays them with the computer player, through
// the protocol as any remote client does. A dropped connection comes back with the seats' token; with
// --token-file the token outlives the bot, so a bot started again takes its seats back.

#include "build_info.h"
#include "client.h"
#include "remote_player.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kUsageError = 2;
constexpr int kFirstRetryMs = 250;
constexpr int kLastRetryMs = 4000;
constexpr int kConnectWindowMs = 2 * 60 * 1000; // keep trying to reach the server this long at start

void say(const QString& text) {
    std::fprintf(stderr, "dealbrix-bot: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

/// Prints one line on standard output, for a program driving the bot to follow.
void tell(const QString& text) {
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dealbrix-bot"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(dealbrix::kApplicationVersion));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays seats of a Dealbrix room with the computer player."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("The server: host:port or ws(s)://..."),
                                    QStringLiteral("address"));
    const QCommandLineOption room(QStringLiteral("room"), QStringLiteral("The room code."),
                                  QStringLiteral("code"));
    const QCommandLineOption seats(QStringLiteral("seats"), QStringLiteral("Seats to take, e.g. 2 or 2,3."),
                                   QStringLiteral("list"));
    const QCommandLineOption token(QStringLiteral("token"),
                                   QStringLiteral("Come back to seats held with this token."),
                                   QStringLiteral("token"));
    const QCommandLineOption tokenFile(
        QStringLiteral("token-file"),
        QStringLiteral("Keep the token in this file; a token found there is used to come back."),
        QStringLiteral("file"));
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("The seats' name."),
                                  QStringLiteral("name"));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Pause before each move, ms (default 0)."),
                                   QStringLiteral("ms"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("The computer player's seed."),
                                  QStringLiteral("n"));
    parser.addOptions({server, room, seats, token, tokenFile, name, delay, seed});
    parser.process(app);

    auto usage = [](const QString& problem) {
        say(problem + QStringLiteral(" Try '--help' for the options."));
        return kUsageError;
    };
    const QUrl url = dealbrix::net::serverUrl(parser.value(server));
    if (!url.isValid()) return usage(QStringLiteral("--server wants host:port or a ws:// address."));
    if (!parser.isSet(room)) return usage(QStringLiteral("--room is needed."));
    QList<int> wanted;
    for (const QString& part : parser.value(seats).split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int seat = part.toInt(&ok);
        if (!ok || seat < 1 || seat > dealbrix::kPlayerCount)
            return usage(QStringLiteral("--seats wants seat numbers 1..4."));
        wanted.append(seat);
    }
    QString heldToken = parser.value(token);
    const QString tokenPath = parser.value(tokenFile);
    if (heldToken.isEmpty() && !tokenPath.isEmpty()) {
        QFile file(tokenPath);
        if (file.open(QIODevice::ReadOnly)) heldToken = QString::fromLatin1(file.read(64)).trimmed();
    }
    if (heldToken.isEmpty() && wanted.isEmpty())
        return usage(QStringLiteral("--seats or a token is needed."));

    dealbrix::net::Client client(QStringLiteral("dealbrix-bot ") + QCoreApplication::applicationVersion());
    dealbrix::net::RemotePlayer player(client, parser.value(seed).toULongLong(), parser.value(delay).toInt());
    const QString code = parser.value(room);
    bool everJoined = false;
    int tries = 0;
    QElapsedTimer reaching;
    reaching.start();

    auto enter = [&] {
        if (!heldToken.isEmpty())
            client.rejoin(code, heldToken);
        else
            client.join(code, wanted, {}, parser.value(name));
        client.connectTo(url, code); // the room's path, which a proxy routes on
    };
    QObject::connect(&client, &dealbrix::net::Client::joined,
                     [&](const QString& r, const QList<int>& s, const QString& t) {
                         everJoined = true;
                         QStringList list;
                         for (const int seat : s)
                             list.append(QString::number(seat));
                         tell(QStringLiteral("joined %1 seats %2").arg(r, list.join(u',')));
                         if (!tokenPath.isEmpty() && !t.isEmpty()) {
                             QSaveFile file(tokenPath);
                             if (!file.open(QIODevice::WriteOnly) || file.write(t.toLatin1()) < 0 ||
                                 !file.commit())
                                 say(QStringLiteral("the token could not be kept in %1").arg(tokenPath));
                         }
                     });
    QObject::connect(&client, &dealbrix::net::Client::questionAsked, [](int id, const dealbrix::Box& box) {
        tell(QStringLiteral("question %1 for seat %2").arg(id).arg(box.seat));
    });
    QObject::connect(
        &client, &dealbrix::net::Client::errorReceived, [&](const QString& c, const QString& text) {
            say(QStringLiteral("%1: %2").arg(c, text));
            // Without a room to play in there is nothing to do.
            if (!everJoined && (c == QLatin1String("unknownRoom") || c == QLatin1String("badToken") ||
                                c == QLatin1String("seatTaken") || c == QLatin1String("badPassword")))
                QCoreApplication::exit(1);
        });
    QObject::connect(&client, &dealbrix::net::Client::roomEnded, [&](int winner) {
        tell(QStringLiteral("ended winner %1").arg(winner));
        client.disconnectFromServer();
    });
    QObject::connect(&client, &dealbrix::net::Client::gaveUp, [] {
        say(QStringLiteral("the server could not be reached again"));
        QCoreApplication::exit(1);
    });
    QObject::connect(&client, &dealbrix::net::Client::disconnected, [&] {
        if (client.ended()) return QCoreApplication::exit(0);
        // Before the first join the client does not come back by itself: try again for a while.
        if (everJoined) return QCoreApplication::exit(1);
        if (reaching.elapsed() > kConnectWindowMs) {
            say(QStringLiteral("the server could not be reached"));
            return QCoreApplication::exit(1);
        }
        const int pause = std::min(kLastRetryMs, kFirstRetryMs << std::min(tries++, 4));
        QTimer::singleShot(pause, &client, enter);
    });
    enter();
    return app.exec();
}
