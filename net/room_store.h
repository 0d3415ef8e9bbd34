#pragma once
// The server's rooms on disk: one SQLite database in the data folder, written through Qt SQL. Every
// change a room reports is queued and the queue is written in one transaction per batch (the server
// commits before it sends the messages that show the changes), so a killed server loses nothing a
// client has seen. A room is written whole (its snapshot) when it is new, when anything but its game
// changed, and every kSnapshotEveryRuns actions; in between only each action carried out is added,
// with the log lines it wrote, as one row at the end of the journal table that all rooms share. A
// batch of actions from many rooms then fills a page or two at the end of one table, not a page in
// each room's part of the database. Reading a room back plays its journal rows again on its snapshot
// with the room's own dice. Rows no room needs any more are deleted from the start of the journal
// now and then; the few of a room that stopped playing are moved to its end first.
// Commits do not sync the disk (write-ahead log, synchronous=NORMAL): the kernel has the data once a
// commit returns, which is all a killed process needs. A thread of its own copies the log into the
// database and syncs it about once a second, which is what a power cut needs.

#include "room.h"

#include <QHash>
#include <QJsonArray>
#include <QLockFile>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QSqlQuery;

namespace dealbrix::net {

/// How long the store keeps rooms.
struct RoomRetention {
    int finishedRoomHours = 24; // a room whose game is over, after its end
    int idleRoomDays = 7;       // a room nobody has touched (no change, nobody joining)
};

/// When the store tidies its journal (counted in rows): tests make these small.
struct JournalLimits {
    qint64 sweepEvery = 4096; // rows added between two looks at what can be deleted
    qint64 slack = 65536;     // rows kept beyond twice the ones rooms need before the needed are moved
};

/// A room read back from the store, with its times (milliseconds since the epoch, UTC).
struct StoredRoom {
    RoomSnapshot snapshot;
    qint64 updatedMs = 0;
    std::optional<qint64> finishedMs;
};

/// The rooms of one server in `DIR/rooms.sqlite`.
class RoomStore final : public RoomJournal {
  public:
    /// The schema this server writes; a database of a later one is refused, never changed. An
    /// earlier one is brought up to this one (schema 2 added a runs table keyed by room, schema 3
    /// put the runs with their log lines in one journal in the order they were written).
    static constexpr int kSchemaVersion = 3;
    /// Actions recorded after a room's snapshot before it is written whole again.
    static constexpr qint64 kSnapshotEveryRuns = 256;
    /// The database's file name in the data folder.
    static constexpr const char* kFileName = "rooms.sqlite";

    /// Opens (or creates) the store in `directory`. Nothing, with `error` set to a sentence, when the
    /// folder cannot be used, another server holds it, or the file is not a sound database of this
    /// program's schema or an earlier one (a damaged, truncated or newer file is left as it is).
    static std::unique_ptr<RoomStore> open(const QString& directory, RoomRetention retention, QString* error,
                                           JournalLimits limits = {});
    ~RoomStore() override;
    RoomStore(const RoomStore&) = delete;
    RoomStore& operator=(const RoomStore&) = delete;

    /// The database file.
    const QString& path() const { return path_; }
    /// Where the store's log lines go (damaged rooms, failed commits); the default writes nothing.
    void setLog(std::function<void(const QString&)> log) { log_ = std::move(log); }

    /// Removes the rooms past their time (`nowMs` since the epoch), then reads every room left. A
    /// room that cannot be read back is moved aside to the damaged_rooms table and logged; the
    /// others load.
    std::vector<StoredRoom> loadRooms(qint64 nowMs);

    // RoomJournal: the room's state is taken now, written at the next commit.
    void roomChanged(const Room& room) override;
    void roomClosed(const QString& code) override;
    /// Writes every queued change in one transaction. False when the database refused it: the
    /// changes stay queued for the next commit and the failure is logged.
    bool commit() override;

    /// True while changes wait for a commit.
    bool hasPending() const { return !pending_.isEmpty(); }
    /// Commits so far, and rooms written by them (a room changed twice in a batch is written once).
    qint64 commits() const { return commits_; }
    qint64 roomsWritten() const { return roomsWritten_; }
    /// Rooms written whole (snapshots), and actions written as runs, by the commits so far.
    qint64 snapshotsWritten() const { return snapshotsWritten_; }
    qint64 runsWritten() const { return runsWritten_; }
    /// Journal rows moved to its end (of rooms that stopped playing) so that older rows could go.
    qint64 rowsMoved() const { return rowsMoved_; }
    /// Copies the write-ahead log into the database and syncs it now (the thread does it on its own).
    void checkpoint();

