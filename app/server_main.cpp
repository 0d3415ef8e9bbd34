// dealbrix-server: the game server as a program of its own, without windows. Friends meet on a machine
// all of them can reach; any client may open rooms there.

#include "command_line.h"
#include "server.h"
#include "server_options.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslKey>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    // Only write(2) is safe here; the event loop reads the byte and stops the server.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
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

    dealbrix::net::GameServer server(options.limits, options.serverId, tls);
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

    // SIGTERM and SIGINT stop the server cleanly: every client is told 1001 (going away).
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
    return app.exec();
}
