// A real client process killed with SIGKILL mid-turn and while its question is open comes back with
// its token, and the game finishes.
#include "net_support.h"
#include "remote_player.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <csignal>

namespace dealbrix::net {
namespace {

using testing::LocalServer;
using testing::waitUntil;

struct Bot {
    Bot(const QUrl& url, const QString& room, const QString& tokenFile, bool takeSeat) {
        QStringList arguments{
            QStringLiteral("--server"),     url.toString(), QStringLiteral("--room"),  room,
            QStringLiteral("--token-file"), tokenFile,      QStringLiteral("--delay"), QStringLiteral("40")};
        if (takeSeat) arguments << QStringLiteral("--seats") << QStringLiteral("2");
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The bot goes with the test, however the test ends.
        process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process.start(QStringLiteral(DEALBRIX_BOT), arguments);
    }
    ~Bot() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    QProcess process;
};

bool seatConnected(const Client& client, int seat) {
    for (const SeatInfo& info : client.seatInfo())
        if (info.seat == seat) return info.connected;
    return false;
}

TEST(Reconnect, ABotKilledMidTurnAndWhileItsQuestionIsOpenComesBackWithItsTokenAndTheGameFinishes) {
    LocalServer local;
    ASSERT_TRUE(local.listening);
    QTemporaryDir dir;
    const QString tokenFile = dir.filePath(QStringLiteral("token"));
    Client host(QStringLiteral("host"));
    RemotePlayer hostPlayer(host, 5);
    QString code;
    QObject::connect(&host, &Client::roomCreated, [&](const QString& room, const QString&) {
        code = room;
        host.join(room, {1});
    });
    host.connectTo(local.url());
    host.createRoom(2, {});
    ASSERT_TRUE(waitUntil([&] { return host.hasState(); }));
    auto bot = std::make_unique<Bot>(local.url(), code, tokenFile, true);
    const Room* room = local.server.core().room(code);
    ASSERT_TRUE(waitUntil([&] { return room->started() && seatConnected(host, 2); }));

    // The bot keeps its token in the file as soon as it has joined.
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(tokenFile).size() == 32; }));
    auto killAndRestart = [&] {
        bot->process.kill(); // SIGKILL
        EXPECT_TRUE(bot->process.waitForFinished(5000));
        EXPECT_TRUE(waitUntil([&] { return !seatConnected(host, 2); })) << "the seat shows away";
        bot = std::make_unique<Bot>(local.url(), code, tokenFile, false);
        const bool back = waitUntil([&] { return seatConnected(host, 2); });
        EXPECT_TRUE(back) << "the seat is back";
        return back;
    };

    // Mid-turn: the bot holds the turn and no question waits.
    ASSERT_TRUE(waitUntil([&] { return room->game().state.turn == 2 && room->waitingFor() == 0; }, 30000));
    const qint64 versionAtKill = room->version();
    ASSERT_TRUE(killAndRestart());
    // While its question is open: killed before it could answer (tried a bounded number of times).
    bool killedAtQuestion = false;
    for (int attempt = 0; attempt < 10 && !killedAtQuestion && !room->ended(); ++attempt) {
        if (!waitUntil([&] { return room->waitingFor() == 2 || room->ended(); }, 30000)) break;
        if (room->ended()) break;
        killedAtQuestion = room->waitingFor() == 2;
        const int question = room->openQuestionId();
        ASSERT_TRUE(killAndRestart());
        if (killedAtQuestion) {
            EXPECT_TRUE(waitUntil([&] { return room->openQuestionId() != question || room->ended(); }))
                << "the question is answered once the bot is back";
        }
    }
    EXPECT_TRUE(killedAtQuestion);
    ASSERT_TRUE(waitUntil([&] { return room->ended(); }, 90000)) << "the game did not finish";
    EXPECT_GT(room->version(), versionAtKill);
    // The bot says goodbye to the server, which runs on this test's event loop.
    EXPECT_TRUE(waitUntil([&] { return bot->process.state() == QProcess::NotRunning; }))
        << bot->process.readAllStandardOutput().toStdString();
    EXPECT_EQ(bot->process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(bot->process.exitCode(), 0);
}

} // namespace
} // namespace dealbrix::net
