// The room store on a real SQLite file in a temporary folder: rooms come back as they were written,
// batches commit once, damaged, cut-short, foreign and newer databases are refused and left as they
// are, damaged rooms are set aside, and rooms past their time are removed.

#include "room_store.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace dealbrix::net {
namespace {

struct SilentEvents final : RoomEvents {
    void roomBox(const QString&, qint64, const Box&) override {}
    void roomState(const QString&) override {}
    void roomQuestion(const QString&, int, const Box&) override {}
    void roomSeats(const QString&) override {}
    void roomChat(const QString&, const ChatLine&) override {}
    void roomEnded(const QString&, int) override {}
};

constexpr qint64 kHourMs = 3'600'000;
constexpr qint64 kDayMs = 24 * kHourMs;

/// A four-seat room the computer plays, stepped `steps` moves or until a question waits.
std::unique_ptr<Room> playedRoom(const QString& code, RoomEvents& events, int steps, bool stopAtQuestion,
                                 std::uint64_t seed = 7) {
    RoomSettings settings;
    settings.players = 4;
    for (int seat = 1; seat <= 4; ++seat)
        settings.computer[seat] = true;
    auto room = std::make_unique<Room>(code, settings, seed, events);
    room->setHostToken(newToken());
    for (int i = 0; i < steps && room->stepComputer(); ++i)
        if (stopAtQuestion && room->openQuestionId() != 0) break;
    return room;
}

/// One computer move of `room`, told to `store` and committed; false when no move was due or the
/// commit failed.
bool moveAndCommit(RoomStore& store, Room& room) {
    if (!room.stepComputer()) return false;
    store.roomChanged(room);
    return store.commit();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class RoomStoreTest : public ::testing::Test {
  protected:
    std::unique_ptr<RoomStore> open(QString* error = nullptr, RoomRetention retention = {}) {
        QString problem;
        auto store = RoomStore::open(dir.path(), retention, &problem);
        if (error != nullptr) *error = problem;
        if (store) store->setLog([this](const QString& line) { log.append(line); });
        return store;
    }
    QString dbPath() const { return dir.filePath(QLatin1String(RoomStore::kFileName)); }

    QTemporaryDir dir;
    SilentEvents events;
    QStringList log;
};

TEST_F(RoomStoreTest, ARoomComesBackAsItWasEvenAtAWaitingQuestion) {
    std::unique_ptr<Room> waiting = playedRoom(QStringLiteral("WAIT0001"), events, 3000, true);
    ASSERT_NE(waiting->openQuestionId(), 0) << "no question came up to test with";
    std::unique_ptr<Room> between = playedRoom(QStringLiteral("PLAIN001"), events, 40, false, 11);
    between->chat(1, QStringLiteral("Ann"), QStringLiteral("hello, \"quoted\" ünïcode"));
    {
        auto store = open();
        ASSERT_TRUE(store);
        store->roomChanged(*waiting);
        store->roomChanged(*between);
        ASSERT_TRUE(store->commit());
        EXPECT_EQ(store->commits(), 1);
        EXPECT_EQ(store->roomsWritten(), 2);
    }
    auto store = open();
    ASSERT_TRUE(store);
    const std::vector<StoredRoom> rooms = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(rooms.size(), 2u);
    for (const StoredRoom& stored : rooms) {
        const Room& original = stored.snapshot.code == waiting->code() ? *waiting : *between;
        Room back(stored.snapshot, events);
        EXPECT_EQ(back.snapshot(), original.snapshot()) << stored.snapshot.code.toStdString();
        EXPECT_EQ(back.openQuestionId(), original.openQuestionId());
    }
}

TEST_F(RoomStoreTest, ActionsBetweenSnapshotsAreWrittenAsRunsAndPlayedAgainOnReading) {
    // A room committed after every move, read back after each of many stopping points (a question
    // waiting among them): it is the same room every time, and most moves were written as runs.
    std::unique_ptr<Room> room = playedRoom(QStringLiteral("RUNS0001"), events, 0, false, 23);
    auto store = open();
    ASSERT_TRUE(store);
    store->roomChanged(*room);
    ASSERT_TRUE(store->commit());
    int checked = 0;
    bool sawQuestion = false;
    for (int step = 1; step <= 400 && !room->ended(); ++step) {
        ASSERT_TRUE(moveAndCommit(*store, *room));
        if (step % 37 != 0 && !(room->openQuestionId() != 0 && !sawQuestion)) continue;
        sawQuestion = sawQuestion || room->openQuestionId() != 0;
        store.reset();
        store = open();
        const std::vector<StoredRoom> rooms = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
        ASSERT_EQ(rooms.size(), 1u);
        EXPECT_EQ(rooms[0].snapshot, room->snapshot()) << "after move " << step;
        Room back(rooms[0].snapshot, events);
        EXPECT_EQ(back.openQuestionId(), room->openQuestionId());
        ++checked;
    }
    EXPECT_GE(checked, 5);
    EXPECT_TRUE(sawQuestion) << "no question came up to stop at";
    // The room goes on after a reading back (the store knows what it has): runs again.
    const qint64 snapshotsBefore = store->snapshotsWritten();
    for (int i = 0; i < 10 && room->stepComputer(); ++i) {
        store->roomChanged(*room);
        ASSERT_TRUE(store->commit());
    }
    EXPECT_LE(store->snapshotsWritten() - snapshotsBefore, 1);
    EXPECT_GE(store->runsWritten(), 9);
}

TEST_F(RoomStoreTest, RunsEveryFewActionsGiveWayToAWholeSnapshotAndSeatChangesWriteOneAtOnce) {
    std::unique_ptr<Room> room = playedRoom(QStringLiteral("SNAP0001"), events, 0, false, 5);
    auto store = open();
    store->roomChanged(*room);
    ASSERT_TRUE(store->commit());
    ASSERT_EQ(store->snapshotsWritten(), 1);
    const qint64 cycles = 2;
    const qint64 steps = RoomStore::kSnapshotEveryRuns * cycles + 5;
    for (qint64 i = 0; i < steps; ++i) {
        ASSERT_TRUE(moveAndCommit(*store, *room));
    }
    ASSERT_FALSE(room->ended());
    EXPECT_EQ(store->snapshotsWritten(), 1 + cycles)
        << "one whole write every " << RoomStore::kSnapshotEveryRuns << " runs";
    EXPECT_EQ(store->runsWritten(), steps - cycles);
    const qint64 before = store->snapshotsWritten();
    room->chat(1, QStringLiteral("Ann"), QStringLiteral("a chat line is not a run"));
    store->roomChanged(*room);
    ASSERT_TRUE(store->commit());
    EXPECT_EQ(store->snapshotsWritten(), before + 1);
    store.reset();
    store = open();
    const std::vector<StoredRoom> rooms = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(rooms.size(), 1u);
    EXPECT_EQ(rooms[0].snapshot, room->snapshot());
}

/// Runs `work` on the database file through a connection of its own, closed afterwards.
void withDatabase(const QString& path, const std::function<void(QSqlDatabase&)>& work) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("side"));
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
        work(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("side"));
}

