#pragma once
// The game server's message handling, apart from the sockets: connections come in as numbers, each
// message is judged and answered, and what must go out is handed to a Transport. The socket server
// (server.h), the tests and the fuzzer all drive this one class.

#include "protocol.h"
#include "room.h"

#include <QHash>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace dealbrix::net {

/// How often a connection that is not to move hears of the room's moves, at most: ten times a second,
/// which people never move faster than (so at their tables nothing waits), and which folds the many
/// moves a table of computer clients makes meanwhile into one.
inline constexpr int kDefaultWatchIntervalMs = 100;

/// Every limit the server keeps; each is an option of dealbrix-server.
struct ServerLimits {
    int maxMessageBytes = 64 * 1024;
    int burstMessages = 60;        // messages a connection may send at once...
    double messagesPerSecond = 20; // ...and steadily afterwards
    int connectionsPerAddress = 16;
    int maxRooms = 1000;
    int roomsPerAddress = 20;  // open rooms created from one address, so one client cannot fill the server
    int handshakeSeconds = 10; // to finish the WebSocket handshake and send hello
    int pingSeconds = 30;      // a ping to every connection this often
    int silentSeconds = 60;    // a connection heard nothing from this long is dropped
    int chatLength = kDefaultChatLength;
    int nameLength = kDefaultNameLength;
    int failuresAllowed = 10; // wrong room codes, passwords and tokens before a connection is closed
    int computerDelayMs = kDefaultComputerDelayMs; // pause before each computer move, so people can follow it
    int roomIdleMinutes = 30;                      // a room nobody is connected to closes after this long
    int finishedRoomMinutes = 0; // a room whose game is over stays this long after its end, once empty
    // A connection with no move to make is sent the room's state at most this often (the latest one, its
    // boxes all kept); 0 sends every state at once.
    int watchIntervalMs = kDefaultWatchIntervalMs;
};

/// WebSocket close codes the server uses.
namespace closeCode {
inline constexpr int kGoingAway = 1001;
inline constexpr int kProtocolError = 1002;
inline constexpr int kUnsupportedData = 1003;
inline constexpr int kPolicyViolation = 1008;
inline constexpr int kTooMuchData = 1009;
} // namespace closeCode

/// Where the core's output goes.
class Transport {
  public:
    virtual ~Transport() = default;
    /// Sends one text message on connection `id`.
    virtual void send(int id, const QByteArray& text) = 0;
    /// Closes connection `id` with a WebSocket close code; the core forgets it at once.
    virtual void close(int id, int code, const QString& reason) = 0;
    /// Asks for `ServerCore::stepRoom(room)` to be called after `delayMs`, on the event loop.
    virtual void scheduleStep(const QString& room, int delayMs) = 0;
    /// Asks for `ServerCore::catchUp(room, now)` to be called after `delayMs`, on the event loop.
    virtual void scheduleCatchUp(const QString& room, int delayMs) = 0;
};

/// Counters for the summary log line.
struct ServerStats {
    qint64 actions = 0; // completed actions in every room
    qint64 errors = 0;  // error messages sent
    qint64 messages = 0;
};

/// The server's rooms and connections, and the judging of every message.
class ServerCore final : public RoomEvents {
  public:
    /// `serverId` starts every room code ("" for none); `serverName` goes into welcome.
    ServerCore(Transport& transport, ServerLimits limits, QString serverId, QString serverName);
    ~ServerCore() override;

    /// A new connection from `address`; nothing when that address already has as many as allowed
    /// (the caller closes it).
    std::optional<int> openConnection(const QString& address, qint64 nowMs);
    /// One text message received on `id` at `nowMs` (milliseconds of any steady clock).
    void receive(int id, const QByteArray& text, qint64 nowMs);
    /// A binary message: the protocol has none.
    void receiveBinary(int id);
    /// The connection is gone (closed by either side).
    void connectionClosed(int id);
    /// True when `id` has said hello.
    bool greeted(int id) const;
    /// One computer move in `room` at `nowMs`, scheduled earlier through the transport.
    void stepRoom(const QString& room, qint64 nowMs);
    /// Sends the connections of `room` that were held back what they missed, scheduled earlier
    /// through the transport.
    void catchUp(const QString& room, qint64 nowMs);
    /// Closes rooms nobody has been connected to for the idle limit, and rooms whose game is over and
    /// whose clients have all gone.
    void closeIdleRooms(qint64 nowMs);

    /// The persistence seam: the journal is told of every change (nullptr for none).
    void setJournal(RoomJournal* journal) { journal_ = journal; }
    /// Opens a room read back from a store; false when its code is in use or the room is full.
    /// It has been empty for `idleForMs` and its game over for `endedForMs`.
    bool restoreRoom(const RoomSnapshot& snapshot, qint64 nowMs, qint64 idleForMs = 0, qint64 endedForMs = 0);
    /// Where log lines go (one per room event); the default writes nothing.
    void setLog(std::function<void(const QString&)> log) { log_ = std::move(log); }

    const ServerLimits& limits() const { return limits_; }
    int roomCount() const { return static_cast<int>(rooms_.size()); }
    int connectionCount() const { return static_cast<int>(connections_.size()); }
    const ServerStats& stats() const { return stats_; }
    /// The room with `code`, or nullptr (tests and the store read it).
    const Room* room(const QString& code) const;
    /// Every connection id, for the socket layer's goodbye.
    QList<int> connectionIds() const;

    // RoomEvents
    void roomBox(const QString& room, qint64 version, const Box& box) override;
    void roomState(const QString& room) override;
    void roomQuestion(const QString& room, int id, const Box& box) override;
    void roomSeats(const QString& room) override;
    void roomChat(const QString& room, const ChatLine& line) override;
    void roomEnded(const QString& room, int winner) override;