    /// The room as the store writes it: writeRoomSnapshot without its log and chat, which are kept in
    /// tables of their own; and back: nothing, with `error` set, when the text is not a sound room
    /// of that `code`.
    static QByteArray encodeSnapshot(const RoomSnapshot& snapshot);
    static std::optional<RoomSnapshot> decodeSnapshot(const QByteArray& text, const QString& code,
                                                      QString* error);

  private:
    struct Pending {
        bool gone = false;                    // the room is closed for good
        std::optional<RoomSnapshot> snapshot; // the whole room; or nothing, and only:
        std::vector<RoomRun> runs;            // the runs after those written or queued (none: touched)
        QStringList log;                      // with the runs: the room's newest log lines
        qint64 logTotal = 0;
        qint64 logFrom = 0; // the log lines before the first run's own
        qint64 atMs = 0;
    };
    /// What is written or queued of a room, to tell whether its change is only runs of its game.
    struct Known {
        qint64 runs = 0;
        qint64 snapshotRuns = 0; // the runs of the last snapshot
        PlayerArray<RoomSeat> seats{};
        QByteArray hostTokenHash;
        qint64 chatTotal = 0;
        qint64 logTotal = 0; // the log lines the runs and snapshot cover
        bool started = false;
    };
    struct Written {
        qint64 logTotal = 0;    // log lines written in the log's chunks so far
        qint64 chatTotal = 0;   // chat lines written so far
        qint64 journalFrom = 0; // journal rows from this id on may be the room's (older ones never)
        qint64 firstRow = 0;    // the id of the room's first row after its snapshot; 0: none
        qint64 rows = 0;        // and how many it has
    };
    class Checkpointer;

    RoomStore(QString directory, RoomRetention retention, JournalLimits limits);
    QString openDatabase();
    /// Writes one room's change, updating `written` (what is written of the room) to match; an empty
    /// string, or what the database said.
    QString writeRoom(const QString& code, const Pending& change, Written& written);
    /// Deletes the journal rows no room needs, first moving the rows of rooms that hold too many
    /// back; an empty string, or what the database said.
    QString tidyJournal();
    /// Writes the log lines of `log` (the newest of `logTotal`) that are not written yet.
    QString writeLog(const QString& code, const QStringList& log, qint64 logTotal, qint64 writtenTotal);
    /// Remembers `snapshot` as written or queued.
    void know(const RoomSnapshot& snapshot, qint64 snapshotRuns);
    /// One journal row as read back.
    struct JournalRow {
        qint64 id = 0;
        RoomRun run;
        QString kind;
        QJsonArray lines; // the log lines the run wrote
    };
    /// Plays `rows` on `snapshot` and adds their lines to `log` (the lines by number), then gives the
    /// room the newest of those up to its total; false when a row could not be played.
    static bool replayRows(RoomSnapshot& snapshot, const std::vector<JournalRow>& rows,
                           std::map<qint64, QString>& log);
    /// The statement `sql` (a literal), prepared once.
    QSqlQuery& statement(const char* sql);
    void removeExpired(qint64 nowMs);
    void setAside(const QString& code, const QByteArray& snapshot, const QString& reason, qint64 nowMs);
    void logLine(const QString& line) const;

    QString directory_;
    QString path_;
    QString connection_;
    RoomRetention retention_;
    JournalLimits limits_;
    QLockFile lock_;
    QHash<QString, Pending> pending_;
    QHash<QString, Written> written_;
    QHash<QString, Known> known_;
    struct Statements;
    std::unique_ptr<Statements> statements_;
    qint64 commits_ = 0;
    qint64 roomsWritten_ = 0;
    qint64 snapshotsWritten_ = 0;
    qint64 runsWritten_ = 0;
    qint64 rowsMoved_ = 0;
    qint64 nextRow_ = 1;   // the id the next journal row gets
    qint64 firstKept_ = 1; // no journal row is older than this one
    qint64 tidiedAt_ = 1;  // nextRow_ when the journal was last tidied
    bool canTidy_ = false; // every room with rows is known: the journal was empty, or rooms were read
    bool failing_ = false; // the last commit failed: logged once until one succeeds
    std::function<void(const QString&)> log_;
    std::unique_ptr<Checkpointer> checkpointer_;
};

} // namespace dealbrix::net
