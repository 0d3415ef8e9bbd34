// A real dealbrix-server keeping its rooms in a temporary folder is killed (SIGKILL) again and again
// while rooms of computer clients play on it over WebSockets on 127.0.0.1. After every restart each
// room comes back with at least the version its clients last saw, and at that version with the very
// game they were sent. A damaged or cut-short database is refused at start.

#include "load_clients.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int kRooms = 20;
constexpr int kKills = 50;
constexpr int kStartMs = 10000;
// Eighty connections come back after each restart, each after its own back-off; on a busy machine that
// takes a while, and a slow rejoin is not what this test is about.
constexpr int kRejoinMs = 30000;

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void spin(int ms) {
    waitUntil([] { return false; }, ms);
}

/// dealbrix-server on 127.0.0.1, its rooms in `dataDir`; killed or stopped by the test that made it.
class ServerProcess {
  public:
    explicit ServerProcess(QString dataDir) : dataDir_(std::move(dataDir)) {}
    ~ServerProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kStartMs);
        }
    }
    /// Starts on `port` (0: a free one); true once it listens.
    bool start(quint16 port) {
        output_.clear();
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(QStringLiteral(DEALBRIX_SERVER),
                       {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port),
                        QStringLiteral("--data"), dataDir_, QStringLiteral("--connections-per-address"),
                        QStringLiteral("2000"), QStringLiteral("--rooms-per-address"), QStringLiteral("2000"),
                        QStringLiteral("--rate"), QStringLiteral("2000"), QStringLiteral("--burst"),
                        QStringLiteral("2000")});
        const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        const bool up = waitUntil(
            [&] {
                output_ += QString::fromLocal8Bit(process_.readAllStandardError());
                const QRegularExpressionMatch match = listening.match(output_);
                if (match.hasMatch()) port_ = static_cast<quint16>(match.captured(1).toUInt());
                return match.hasMatch() || process_.state() == QProcess::NotRunning;
            },
            kStartMs);
        return up && process_.state() == QProcess::Running;
    }
    void kill() {
        process_.kill(); // SIGKILL
        process_.waitForFinished(kStartMs);
    }
    /// SIGTERM; the exit code, or -1 when it did not end in time.
    int stop() {
        process_.terminate();
        if (!waitUntil([&] { return process_.state() == QProcess::NotRunning; }, kStartMs)) return -1;
        output_ += QString::fromLocal8Bit(process_.readAllStandardError());
        return process_.exitCode();
    }
    /// Waits for the process to end by itself; its exit code, or -1.
    int waitForExit() {
        if (!waitUntil([&] { return process_.state() == QProcess::NotRunning; }, kStartMs)) return -1;
        output_ += QString::fromLocal8Bit(process_.readAllStandardError());
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    quint16 port() const { return port_; }
    const QString& output() const { return output_; }
    /// Everything the running server has written so far.
    const QString& readOutput() {
        output_ += QString::fromLocal8Bit(process_.readAllStandardError());
        return output_;
    }
    QUrl url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(port_)); }

  private:
    QString dataDir_;
    QProcess process_;
    QString output_;
    quint16 port_ = 0;
};

