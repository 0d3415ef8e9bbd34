// dealbrix-server: the game server as a program of its own, without windows. Friends meet on a machine
// all of them can reach; any client may open rooms there.

#include "command_line.h"
#include "epoll_dispatcher.h"
#include "room_store.h"
#include "server.h"
#include "server_options.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslKey>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    // Only write(2) is safe here; the event loop reads the byte and stops the server.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

/// Raises the open-file limit to the hard limit: every connection is a file, and thousands may come.
void raiseFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void say(const QString& text) {
    std::fprintf(stderr, "dealbrix-server: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

std::optional<QSslConfiguration> readTls(const QString& certFile, const QString& keyFile, QString& problem) {
    QFile cert(certFile);
    QFile key(keyFile);
    if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("The TLS certificate or key could not be read.");
        return std::nullopt;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromDevice(&cert, QSsl::Pem);
    const QByteArray pem = key.readAll();
    const QSslKey rsaKey(pem, QSsl::Rsa, QSsl::Pem);
    const QSslKey ecKey(pem, QSsl::Ec, QSsl::Pem);
    if (chain.isEmpty() || (rsaKey.isNull() && ecKey.isNull())) {
        problem = QStringLiteral("The TLS certificate or key is not PEM.");
        return std::nullopt;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(rsaKey.isNull() ? ecKey : rsaKey);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    return tls;
}

} // namespace

int main(int argc, char* argv[]) {
    // An epoll loop rather than Qt's, which polls every socket on every turn, or GLib's, which also
    // finds a socket's notifier in a list of every socket (a socket turns its write notifier on and off
    // with each message it sends): with thousands of connections each message would cost in
    // proportion to all of them. Qt's own loop stays for DEALBRIX_EVENT_LOOP=qt.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    dealbrix::net::installEpollEventLoop();
    QCoreApplication app(argc, argv);
    dealbrix::describeApplication();
    const dealbrix::ServerOptions options = dealbrix::parseServerCommandLine(QCoreApplication::arguments());
    if (options.quit) {
        std::fputs(options.output.toLocal8Bit().constData(), stdout);
        std::fputs(options.error.toLocal8Bit().constData(), stderr);
        return options.exitCode;
    }
    std::optional<QSslConfiguration> tls;
    if (!options.tlsCert.isEmpty()) {
        QString problem;
        tls = readTls(options.tlsCert, options.tlsKey, problem);
        if (!tls) {
            say(problem);
            return EXIT_FAILURE;
        }
    }

    raiseFileLimit();
    std::unique_ptr<dealbrix::net::RoomStore> store;
    if (!options.dataDir.isEmpty()) {
        QString problem;
        store = dealbrix::net::RoomStore::open(options.dataDir, options.retention, &problem);
        if (!store) {
            say(problem);
            return EXIT_FAILURE;
        }
        store->setLog(say);
    }

    dealbrix::net::GameServer server(options.limits, options.serverId, tls);
    if (store) {
        const qint64 wallNow = QDateTime::currentMSecsSinceEpoch();
        int opened = 0;
        for (const dealbrix::net::StoredRoom& room : store->loadRooms(wallNow)) {
            const qint64 idleFor = std::max<qint64>(0, wallNow - room.updatedMs);
            const qint64 endedFor = room.finishedMs ? std::max<qint64>(0, wallNow - *room.finishedMs) : 0;
            if (server.restoreRoom(room.snapshot, idleFor, endedFor))
                ++opened;
            else
                say(QStringLiteral(
                        "room %1 is not opened: the server holds as many rooms as --max-rooms allows")
                        .arg(room.snapshot.code));
        }
        server.setJournal(store.get());
        say(QStringLiteral("rooms are kept in %1: %2 opened again").arg(store->path()).arg(opened));
    } else {
        say(QStringLiteral("rooms are kept in memory only and end with the server (--data DIR keeps them)"));
    }
    // SIGTERM and SIGINT stop the server cleanly: every client is told 1001 (going away). Set before
    // it listens, so that a stop asked as soon as it is listening is never the signal's default death.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return EXIT_FAILURE;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &server, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(signalPipe[0], &byte, 1);
        notifier.setEnabled(false);
        say(QStringLiteral("stopping"));
        server.logSummary();
        server.stop();
    });
    QObject::connect(&server, &dealbrix::net::GameServer::stopped, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    if (!server.listen(options.address, options.port)) {
        say(QStringLiteral("cannot listen on %1:%2: %3")
                .arg(options.address.toString())
                .arg(options.port)
                .arg(server.errorString()));
        return EXIT_FAILURE;
    }
    say(QStringLiteral("listening on %1:%2%3")
            .arg(options.address.toString())
            .arg(server.port())
            .arg(tls ? QStringLiteral(" (wss)") : QString()));

    return app.exec();
}
