#pragma once
// A game played over the network on the real windows: this program's seats, the room's state drawn
// on the board, the room's boxes and questions, the seats' presence, the chat, and (for a hosted
// game) the game server running inside the program.

#include "game.h"
#include "network_dialogs.h"
#include "protocol.h"

#include <QLabel>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace dealbrix {

class BoardWindow;
class ComputerDriver;
class GameFiles;
class GameLog;
class QtUi;

namespace net {
class Client;
class GameServer;
} // namespace net

/// Joins the board to a room on a game server. While a network game runs, the board draws the room's
/// state, its actions go to the server, and its controls are enabled exactly while a seat this
/// program plays holds the turn (the debtor during a debt hold) and no question waits for another
/// seat. The room's boxes show as OK boxes where their seat plays and in the Game Log and the status
/// line everywhere; a question shows only where the seat it asks plays.
class NetworkSession final : public QObject {
    Q_OBJECT
  public:
    /// Serves `board`, whose boxes `ui` shows and whose log is `log`; `driver` has the Computer menu
    /// and the Game Log window; `files` the File menu's game items and the fresh board.
    /// `computerDelayMs` paces the computer's moves on a server run here.
    NetworkSession(BoardWindow& board, QtUi& ui, GameLog& log, ComputerDriver& driver, GameFiles& files,
                   int computerDelayMs);
    ~NetworkSession() override;

    /// Starts a game server in this program on `settings.port` (every address, or 127.0.0.1 only),
    /// opens a room and takes seat 1; once the seat is held a box tells what the others need. Returns
    /// what went wrong (the port taken), or an empty string.
    QString host(const HostSettings& settings);
    /// Connects to `settings.server` and takes the seats chosen, or watches.
    void join(const JoinSettings& settings);
    /// Leaves the room (a hosted server goes on serving the others) and puts a fresh local board back.
    void leave();

    /// True from Host or Join until Leave.
    bool active() const { return client_ != nullptr; }
    /// True while a server runs inside this program.
    bool serving() const { return server_ != nullptr; }
    /// The port of the server inside this program, 0 when none.
    quint16 serverPort() const;
    /// True while this program holds the room's host token.
    bool isHost() const;
    /// The room's code, once known.
    const QString& room() const { return room_; }
    /// The seats this program plays (none while watching or before the join is answered).
    const PlayerArray<bool>& seats() const { return mine_; }
    /// The room's seats as the server last told them.
    const QList<net::SeatInfo>& seatInfo() const { return seatInfo_; }
    /// The seat a question waits for, 0 when none.
    int waitingFor() const { return waitingFor_; }
    /// The level of each seat in the Computer menu, which a hosted room's computer seats start at.
    ComputerLevels computerLevels() const;
    /// The status line under the board (shown in a network game only).
    QLabel* statusLine() const { return status_; }

    /// The host hands `seat` to the computer, or back to the person holding it.
    void setSeatComputer(int seat, bool computer);
    /// The host starts the room before every person's seat is taken.
    void startNow();
    /// Sends a line of chat to the room.
    void sendChat(const QString& text);

  signals:
    /// Something the Network menu shows changed: joined, left, host or not, the seats.
    void changed();

  private:
    void open(const QUrl& server);
    void wireClient();
    void enterGame();
    void onRoomCreated(const QString& room);
    void onJoined(const QString& room, const QList<int>& seats);
    void onState(const GameState& state, int waitingFor, bool started);
    void showBoxes();
    void onQuestion(int id, const Box& box);
    void onSeats(const QList<net::SeatInfo>& seats);
    void onChat(const net::ChatLine& line);
    void onHistory(const QStringList& log, const QList<net::ChatLine>& chat);
    void onEnded(int winner);
    void onError(const QString& code, const QString& message);
    void shutOut(const QString& text);
    static QString chatLine(const net::ChatLine& line);
    /// Runs `step` after every step before it; a box shown by a step holds the steps after it.
    void later(std::function<void()> step);
    void runSteps();
    void showHostedBox();
    void updateControls();
    void setStatus(const QString& text);
    bool playsSeat(int seat) const { return isPlayer(seat) && mine_[seat]; }

    BoardWindow& board_;
    QtUi& ui_;
    GameLog& log_;
    ComputerDriver& driver_;
    GameFiles& files_;
    int computerDelayMs_;
    std::unique_ptr<net::GameServer> server_;
    net::Client* client_ = nullptr; // owned as a child; deleted later when leaving
    QLabel* status_ = nullptr;

    enum class Goal { Host, Join };
    Goal goal_ = Goal::Join;
    HostSettings hostSettings_;
    JoinSettings joinSettings_;
    bool hostedBoxShown_ = false;
    bool joined_ = false;
    bool connected_ = false;
    bool started_ = false;
    std::vector<Box> boxes_; // boxes of the action in progress, shown once its state has come
    QString room_;
    QString serverShown_; // the server's address as the status line and the boxes name it
    PlayerArray<bool> mine_{};
    QList<net::SeatInfo> seatInfo_;
    int waitingFor_ = 0;
    std::deque<std::function<void()>> steps_;
    bool running_ = false;
};

/// The addresses a server listening on every address can be reached at from other machines, most
/// useful first (IPv4, then global IPv6); 127.0.0.1 when it listens there only or none is found.
QStringList reachableAddresses(bool everyAddress);

} // namespace dealbrix