TEST(ServerKill, EveryRoomComesBackAfterFiftyKillsWithTheLastStateItsClientsSaw) {
    QTemporaryDir dir;
    ServerProcess server(dir.path());
    ASSERT_TRUE(server.start(0)) << server.output().toStdString();
    ASSERT_TRUE(server.output().contains(QLatin1String("rooms are kept in")))
        << server.output().toStdString();

    dealbrix::load::LoadOptions options;
    options.server = server.url();
    options.rooms = kRooms;
    options.pace = 0;
    options.keepFinished = true; // a finished room keeps its clients and is checked like the others
    dealbrix::load::LoadRun run(options);
    run.start();
    ASSERT_TRUE(waitUntil([&] { return run.roomsReady() >= kRooms; }, kStartMs)) << run.roomsReady();

    QRandomGenerator random(18);
    int checks = 0;
    int sameVersion = 0;
    int questionSteps = 0;
    qint64 versionsAtStart = 0;
    for (const auto& room : run.rooms())
        versionsAtStart += std::max<qint64>(0, room->last.version);
    for (int kill = 0; kill < kKills; ++kill) {
        spin(100 + static_cast<int>(random.bounded(300)));
        server.kill();
        run.setPaused(true);
        // What every room's clients saw last, before anything comes back.
        std::vector<std::pair<dealbrix::load::LoadRoom*, dealbrix::load::SeenState>> seen;
        for (const auto& room : run.rooms())
            if (room->ready && !room->abandoned) seen.emplace_back(room.get(), room->last);
        ASSERT_TRUE(server.start(server.port()))
            << "restart " << kill << ": " << server.output().toStdString();
        run.reconnectAll();
        ASSERT_TRUE(waitUntil([&] { return run.allRejoined(); }, kRejoinMs))
            << "restart " << kill << "; the clients' errors: " << run.errorSamples().join(u'\n').toStdString()
            << "\nthe server said: " << server.readOutput().right(4000).toStdString();
        for (const auto& [room, before] : seen) {
            const dealbrix::load::SeenState& after = room->firstAfterRejoin;
            ++checks;
            ASSERT_GE(after.version, before.version)
                << "room " << room->code.toStdString() << ", restart " << kill;
            if (after.version != before.version) continue;
            ++sameVersion;
            if (after.state == before.state && after.waitingFor == before.waitingFor) continue;
            // The one later state of the same version: a question of the next action, opened and
            // committed, its message still on the way when the server died.
            ASSERT_NE(after.waitingFor, 0) << "room " << room->code.toStdString() << ": version "
                                           << after.version << " came back as another game";
            ++questionSteps;
        }
        run.setPaused(false);
    }
    qint64 versionsAtEnd = 0;
    for (const auto& room : run.rooms())
        versionsAtEnd += std::max<qint64>(0, room->last.version);
    EXPECT_GE(checks, kKills * kRooms);
    EXPECT_GT(versionsAtEnd - versionsAtStart, kKills * 5) << "the rooms hardly played between the kills";
    std::printf("%d rooms checked after %d kills (%d at the version last seen, %d of them at a question "
                "not yet seen); %lld actions played, %lld games finished\n",
                checks, kKills, sameVersion, questionSteps,
                static_cast<long long>(versionsAtEnd - versionsAtStart),
                static_cast<long long>(run.gamesFinished()));
    EXPECT_EQ(server.stop(), 0) << server.output().toStdString();
    EXPECT_TRUE(server.output().contains(QLatin1String("stopping")));
}

TEST(ServerKill, ADamagedOrCutShortDatabaseIsRefusedAtStartAndTheServerDoesNotStart) {
    QTemporaryDir dir;
    ServerProcess server(dir.path());
    {
        ASSERT_TRUE(server.start(0)) << server.output().toStdString();
        dealbrix::load::LoadOptions options;
        options.server = server.url();
        options.rooms = 5;
        // Slow enough that no game ends (and no sixth room opens in its place) before the stop.
        options.pace = 5;
        dealbrix::load::LoadRun run(options);
        run.start();
        ASSERT_TRUE(waitUntil([&] { return run.roomsReady() >= 5; }, kStartMs));
        spin(500);
        ASSERT_EQ(server.stop(), 0) << server.output().toStdString();
    }
    const QString path = dir.filePath(QStringLiteral("rooms.sqlite"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray sound = file.readAll();
    file.close();
    ASSERT_GT(sound.size(), 4096);
    const auto refused = [&](const QByteArray& bytes, const char* expected) {
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        QFile damaged(path);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(bytes);
        damaged.close();
        EXPECT_FALSE(server.start(0)) << expected;
        EXPECT_NE(server.waitForExit(), 0) << expected;
        EXPECT_TRUE(server.output().contains(QLatin1String(expected))) << server.output().toStdString();
        EXPECT_TRUE(server.output().contains(QLatin1String("does not start")))
            << server.output().toStdString();
    };
    refused(sound.left(sound.size() / 2), "cut short");
    refused(sound.left(20), "not an SQLite database");
    QByteArray scrambled = sound;
    for (qsizetype i = 4096 + 100; i < scrambled.size(); i += 61)
        scrambled[i] = static_cast<char>(~scrambled[i]);
    refused(scrambled, "damaged");
    // The sound file again: the server starts on it with its rooms.
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(sound);
    file.close();
    ASSERT_TRUE(server.start(0)) << server.output().toStdString();
    EXPECT_TRUE(server.output().contains(QLatin1String(": 5 opened again"))) << server.output().toStdString();
    EXPECT_EQ(server.stop(), 0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
