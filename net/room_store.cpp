#include "room_store.h"

#include "json_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <condition_variable>
#include <limits>
#include <map>
#include <mutex>
#include <thread>

namespace dealbrix::net {

namespace {

// "DBRX": tells our database from another program's SQLite file.
constexpr qint64 kApplicationId = 0x44425258;
constexpr qint64 kMsPerHour = 3'600'000;
constexpr qint64 kMsPerDay = 24 * kMsPerHour;
constexpr int kCheckpointMs = 1000;
// Frames in the write-ahead log past which a checkpoint makes it start again (16 MiB of pages).
constexpr qint64 kRestartFrames = 4096;
constexpr int kBusyTimeoutMs = 2000;
// The WAL file is cut back to this after a checkpoint has copied it all.
constexpr qint64 kWalSizeLimit = 64 * 1024 * 1024;
// Old log and chat lines are deleted in steps of this many, not one by one.
constexpr qint64 kTrimStep = 256;

// The SQLite file header: its first 16 bytes, the page size and the page count it states.
constexpr char kSqliteMagic[] = "SQLite format 3";
constexpr qsizetype kSqliteHeaderBytes = 100;
constexpr quint32 kMinPageSize = 512;
constexpr quint32 kLargestPageSize = 65536; // written as 1 in the header's two bytes

// Schema 3: the actions carried out after the rooms' snapshots, one row each (see RoomRun), in the
// order they were written: new rows go at the table's end. `action` is a JSON object: the action's
// "kind", "number", "text" and "other", the room's "logTotal" after it and the "lines" it wrote.
constexpr const char* kJournalTable =
    "CREATE TABLE journal (id INTEGER PRIMARY KEY, room TEXT NOT NULL, seq INTEGER NOT NULL, at INTEGER NOT "
    "NULL, action BLOB NOT NULL)";
// Schema 3: a room's log lines up to its snapshot, written with each snapshot as one chunk (a JSON
// list) of the lines since the last, up to and with line number `last`.
constexpr const char* kLogChunksTable =
    "CREATE TABLE log_chunks (room TEXT NOT NULL, last INTEGER NOT NULL, lines BLOB NOT NULL, PRIMARY KEY "
    "(room, last)) WITHOUT ROWID";
// A room's rows are those from its journalFrom on: rows of a room of the same code closed before are
// older.
constexpr const char* kJournalFromColumn =
    "ALTER TABLE rooms ADD COLUMN journalFrom INTEGER NOT NULL DEFAULT 0";

/// Tells a replayed room's events to nobody: the room is being read back, no client is in it.
struct Unheard final : RoomEvents {
    void roomBox(const QString&, qint64, const Box&) override {}
    void roomState(const QString&) override {}
    void roomQuestion(const QString&, int, const Box&) override {}
    void roomSeats(const QString&) override {}
    void roomChat(const QString&, const ChatLine&) override {}
    void roomEnded(const QString&, int) override {}
};

const char* const kSchema[] = {
    "CREATE TABLE rooms (code TEXT PRIMARY KEY, version INTEGER NOT NULL, updated INTEGER NOT NULL, "
    "finished INTEGER, snapshot BLOB NOT NULL, journalFrom INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID",
    kLogChunksTable,
    "CREATE TABLE chat (room TEXT NOT NULL, seq INTEGER NOT NULL, seat INTEGER NOT NULL, "
    "name TEXT NOT NULL, text TEXT NOT NULL, PRIMARY KEY (room, seq)) WITHOUT ROWID",
    "CREATE TABLE damaged_rooms (code TEXT NOT NULL, snapshot BLOB, reason TEXT NOT NULL, "
    "found INTEGER NOT NULL)",
    kJournalTable,
};

/// What is wrong with the file's first bytes, or nothing: not SQLite, or shorter than its header says.
QString headerProblem(const QString& path) {
    QFile file(path);
    if (!file.exists() || file.size() == 0) return {};
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("cannot be read: %1").arg(file.errorString());
    const QByteArray header = file.read(kSqliteHeaderBytes);
    if (header.size() < kSqliteHeaderBytes ||
        !header.startsWith(QByteArray(kSqliteMagic, sizeof kSqliteMagic)))
        return QStringLiteral("is not an SQLite database (damaged, cut short, or another kind of file)");
    const auto byteAt = [&](int i) { return static_cast<quint32>(static_cast<unsigned char>(header[i])); };
    const auto word = [&](int i) {
        return byteAt(i) << 24 | byteAt(i + 1) << 16 | byteAt(i + 2) << 8 | byteAt(i + 3);
    };
    // The page count is trusted when the version-valid-for number matches the change counter, as
    // SQLite itself does, and only with no write-ahead log waiting: a checkpoint cut off by a kill
    // may leave the file short of pages the log still holds, and opening it finishes the copy.
    const quint32 stated = byteAt(16) << 8 | byteAt(17);
    const quint32 pageSize = stated == 1 ? kLargestPageSize : stated;
    const quint32 pages = word(28);
    const bool logWaits = QFileInfo(path + QStringLiteral("-wal")).size() > 0;
    if (!logWaits && pageSize >= kMinPageSize && word(92) == word(24) && pages > 0 &&
        file.size() < static_cast<qint64>(pageSize) * pages)
        return QStringLiteral("is cut short: its header counts %1 pages of %2 bytes, the file holds %3 bytes")
            .arg(pages)
            .arg(pageSize)
            .arg(file.size());
    return {};
}

QString lastError(const QSqlQuery& query) {
    return query.lastError().text();
}

/// Writes the lines numbered after `after` up to `upTo` of `log`, which holds the newest of
/// `logTotal`, as a JSON list (lines it no longer holds are left out).
void writeLines(JsonText& json, const QStringList& log, qint64 logTotal, qint64 after, qint64 upTo) {
    const qint64 beforeHeld = logTotal - log.size(); // the number of the line before the oldest held
    json.beginArray();
    for (qint64 seq = std::max(after, beforeHeld) + 1; seq <= upTo; ++seq)
        json.value(std::string_view(log[seq - beforeHeld - 1].toUtf8()));
    json.endArray();
}

/// Adds the lines of a JSON list whose last is numbered `last` to `log` (the lines by number).
void readLines(const QJsonArray& lines, qint64 last, std::map<qint64, QString>& log) {
    for (qsizetype i = 0; i < lines.size(); ++i)
        log[last - lines.size() + 1 + i] = lines[i].toString();
}

/// A journal row's action as the store writes it.
QByteArray actionText(const RoomRun& run, const QStringList& log, qint64 logTotal, qint64 linesAfter) {
    QByteArray text;
    JsonText json(text);
    json.beginObject();
    json.member("kind", actionKindName(run.action.kind));
    json.member("number", run.action.number);
    json.member("text", std::string_view(run.action.text));
    json.member("other", std::string_view(run.action.otherText));
    json.member("logTotal", static_cast<std::int64_t>(run.logTotal));
    json.key("lines");
    writeLines(json, log, logTotal, linesAfter, run.logTotal);
    json.endObject();
    return text;
}

} // namespace

/// Copies the write-ahead log into the database and syncs it, on a thread and connection of its own,
/// about once a second: the server's thread never waits for the disk.
class RoomStore::Checkpointer {
  public:
    explicit Checkpointer(QString path) : path_(std::move(path)) {
        thread_ = std::thread([this] { run(); });
    }
    ~Checkpointer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    /// Checkpoints now and waits until it is done.
    void now() {
        std::unique_lock<std::mutex> lock(mutex_);
        const qint64 asked = ++asked_;
        wake_.notify_all();
        done_.wait(lock, [&] { return finished_ >= asked || stopping_; });
    }

