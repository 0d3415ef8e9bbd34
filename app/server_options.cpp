#include "server_options.h"

#include "command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <functional>
#include <vector>

namespace dealbrix {

namespace {

constexpr int kMaxPort = 65535;
constexpr int kLargestLimit = 1'000'000'000;

/// One whole-number limit option: its name, what it sets, its smallest value, and its help.
struct LimitOption {
    const char* name;
    const char* help;
    int lowest;
    std::function<int&(net::ServerLimits&)> field;
};

// Each limit counted in whole units; the message rate is read separately as it may be fractional.
std::vector<LimitOption> limitOptions() {
    using L = net::ServerLimits;
    return {
        {"max-message-bytes", "Largest message in bytes; larger ones close the connection with 1009.", 1024,
         [](L& l) -> int& { return l.maxMessageBytes; }},
        {"burst", "Messages a connection may send at once before the rate applies.", 1,
         [](L& l) -> int& { return l.burstMessages; }},
        {"connections-per-address", "Connections from one address at a time.", 1,
         [](L& l) -> int& { return l.connectionsPerAddress; }},
        {"max-rooms", "Rooms the server holds at a time.", 1, [](L& l) -> int& { return l.maxRooms; }},
        {"rooms-per-address", "Open rooms created from one address.", 1,
         [](L& l) -> int& { return l.roomsPerAddress; }},
        {"handshake-seconds", "Time to finish the WebSocket handshake and send hello.", 1,
         [](L& l) -> int& { return l.handshakeSeconds; }},
        {"ping-seconds", "A ping to every connection this often.", 1,
         [](L& l) -> int& { return l.pingSeconds; }},
        {"silent-seconds", "A connection heard nothing from this long is dropped.", 1,
         [](L& l) -> int& { return l.silentSeconds; }},
        {"failures", "Wrong room codes, passwords and tokens before a connection is closed.", 1,
         [](L& l) -> int& { return l.failuresAllowed; }},
        {"chat-length", "Longest chat line in characters.", 1, [](L& l) -> int& { return l.chatLength; }},
        {"name-length", "Longest player name in characters.", 1, [](L& l) -> int& { return l.nameLength; }},
        {"computer-delay", "Pause in milliseconds before each move of a computer seat.", 0,
         [](L& l) -> int& { return l.computerDelayMs; }},
        {"room-idle-minutes", "A room nobody is connected to closes after this many minutes.", 1,
         [](L& l) -> int& { return l.roomIdleMinutes; }},
        {"watch-interval",
         "Milliseconds at most between two states sent to a client that is not to move (the latest, after "
         "every box); 0 sends every state at once.",
         0, [](L& l) -> int& { return l.watchIntervalMs; }},
    };
}

} // namespace

bool readListenAddress(const QString& text, QHostAddress& address, quint16& port) {
    QString host = text.trimmed();
    int portNumber = net::kDefaultPort;
    const qsizetype colon = host.lastIndexOf(u':');
    const bool bracketed = host.startsWith(u'[');
    // A colon ends the host unless the text is a bare IPv6 address.
    if (colon >= 0 && (bracketed ? host.indexOf(u']') < colon : host.count(u':') == 1)) {
        bool number = false;
        portNumber = host.mid(colon + 1).toInt(&number);
        if (!number || portNumber < 0 || portNumber > kMaxPort) return false; // 0: any free port
        host.truncate(colon);
    }
    if (bracketed) {
        if (!host.endsWith(u']')) return false;
        host = host.mid(1, host.size() - 2);
    }
    if (host == QLatin1String("localhost")) host = QStringLiteral("127.0.0.1");
    QHostAddress parsed;
    if (!parsed.setAddress(host)) return false;
    address = parsed;
    port = static_cast<quint16>(portNumber);
    return true;
}

ServerOptions parseServerCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The Dealbrix game server: rooms for network play, each game judged and its dice rolled here."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Address and port to listen on (default 127.0.0.1:%1).").arg(net::kDefaultPort),
        QStringLiteral("address:port"));
    const QCommandLineOption cert(QStringLiteral("tls-cert"),
                                  QStringLiteral("PEM certificate for wss (with --tls-key)."),
                                  QStringLiteral("file"));
    const QCommandLineOption key(QStringLiteral("tls-key"), QStringLiteral("PEM private key for wss."),
                                 QStringLiteral("file"));
    const QCommandLineOption serverId(
        QStringLiteral("server-id"),
        QStringLiteral("Letters and digits (at most 8) that start every room code, for a proxy to route by."),
        QStringLiteral("id"));
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("Messages per second a connection may send after its burst "
                                                 "(default 20)."),
                                  QStringLiteral("n"));
    const QCommandLineOption data(
        QStringLiteral("data"),
        QStringLiteral(
            "Keep every room in an SQLite database in this folder: rooms come back after a restart. "
            "Without it rooms are kept in memory only."),
        QStringLiteral("dir"));
    const net::RoomRetention retention;
    const QCommandLineOption finishedHours(
        QStringLiteral("finished-room-hours"),
        QStringLiteral("With --data: a room whose game is over is kept this many hours (default %1).")
            .arg(retention.finishedRoomHours),
        QStringLiteral("n"));
    const QCommandLineOption idleDays(
        QStringLiteral("idle-room-days"),
        QStringLiteral("With --data: a room nobody has touched this many days expires (default %1); it "
                       "takes the place of --room-idle-minutes.")
            .arg(retention.idleRoomDays),
        QStringLiteral("n"));
    parser.addOptions({listen, cert, key, serverId, rate, data, finishedHours, idleDays});
    net::ServerLimits defaults;
    const std::vector<LimitOption> limits = limitOptions();
    std::vector<QCommandLineOption> limitFlags;
    for (const LimitOption& option : limits) {
        const int value = option.field(defaults);
        QString text = QString::fromLatin1(option.help);
        text.chop(1); // the full stop goes after the default
        limitFlags.emplace_back(QString::fromLatin1(option.name),
                                QStringLiteral("%1 (default %2).").arg(text).arg(value), QStringLiteral("n"));
        parser.addOption(limitFlags.back());
    }

    ServerOptions options;
    QString problem;
    auto number = [&](const QCommandLineOption& option, int lowest, int& into) {
        if (!parser.isSet(option) || !problem.isEmpty()) return;
        bool ok = false;
        const int value = parser.value(option).toInt(&ok);
        if (!ok || value < lowest || value > kLargestLimit)
            problem = QStringLiteral("--%1 must be a whole number from %2 to %3, not '%4'.")
                          .arg(option.names().constFirst())
                          .arg(lowest)
                          .arg(kLargestLimit)
                          .arg(parser.value(option));
        else
            into = value;
    };
    if (!parser.parse(arguments)) {
        problem = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        problem = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
    } else {
        if (parser.isSet(listen) && !readListenAddress(parser.value(listen), options.address, options.port))
            problem = QStringLiteral("--listen wants ADDRESS:PORT, such as 127.0.0.1:%1, not '%2'.")
                          .arg(net::kDefaultPort)
                          .arg(parser.value(listen));
        if (parser.isSet(cert) != parser.isSet(key) && problem.isEmpty())
            problem = QStringLiteral("--tls-cert and --tls-key go together.");
        options.tlsCert = parser.value(cert);
        options.tlsKey = parser.value(key);
        if (parser.isSet(serverId)) {
            options.serverId = parser.value(serverId);
            if (!net::isValidServerId(options.serverId) && problem.isEmpty())
                problem = QStringLiteral("--server-id wants 1 to 8 letters and digits, not '%1'.")
                              .arg(options.serverId);
        }
        if (parser.isSet(rate) && problem.isEmpty()) {
            bool ok = false;
            const double value = parser.value(rate).toDouble(&ok);
            if (!ok || !(value > 0) || value > kLargestLimit)
                problem =
                    QStringLiteral("--rate must be a number above 0, not '%1'.").arg(parser.value(rate));
            else
                options.limits.messagesPerSecond = value;
        }
        for (std::size_t i = 0; i < limits.size(); ++i)
            number(limitFlags[i], limits[i].lowest, limits[i].field(options.limits));
        number(finishedHours, 0, options.retention.finishedRoomHours);
        number(idleDays, 1, options.retention.idleRoomDays);
        constexpr int kMaxDays = 3650; // in minutes, ten years still fits an int
        if ((options.retention.idleRoomDays > kMaxDays ||
             options.retention.finishedRoomHours > kMaxDays * 24) &&
            problem.isEmpty())
            problem = QStringLiteral("Rooms are kept at most %1 days.").arg(kMaxDays);
        if (parser.isSet(data)) {
            options.dataDir = parser.value(data);
            if (options.dataDir.isEmpty() && problem.isEmpty())
                problem = QStringLiteral("--data wants a folder.");
            // The store's times rule which rooms the server closes.
            constexpr int kMinutesPerHour = 60;
            constexpr int kMinutesPerDay = 24 * kMinutesPerHour;
            options.limits.roomIdleMinutes = options.retention.idleRoomDays * kMinutesPerDay;
            options.limits.finishedRoomMinutes = options.retention.finishedRoomHours * kMinutesPerHour;
        } else if ((parser.isSet(finishedHours) || parser.isSet(idleDays)) && problem.isEmpty()) {
            problem = QStringLiteral("--finished-room-hours and --idle-room-days go with --data.");
        }
    }

    if (!problem.isEmpty()) {
        options.quit = true;
        options.exitCode = kUsageError;
        options.error = problem + QStringLiteral("\nTry '--help' for the options.\n");
    } else if (parser.isSet(help)) {
        options.quit = true;
        options.output = parser.helpText();
    } else if (parser.isSet(version)) {
        options.quit = true;
        options.output = QStringLiteral("dealbrix-server ") + QCoreApplication::applicationVersion() + u'\n';
    }
    return options;
}

} // namespace dealbrix
