#pragma once
// A room: one game on the server, its seats and who holds them, its chat and log. The room alone runs
// the rules and rolls the dice; it judges every action against the seats of the connection sending
// it. No sockets here: the server hands messages in and sends out what the room reports.

#include "computer_player.h"
#include "game.h"
#include "protocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace dealbrix::net {

/// A seedable random source whose whole state is one number, so a room written out and read back
/// rolls the same dice for an action sent again.
class RoomRandom final : public RandomSource {
  public:
    explicit RoomRandom(std::uint64_t seed) : state_(seed) {}
    float next() override;
    std::uint64_t state() const { return state_; }
    void setState(std::uint64_t state) { state_ = state; }

  private:
    std::uint64_t state_;
};

/// What the room's creator chose.
struct RoomSettings {
    int players = 2;          // 2..4
    ComputerSeats computer{}; // seats the computer plays from the start
    /// The level the computer plays each seat at, whenever it plays it; fixed with the room.
    PlayerArray<ComputerLevel> levels{};
    /// The house rules and starting money, chosen before the start and fixed from then on.
    HouseRules rules;
    QByteArray passwordHash; // empty: no password
    QByteArray passwordSalt;
    bool operator==(const RoomSettings&) const = default;
};

/// One seat as the room keeps it. Tokens are kept only as hashes.
struct RoomSeat {
    QString name;
    bool computer = false; // the computer plays it now
    QByteArray tokenHash;  // the person's token, hashed; empty while the seat is free
    bool operator==(const RoomSeat&) const = default;
};

/// The room's whole state: what a later store writes after each completed action and reads back at
/// start. Nothing here is secret but the hashes; none of it goes to a client as it stands.
struct RoomSnapshot {
    QString code;
    RoomSettings settings;
    GameState state;
    std::optional<ActionInProgress> inProgress; // the action waiting for its question's answer
    PlayerArray<RoomSeat> seats{};
    QByteArray hostTokenHash;
    QStringList log;
    std::vector<ChatLine> chat;
    qint64 version = 0; // completed actions
    int questionId = 0; // the id of the latest question asked
    std::uint64_t random = 0;
    std::uint64_t computerSeed = 0;
    bool started = false;
    bool ended = false;
    qint64 logTotal = 0;  // log lines ever added; `log` keeps the last kLogKept
    qint64 chatTotal = 0; // chat lines ever sent; `chat` keeps the last kChatKept
    qint64 runs = 0;      // actions, answers and the start the rules have carried out (see RoomRun)
    bool operator==(const RoomSnapshot&) const = default;
};

/// One action the rules carried out in a room (an answer as an Answer action, the start as Start), as
/// a store records it between two snapshots: played again on the snapshot with the room's own dice,
/// the runs give the room back as it was.
struct RoomRun {
    qint64 seq = 0; // the room's run count after it
    Action action;
    qint64 logTotal = 0; // the room's log lines ever added, after it
    bool operator==(const RoomRun&) const = default;
};

/// The snapshot as JSON for a store: the game, its log and its action in progress in the saved-game
/// format under "game", the room's own fields beside it. 64-bit numbers are written as decimal texts.
QByteArray writeRoomSnapshot(const RoomSnapshot& snapshot);
/// Reads what writeRoomSnapshot wrote; nothing, with `error` set, for anything else or a damaged game.
std::optional<RoomSnapshot> readRoomSnapshot(const QByteArray& bytes, QString* error = nullptr);

/// What a room tells the connections in it. The server sends each on as a message.
class RoomEvents {
  public:
    virtual ~RoomEvents() = default;
    /// A box of the action in progress; `version` is that of the state that follows it.
    virtual void roomBox(const QString& room, qint64 version, const Box& box) = 0;
    /// The state changed (an action done, or stopped at a question).
    virtual void roomState(const QString& room) = 0;
    /// A question waits for `box.seat`.
    virtual void roomQuestion(const QString& room, int id, const Box& box) = 0;
    /// Seats were taken, left, or handed to or from the computer.
    virtual void roomSeats(const QString& room) = 0;
    /// A chat line was sent.
    virtual void roomChat(const QString& room, const ChatLine& line) = 0;
    /// The game is over: `winner` 0 when no player is left.
    virtual void roomEnded(const QString& room, int winner) = 0;
};

/// The persistence seam: told of every change worth keeping. A store (e.g. SQLite) writes
/// `room.snapshot()`; the server reopens rooms from the snapshots it reads back.
class RoomJournal {
  public:
    virtual ~RoomJournal() = default;
    /// The room changed: an action completed or stopped at a question, a seat, a name or chat line.
    virtual void roomChanged(const class Room& room) = 0;
    /// The room is gone for good (its game over and its clients gone, or left idle).
    virtual void roomClosed(const QString& code) = 0;
    /// Makes every change told so far survive a killed server; the server calls it before it sends
    /// the messages that show those changes. False when that failed (the journal retries later).
    virtual bool commit() { return true; }
};

/// A room's answer to a join.
struct JoinOutcome {
    std::optional<ErrorCode> error;
    QList<int> seats;
    QString token; // the new token; empty for a watcher and for a comeback with a token
    bool host = false;
};

/// One game on the server.
class Room {
  public:
    /// A new room; its dice come from `seed`, its token hashes and passwords salted with fresh bytes.
    Room(QString code, RoomSettings settings, std::uint64_t seed, RoomEvents& events);
    /// A room read back from a store.
    Room(const RoomSnapshot& snapshot, RoomEvents& events);
    ~Room();
    Room(const Room&) = delete;
    Room& operator=(const Room&) = delete;

