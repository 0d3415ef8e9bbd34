#pragma once
// A client of the game server: one WebSocket connection speaking the protocol, holding what the
// server last told (the room's game, its seats, the question waiting for this client's seats).
// The desktop windows, the headless bot and the load tester drive rooms through it. No widgets.
//
// A connection that drops unexpectedly comes back by itself, with growing pauses, for at least
// kReconnectWindowMs, and rejoins its room with its token.

#include "protocol.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <optional>

class QWebSocket;

namespace dealbrix::net {

/// A question waiting for one of this client's seats.
struct Question {
    int id = 0;
    Box box;
    std::optional<Action> offer; // for a trade question: the offer's money fields as typed
};

/// What the server told of a room before joining it.
struct RoomInfo {
    QString room;
    int players = 0;
    bool password = false; // a password is needed
    bool started = false;
    bool ended = false;
    QList<SeatInfo> seats;
    HouseRules rules; // the rules and starting money the room plays by
};

/// The protocol's client side.
class Client final : public QObject {
    Q_OBJECT
  public:
    /// How long a dropped client keeps trying to come back.
    static constexpr int kReconnectWindowMs = 5 * 60 * 1000;
    /// The first pause before coming back, doubled each try up to kReconnectMaxDelayMs.
    static constexpr int kReconnectFirstDelayMs = 250;
    static constexpr int kReconnectMaxDelayMs = 8000;

    /// A client that introduces itself as `clientName` (e.g. "Dealbrix 0.1").
    explicit Client(QString clientName, QObject* parent = nullptr);
    ~Client() override;

    // --- The connection ---------------------------------------------------------------------
    /// Connects to `url` (see serverUrl) and says hello; `ready` follows the server's welcome. With a
    /// `room` code it connects to the room's path (see roomUrl), which a proxy routes to the server
    /// holding the room; once in a room, coming back after a drop takes that path too.
    void connectTo(const QUrl& url, const QString& room = {});
    /// The address the connection opens (with the room's path once one is known).
    const QUrl& url() const { return url_; }
    /// Closes the connection for good: no reconnecting; the seats held stay held on the server.
    void disconnectFromServer();
    /// True between the server's welcome and the connection's end.
    bool isReady() const { return ready_; }
    /// Whether a dropped connection comes back by itself (on by default).
    void setAutoReconnect(bool on) { autoReconnect_ = on; }
    /// The server's name from its welcome.
    const QString& serverName() const { return serverName_; }

    // --- Rooms (each may be called before `ready`: it is sent once the server has welcomed) ----
    /// Asks for a room for `players` with `computerSeats` played by the computer, each at its level in
    /// `levels`, played by `rules`; `roomCreated` answers (or `error` badSettings).
    void createRoom(int players, const QList<int>& computerSeats, const QString& password = {},
                    const HouseRules& rules = {}, const PlayerArray<ComputerLevel>& levels = {});
    /// Takes `seats` of `room` (empty to watch); `joined` answers, then the room's state.
    void join(const QString& room, const QList<int>& seats, const QString& password = {},
              const QString& name = {});
    /// Comes back to `room` with the `token` of an earlier join (and the host token, if any).
    void rejoin(const QString& room, const QString& token, const QString& hostToken = {});
    /// Asks what `room` is like (seats, password); `roomInfoReceived` answers.
    void requestRoomInfo(const QString& room);
    /// Leaves the room; the seats stay held with the token.
    void leave();

    // --- Playing ----------------------------------------------------------------------------
    /// Sends an action for the seat holding the turn.
    void sendAction(const Action& action);
    /// Answers the open question Yes or No; false when none is open.
    bool answer(bool yes);
    /// Answers the open amount question (0 passes); false when none is open.
    bool answerAmount(int amount);
    /// Sends a chat line (cut to the default length, control characters made blanks).
    void sendChat(const QString& text);
    /// The host starts the room now; the computer plays seats nobody has taken.
    void startRoom();
    /// The host hands `seat` to the computer, or back to the person holding it.
    void setComputer(int seat, bool computer);

