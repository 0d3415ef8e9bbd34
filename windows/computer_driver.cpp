#include "computer_driver.h"

#include "game_log_window.h"
#include "qt_ui.h"
#include "remembered.h"

#include <QEvent>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

namespace dealbrix {

ComputerDriver::ComputerDriver(BoardWindow& board, QtUi& ui, SeatRouter& seats, ComputerPlayer& player,
                               GameLog& log, int delayMs)
    : QObject(&board), board_(board), seats_(seats), player_(player), log_(log), delayMs_(delayMs) {
    seats_.attach(board_.game());
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ComputerDriver::step);
    // Every action, a person's or the computer's, may hand the turn to a computer seat.
    connect(&board_, &BoardWindow::acting, this, [this](const Action& action) {
        ++acting_;
        seats_.noteAction(action);
    });
    connect(&board_, &BoardWindow::acted, this, [this] {
        acting_ = std::max(0, acting_ - 1);
        schedule();
    });
    ui.setSelfClosing(
        [this](const Box& box) {
            // The winner concerns everyone: it waits for OK as always.
            return seats_.isComputer(box.turn) && box.kind != BoxKind::Winner &&
                   box.kind != BoxKind::NoPlayerLeft;
        },
        delayMs_);
    // A computer's bid shows in the Auction window for the usual delay, as its boxes do.
    seats_.setComputerBidShown(
        [this](const Box& question, int amount) { board_.showComputerBid(question, amount, delayMs_); });
    log_.setListener([this](const std::string& line) {
        if (logWindow_) logWindow_->append(line);
    });
    log_.setRewriteListener([this](const std::string& line) {
        if (logWindow_) logWindow_->replaceLast(line);
    });
    addMenus();
    board_.installEventFilter(this);
}

bool ComputerDriver::eventFilter(QObject* watched, QEvent* event) {
    // Closing the board closes the Game Log with the other windows.
    if (watched == &board_ && event->type() == QEvent::Close && logWindow_) logWindow_->close();
    return QObject::eventFilter(watched, event);
}

void ComputerDriver::addMenus() {
    // The File menu keeps its items first and in order; the Game Log item follows a separator.
    QMenu* file = board_.menuBar()->findChild<QMenu*>(QStringLiteral("mnuFile"));
    if (file != nullptr) {
        file->addSeparator();
        logItem_ = file->addAction(QStringLiteral("Game &Log"));
        logItem_->setObjectName(QStringLiteral("mnuFileGameLog"));
        logItem_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
        connect(logItem_, &QAction::triggered, this, &ComputerDriver::openLog);
    }
    QMenu* computer = board_.menuBar()->addMenu(QStringLiteral("&Computer"));
    computer->setObjectName(QStringLiteral("mnuComputer"));
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        QAction* item = computer->addAction(QStringLiteral("Player %1").arg(seat));
        item->setObjectName(QStringLiteral("mnuComputerPlayer%1").arg(seat));
        item->setCheckable(true);
        item->setChecked(seats_.isComputer(seat));
        connect(item, &QAction::toggled, this, [this, seat](bool ticked) {
            if (seats_.isComputer(seat) != ticked && !settingSeats_) noteHandOver(seat, ticked);
            seats_.setComputer(seat, ticked);
            player_.dropPlan();
            schedule();
        });
        seatItems_[static_cast<std::size_t>(seat)] = item;
    }
}

void ComputerDriver::noteHandOver(int seat, bool toComputer) {
    // Only a seat handed over during a game is news; the table's seating before Start is not.
    const GameState& s = board_.game().state;
    if (s.playerCount == 0 || seat > s.playerCount || s.seatOut[seat] == kTrue) return;
    const std::string who = seatName(s, seat);
    log_.note({.kind = toComputer ? BoxKind::ToComputer : BoxKind::ToPerson,
               .seat = seat,
               .turn = s.turn,
               .text = toComputer ? "The computer now plays " + who + "." : "A person now plays " + who + ".",
               .turnName = seatName(s, s.turn)});
}

void ComputerDriver::setComputerSeats(const ComputerSeats& seats) {
    // Seats set as a whole (a saved game, the command line, the New Game dialog) are a seating, not a
    // hand-over.
    settingSeats_ = true;
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        seatItem(seat)->setChecked(seats[seat]); // toggled hands the seat over
    settingSeats_ = false;
    seats_.setComputerSeats(seats);
    schedule();
}

const ComputerSeats& ComputerDriver::computerSeats() const {
    return seats_.computerSeats();
}

void ComputerDriver::restoreSession(const ComputerSeats& seats, std::vector<std::string> logLines) {
    log_.setLines(std::move(logLines));
    if (logWindow_) logWindow_->setLines(log_.lines());
    setComputerSeats(seats);
}

void ComputerDriver::setChat(std::function<void(const QString&)> send) {
    sendChat_ = std::move(send);
    if (logWindow_) logWindow_->setChatEnabled(static_cast<bool>(sendChat_));
}

void ComputerDriver::openLog() {
    if (!logWindow_) {
        logWindow_ = new GameLogWindow(log_.lines(), &board_);
        // It opens clear of the board, or where it was last time.
        if (remembered_ == nullptr || !remembered_->restorePlace(logWindow_))
            board_.placeBesideBoard(logWindow_);
        logWindow_->setChatEnabled(static_cast<bool>(sendChat_));
        connect(logWindow_, &GameLogWindow::chatEntered, this, [this](const QString& text) {
            if (sendChat_) sendChat_(text);
        });
    }
    logWindow_->show();
    logWindow_->raise();
    logWindow_->activateWindow();
}

GameLogWindow* ComputerDriver::logWindow() const {
    return logWindow_;
}

void ComputerDriver::schedule() {
    if (!timer_.isActive()) timer_.start(delayMs_);
}

void ComputerDriver::step() {
    // A box of an action still running opens its own event loop; the computer never acts inside it.
    // The action's end schedules the next step.
    if (acting_ > 0 || board_.ended()) return;
    const Game& game = board_.game();
    if (seats_.computerStarts(game.state)) {
        board_.act(Action::start());
        return;
    }
    if (game.state.playerCount == 0 || !seats_.isComputer(game.state.turn)) return;
    const std::optional<Action> action = player_.nextAction(game);
    if (action) board_.act(*action); // its end schedules the next step
}

} // namespace dealbrix