    /// The `state` message of `room` as every client of it receives it.
    QByteArray stateMessage(const Room& room) const;
    /// The `question` message of question `id` of `room`.
    QJsonObject questionMessage(const Room& room, int id, const Box& box) const;

  private:
    struct Connection {
        QString address;
        bool greeted = false;
        QString room;     // the room joined, empty for none
        QList<int> seats; // seats held there
        bool host = false;
        QString created; // the last room it created: joining it makes it the host
        QString name;
        double allowance = 0; // messages it may still send now
        qint64 refilledMs = 0;
        int failures = 0;
        bool changes = false;                  // asked in its hello for changes rather than whole states
        std::shared_ptr<const StateText> held; // the room's state text it was sent last, none yet
        qint64 heldSerial = -1;                // that text's number (RoomEntry::stateSerial)
        qint64 heldSinceMs = 0;                // when it was sent
        bool behind = false;                   // a later state is held back from it until the catch-up
        std::vector<QByteArray> waiting;       // the boxes held back with it, in order
    };
    struct RoomEntry {
        std::unique_ptr<Room> room;
        qint64 emptySinceMs = 0; // when its last connection left
        qint64 endedMs = 0;      // when its game ended
        QString creator;         // the address that created it
        bool stepScheduled = false;
        bool catchUpScheduled = false;
        std::vector<int> members; // the connections in it, so a message to the room costs what the room has
        std::shared_ptr<const StateText> stateText; // its `state` field as sent last
        qint64 stateSerial = -1; // counts the texts: a client is sent a change only from the text it has
        std::vector<QByteArray> boxes; // the boxes of the action under way, sent with its state
    };

    void handle(int id, Connection& c, const QJsonObject& m);
    void hello(int id, Connection& c, const QJsonObject& m);
    void createRoom(int id, Connection& c, const QJsonObject& m);
    void join(int id, Connection& c, const QJsonObject& m);
    void roomInfo(int id, const QJsonObject& m);
    void action(int id, Connection& c, const QJsonObject& m);
    void answer(int id, Connection& c, const QJsonObject& m);
    void chat(int id, Connection& c, const QJsonObject& m);
    void startRoom(int id, Connection& c);
    void setComputer(int id, Connection& c, const QJsonObject& m);
    void leaveRoom(int id, Connection& c);
    void enterRoom(int id, Connection& c, RoomEntry& entry);
    /// Moves connection `id` into the room `code` (empty: out of any), keeping the rooms' member lists.
    void setRoom(int id, Connection& c, const QString& code);

    void send(int id, const QJsonObject& message);
    void sendError(int id, ErrorCode code, const QString& sentence);
    /// Refuses and counts a failure (wrong code, password or token); closes after too many.
    void fail(int id, Connection& c, ErrorCode code, const QString& sentence);
    /// Sends an error and closes the connection.
    void breakOff(int id, ErrorCode code, const QString& sentence, int closeCode);
    void broadcast(const QString& room, const QJsonObject& message);
    void broadcast(const QString& room, const QByteArray& text);
    void sendSeats(const QString& room);
    /// Sends the room's new state, with the boxes before it, to every connection in it that must hear of
    /// it now, and holds it back from the others until the room's catch-up.
    void broadcastState(RoomEntry& entry);
    /// True when connection `id` is told of the room's new state at once: it sent the move, may move
    /// next, or has heard nothing for the watch interval.
    bool hearsAtOnce(int id, const Connection& c, const Room& room) const;
    /// Sends `c` the room's boxes held back for it, then the room's latest state: as a change from the
    /// text it holds when it asked for changes (made once per base through `made`), else whole.
    struct MadeStates;
    void sendLatest(int id, Connection& c, RoomEntry& entry, MadeStates& made);
    /// Sends one message to `id`, after whatever was held back from it, so nothing overtakes the state.
    void deliver(int id, const QByteArray& text);
    /// Sends the whole state to connection `id` as it enters the room.
    void sendWholeState(int id, Connection& c, RoomEntry& entry);
    /// The fields of the room's state message besides the game, its state text numbered `stateId`.
    static StateFields stateFields(const Room& room, qint64 stateId);
    void afterRoomChange(const QString& code);
    void logLine(const QString& line) const;
    QString newRoomCode() const;
    std::vector<int> connectedPerSeat(const QString& room) const;
    std::optional<QString> validName(const QJsonObject& m) const;
    /// A room by the code a client typed (trimmed, any case).
    RoomEntry* findRoom(const QString& code);
    /// A room by its exact code, as the server keeps it.
    RoomEntry* entryOf(const QString& code);
    const RoomEntry* entryOf(const QString& code) const;

    Transport& transport_;
    ServerLimits limits_;
    QString serverId_;
    QString serverName_;
    std::map<int, Connection> connections_;
    std::map<QString, RoomEntry> rooms_;
    QHash<QString, int> perAddress_;
    int nextId_ = 1;
    qint64 stateSerials_ = 0;
    qint64 nowMs_ = 0;
    int sender_ = 0; // the connection whose message is being handled, 0 for none
    RoomJournal* journal_ = nullptr;
    std::function<void(const QString&)> log_;
    ServerStats stats_;
};

/// Room codes: `serverId` (uppercased) and a dash when given, then eight characters of 32 (40 bits).
inline constexpr int kRoomCodeLength = 8;
/// True when `id` may start room codes: 1..8 letters and digits.
bool isValidServerId(const QString& id);

} // namespace dealbrix::net
