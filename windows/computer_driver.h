#pragma once
// Computer seats on the real windows: the Computer menu (who plays each seat and at which level, and
// the computer's speed), the Game Log item and window, and a timer that plays the computer's actions
// one by one at a pace people can follow.

#include "board_window.h"
#include "game_log.h"
#include "seat_router.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <QActionGroup>
#include <QMenu>

#include <array>
#include <functional>

namespace dealbrix {

class GameLogWindow;
class QtUi;
class Remembered;

/// One pace of Computer > Speed: its caption and the pause before each computer action.
struct ComputerSpeed {
    const char* caption;
    int delayMs;
};

/// Slow, Normal (the default pause), Fast and Instant.
inline constexpr std::array<ComputerSpeed, 4> kComputerSpeeds{
    {{"&Slow", 1500}, {"&Normal", kDefaultComputerDelayMs}, {"&Fast", 200}, {"&Instant", 0}}};

/// The title of `seat`'s menu items: the seat's name, or "Player N", with any ampersand kept as one.
QString menuTitleOf(const GameState& state, int seat);

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
    /// Sets the level of every seat; the menu follows.
    void setLevels(const ComputerLevels& levels);
    /// The seats the computer plays now.
    const ComputerSeats& computerSeats() const;
    /// The level of every seat now.
    ComputerLevels levels() const { return seats_.levels(); }
    /// Puts back the computer seats, their levels and the log of an opened saved game.
    void restoreSession(const ComputerSeats& seats, const ComputerLevels& levels,
                        std::vector<std::string> logLines);
    /// The Computer menu's submenu for `seat` 1..4.
    QMenu* seatMenu(int seat) const { return seatMenus_[static_cast<std::size_t>(seat)]; }
    /// The submenu's Person item for `seat` 1..4.
    QAction* personItem(int seat) const { return personItems_[static_cast<std::size_t>(seat)]; }
    /// The submenu's item for `seat` 1..4 played by the computer at `level`.
    QAction* levelItem(int seat, ComputerLevel level) const {
        return levelItems_[static_cast<std::size_t>(seat)][static_cast<std::size_t>(level)];
    }
    /// Computer > Speed's item for kComputerSpeeds[index].
    QAction* speedItem(std::size_t index) const { return speedItems_[index]; }
    /// The pause before each computer action now, in milliseconds.
    int delayMs() const { return delayMs_; }
    /// Sets the pause; the Speed item of that pace is ticked (none for another pause).
    void setDelay(int delayMs);
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
    void addSeatMenu(QMenu* computer, int seat);
    void addSpeedMenu(QMenu* computer);
    /// Titles each seat's submenu by the seat's name ("Player N" without one).
    void showTitles();
    /// Ticks the item of who plays `seat` now.
    void showSeat(int seat);
    /// Hands `seat` to a person (no level) or to the computer at `level`, from the menu.
    void chooseSeat(int seat, std::optional<ComputerLevel> level);
    /// The log line saying who plays `seat`.
    std::string seatLine(int seat) const;
    void schedule();
    void step();

    BoardWindow& board_;
    QtUi& ui_;
    SeatRouter& seats_;
    ComputerPlayer& player_;
    GameLog& log_;
    int delayMs_;
    QTimer timer_;
    int acting_ = 0;       // actions being carried out now; the computer waits until none is
    bool started_ = false; // the game had started when the last action ended
    std::array<QMenu*, kPlayerCount + 1> seatMenus_{};     // 1..4
    std::array<QAction*, kPlayerCount + 1> personItems_{}; // 1..4
    std::array<std::array<QAction*, kComputerLevels.size()>, kPlayerCount + 1> levelItems_{};
    std::array<QAction*, kComputerSpeeds.size()> speedItems_{};
    QAction* logItem_ = nullptr;
    Remembered* remembered_ = nullptr;
    QPointer<GameLogWindow> logWindow_;
    std::function<void(const QString&)> sendChat_;
};

} // namespace dealbrix