QVariant scalar(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    return q.next() ? q.value(0) : QVariant();
}

TEST_F(RoomStoreTest, SchemaOneAndTwoDatabasesMoveToTheJournalAndTheirRoomsComeBack) {
    // Schema 1 held whole rooms only. Schema 2 added the moves after them in a runs table keyed by
    // room, their log lines in the log table. Each is made from this store's own file, as that server
    // left it, and opened again.
    for (const int schema : {1, 2}) {
        SCOPED_TRACE(schema);
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(dbPath() + QLatin1String(suffix));
        std::unique_ptr<Room> room = playedRoom(QStringLiteral("OLD00001"), events, 30, false, 9);
        {
            auto store = open();
            store->roomChanged(*room);
            ASSERT_TRUE(store->commit());
        }
        const RoomSnapshot written = room->snapshot();
        for (int i = 0; schema == 2 && i < 5; ++i)
            ASSERT_TRUE(room->stepComputer());
        withDatabase(dbPath(), [&](QSqlDatabase& db) {
            QSqlQuery q(db);
            // The log a line to a row.
            ASSERT_TRUE(
                q.exec(QStringLiteral("CREATE TABLE log (room TEXT NOT NULL, seq INTEGER NOT NULL, line "
                                      "TEXT NOT NULL, PRIMARY KEY (room, seq)) WITHOUT ROWID")));
            ASSERT_TRUE(
                q.exec(QStringLiteral("INSERT INTO log SELECT room, last - json_array_length(lines) + 1 + "
                                      "key, value FROM log_chunks, json_each(log_chunks.lines)")));
            ASSERT_TRUE(q.exec(QStringLiteral("DROP TABLE log_chunks")));
            if (schema == 2) {
                ASSERT_TRUE(q.exec(QStringLiteral(
                    "CREATE TABLE runs (room TEXT NOT NULL, seq INTEGER NOT NULL, kind TEXT NOT NULL, number "
                    "INTEGER NOT NULL, text TEXT NOT NULL, other TEXT NOT NULL, logTotal INTEGER NOT NULL, "
                    "at "
                    "INTEGER NOT NULL, PRIMARY KEY (room, seq)) WITHOUT ROWID")));
                for (const RoomRun& run : room->recentRuns()) {
                    if (run.seq <= written.runs) continue;
                    q.prepare(QStringLiteral("INSERT INTO runs VALUES (?, ?, ?, ?, ?, ?, ?, 0)"));
                    for (const QVariant& value :
                         {QVariant(room->code()), QVariant(run.seq),
                          QVariant(QString::fromLatin1(actionKindName(run.action.kind))),
                          QVariant(run.action.number), QVariant(QString::fromStdString(run.action.text)),
                          QVariant(QString::fromStdString(run.action.otherText)), QVariant(run.logTotal)})
                        q.addBindValue(value);
                    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
                }
                const QStringList log = room->log();
                for (qint64 seq = written.logTotal + 1; seq <= room->logTotal(); ++seq) {
                    q.prepare(QStringLiteral("INSERT INTO log VALUES (?, ?, ?)"));
                    q.addBindValue(room->code());
                    q.addBindValue(seq);
                    q.addBindValue(log[log.size() - (room->logTotal() - seq) - 1]);
                    ASSERT_TRUE(q.exec());
                }
            }
            ASSERT_TRUE(q.exec(QStringLiteral("DROP TABLE journal")));
            ASSERT_TRUE(q.exec(QStringLiteral("ALTER TABLE rooms DROP COLUMN journalFrom")));
            ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA user_version=%1").arg(schema)));
        });
        ASSERT_GT(room->snapshot().runs, written.runs + (schema == 2 ? 4 : -1));
        auto store = open();
        ASSERT_TRUE(store);
        std::vector<StoredRoom> rooms = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
        ASSERT_EQ(rooms.size(), 1u);
        EXPECT_EQ(rooms[0].snapshot, room->snapshot());
        ASSERT_TRUE(moveAndCommit(*store, *room));
        EXPECT_EQ(store->runsWritten(), 1);
        store.reset();
        withDatabase(dbPath(), [&](QSqlDatabase& db) {
            EXPECT_EQ(scalar(db, QStringLiteral("PRAGMA user_version")).toInt(), RoomStore::kSchemaVersion);
            EXPECT_EQ(
                scalar(db, QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'runs'")).toInt(),
                0);
        });
        store = open();
        rooms = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
        ASSERT_EQ(rooms.size(), 1u);
        EXPECT_EQ(rooms[0].snapshot, room->snapshot());
    }
}

TEST_F(RoomStoreTest, TheJournalKeepsOnlyTheRowsRoomsNeedAndMovesThoseOfARoomThatStoppedPlaying) {
    JournalLimits limits;
    limits.sweepEvery = 16;
    limits.slack = 64;
    QString problem;
    auto store = RoomStore::open(dir.path(), {}, &problem, limits);
    ASSERT_TRUE(store) << problem.toStdString();
    // A room that plays three moves after its snapshot and then waits: it needs those rows until it
    // is written whole again, while other rooms play on and are written whole every few dozen moves.
    std::unique_ptr<Room> idle = playedRoom(QStringLiteral("IDLE0001"), events, 10, false, 3);
    store->roomChanged(*idle);
    ASSERT_TRUE(store->commit());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(moveAndCommit(*store, *idle));
    }
    std::vector<std::unique_ptr<Room>> busy;
    int journalMost = 0;
    for (int step = 0; step < 40000 && store->runsWritten() < 4000; ++step) {
        if (busy.empty() || busy.back()->ended())
            busy.push_back(playedRoom(QStringLiteral("BUSY%1").arg(busy.size(), 4, 10, QLatin1Char('0')),
                                      events, 0, false, 100 + busy.size()));
        Room& room = *busy.back();
        ASSERT_TRUE(room.ended() || room.stepComputer());
        store->roomChanged(room);
        ASSERT_TRUE(store->commit());
        if (step % 97 == 0)
            withDatabase(store->path(), [&](QSqlDatabase& db) {
                journalMost =
                    std::max(journalMost, scalar(db, QStringLiteral("SELECT count(*) FROM journal")).toInt());
            });
    }
    ASSERT_GE(store->runsWritten(), 4000);
    // The rooms need at most 3 rows of the idle room and those of the busy one since its snapshot; the
    // journal is tidied every 16 rows and may grow to twice what they need and 64 more before the
    // idle room's rows move.
    const qint64 needed = 3 + RoomStore::kSnapshotEveryRuns - 1;
    EXPECT_LE(journalMost, 2 * needed + limits.slack + limits.sweepEvery);
    EXPECT_GE(store->rowsMoved(), 3) << "the idle room's rows were moved";
    store.reset();
    store = RoomStore::open(dir.path(), {}, &problem, limits);
    const std::vector<StoredRoom> rooms = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(rooms.size(), busy.size() + 1);
    for (const StoredRoom& stored : rooms) {
        const auto same = [&](const std::unique_ptr<Room>& room) {
            return room->code() == stored.snapshot.code;
        };
        const auto it = std::find_if(busy.begin(), busy.end(), same);
        const Room& original = it != busy.end() ? **it : *idle;
        EXPECT_EQ(stored.snapshot, original.snapshot()) << stored.snapshot.code.toStdString();
    }
}