  private:
    void run() {
        const QString name = QStringLiteral("dealbrix-checkpoint-") + QUuid::createUuid().toString();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path_);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
            if (db.open()) {
                std::unique_lock<std::mutex> lock(mutex_);
                while (!stopping_) {
                    wake_.wait_for(lock, std::chrono::milliseconds(kCheckpointMs),
                                   [&] { return stopping_ || asked_ > finished_; });
                    const qint64 serving = asked_;
                    lock.unlock();
                    catchUp(db);
                    lock.lock();
                    finished_ = serving;
                    done_.notify_all();
                }
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        done_.notify_all();
    }

    /// Copies the log into the database. The log starts again from its beginning only when a write
    /// finds every frame in it copied, and under steady play a write comes while every pass runs
    /// (each syncs the disk twice): left to passive passes the log would never start again and would
    /// grow without end. So once it holds more than kRestartFrames, the few frames written since the
    /// pass are copied holding the server's writes back meanwhile (its commit waits, as for any
    /// lock, a few milliseconds), and the next write starts the log again.
    static void catchUp(QSqlDatabase& db) {
        QSqlQuery q(db);
        // The row is (busy, frames in the log, frames copied).
        if (!q.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")) || !q.next()) return;
        const qint64 frames = q.value(1).toLongLong();
        q.finish();
        if (frames > kRestartFrames) q.exec(QStringLiteral("PRAGMA wal_checkpoint(RESTART)"));
        q.finish();
    }

    QString path_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    bool stopping_ = false;
    qint64 asked_ = 0;
    qint64 finished_ = 0;
};

RoomStore::RoomStore(QString directory, RoomRetention retention, JournalLimits limits)
    : directory_(std::move(directory)), path_(QDir(directory_).filePath(QLatin1String(kFileName))),
      connection_(QStringLiteral("dealbrix-rooms-") + QUuid::createUuid().toString()), retention_(retention),
      limits_(limits), lock_(QDir(directory_).filePath(QStringLiteral("rooms.lock"))) {}

std::unique_ptr<RoomStore> RoomStore::open(const QString& directory, RoomRetention retention, QString* error,
                                           JournalLimits limits) {
    const auto refuse = [&](const QString& sentence) {
        if (error != nullptr) *error = sentence;
        return std::unique_ptr<RoomStore>();
    };
    if (!QDir().mkpath(directory))
        return refuse(QStringLiteral("The data folder %1 cannot be made.").arg(directory));
    std::unique_ptr<RoomStore> store(new RoomStore(QDir(directory).absolutePath(), retention, limits));
    // A lock left by a killed server is taken over: QLockFile sees that its process is gone.
    store->lock_.setStaleLockTime(0);
    if (!store->lock_.tryLock()) {
        qint64 pid = 0;
        QString host;
        QString app;
        store->lock_.getLockInfo(&pid, &host, &app);
        return refuse(QStringLiteral("The data folder %1 is in use by another server (process %2).")
                          .arg(store->directory_)
                          .arg(pid));
    }
    const QString problem = store->openDatabase();
    if (!problem.isEmpty()) return refuse(problem);
    store->checkpointer_ = std::make_unique<Checkpointer>(store->path_);
    return store;
}

QString RoomStore::openDatabase() {
    const QString refused =
        QStringLiteral("The room database %1 %2; the server does not start on it. Move it "
                       "away to start with no rooms.");
    if (const QString problem = headerProblem(path_); !problem.isEmpty()) return refused.arg(path_, problem);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db.isValid()) return QStringLiteral("Qt's SQLite driver (QSQLITE) is not installed.");
    db.setDatabaseName(path_);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open())
        return QStringLiteral("The room database %1 cannot be opened: %2.").arg(path_, db.lastError().text());
    QSqlQuery q(db);
    const auto scalar = [&](const QString& sql, QVariant* value) {
        if (!q.exec(sql) || !q.next()) return false;
        *value = q.value(0);
        return true;
    };
    // Only reads until the file is known to be ours, sound and of a schema this server writes.
    QVariant schema;
    QVariant application;
    if (!scalar(QStringLiteral("PRAGMA user_version"), &schema) ||
        !scalar(QStringLiteral("PRAGMA application_id"), &application))
        return refused.arg(path_, QStringLiteral("cannot be read (%1)").arg(lastError(q)));
    QVariant tables;
    if (!scalar(QStringLiteral("SELECT count(*) FROM sqlite_schema"), &tables))
        return refused.arg(path_, QStringLiteral("cannot be read (%1)").arg(lastError(q)));
    const bool fresh = tables.toLongLong() == 0;
    if (!fresh && application.toLongLong() != kApplicationId)
        return refused.arg(path_, QStringLiteral("belongs to another program"));
    if (schema.toLongLong() > kSchemaVersion)
        return QStringLiteral("The room database %1 was written by a later server (schema %2; this server "
                              "knows %3 and earlier). It is left as it is; run the later server on it.")
            .arg(path_)
            .arg(schema.toLongLong())
            .arg(kSchemaVersion);
    if (!fresh && schema.toLongLong() < 1) return refused.arg(path_, QStringLiteral("has no schema version"));
    if (!q.exec(QStringLiteral("PRAGMA quick_check")))
        return refused.arg(path_, QStringLiteral("is damaged (%1)").arg(lastError(q)));
    QStringList faults;
    while (q.next())
        faults.append(q.value(0).toString());
    if (faults != QStringList{QStringLiteral("ok")})
        return refused.arg(path_,
                           QStringLiteral("is damaged (%1)").arg(faults.mid(0, 3).join(QLatin1String("; "))));

