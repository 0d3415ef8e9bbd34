// The dealbrix-server program: its command line, and a clean stop on SIGTERM that tells every
// client 1001.
#include "command_line.h"
#include "net_support.h"
#include "server_options.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <csignal>

namespace dealbrix {
namespace {

using net::testing::RawSocket;
using net::testing::waitUntil;

ServerOptions parse(QStringList arguments) {
    arguments.prepend(QStringLiteral("dealbrix-server"));
    return parseServerCommandLine(arguments);
}

TEST(ServerCommandLine, DefaultsListenOnLoopbackAtTheGamePortAndEveryLimitIsAnOption) {
    const ServerOptions defaults = parse({});
    EXPECT_FALSE(defaults.quit);
    EXPECT_EQ(defaults.address, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(defaults.port, net::kDefaultPort);
    const ServerOptions set = parse({"--listen",
                                     "[::1]:9001",
                                     "--server-id",
                                     "eu2",
                                     "--max-rooms",
                                     "5",
                                     "--max-message-bytes",
                                     "2048",
                                     "--rate",
                                     "2.5",
                                     "--burst",
                                     "7",
                                     "--connections-per-address",
                                     "3",
                                     "--handshake-seconds",
                                     "4",
                                     "--ping-seconds",
                                     "6",
                                     "--silent-seconds",
                                     "12",
                                     "--chat-length",
                                     "80",
                                     "--name-length",
                                     "10",
                                     "--computer-delay",
                                     "0",
                                     "--room-idle-minutes",
                                     "2",
                                     "--failures",
                                     "3"});
    ASSERT_FALSE(set.quit) << set.error.toStdString();
    EXPECT_EQ(set.address, QHostAddress(QStringLiteral("::1")));
    EXPECT_EQ(set.port, 9001);
    EXPECT_EQ(set.serverId, QStringLiteral("eu2"));
    const net::ServerLimits& l = set.limits;
    EXPECT_EQ(l.maxRooms, 5);
    EXPECT_EQ(l.maxMessageBytes, 2048);
    EXPECT_EQ(l.messagesPerSecond, 2.5);
    EXPECT_EQ(l.burstMessages, 7);
    EXPECT_EQ(l.connectionsPerAddress, 3);
    EXPECT_EQ(l.handshakeSeconds, 4);
    EXPECT_EQ(l.pingSeconds, 6);
    EXPECT_EQ(l.silentSeconds, 12);
    EXPECT_EQ(l.chatLength, 80);
    EXPECT_EQ(l.nameLength, 10);
    EXPECT_EQ(l.computerDelayMs, 0);
    EXPECT_EQ(l.roomIdleMinutes, 2);
    EXPECT_EQ(l.failuresAllowed, 3);
}

TEST(ServerCommandLine, WrongValuesAreRefusedWithTheirReason) {
    for (const QStringList& bad :
         {QStringList{"--listen", "localhost:x"}, QStringList{"--listen", "1.2.3.4:70000"},
          QStringList{"--max-rooms", "0"}, QStringList{"--burst", "-1"}, QStringList{"--rate", "0"},
          QStringList{"--server-id", "a-b"}, QStringList{"--tls-cert", "c.pem"}, QStringList{"extra"},
          QStringList{"--max-message-bytes", "1e9"}}) {
        const ServerOptions o = parse(bad);
        EXPECT_TRUE(o.quit) << bad.join(u' ').toStdString();
        EXPECT_EQ(o.exitCode, kUsageError) << bad.join(u' ').toStdString();
        EXPECT_FALSE(o.error.isEmpty());
    }
    EXPECT_TRUE(parse({"--help"}).output.contains(QStringLiteral("--connections-per-address")));
}

TEST(ServerProgram, SigtermClosesEveryClientWithGoingAwayAndEndsTheProgram) {
    QProcess server;
    server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    server.start(QStringLiteral(DEALBRIX_SERVER),
                 {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    QString said;
    QRegularExpressionMatch match;
    ASSERT_TRUE(waitUntil([&] {
        said += QString::fromLocal8Bit(server.readAllStandardError());
        match = QRegularExpression(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)")).match(said);
        return match.hasMatch();
    }));
    RawSocket client(QUrl(QStringLiteral("ws://127.0.0.1:%1/room/ANY").arg(match.captured(1))));
    ASSERT_TRUE(client.open()) << "any request path is accepted";
    client.hello();
    ASSERT_FALSE(client.waitFor(net::type::kWelcome).isEmpty());
    server.terminate(); // SIGTERM
    EXPECT_TRUE(client.waitClosed());
    EXPECT_EQ(client.closeCode, QWebSocketProtocol::CloseCodeGoingAway);
    ASSERT_TRUE(waitUntil([&] { return server.state() == QProcess::NotRunning; }));
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
    said += QString::fromLocal8Bit(server.readAllStandardError());
    EXPECT_TRUE(said.contains(QStringLiteral("summary: 0 rooms"))) << said.toStdString();
}

} // namespace
} // namespace dealbrix
