// dealbrix-loadtest: opens rooms of four computer clients on one game server over real WebSockets,
// plays them at a given pace for a given time and prints one JSON line: rooms, connections, actions
// per second, the round trip of an action (an action or answer sent, the next state back) at the
// 50th and 99th percentile and at most, and errors. It connects only to the address it is given,
// and only to this machine's loopback addresses.

#include "epoll_dispatcher.h"
#include "load_clients.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kMaxRooms = 10000;
constexpr int kMaxSeconds = 3600;
constexpr int kSetupSeconds = 120; // to open every room before the clock starts
constexpr int kSettleMs = 500;     // after the run, for the last round trips
constexpr int kTickMs = 50;
constexpr int kUsageError = 2;
constexpr int kMsPerSecond = 1000;

void say(const QString& text) {
    std::fprintf(stderr, "dealbrix-loadtest: %s\n", text.toLocal8Bit().constData());
}

/// Raises this process's open-file limit to its hard limit: every connection is a file.
void raiseFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

bool isLoopback(const QUrl& url) {
    if (url.host() == QLatin1String("localhost")) return true;
    const QHostAddress address(url.host());
    return !address.isNull() && address.isLoopback();
}

/// A process's resident memory now and at most, in MiB, from /proc (0 when it cannot be read).
std::pair<double, double> residentMiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return {0, 0};
    double now = 0;
    double peak = 0;
    constexpr double kKiBPerMiB = 1024.0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2) continue;
        if (parts[0] == "VmRSS:") now = parts[1].toDouble() / kKiBPerMiB;
        if (parts[0] == "VmHWM:") peak = parts[1].toDouble() / kKiBPerMiB;
    }
    return {now, peak};
}

/// A process's processor time (user and system) so far in ms, from /proc; -1 when it cannot be read.
double processorMs(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command's name (which may hold spaces) in brackets; utime and stime are
    // the 14th and 15th of the line, the 12th and 13th after the name.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    constexpr int kUtime = 11;
    constexpr int kStime = 12;
    if (fields.size() <= kStime) return -1;
    const double ticks = fields[kUtime].toDouble() + fields[kStime].toDouble();
    return ticks * kMsPerSecond / static_cast<double>(sysconf(_SC_CLK_TCK));
}