    // Commits in WAL mode with synchronous=NORMAL write the log without syncing it; the checkpoint
    // thread syncs. Nothing checkpoints on the server's thread.
    for (const char* pragma :
         {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL", "PRAGMA wal_autocheckpoint=0"})
        if (!q.exec(QLatin1String(pragma)))
            return QStringLiteral("The room database %1 cannot be set up: %2.").arg(path_, lastError(q));
    q.exec(QStringLiteral("PRAGMA journal_size_limit=%1").arg(kWalSizeLimit));
    if (!q.exec(QStringLiteral("PRAGMA journal_mode")) || !q.next() ||
        q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return QStringLiteral("The room database %1 cannot keep a write-ahead log.").arg(path_);
    if (fresh) {
        if (!db.transaction())
            return QStringLiteral("The room database %1 cannot be written: %2.")
                .arg(path_, db.lastError().text());
        for (const char* statement : kSchema)
            if (!q.exec(QLatin1String(statement))) {
                const QString why = lastError(q);
                db.rollback();
                return QStringLiteral("The room database %1 cannot be made: %2.").arg(path_, why);
            }
        q.exec(QStringLiteral("PRAGMA application_id=%1").arg(kApplicationId));
        q.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
        if (!db.commit())
            return QStringLiteral("The room database %1 cannot be made: %2.")
                .arg(path_, db.lastError().text());
    } else if (schema.toLongLong() < kSchemaVersion) {
        // Schema 1 had no runs: every room in it is a whole snapshot. Schema 2 kept them by room, with
        // their log lines in the log table: they move to the journal in the order they were played.
        // Both kept the log a line to a row.
        bool ok =
            db.transaction() && q.exec(QLatin1String(kJournalTable)) &&
            q.exec(QLatin1String(kJournalFromColumn)) && q.exec(QLatin1String(kLogChunksTable)) &&
            q.exec(QStringLiteral("INSERT INTO log_chunks SELECT room, seq, json_array(line) FROM log")) &&
            q.exec(QStringLiteral("DROP TABLE log"));
        if (ok && schema.toLongLong() >= 2)
            ok = q.exec(QStringLiteral(
                     "INSERT INTO journal (room, seq, at, action) SELECT room, seq, at, json_object('kind', "
                     "kind, 'number', number, 'text', text, 'other', other, 'logTotal', logTotal, 'lines', "
                     "json_array()) FROM runs ORDER BY room, seq")) &&
                 q.exec(QStringLiteral("DROP TABLE runs"));
        if (!ok || !q.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)) || !db.commit()) {
            const QString why = q.lastError().isValid() ? lastError(q) : db.lastError().text();
            db.rollback();
            return QStringLiteral("The room database %1 cannot be brought up to schema %2: %3.")
                .arg(path_)
                .arg(kSchemaVersion)
                .arg(why);
        }
    }
    // New rows follow every row and every room's journalFrom (the journal may have been emptied).
    if (!q.exec(QStringLiteral("SELECT (SELECT max(id) FROM journal), (SELECT min(id) FROM journal), "
                               "(SELECT max(journalFrom) FROM rooms)")) ||
        !q.next())
        return refused.arg(path_, QStringLiteral("cannot be read (%1)").arg(lastError(q)));
    canTidy_ = q.value(1).isNull();
    nextRow_ = std::max(q.value(0).toLongLong() + 1, std::max<qint64>(q.value(2).toLongLong(), 1));
    firstKept_ = canTidy_ ? nextRow_ : q.value(1).toLongLong();
    tidiedAt_ = nextRow_;
    return {};
}

RoomStore::~RoomStore() {
    if (!connection_.isEmpty() && QSqlDatabase::contains(connection_)) {
        if (!pending_.isEmpty()) commit();
        statements_.reset();
        checkpointer_.reset();
        {
            QSqlDatabase db = QSqlDatabase::database(connection_, false);
            if (db.isOpen()) QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            db.close();
        }
        QSqlDatabase::removeDatabase(connection_);
    }
}

void RoomStore::logLine(const QString& line) const {
    if (log_) log_(line);
}

void RoomStore::checkpoint() {
    if (checkpointer_) checkpointer_->now();
}

// --- Rooms as text ------------------------------------------------------------------------------------

QByteArray RoomStore::encodeSnapshot(const RoomSnapshot& snapshot) {
    // The log and the chat have tables of their own: only their new lines are written.
    RoomSnapshot s = snapshot;
    s.log.clear();
    s.chat.clear();
    return writeRoomSnapshot(s);
}

std::optional<RoomSnapshot> RoomStore::decodeSnapshot(const QByteArray& text, const QString& code,
                                                      QString* error) {
    const auto refuse = [error](const QString& why) -> std::optional<RoomSnapshot> {
        if (error != nullptr) *error = why;
        return std::nullopt;
    };
    QString why;
    std::optional<RoomSnapshot> s = readRoomSnapshot(text, &why);
    if (!s) return refuse(why);
    if (s->code != code) return refuse(QStringLiteral("it names another room"));
    if (s->settings.passwordHash.isEmpty() != s->settings.passwordSalt.isEmpty())
        return refuse(QStringLiteral("its password has a hash without a salt or a salt without a hash"));
    if (s->state.playerCount != s->settings.players && s->state.playerCount != 0)
        return refuse(QStringLiteral("its game is for another number of players"));
    return s;
}

// --- Reading ------------------------------------------------------------------------------------------

void RoomStore::removeExpired(qint64 nowMs) {
    QSqlDatabase db = QSqlDatabase::database(connection_);
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "SELECT code FROM rooms LEFT JOIN (SELECT journal.room AS room, max(journal.at) AS at FROM journal "
        "JOIN rooms ON rooms.code = journal.room AND journal.id >= rooms.journalFrom GROUP BY journal.room) "
        "AS played ON played.room = rooms.code WHERE (finished IS NOT NULL AND finished <= ?) OR "
        "max(updated, coalesce(played.at, 0)) <= ?"));
    q.addBindValue(nowMs - retention_.finishedRoomHours * kMsPerHour);
    q.addBindValue(nowMs - retention_.idleRoomDays * kMsPerDay);
    if (!q.exec()) {
        logLine(QStringLiteral("the rooms past their time could not be found: %1").arg(lastError(q)));
        return;
    }
    QStringList expired;
    while (q.next())
        expired.append(q.value(0).toString());
    for (const QString& code : expired)
        roomClosed(code);
    if (!expired.isEmpty()) {
        logLine(QStringLiteral("%1 rooms past their time removed").arg(expired.size()));
        commit();
    }
}

