#pragma once
// A computer player at the far end of a connection: it plays a Client's seats through the protocol,
// with the same ComputerPlayer the server uses for its own computer seats. The headless bot and the
// load tester run it; the tests use it as a remote person who never tires.

#include "client.h"
#include "computer_player.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace dealbrix::net {

/// Plays every seat of `client` whenever one of them acts.
class RemotePlayer final : public QObject {
    Q_OBJECT
  public:
    /// Plays `client`'s seats after a pause of `delayMs` before each move.
    RemotePlayer(Client& client, std::uint64_t seed = 0, int delayMs = 0, QObject* parent = nullptr);
    ~RemotePlayer() override;

    /// Moves sent so far (actions and answers).
    int moves() const { return moves_; }
    /// Refused moves in a row after which the player waits for the next state instead of trying again.
    static constexpr int kRetries = 3;
    /// The pause before each move.
    void setDelay(int delayMs) { timer_.setInterval(delayMs); }

  signals:
    /// A move went out.
    void moved(const dealbrix::Action& action);

  private:
    void consider();
    void move();

    Client& client_;
    class Quiet;
    std::unique_ptr<Quiet> quiet_;
    std::unique_ptr<Game> mirror_; // the room's state, for the computer to read and judge actions by
    ComputerPlayer computer_;
    QTimer timer_;
    int movedAtState_ = -1; // the state (counted as told) a turn's move was sent at: one move per state
    int refusedInRow_ = 0;
    int statesSeen_ = 0;
    int moves_ = 0;
};

} // namespace dealbrix::net