TEST_F(RoomStoreTest, ADamagedJournalRowStopsTheReplayThereAndTheRoomComesBackAsItWasBeforeIt) {
    std::unique_ptr<Room> room = playedRoom(QStringLiteral("ROWS0001"), events, 12, false, 17);
    std::vector<RoomSnapshot> after; // the room after each move written as a row
    {
        auto store = open();
        store->roomChanged(*room);
        ASSERT_TRUE(store->commit());
        for (int i = 0; i < 5; ++i) {
            ASSERT_TRUE(moveAndCommit(*store, *room));
            after.push_back(room->snapshot());
        }
        ASSERT_EQ(store->runsWritten(), 5);
    }
    // The third row's action cut short, the fourth's number beyond what an action can carry.
    withDatabase(dbPath(), [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE journal SET action = substr(action, 1, 9) WHERE id = "
                                          "(SELECT min(id) + 2 FROM journal)")));
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE journal SET action = json_set(action, '$.number', 1e12) "
                                          "WHERE id = (SELECT min(id) + 3 FROM journal)")));
    });
    auto store = open();
    const std::vector<StoredRoom> rooms = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(rooms.size(), 1u);
    EXPECT_EQ(rooms[0].snapshot, after[1]) << "back as it was after the two sound rows";
    EXPECT_EQ(log.filter(QStringLiteral("could not be played again")).size(), 1)
        << log.join(u'\n').toStdString();
    // It plays on from there, and what it plays now is what comes back.
    Room back(rooms[0].snapshot, events);
    ASSERT_TRUE(moveAndCommit(*store, back));
    store.reset();
    store = open();
    const std::vector<StoredRoom> again = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].snapshot, back.snapshot());
}