void RoomStore::setAside(const QString& code, const QByteArray& snapshot, const QString& reason,
                         qint64 nowMs) {
    logLine(QStringLiteral("room %1 cannot be read back and is set aside: %2").arg(code, reason));
    QSqlDatabase db = QSqlDatabase::database(connection_);
    db.transaction();
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("INSERT INTO damaged_rooms (code, snapshot, reason, found) VALUES (?, ?, ?, ?)"));
    q.addBindValue(code);
    q.addBindValue(snapshot);
    q.addBindValue(reason);
    q.addBindValue(nowMs);
    q.exec();
    for (const char* table : {"rooms", "log_chunks", "chat"}) {
        q.prepare(
            QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                .arg(QLatin1String(table), QLatin1String(table == QLatin1String("rooms") ? "code" : "room")));
        q.addBindValue(code);
        q.exec();
    }
    db.commit();
}

std::vector<StoredRoom> RoomStore::loadRooms(qint64 nowMs) {
    removeExpired(nowMs);
    std::vector<StoredRoom> rooms;
    QSqlDatabase db = QSqlDatabase::database(connection_);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(
            "SELECT code, updated, finished, snapshot, journalFrom FROM rooms ORDER BY code"))) {
        logLine(QStringLiteral("the rooms could not be read: %1").arg(lastError(q)));
        return rooms;
    }
    struct Row {
        QString code;
        qint64 updated;
        QVariant finished;
        QByteArray snapshot;
        qint64 journalFrom;
    };
    std::vector<Row> rows;
    while (q.next())
        rows.push_back({q.value(0).toString(), q.value(1).toLongLong(), q.value(2), q.value(3).toByteArray(),
                        q.value(4).toLongLong()});
    q.finish();

    // The journal is read once, in the order it was written, and dealt out to the rooms.
    QHash<QString, std::vector<JournalRow>> journal;
    if (!q.exec(QStringLiteral("SELECT id, room, seq, action FROM journal ORDER BY id"))) {
        logLine(QStringLiteral("the rooms' journal could not be read: %1").arg(lastError(q)));
        return {};
    }
    while (q.next()) {
        JournalRow row;
        row.id = q.value(0).toLongLong();
        row.run.seq = q.value(2).toLongLong();
        const QJsonObject action = QJsonDocument::fromJson(q.value(3).toByteArray()).object();
        row.kind = action.value(QLatin1String("kind")).toString();
        // A number no action can carry leaves the row without a kind: it is not played.
        const QJsonValue number = action.value(QLatin1String("number"));
        const std::optional<qint64> whole =
            number.isDouble() ? std::optional<qint64>(number.toInteger()) : std::nullopt;
        if (!whole || static_cast<double>(*whole) != number.toDouble() ||
            *whole < std::numeric_limits<int>::min() || *whole > std::numeric_limits<int>::max())
            row.kind.clear();
        row.run.action.number = whole ? static_cast<int>(*whole) : 0;
        row.run.action.text = action.value(QLatin1String("text")).toString().toStdString();
        row.run.action.otherText = action.value(QLatin1String("other")).toString().toStdString();
        row.run.logTotal = action.value(QLatin1String("logTotal")).toInteger();
        row.lines = action.value(QLatin1String("lines")).toArray();
        journal[q.value(1).toString()].push_back(std::move(row));
    }
    q.finish();
    canTidy_ = true;

    QSqlQuery lines(db);
    lines.setForwardOnly(true);
    for (Row& row : rows) {
        QString error;
        std::optional<RoomSnapshot> snapshot = decodeSnapshot(row.snapshot, row.code, &error);
        if (!snapshot) {
            setAside(row.code, row.snapshot, error, nowMs);
            continue;
        }
        const qint64 snapshotRuns = snapshot->runs;
        const qint64 tableLogTotal = snapshot->logTotal;
        // The room's rows: from its journalFrom on, after the runs its snapshot holds.
        std::vector<JournalRow> own;
        for (JournalRow& journalRow : journal[row.code])
            if (journalRow.id >= row.journalFrom && journalRow.run.seq > snapshotRuns)
                own.push_back(std::move(journalRow));
        // The newest lines of the log's chunks, as many as the room keeps; the rows add theirs.
        std::map<qint64, QString> log;
        const qint64 lastLogTotal = std::max(own.empty() ? 0 : own.back().run.logTotal, snapshot->logTotal);
        lines.prepare(QStringLiteral("SELECT last, lines FROM log_chunks WHERE room = ? AND last > ?"));
        lines.addBindValue(row.code);
        lines.addBindValue(lastLogTotal - Room::kLogKept);
        if (lines.exec())
            while (lines.next())
                readLines(QJsonDocument::fromJson(lines.value(1).toByteArray()).array(),
                          lines.value(0).toLongLong(), log);
        const bool played = replayRows(*snapshot, own, log);
        if (!played)
            logLine(QStringLiteral("room %1: an action recorded after run %2 could not be played again; the "
                                   "room comes back as it was before it")
                        .arg(row.code)
                        .arg(snapshot->runs));
        lines.prepare(
            QStringLiteral("SELECT seat, name, text FROM chat WHERE room = ? AND seq > ? ORDER BY seq"));
        lines.addBindValue(row.code);
        lines.addBindValue(snapshot->chatTotal - static_cast<qint64>(Room::kChatKept));
        if (lines.exec())
            while (lines.next())
                snapshot->chat.push_back(
                    {lines.value(0).toInt(), lines.value(1).toString(), lines.value(2).toString()});
        Written& written = written_[row.code];
        written = {tableLogTotal, snapshot->chatTotal, row.journalFrom, 0, 0};
        for (const JournalRow& journalRow : own)
            if (journalRow.run.seq <= snapshot->runs) {
                if (written.firstRow == 0) written.firstRow = journalRow.id;
                ++written.rows;
            }
        if (played) {
            know(*snapshot, snapshotRuns);
        } else {
            // Written whole at once: its rows from the one that failed on are not its any more, and
            // the moves it makes from here would follow them.
            Pending& whole = pending_[row.code];
            whole = {};
            whole.snapshot = *snapshot;
            whole.atMs = nowMs;
            know(*snapshot, snapshot->runs);
        }
        StoredRoom room;
        room.snapshot = std::move(*snapshot);
        room.updatedMs = row.updated;
        if (!row.finished.isNull()) room.finishedMs = row.finished.toLongLong();
        rooms.push_back(std::move(room));
    }
    if (hasPending()) commit();
    return rooms;
}

