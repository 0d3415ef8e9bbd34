#include "computer_driver.h"

#include "game_log_window.h"
#include "qt_ui.h"
#include "remembered.h"
#include "trade_window.h"

#include <QEvent>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

namespace dealbrix {

ComputerDriver::ComputerDriver(BoardWindow& board, QtUi& ui, SeatRouter& seats, ComputerPlayer& player,
                               GameLog& log, int delayMs)
    : QObject(&board), board_(board), ui_(ui), seats_(seats), player_(player), log_(log), delayMs_(delayMs) {
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
        // The log says who plays each computer seat, and at which level, as the game starts.
        const GameState& state = board_.game().state;
        if (!started_ && state.playerCount != 0) {
            for (int seat = 1; seat <= state.playerCount; ++seat)
                if (seats_.isComputer(seat)) log_.note(seatLine(seat));
        }
        started_ = state.playerCount != 0;
        schedule();
    });
    setDelay(delayMs_);
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
    // A seat's submenu is titled by its name; names come with a new table or an opened game.
    connect(&board_, &BoardWindow::synced, this, &ComputerDriver::showTitles);
    board_.installEventFilter(this);
}

QString menuTitleOf(const GameState& state, int seat) {
    // A name is the player's own: an ampersand in it is a letter, not a menu key.
    return QString::fromStdString(seatName(state, seat)).replace(u'&', QStringLiteral("&&"));
}

void ComputerDriver::showTitles() {
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        if (QMenu* menu = seatMenus_[static_cast<std::size_t>(seat)])
            menu->setTitle(menuTitleOf(board_.game().state, seat));
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
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        addSeatMenu(computer, seat);
    computer->addSeparator();
    addSpeedMenu(computer);
}

void ComputerDriver::addSeatMenu(QMenu* computer, int seat) {
    QMenu* menu = computer->addMenu(menuTitleOf(board_.game().state, seat));
    menu->setObjectName(QStringLiteral("mnuComputerPlayer%1").arg(seat));
    menu->menuAction()->setObjectName(QStringLiteral("mnuComputerPlayer%1Menu").arg(seat));
    seatMenus_[static_cast<std::size_t>(seat)] = menu;
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    QAction* person = menu->addAction(QStringLiteral("&Person"));
    person->setObjectName(QStringLiteral("mnuComputerPlayer%1Person").arg(seat));
    person->setCheckable(true);
    group->addAction(person);
    connect(person, &QAction::triggered, this, [this, seat] { chooseSeat(seat, std::nullopt); });
    personItems_[static_cast<std::size_t>(seat)] = person;
    for (const ComputerLevel level : kComputerLevels) {
        const QString title =
            QString::fromLatin1(levelTitle(level).data(), static_cast<qsizetype>(levelTitle(level).size()));
        QAction* item = menu->addAction(u'&' + title);
        item->setObjectName(QStringLiteral("mnuComputerPlayer%1%2").arg(seat).arg(title));
        item->setCheckable(true);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, seat, level] { chooseSeat(seat, level); });
        levelItems_[static_cast<std::size_t>(seat)][static_cast<std::size_t>(level)] = item;
    }
    showSeat(seat);
}

void ComputerDriver::addSpeedMenu(QMenu* computer) {
    QMenu* menu = computer->addMenu(QStringLiteral("&Speed"));
    menu->setObjectName(QStringLiteral("mnuComputerSpeed"));
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    for (std::size_t k = 0; k < kComputerSpeeds.size(); ++k) {
        QAction* item = menu->addAction(QString::fromLatin1(kComputerSpeeds[k].caption));
        item->setObjectName(QStringLiteral("mnuComputerSpeed%1")
                                .arg(QString::fromLatin1(kComputerSpeeds[k].caption).remove(u'&')));
        item->setCheckable(true);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, k] { setDelay(kComputerSpeeds[k].delayMs); });
        speedItems_[k] = item;
    }
    setDelay(delayMs_);
}

void ComputerDriver::setDelay(int delayMs) {
    delayMs_ = std::max(0, delayMs);
    ui_.setSelfClosing(
        [this](const Box& box) {
            // The winner concerns everyone: it waits for OK as always.
            return seats_.isComputer(box.turn) && box.kind != BoxKind::Winner &&
                   box.kind != BoxKind::NoPlayerLeft;
        },
        delayMs_);
    for (std::size_t k = 0; k < kComputerSpeeds.size(); ++k)
        if (speedItems_[k] != nullptr) speedItems_[k]->setChecked(kComputerSpeeds[k].delayMs == delayMs_);
}

void ComputerDriver::showSeat(int seat) {
    const auto at = static_cast<std::size_t>(seat);
    if (personItems_[at] == nullptr) return;
    if (!seats_.isComputer(seat)) {
        personItems_[at]->setChecked(true);
        return;
    }
    levelItem(seat, player_.level(seat))->setChecked(true);
}

std::string ComputerDriver::seatLine(int seat) const {
    const std::string who = seatName(board_.game().state, seat);
    if (!seats_.isComputer(seat)) return who + " is played by a person";
    return who + " is played by the computer (" + std::string(levelTitle(player_.level(seat))) + ")";
}

void ComputerDriver::chooseSeat(int seat, std::optional<ComputerLevel> level) {
    const bool wasComputer = seats_.isComputer(seat);
    const ComputerLevel before = player_.level(seat);
    if (level) seats_.setLevel(seat, *level);
    seats_.setComputer(seat, level.has_value());
    showSeat(seat);
    const bool changed = wasComputer != level.has_value() || (level && before != *level);
    if (changed && board_.game().state.playerCount != 0) log_.note(seatLine(seat));
    player_.dropPlan();
    schedule();
}

void ComputerDriver::setComputerSeats(const ComputerSeats& seats) {
    seats_.setComputerSeats(seats);
    player_.dropPlan();
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        showSeat(seat);
    schedule();
}

void ComputerDriver::setLevels(const ComputerLevels& levels) {
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        seats_.setLevel(seat, levels[seat]);
        showSeat(seat);
    }
    schedule();
}

const ComputerSeats& ComputerDriver::computerSeats() const {
    return seats_.computerSeats();
}

void ComputerDriver::restoreSession(const ComputerSeats& seats, const ComputerLevels& levels,
                                    std::vector<std::string> logLines) {
    log_.setLines(std::move(logLines));
    if (logWindow_) logWindow_->setLines(log_.lines());
    started_ = board_.game().state.playerCount != 0;
    setLevels(levels);
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
    // A question waiting in the game is for the seat it asks, whoever holds the turn.
    const Box* question = game.openQuestion();
    const int seat = question != nullptr ? question->seat : game.state.turn;
    if (game.state.playerCount == 0 || !seats_.isComputer(seat)) return;
    const std::optional<Action> action = player_.nextAction(game);
    if (!action) return;
    // The computer's typing stands in the trade window's fields, as a person's would.
    if (TradeWindow* trade = board_.tradeWindow()) trade->showTyped(*action);
    board_.act(*action); // its end schedules the next step
}

} // namespace dealbrix