    // --- What the server last told ---------------------------------------------------------
    const QString& room() const { return room_; }
    const QList<int>& seats() const { return seats_; }
    bool holdsSeat(int seat) const { return seats_.contains(seat); }
    /// The token of this client's seats (keep it to come back), and the host token from createRoom.
    const QString& token() const { return token_; }
    const QString& hostToken() const { return hostToken_; }
    bool isHost() const { return host_; }
    bool hasState() const { return hasState_; }
    /// The rules of the room joined, as the server told them on joining.
    const HouseRules& rules() const { return rules_; }
    /// The room's game as last told (the decks placeholders in order: no client knows them).
    const GameState& state() const { return state_; }
    /// Completed actions of the room's game, as of `state`.
    qint64 version() const { return version_; }
    /// The seat a question waits for, 0 when none.
    int waitingFor() const { return waitingFor_; }
    bool started() const { return started_; }
    bool ended() const { return ended_; }
    const QList<SeatInfo>& seatInfo() const { return seatInfo_; }
    /// The question waiting for one of this client's seats, if any.
    const std::optional<Question>& openQuestion() const { return question_; }
    /// The seat that acts now: the one asked while a question waits, else the one holding the turn.
    int actingSeat() const;
    /// True when one of this client's seats acts now and a person (not the computer) plays it.
    bool mayAct() const;
    /// The money fields of the offer a partner is being asked about, as typed, while one is.
    const std::optional<Action>& offerOnTable() const { return offer_; }
    /// The last complete `state` message's JSON, as received (tests compare it with the server's).
    const QJsonObject& lastStateJson() const { return lastStateJson_; }

  signals:
    /// Every message received, as it came, before it is read (logs and tests watch it).
    void messageReceived(const QJsonObject& message);
    void ready(const QString& server);
    void roomCreated(const QString& room, const QString& hostToken);
    void joined(const QString& room, const QList<int>& seats, const QString& token);
    void roomInfoReceived(const dealbrix::net::RoomInfo& info);
    /// The log and chat of the room so far, sent once on joining.
    void historyReceived(const QStringList& log, const QList<dealbrix::net::ChatLine>& chat);
    void stateChanged();
    /// A box of an action; on the acting seat's client the usual OK box, elsewhere a log line.
    void boxReceived(const dealbrix::Box& box, qint64 version);
    void questionAsked(int id, const dealbrix::Box& box);
    void seatsChanged();
    void chatReceived(const dealbrix::net::ChatLine& line);
    void roomEnded(int winner);
    void errorReceived(const QString& code, const QString& message);
    void left(const QString& room);
    /// The connection dropped; `reconnecting` follows while coming back is possible.
    void connectionLost();
    void reconnecting(int attempt, int delayMs);
    /// Back in the room after a drop.
    void reconnected();
    /// Coming back failed for the whole window, or the server refused the token.
    void gaveUp();
    /// The connection ended and will not come back.
    void disconnected();

  private:
    void open();
    void sendNow(const QJsonObject& message);
    void sendWhenReady(const QJsonObject& message);
    void received(const QString& text);
    void handle(const QJsonObject& m);
    void socketClosed();
    void scheduleReconnect();
    void readState(const QJsonObject& m);

    QString clientName_;
    QWebSocket* socket_ = nullptr;
    QUrl url_;
    QUrl serverUrl_; // the server's own address, without a room's path
    bool ready_ = false;
    bool closing_ = false; // disconnectFromServer was called
    bool autoReconnect_ = true;
    bool comingBack_ = false;
    int attempts_ = 0;
    QElapsedTimer droppedFor_;
    QTimer reconnectTimer_;
    QList<QJsonObject> outbox_;
    QString serverName_;

    QString room_;
    QList<int> seats_;
    HouseRules rules_;
    QString token_;
    QString hostToken_;
    bool host_ = false;
    bool watching_ = false;
    bool hasState_ = false;
    GameState state_;
    QJsonObject lastStateJson_;
    qint64 version_ = 0;
    int waitingFor_ = 0;
    bool started_ = false;
    bool ended_ = false;
    QList<SeatInfo> seatInfo_;
    std::optional<Question> question_;
    std::optional<Action> offer_;
    QString password_; // a watcher comes back with it
};

} // namespace dealbrix::net