bool RoomStore::replayRows(RoomSnapshot& snapshot, const std::vector<JournalRow>& rows,
                           std::map<qint64, QString>& log) {
    std::vector<RoomRun> runs;
    bool sound = true;
    for (const JournalRow& row : rows) {
        const std::optional<ActionKind> kind = actionKindNamed(row.kind.toStdString());
        if (!kind) {
            sound = false;
            break;
        }
        runs.push_back(row.run);
        runs.back().action.kind = *kind;
        readLines(row.lines, row.run.logTotal, log);
    }
    bool played = true;
    if (!runs.empty()) {
        Unheard unheard;
        Room room(snapshot, unheard);
        played = room.replay(runs);
        const std::vector<ChatLine> chat = snapshot.chat;
        snapshot = room.snapshot();
        snapshot.chat = chat;
    }
    // The room's newest lines, up to its total: lines of rows that could not be played are not its.
    snapshot.log.clear();
    for (auto it = log.upper_bound(snapshot.logTotal - Room::kLogKept);
         it != log.end() && it->first <= snapshot.logTotal; ++it)
        snapshot.log.append(it->second);
    return sound && played;
}

void RoomStore::know(const RoomSnapshot& snapshot, qint64 snapshotRuns) {
    Known& k = known_[snapshot.code];
    k.runs = snapshot.runs;
    k.snapshotRuns = snapshotRuns;
    k.seats = snapshot.seats;
    k.hostTokenHash = snapshot.hostTokenHash;
    k.chatTotal = snapshot.chatTotal;
    k.logTotal = snapshot.logTotal;
    k.started = snapshot.started;
}