/// This machine's load average over the last minute.
double loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // The epoll loop, as dealbrix-server uses: Qt's and GLib's cost each message in proportion to
    // every open connection (see app/server_main.cpp).
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    dealbrix::net::installEpollEventLoop();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dealbrix-loadtest"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays rooms of four computer clients on a Dealbrix server on this machine and "
                       "prints what it measured as one JSON line."));
    parser.addHelpOption();
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("ws://127.0.0.1:PORT of the server."),
                                    QStringLiteral("url"));
    const QCommandLineOption rooms(QStringLiteral("rooms"), QStringLiteral("Rooms to open (default 10)."),
                                   QStringLiteral("n"), QStringLiteral("10"));
    const QCommandLineOption pace(QStringLiteral("pace"),
                                  QStringLiteral("Actions per second per room; 0 plays as fast as the server "
                                                 "answers (default 1)."),
                                  QStringLiteral("a"), QStringLiteral("1"));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("Seconds to play once every room is open (default 10)."),
                                     QStringLiteral("t"), QStringLiteral("10"));
    const QCommandLineOption serverPid(QStringLiteral("server-pid"),
                                       QStringLiteral("The server's process, to report its memory."),
                                       QStringLiteral("pid"));
    parser.addOptions({server, rooms, pace, seconds, serverPid});
    parser.process(app);

    bool roomsOk = false;
    bool paceOk = false;
    bool secondsOk = false;
    dealbrix::load::LoadOptions options;
    options.server = QUrl(parser.value(server));
    options.rooms = parser.value(rooms).toInt(&roomsOk);
    options.pace = parser.value(pace).toDouble(&paceOk);
    const int playSeconds = parser.value(seconds).toInt(&secondsOk);
    if (!parser.isSet(server) || !options.server.isValid() ||
        (options.server.scheme() != QLatin1String("ws") && options.server.scheme() != QLatin1String("wss"))) {
        say(QStringLiteral("--server wants ws://127.0.0.1:PORT."));
        return kUsageError;
    }
    if (!isLoopback(options.server)) {
        say(QStringLiteral("--server must be on this machine (127.0.0.1, ::1 or localhost)."));
        return kUsageError;
    }
    if (!roomsOk || options.rooms < 1 || options.rooms > kMaxRooms || !paceOk || options.pace < 0 ||
        !secondsOk || playSeconds < 1 || playSeconds > kMaxSeconds) {
        say(QStringLiteral("--rooms wants 1 to %1, --pace 0 or more, --seconds 1 to %2.")
                .arg(kMaxRooms)
                .arg(kMaxSeconds));
        return kUsageError;
    }
    raiseFileLimit();

    dealbrix::load::LoadRun run(options);
    QElapsedTimer clock;
    clock.start();
    qint64 playStartMs = -1;
    qint64 playedMs = 0;
    qint64 gamesAtStart = 0;
    qint64 actionsInWindow = 0;
    // Processor time of the server and of this tool over the play window, and the machine's load.
    const qint64 ownPid = QCoreApplication::applicationPid();
    const qint64 watchedPid = parser.isSet(serverPid) ? parser.value(serverPid).toLongLong() : -1;
    double serverCpuStart = -1;
    double serverCpuEnd = -1;
    double ownCpuStart = -1;
    double ownCpuEnd = -1;
    double loadAtStart = 0;
    int exitCode = 0;
    QJsonObject result;
    auto finish = [&] {
        std::vector<float> latencies = run.latencies();
        const double elapsed = static_cast<double>(std::max<qint64>(1, playedMs)) / kMsPerSecond;
        result.insert(QLatin1String("rooms"), run.roomsReady());
        result.insert(QLatin1String("connections"), run.connectionsOpen());
        result.insert(QLatin1String("pace"), options.pace);
        result.insert(QLatin1String("seconds"), elapsed);
        result.insert(QLatin1String("actions"), static_cast<double>(actionsInWindow));
        result.insert(QLatin1String("actionsPerSecond"),
                      std::round(static_cast<double>(actionsInWindow) / elapsed));
        result.insert(QLatin1String("p50Ms"), dealbrix::load::percentile(latencies, 50));
        result.insert(QLatin1String("p99Ms"), dealbrix::load::percentile(latencies, 99));
        result.insert(QLatin1String("maxMs"),
                      latencies.empty() ? 0.0 : static_cast<double>(latencies.back()));
        result.insert(QLatin1String("errors"), static_cast<double>(run.errors()));
        result.insert(QLatin1String("games"), static_cast<double>(run.gamesFinished() - gamesAtStart));
        const double perAction = actionsInWindow > 0 ? 1.0 / static_cast<double>(actionsInWindow) : 0.0;
        constexpr double kThousandths = 1000.0;
        const auto perActionMs = [&](double ms) {
            return std::round(ms * perAction * kThousandths) / kThousandths;
        };
        result.insert(QLatin1String("loadAverage"), loadAtStart);
        if (ownCpuStart >= 0 && ownCpuEnd >= 0)
            result.insert(QLatin1String("loadtestCpuMsPerAction"), perActionMs(ownCpuEnd - ownCpuStart));
        if (serverCpuStart >= 0 && serverCpuEnd >= 0) {
            result.insert(QLatin1String("serverCpuMsPerAction"), perActionMs(serverCpuEnd - serverCpuStart));
            result.insert(QLatin1String("serverCores"),
                          std::round((serverCpuEnd - serverCpuStart) / std::max<qint64>(1, playedMs) * 100) /
                              100);
        }
        if (parser.isSet(serverPid)) {
            const auto [now, peak] = residentMiB(parser.value(serverPid).toLongLong());
            result.insert(QLatin1String("serverRssMiB"), std::round(now));
            result.insert(QLatin1String("serverPeakRssMiB"), std::round(peak));
        }
        std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
        for (const QString& sample : run.errorSamples())
            say(QStringLiteral("error: ") + sample);
        if (run.errors() > 0 || run.roomsReady() < options.rooms) exitCode = 1;
        app.exit(exitCode);
    };

    // One timer drives the run: the rooms open, then play for the time asked, then the last round
    // trips come back; whatever happens, the run ends by itself.
    QTimer tick;
    tick.setInterval(kTickMs);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (playStartMs < 0) {
            if (run.roomsReady() >= options.rooms) {
                playStartMs = now;
                run.setPaused(false);
                run.clearLatencies();
                loadAtStart = loadAverage();
                ownCpuStart = processorMs(ownPid);
                if (watchedPid > 0) serverCpuStart = processorMs(watchedPid);
                gamesAtStart = run.gamesFinished();
                say(QStringLiteral("%1 rooms open in %2 s; playing for %3 s")
                        .arg(run.roomsReady())
                        .arg(static_cast<double>(now) / kMsPerSecond, 0, 'f', 1)
                        .arg(playSeconds));
            } else if (now > kSetupSeconds * kMsPerSecond) {
                say(QStringLiteral("only %1 of %2 rooms opened in %3 s")
                        .arg(run.roomsReady())
                        .arg(options.rooms)
                        .arg(kSetupSeconds));
                playedMs = 0;
                tick.stop();
                finish();
            }
            return;
        }
        if (now - playStartMs >= static_cast<qint64>(playSeconds) * kMsPerSecond) {
            tick.stop();
            playedMs = now - playStartMs;
            // Actions are counted up to here; the clients stop, and the answers still on their way are
            // let in for their round trips.
            actionsInWindow = static_cast<qint64>(run.latencies().size());
            ownCpuEnd = processorMs(ownPid);
            if (watchedPid > 0) serverCpuEnd = processorMs(watchedPid);
            run.setPaused(true);
            QTimer::singleShot(kSettleMs, finish);
        }
    });
    tick.start();
    // The rooms wait until every one is open: opening thousands of connections goes faster without
    // the games of the first rooms in its way, and the clock starts with every room playing.
    run.setPaused(true);
    run.start();
    return app.exec();
}