    /// The room's whole state, for a store.
    RoomSnapshot snapshot() const;
    const QString& code() const { return code_; }
    int players() const { return settings_.players; }
    bool hasPassword() const { return !settings_.passwordHash.isEmpty(); }
    /// The rules the room's game is played by.
    const HouseRules& rules() const { return game_->state.rules; }
    /// The level the computer plays `seat` at (whenever it plays it).
    ComputerLevel level(int seat) const { return computer_->level(seat); }
    bool started() const { return started_; }
    bool ended() const { return ended_; }
    qint64 version() const { return version_; }
    const Game& game() const { return *game_; }
    /// The id of the open question, 0 when none.
    int openQuestionId() const;
    /// The seat the open question asks, 0 when none.
    int waitingFor() const;
    QList<SeatInfo> seats(const std::vector<int>& connectedPerSeat) const;
    /// The money fields of the offer its partner is being asked about, as typed; nothing otherwise.
    std::optional<Action> offerOnTable() const;
    const QStringList& log() const { return log_; }
    const std::vector<ChatLine>& chat() const { return chat_; }
    /// Log and chat lines ever added (the snapshot's totals).
    qint64 logTotal() const { return logTotal_; }
    qint64 chatTotal() const { return chatTotal_; }
    /// The host's token, hashed; empty for none.
    const QByteArray& hostTokenHash() const { return hostTokenHash_; }
    const RoomSeat& seat(int seat) const { return seats_[seat]; }

    /// Salted hash of a password, as RoomSettings keeps it.
    static QByteArray hashPassword(const QString& password, const QByteArray& salt);
    /// True when `password` is the room's (or the room has none). Constant time in the hash.
    bool passwordFits(const QString& password) const;
    /// Takes `wanted` seats (all free, none the computer's) for a person called `name`; an empty list
    /// watches. A room with every person's seat taken starts itself.
    JoinOutcome join(const QList<int>& wanted, const QString& password, const QString& name);
    /// The seats held with `token`; badToken when none. `host` is set when it is the host's token.
    JoinOutcome rejoin(const QString& token);
    /// True when `token` is the room's host token.
    bool isHostToken(const QString& token) const;
    /// Makes `token` the host's (the creator's, given back in roomCreated).
    void setHostToken(const QString& token);

    /// True when a connection holding `seats` may move now: it holds the person's seat whose turn it is,
    /// or the one the open question asks.
    bool seatMayAct(const QList<int>& seats) const;
    /// Judges and carries out `action` sent by a connection holding `seats`: nothing changes on a refusal.
    std::optional<ErrorCode> act(const QList<int>& seats, const Action& action);
    /// Judges and carries out the answer to question `id`: `yes`, or `amount` for an amount question.
    std::optional<ErrorCode> answer(const QList<int>& seats, int id, bool yes, int amount);
    /// Adds a chat line from `seat` (0 a watcher) called `name`.
    void chat(int seat, const QString& name, const QString& text);
    /// The host starts now: seats no person holds go to the computer.
    std::optional<ErrorCode> startNow();
    /// The host hands `seat` to the computer or back to the person holding it.
    std::optional<ErrorCode> setComputer(int seat, bool computer);

    /// True when a computer seat has something to do now (its turn, or its question).
    bool computerDue() const;
    /// Carries out one computer move, if one is due; true when something happened.
    bool stepComputer();

    /// Runs carried out so far (the snapshot's `runs`).
    qint64 runs() const { return runs_; }
    /// The latest runs, oldest first, at most kRunsKept of them.
    const std::deque<RoomRun>& recentRuns() const { return recentRuns_; }
    /// Carries out runs recorded by a store after this room's snapshot, in order, telling nobody and
    /// adding no log line (the store keeps those). False at the first that does not follow on or that
    /// the rules refuse; the runs before it stay.
    bool replay(const std::vector<RoomRun>& runs);
    /// Runs the room remembers for a store that has not written them yet.
    static constexpr std::size_t kRunsKept = 16;

    /// Chat lines kept, oldest dropped first.
    static constexpr std::size_t kChatKept = 200;
    /// Log lines kept, oldest dropped first.
    static constexpr qsizetype kLogKept = 2000;

  private:
    class Screen;
    void createGame(std::uint64_t computerSeed);
    void startIfReady();
    void begin();
    std::optional<ErrorCode> run(const Action& action);
    void finish(ActionResult result);
    void addLog(const std::string& line);
    QByteArray hashToken(const QString& token) const;

    QString code_;
    RoomSettings settings_;
    RoomEvents& events_;
    RoomRandom random_;
    std::unique_ptr<Screen> screen_;
    std::unique_ptr<Game> game_;
    std::unique_ptr<ComputerPlayer> computer_;
    std::uint64_t computerSeed_ = 0;
    PlayerArray<RoomSeat> seats_{};
    QByteArray hostTokenHash_;
    QStringList log_;
    std::vector<ChatLine> chat_;
    qint64 logTotal_ = 0;
    qint64 chatTotal_ = 0;
    qint64 version_ = 0;
    int questionId_ = 0;
    bool started_ = false;
    bool ended_ = false;
    std::vector<Box> pendingBoxes_;
    int winner_ = 0;
    qint64 runs_ = 0;
    std::deque<RoomRun> recentRuns_;
    bool replaying_ = false;
};

/// A fresh token: 128 bits from the system's random generator, as 32 hex digits.
QString newToken();
/// True when `a` and `b` are equal, in time that depends only on their lengths.
bool equalInConstantTime(const QByteArray& a, const QByteArray& b);

} // namespace dealbrix::net