// --- Writing ------------------------------------------------------------------------------------------

void RoomStore::roomChanged(const Room& room) {
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    const QString& code = room.code();
    Pending& change = pending_[code];
    const auto known = known_.find(code);
    // Only the game moved on (the seats, host, chat and start as written or queued), its new runs are
    // all still in the room's list, and the snapshot is not too far behind: the runs are enough.
    const std::deque<RoomRun>& recent = room.recentRuns();
    bool runsOnly =
        known != known_.end() && !change.gone && !change.snapshot && !room.ended() &&
        room.started() == known->started && room.chatTotal() == known->chatTotal &&
        room.hostTokenHash() == known->hostTokenHash && room.runs() >= known->runs &&
        room.runs() - known->snapshotRuns < kSnapshotEveryRuns &&
        (room.runs() == known->runs || (!recent.empty() && recent.front().seq <= known->runs + 1));
    for (int seat = 1; runsOnly && seat <= kPlayerCount; ++seat)
        runsOnly = room.seat(seat) == known->seats[seat];
    // Every new log line is a run's: a line written between runs (a seat handed over) needs a snapshot.
    runsOnly =
        runsOnly && room.logTotal() == (room.runs() > known->runs ? recent.back().logTotal : known->logTotal);
    if (runsOnly) {
        if (change.runs.empty()) change.logFrom = known->logTotal;
        for (const RoomRun& run : recent)
            if (run.seq > known->runs) change.runs.push_back(run);
        change.log = room.log();
        change.logTotal = room.logTotal();
        change.atMs = nowMs;
        known->runs = room.runs();
        known->logTotal = room.logTotal();
        return;
    }
    change = {};
    change.snapshot = room.snapshot();
    change.atMs = nowMs;
    know(*change.snapshot, change.snapshot->runs);
}

void RoomStore::roomClosed(const QString& code) {
    Pending& change = pending_[code];
    change = {};
    change.gone = true;
    change.atMs = QDateTime::currentMSecsSinceEpoch();
    known_.remove(code);
}

/// The prepared statements, by their text (each a literal).
struct RoomStore::Statements {
    std::map<const char*, QSqlQuery> bySql;
};

