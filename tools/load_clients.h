#pragma once
// Rooms of computer clients over real WebSockets, for dealbrix-loadtest and the server's kill test:
// each room has four connections, one per seat, playing the game through the protocol with the
// ComputerPlayer. The four connections of a room share one reading of each state they are sent (they
// are sent the same text), so the load falls on the server, not on this side. Every connection goes
// only to the address given; every room records the last state its clients saw.

#include "computer_player.h"
#include "game.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <vector>

class QWebSocket;

namespace dealbrix::load {

/// A state as the clients of a room saw it.
struct SeenState {
    qint64 version = -1; // -1: none seen
    QJsonObject state;   // the `state` field of the message (no decks: no client is sent them)
    int waitingFor = 0;
    bool ended = false;
};

/// How the rooms play.
struct LoadOptions {
    QUrl server;
    int rooms = 1;
    double pace = 1;           // actions per second per room; 0: as fast as the server answers
    bool keepFinished = false; // a finished room keeps its clients (a new room gets new ones)
    std::uint64_t seed = 1;
};

class LoadConnection;

/// One room and its four clients.
class LoadRoom {
  public:
    QString code;
    QString hostToken;
    SeenState last;             // the newest state any of its clients saw
    SeenState firstAfterRejoin; // the first state after reconnectAll()
    bool ready = false;         // every seat joined: the room is checked after a restart
    bool abandoned = false;     // its setup was cut off (the server went away before every seat joined)
    bool finished = false;
    std::vector<std::unique_ptr<LoadConnection>> seats; // seat 1..4 at 0..3

  private:
    friend class LoadConnection;
    friend class LoadRun;
    GameState current_;
    bool hasCurrent_ = false;
    QString currentText_; // the state message the current state was read from
    qint64 stateId_ = -1; // the server's number for it, which a change is made from
    // The `state` fields by number of the room's state and of each state a seat holds: the server
    // sends a seat it held back a change from the state it sent that seat last, older than the room's.
    std::vector<std::pair<qint64, QJsonObject>> held_;
    const QJsonObject* heldState(qint64 stateId) const;
    /// Keeps `state` as number `stateId`, and forgets the states neither the room nor a seat holds.
    void hold(qint64 stateId, const QJsonObject& state);
    void forgetUnheld();
    qint64 nextActMs_ = -1;      // when its next move is due on its own timetable, at a pace
    bool rejoinAwaited_ = false; // its clients are coming back after reconnectAll()
    std::unique_ptr<ComputerPlayer> computer_;
    std::unique_ptr<Game> mirror_;
    QTimer paceTimer_;
};

/// Every room of a run, and what was measured.
class LoadRun final : public QObject {
    Q_OBJECT
  public:
    explicit LoadRun(LoadOptions options, QObject* parent = nullptr);
    ~LoadRun() override;

    /// Opens the rooms (a few connections at a time, each after the one before is answered).
    void start();
    /// While paused no client acts (states are still read and recorded).
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    /// Every connection drops and comes back, rejoining its room with its token (after a restart).
    /// Rooms whose setup was cut off are given up and replaced.
    void reconnectAll();
    /// True when every room that was ready at reconnectAll() has been sent its first state since.
    bool allRejoined() const;

    int roomsReady() const;
    int connectionsOpen() const;
    const std::vector<std::unique_ptr<LoadRoom>>& rooms() const { return rooms_; }
    /// Round trips measured (an action or answer sent, the next state back on that connection), in ms.
    const std::vector<float>& latencies() const { return latencies_; }
    void clearLatencies() { latencies_.clear(); }
    qint64 errors() const { return errors_; }
    qint64 gamesFinished() const { return games_; }
    /// Error messages received, as "code: message", the first few.
    const QStringList& errorSamples() const { return errorSamples_; }

  private:
    friend class LoadConnection;
    LoadRoom& newRoom();
    void openNext();
    void roomFinished(LoadRoom& room);
    void consider(LoadRoom& room);
    void act(LoadRoom& room);
    /// Notes that `room` has just moved: its next move is due one interval after this one was.
    void moved(LoadRoom& room);
    void noteError(const QString& what);
    qint64 now() const { return clock_.elapsed(); }

    LoadOptions options_;
    std::vector<std::unique_ptr<LoadRoom>> rooms_;
    std::vector<LoadConnection*> toOpen_;
    int opening_ = 0;
    bool paused_ = false;
    QElapsedTimer clock_;
    std::vector<float> latencies_;
    qint64 errors_ = 0;
    qint64 games_ = 0;
    QStringList errorSamples_;
    std::uint64_t nextSeed_ = 1;
};

/// One client: one seat of one room.
class LoadConnection final : public QObject {
    Q_OBJECT
  public:
    LoadConnection(LoadRun& run, LoadRoom& room, int seat);
    ~LoadConnection() override;
    void open();
    void closeNow();
    bool isOpen() const;
    int seat() const { return seat_; }
    const QString& token() const { return token_; }

  private:
    friend class LoadRun;
    friend class LoadRoom;
    void received(const QString& text);
    /// Reads a `state` or `change` message into the room; false after an error.
    bool readState(const QJsonObject& message, const QString& text);
    bool readChange(const QJsonObject& message, const QString& text);
    void send(const QJsonObject& message);
    void send(const QByteArray& text);
    void joinRoom();

    LoadRun& run_;
    LoadRoom& room_;
    int seat_;
    QWebSocket* socket_ = nullptr;
    QString token_;
    bool welcomed_ = false;
    bool rejoining_ = false;
    qint64 sentMs_ = -1; // an action or answer waits for its state
    int questionId_ = 0; // the question open for this seat, 0 for none
    Box question_;
    QJsonObject offer_;
    int refusedInRow_ = 0;
    QByteArray lastSent_;     // the last message sent, for the error samples
    QString seenText_;        // the last state this connection was sent
    qint64 seenStateId_ = -1; // the server's number for it
};

/// The p-th percentile (0..100) of `values` (sorted in place); 0 for none.
double percentile(std::vector<float>& values, double p);

} // namespace dealbrix::load