TEST_F(RoomStoreTest, OnlyNewLinesAreWrittenAndTheNewestKeptOnesComeBack) {
    auto store = open();
    ASSERT_TRUE(store);
    std::unique_ptr<Room> room = playedRoom(QStringLiteral("LONGLOG1"), events, 0, false);
    // Many commits, each after a few moves and chat lines, until the chat has dropped its oldest lines
    // and the game is over.
    const qint64 chatWanted = static_cast<qint64>(Room::kChatKept) + 500;
    for (int batch = 0; batch < 5000 && (!room->ended() || room->snapshot().chatTotal < chatWanted);
         ++batch) {
        for (int i = 0; i < 3; ++i)
            room->stepComputer();
        room->chat(0, QStringLiteral("Watcher"), QStringLiteral("line %1").arg(batch));
        if (batch % 3 == 0) room->chat(2, QStringLiteral("Bo"), QStringLiteral("and %1").arg(batch));
        store->roomChanged(*room);
        ASSERT_TRUE(store->commit());
    }
    const RoomSnapshot played = room->snapshot();
    ASSERT_GE(played.chatTotal, chatWanted);
    ASSERT_GT(played.logTotal, 100);
    store.reset();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peek"));
        db.setDatabaseName(dbPath());
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*), max(seq) FROM chat")) && q.next());
        EXPECT_LE(q.value(0).toLongLong(), static_cast<qint64>(Room::kChatKept) + 256)
            << "old lines are trimmed";
        EXPECT_EQ(q.value(1).toLongLong(), played.chatTotal);
        ASSERT_TRUE(
            q.exec(QStringLiteral("SELECT sum(json_array_length(lines)), max(last) FROM log_chunks")) &&
            q.next());
        EXPECT_EQ(q.value(0).toLongLong(), played.logTotal) << "every line once";
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("peek"));

    store = open();
    const std::vector<StoredRoom> rooms = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(rooms.size(), 1u);
    EXPECT_EQ(rooms[0].snapshot.log, played.log);
    EXPECT_EQ(rooms[0].snapshot.chat, played.chat);
    EXPECT_EQ(rooms[0].snapshot.chat.size(), Room::kChatKept);
}