QSqlQuery& RoomStore::statement(const char* sql) {
    if (!statements_) statements_ = std::make_unique<Statements>();
    auto it = statements_->bySql.find(sql);
    if (it == statements_->bySql.end()) {
        QSqlQuery query(QSqlDatabase::database(connection_, false));
        query.prepare(QLatin1String(sql));
        it = statements_->bySql.emplace(sql, std::move(query)).first;
    }
    return it->second;
}

QString RoomStore::writeRoom(const QString& code, const Pending& change, Written& written) {
    const auto run = [](QSqlQuery& q) { return q.exec() ? QString() : lastError(q); };
    if (change.gone) {
        // Its journal rows stay until the journal is tidied: they are older than any room's after it.
        for (const char* sql : {"DELETE FROM rooms WHERE code = ?", "DELETE FROM log_chunks WHERE room = ?",
                                "DELETE FROM chat WHERE room = ?"}) {
            QSqlQuery& q = statement(sql);
            q.addBindValue(code);
            if (const QString why = run(q); !why.isEmpty()) return why;
        }
        return {};
    }
    const Written before = written;
    if (!change.snapshot) {
        if (change.runs.empty()) {
            // Touched (someone joined) with nothing new in it: its time is all that changes.
            QSqlQuery& touch = statement("UPDATE rooms SET updated = ? WHERE code = ?");
            touch.addBindValue(change.atMs);
            touch.addBindValue(code);
            return run(touch);
        }
        QSqlQuery& add = statement("INSERT INTO journal (id, room, seq, at, action) VALUES (?, ?, ?, ?, ?)");
        qint64 logFrom = change.logFrom;
        for (const RoomRun& r : change.runs) {
            if (written.firstRow == 0) written.firstRow = nextRow_;
            ++written.rows;
            add.addBindValue(nextRow_++);
            add.addBindValue(code);
            add.addBindValue(r.seq);
            add.addBindValue(change.atMs);
            add.addBindValue(actionText(r, change.log, change.logTotal, logFrom));
            logFrom = r.logTotal;
            if (const QString why = run(add); !why.isEmpty()) return why;
        }
        return {};
    }
    const RoomSnapshot& s = *change.snapshot;
    // The room's rows before this are not needed any more (nor any a kill left beyond it).
    written = {s.logTotal, s.chatTotal, nextRow_, 0, 0};
    QSqlQuery& upsert =
        statement("INSERT INTO rooms (code, version, updated, finished, snapshot, journalFrom) VALUES (?, ?, "
                  "?, ?, ?, ?) "
                  "ON CONFLICT (code) DO UPDATE SET version = excluded.version, updated = excluded.updated, "
                  "finished = coalesce(rooms.finished, excluded.finished), snapshot = excluded.snapshot, "
                  "journalFrom = excluded.journalFrom");
    upsert.addBindValue(code);
    upsert.addBindValue(s.version);
    upsert.addBindValue(change.atMs);
    upsert.addBindValue(s.ended ? QVariant(change.atMs) : QVariant(QMetaType::fromType<qint64>()));
    upsert.addBindValue(encodeSnapshot(s));
    upsert.addBindValue(written.journalFrom);
    if (const QString why = run(upsert); !why.isEmpty()) return why;
    if (const QString why = writeLog(code, s.log, s.logTotal, before.logTotal); !why.isEmpty()) return why;

    const qint64 chatSize = static_cast<qint64>(s.chat.size());
    const qint64 newChat = std::min<qint64>(s.chatTotal - before.chatTotal, chatSize);
    if (newChat > 0) {
        QSqlQuery& q =
            statement("INSERT OR REPLACE INTO chat (room, seq, seat, name, text) VALUES (?, ?, ?, ?, ?)");
        for (qint64 i = chatSize - newChat; i < chatSize; ++i) {
            const ChatLine& line = s.chat[static_cast<std::size_t>(i)];
            q.addBindValue(code);
            q.addBindValue(s.chatTotal - chatSize + i + 1);
            q.addBindValue(line.seat);
            q.addBindValue(line.name);
            q.addBindValue(line.text);
            if (const QString why = run(q); !why.isEmpty()) return why;
        }
    }
    if (s.chatTotal <= static_cast<qint64>(Room::kChatKept) ||
        s.chatTotal / kTrimStep == before.chatTotal / kTrimStep)
        return {};
    QSqlQuery& trim = statement("DELETE FROM chat WHERE room = ? AND seq <= ?");
    trim.addBindValue(code);
    trim.addBindValue(s.chatTotal - static_cast<qint64>(Room::kChatKept));
    return run(trim);
}

