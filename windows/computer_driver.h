#pragma once
// Computer seats on the real windows: the Computer menu, the Game Log item and window, and a timer
// that plays the computer's actions one by one at a pace people can follow.

#include "board_window.h"
#include "game_log.h"
#include "seat_router.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>

namespace dealbrix {

class GameLogWindow;
class QtUi;
class Remembered;

/// Plays the seats `seats` gives the computer: while such a seat holds the turn, each action comes
/// after the delay and goes through `BoardWindow::act`, so its windows open and close as a person's
/// would. Adds the Computer menu and File's Game Log item to the board.
class ComputerDriver final : public QObject {
    Q_OBJECT
  public:
    /// Drives `board`'s game for the computer seats of `seats`; OK boxes in a computer's turn shown by
    /// `ui` close by themselves after `delayMs`; `log` feeds the Game Log window.
    ComputerDriver(BoardWindow& board, QtUi& ui, SeatRouter& seats, ComputerPlayer& player, GameLog& log,
                   int delayMs = kDefaultComputerDelayMs);

    /// Hands the ticked seats to the computer and the others to people; the menu follows.
    void setComputerSeats(const ComputerSeats& seats);
    /// The seats the computer plays now.
    const ComputerSeats& computerSeats() const;
    /// Puts back the computer seats and the log of an opened saved game.
    void restoreSession(const ComputerSeats& seats, std::vector<std::string> logLines);
    /// The Computer menu's item for `seat` 1..4.
    QAction* seatItem(int seat) const { return seatItems_[static_cast<std::size_t>(seat)]; }
    /// File's Game Log item.
    QAction* logItem() const { return logItem_; }
    /// Where windows were last time: the Game Log opens there when the place is on a screen.
    void setRemembered(Remembered* remembered) { remembered_ = remembered; }
    /// Opens the Game Log window, or brings it forward.
    void openLog();
    /// The Game Log window, or nullptr until it is first opened.
    GameLogWindow* logWindow() const;
    /// Gives the Game Log's chat line somewhere to send its messages (a network game), or takes it
    /// away (an empty function): the line is enabled exactly while it has one.
    void setChat(std::function<void(const QString&)> send);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void addMenus();
    void noteHandOver(int seat, bool toComputer);
    void schedule();
    void step();

    BoardWindow& board_;
    SeatRouter& seats_;
    ComputerPlayer& player_;
    GameLog& log_;
    int delayMs_;
    QTimer timer_;
    int acting_ = 0; // actions being carried out now; the computer waits until none is
    std::array<QAction*, kPlayerCount + 1> seatItems_{}; // 1..4
    QAction* logItem_ = nullptr;
    bool settingSeats_ = false;
    Remembered* remembered_ = nullptr;
    QPointer<GameLogWindow> logWindow_;
    std::function<void(const QString&)> sendChat_;
};

} // namespace dealbrix