TEST_F(RoomStoreTest, AClosedRoomIsRemovedAndChangesInOneBatchWriteTheRoomOnce) {
    auto store = open();
    std::unique_ptr<Room> room = playedRoom(QStringLiteral("GONE0001"), events, 5, false);
    std::unique_ptr<Room> kept = playedRoom(QStringLiteral("KEPT0001"), events, 5, false);
    store->roomChanged(*room);
    store->roomChanged(*kept);
    room->stepComputer();
    store->roomChanged(*room);
    ASSERT_TRUE(store->commit());
    EXPECT_EQ(store->roomsWritten(), 2);
    store->roomClosed(room->code());
    ASSERT_TRUE(store->commit());
    EXPECT_FALSE(store->hasPending());
    const std::vector<StoredRoom> rooms = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(rooms.size(), 1u);
    EXPECT_EQ(rooms[0].snapshot.code, kept->code());
}

TEST_F(RoomStoreTest, FinishedRoomsGoAfterTheirHoursAndUntouchedRoomsAfterTheirDays) {
    RoomRetention retention;
    retention.finishedRoomHours = 2;
    retention.idleRoomDays = 3;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    {
        auto store = open(nullptr, retention);
        std::unique_ptr<Room> finished = playedRoom(QStringLiteral("DONE0001"), events, 200000, false);
        ASSERT_TRUE(finished->ended()) << "the computer's game did not end";
        std::unique_ptr<Room> playing = playedRoom(QStringLiteral("PLAY0001"), events, 10, false);
        store->roomChanged(*finished);
        store->roomChanged(*playing);
        ASSERT_TRUE(store->commit());
        ASSERT_EQ(store->loadRooms(now + 1 * kHourMs).size(), 2u) << "an hour after its end it stays";
    }
    {
        auto store = open(nullptr, retention);
        const std::vector<StoredRoom> rooms = store->loadRooms(now + 2 * kHourMs + 1000);
        ASSERT_EQ(rooms.size(), 1u);
        EXPECT_EQ(rooms[0].snapshot.code, QStringLiteral("PLAY0001"));
        EXPECT_EQ(store->loadRooms(now + 3 * kDayMs - 60'000).size(), 1u);
        EXPECT_EQ(store->loadRooms(now + 3 * kDayMs + 1000).size(), 0u);
    }
}

TEST_F(RoomStoreTest, ADamagedRoomIsSetAsideAndTheOthersLoad) {
    {
        auto store = open();
        store->roomChanged(*playedRoom(QStringLiteral("GOOD0001"), events, 20, false));
        store->roomChanged(*playedRoom(QStringLiteral("BAD00001"), events, 20, false));
        store->roomChanged(*playedRoom(QStringLiteral("BAD00002"), events, 20, false));
        ASSERT_TRUE(store->commit());
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("spoil"));
        db.setDatabaseName(dbPath());
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        // One room's text cut in half, another's money beyond what the game can hold.
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE rooms SET snapshot = substr(snapshot, 1, length(snapshot) "
                                          "/ 2) WHERE code = 'BAD00001'")));
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT snapshot FROM rooms WHERE code = 'BAD00002'")) && q.next());
        QByteArray text = q.value(0).toByteArray();
        q.finish();
        const qsizetype money = text.indexOf("\"money\":");
        ASSERT_GE(money, 0);
        text.insert(money + 8, "99999");
        q.prepare(QStringLiteral("UPDATE rooms SET snapshot = ? WHERE code = 'BAD00002'"));
        q.addBindValue(text);
        ASSERT_TRUE(q.exec());
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("spoil"));
    }
    auto store = open();
    const std::vector<StoredRoom> rooms = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(rooms.size(), 1u);
    EXPECT_EQ(rooms[0].snapshot.code, QStringLiteral("GOOD0001"));
    EXPECT_EQ(log.filter(QStringLiteral("set aside")).size(), 2) << log.join(u'\n').toStdString();
    store.reset();
    store = open();
    EXPECT_EQ(store->loadRooms(QDateTime::currentMSecsSinceEpoch()).size(), 1u);
    EXPECT_TRUE(log.filter(QStringLiteral("set aside")).size() == 2) << "set aside once, not at every start";
}