QString RoomStore::writeLog(const QString& code, const QStringList& log, qint64 logTotal,
                            qint64 writtenTotal) {
    const auto run = [](QSqlQuery& q) { return q.exec() ? QString() : lastError(q); };
    // Only the lines added since the last write, in one chunk.
    if (logTotal > writtenTotal) {
        QSqlQuery& q = statement("INSERT OR REPLACE INTO log_chunks (room, last, lines) VALUES (?, ?, ?)");
        q.addBindValue(code);
        q.addBindValue(logTotal);
        QByteArray lines;
        {
            JsonText json(lines);
            writeLines(json, log, logTotal, writtenTotal, logTotal);
        }
        q.addBindValue(lines);
        if (const QString why = run(q); !why.isEmpty()) return why;
    }
    // Chunks of lines the room no longer keeps go in steps, when the count passes a multiple of the step.
    if (logTotal <= Room::kLogKept || logTotal / kTrimStep == writtenTotal / kTrimStep) return {};
    QSqlQuery& trim = statement("DELETE FROM log_chunks WHERE room = ? AND last <= ?");
    trim.addBindValue(code);
    trim.addBindValue(logTotal - Room::kLogKept);
    return run(trim);
}

bool RoomStore::commit() {
    if (pending_.isEmpty()) return true;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QString why;
    bool ok = db.transaction();
    if (!ok) why = db.lastError().text();
    // What is written is known in memory only once the database took it: a refused batch is written
    // again, from the same rows, with the next.
    const qint64 nextRowBefore = nextRow_;
    const qint64 firstKeptBefore = firstKept_;
    std::optional<QHash<QString, Written>> writtenBefore;
    if (ok && canTidy_ && nextRow_ - tidiedAt_ >= limits_.sweepEvery) {
        writtenBefore = written_;
        why = tidyJournal();
        ok = why.isEmpty();
    }
    QHash<QString, Written> written;
    for (auto it = pending_.cbegin(); ok && it != pending_.cend(); ++it) {
        const auto known = written_.constFind(it.key());
        Written& room = written[it.key()];
        if (known != written_.constEnd()) room = *known;
        const QString fault = writeRoom(it.key(), it.value(), room);
        ok = fault.isEmpty();
        if (!ok) why = QStringLiteral("room %1: %2").arg(it.key(), fault);
    }
    if (ok) {
        ok = db.commit();
        if (!ok) why = db.lastError().text();
    } else {
        db.rollback();
    }
    if (!ok) {
        nextRow_ = nextRowBefore;
        firstKept_ = firstKeptBefore;
        if (writtenBefore) written_ = std::move(*writtenBefore);
        if (!failing_)
            logLine(QStringLiteral("the rooms could not be written (kept to try again): %1").arg(why));
        failing_ = true;
        return false;
    }
    if (writtenBefore) tidiedAt_ = nextRow_;
    if (failing_) logLine(QStringLiteral("the rooms are written again"));
    failing_ = false;
    for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) {
        const Pending& change = it.value();
        if (change.gone) {
            written_.remove(it.key());
            continue;
        }
        written_[it.key()] = written[it.key()];
        if (change.snapshot) ++snapshotsWritten_;
        runsWritten_ += static_cast<qint64>(change.runs.size());
    }
    ++commits_;
    roomsWritten_ += pending_.size();
    pending_.clear();
    return true;
}

QString RoomStore::tidyJournal() {
    const auto run = [](QSqlQuery& q) { return q.exec() ? QString() : lastError(q); };
    qint64 needed = nextRow_; // the oldest row a room needs
    qint64 rows = 0;          // the rows rooms need
    for (const Written& room : std::as_const(written_)) {
        if (room.firstRow != 0) needed = std::min(needed, room.firstRow);
        rows += room.rows;
    }
    qint64 keepFrom = needed;
    if (needed <= firstKept_) {
        // Nothing can go: a room that stopped playing holds the start. When the journal has grown far
        // past what the rooms need, the rooms whose rows start in its older half have all their rows
        // moved to its end, in their order.
        const qint64 size = nextRow_ - firstKept_;
        if (size <= 2 * rows + limits_.slack) return {};
        keepFrom = firstKept_ + size / 2;
        QSqlQuery& find = statement("SELECT id, room FROM journal ORDER BY id");
        if (const QString why = run(find); !why.isEmpty()) return why;
        std::vector<std::pair<qint64, QString>> moving;
        while (find.next()) {
            const QString code = find.value(1).toString();
            const auto room = written_.constFind(code);
            const qint64 id = find.value(0).toLongLong();
            if (room != written_.constEnd() && room->firstRow != 0 && room->firstRow < keepFrom &&
                id >= room->firstRow)
                moving.emplace_back(id, code);
        }
        find.finish();
        QSqlQuery& move = statement("UPDATE journal SET id = ? WHERE id = ?");
        QSet<QString> moved;
        for (const auto& [id, code] : moving) {
            if (!moved.contains(code)) {
                moved.insert(code);
                written_[code].firstRow = nextRow_;
            }
            move.addBindValue(nextRow_++);
            move.addBindValue(id);
            if (const QString why = run(move); !why.isEmpty()) return why;
        }
        rowsMoved_ += static_cast<qint64>(moving.size());
    }
    QSqlQuery& drop = statement("DELETE FROM journal WHERE id < ?");
    drop.addBindValue(keepFrom);
    if (const QString why = run(drop); !why.isEmpty()) return why;
    firstKept_ = keepFrom;
    return {};
}

} // namespace dealbrix::net