TEST_F(RoomStoreTest, DamagedCutShortForeignAndNewerDatabasesAreRefusedAndLeftAsTheyAre) {
    {
        auto store = open();
        for (int i = 0; i < 30; ++i)
            store->roomChanged(*playedRoom(QStringLiteral("ROOM%1").arg(i, 4, 10, QLatin1Char('0')), events,
                                           30, false, 100 + static_cast<std::uint64_t>(i)));
        ASSERT_TRUE(store->commit());
    }
    const QByteArray sound = fileBytes(dbPath());
    ASSERT_GT(sound.size(), 8192);
    const auto refusedWith = [&](const QByteArray& bytes, const char* expected) {
        {
            QFile file(dbPath());
            EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        }
        QString error;
        EXPECT_FALSE(open(&error)) << expected;
        EXPECT_TRUE(error.contains(QLatin1String(expected))) << error.toStdString();
        EXPECT_EQ(fileBytes(dbPath()), bytes) << "a refused file is left as it was";
    };
    refusedWith(sound.left(sound.size() / 2), "cut short");
    refusedWith(sound.left(50), "not an SQLite database");
    refusedWith(QByteArray("{\"format\": \"dealbrix-game\"}\n").repeated(200), "not an SQLite database");
    QByteArray scrambled = sound;
    for (qsizetype i = 4096 + 200; i < scrambled.size(); i += 97)
        scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5a);
    refusedWith(scrambled, "damaged");

    // A newer server's database: the schema version raised, nothing else changed.
    {
        QFile file(dbPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(sound);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("later"));
        db.setDatabaseName(dbPath());
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version=%1").arg(RoomStore::kSchemaVersion + 1));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("later"));
    }
    const QByteArray later = fileBytes(dbPath());
    QString error;
    EXPECT_FALSE(open(&error));
    EXPECT_TRUE(error.contains(QLatin1String("later server"))) << error.toStdString();
    EXPECT_EQ(fileBytes(dbPath()), later);

    // Another program's SQLite file.
    QFile::remove(dbPath());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        db.setDatabaseName(dbPath());
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE rooms (x)"));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    }
    EXPECT_FALSE(open(&error));
    EXPECT_TRUE(error.contains(QLatin1String("another program"))) << error.toStdString();
}

TEST_F(RoomStoreTest, OneFolderServesOneServerAtATime) {
    auto first = open();
    ASSERT_TRUE(first);
    QString error;
    EXPECT_FALSE(open(&error));
    EXPECT_TRUE(error.contains(QLatin1String("in use"))) << error.toStdString();
    first.reset();
    EXPECT_TRUE(open());
}

TEST_F(RoomStoreTest, TokensAndPasswordsAreStoredOnlyAsHashes) {
    RoomSettings settings;
    settings.players = 2;
    settings.passwordSalt = newToken().toLatin1();
    settings.passwordHash = Room::hashPassword(QStringLiteral("secret words"), settings.passwordSalt);
    Room room(QStringLiteral("HASH0001"), settings, 5, events);
    const QString host = newToken();
    room.setHostToken(host);
    const JoinOutcome joined = room.join({1}, QStringLiteral("secret words"), QStringLiteral("Ann"));
    ASSERT_FALSE(joined.error);
    {
        auto store = open();
        store->roomChanged(room);
        ASSERT_TRUE(store->commit());
    }
    const QByteArray bytes = fileBytes(dbPath()) + fileBytes(dbPath() + QStringLiteral("-wal"));
    EXPECT_FALSE(bytes.contains(joined.token.toLatin1()));
    EXPECT_FALSE(bytes.contains(host.toLatin1()));
    EXPECT_FALSE(bytes.contains("secret words"));
    auto store = open();
    const std::vector<StoredRoom> rooms = store->loadRooms(QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(rooms.size(), 1u);
    Room back(rooms[0].snapshot, events);
    EXPECT_EQ(back.rejoin(joined.token).seats, QList<int>{1});
    EXPECT_TRUE(back.isHostToken(host));
    EXPECT_TRUE(back.passwordFits(QStringLiteral("secret words")));
    EXPECT_FALSE(back.passwordFits(QStringLiteral("other words")));
}

} // namespace
} // namespace dealbrix::net

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
