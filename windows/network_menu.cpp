#include "network_menu.h"

#include "board_window.h"
#include "computer_driver.h"
#include "network_session.h"
#include "qt_ui.h"

#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace dealbrix {

namespace {

void bringForward(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

NetworkMenu::NetworkMenu(BoardWindow& board, NetworkSession& session, QtUi& ui)
    : QObject(&board), board_(board), session_(session), ui_(ui) {
    menu_ = board_.menuBar()->addMenu(QStringLiteral("&Network"));
    menu_->setObjectName(QStringLiteral("mnuNetwork"));
    auto item = [this](const char* name, const QString& caption) {
        QAction* action = menu_->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    // Like the game's own items, each runs once the menu has closed.
    host_ = item("mnuNetworkHost", QStringLiteral("&Host Game..."));
    connect(host_, &QAction::triggered, this,
            [this] { QTimer::singleShot(0, this, &NetworkMenu::openHostWindow); });
    join_ = item("mnuNetworkJoin", QStringLiteral("&Join Game..."));
    connect(join_, &QAction::triggered, this,
            [this] { QTimer::singleShot(0, this, &NetworkMenu::openJoinWindow); });
    leave_ = item("mnuNetworkLeave", QStringLiteral("&Leave Game"));
    connect(leave_, &QAction::triggered, this,
            [this] { QTimer::singleShot(0, &session_, &NetworkSession::leave); });
    menu_->addSeparator();
    startNow_ = item("mnuNetworkStartNow", QStringLiteral("&Start Now"));
    connect(startNow_, &QAction::triggered, &session_, &NetworkSession::startNow);
    QMenu* computer = menu_->addMenu(QStringLiteral("&Computer Plays"));
    computer->setObjectName(QStringLiteral("mnuNetworkComputer"));
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        QAction* seatItem = computer->addAction(QStringLiteral("Player %1").arg(seat));
        seatItem->setObjectName(QStringLiteral("mnuNetworkComputerPlayer%1").arg(seat));
        seatItem->setCheckable(true);
        // The menu shows what the room says; a click asks the room and the item waits for its answer.
        connect(seatItem, &QAction::triggered, this, [this, seat, seatItem](bool ticked) {
            seatItem->setChecked(!ticked);
            session_.setSeatComputer(seat, ticked);
        });
        computer_[static_cast<std::size_t>(seat)] = seatItem;
    }
    connect(&session_, &NetworkSession::changed, this, &NetworkMenu::update);
    connect(menu_, &QMenu::aboutToShow, this, &NetworkMenu::update);
    update();
}

void NetworkMenu::update() {
    const bool active = session_.active();
    leave_->setEnabled(active);
    const bool host = active && session_.isHost();
    startNow_->setEnabled(host && board_.game().state.playerCount == 0);
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        QAction* item = computer_[static_cast<std::size_t>(seat)];
        item->setText(menuTitleOf(board_.game().state, seat));
        const net::SeatInfo* info = nullptr;
        for (const net::SeatInfo& s : session_.seatInfo())
            if (s.seat == seat) info = &s;
        item->setChecked(info != nullptr && info->computer);
        // A seat whose person is away can go to the computer; a computer's seat whose person is back
        // (or that nobody holds) can come back. Nobody takes a connected person's seat.
        const bool handable = info != nullptr && (info->computer || !info->connected);
        item->setEnabled(host && handable && !session_.seats()[seat]);
    }
}

void NetworkMenu::openHostWindow() {
    if (!hostWindow_) {
        hostWindow_ = new HostGameWindow(&board_);
        // The room is offered the table's rules and the Computer menu's levels.
        hostWindow_->setChoices(board_.game().state.rules, session_.computerLevels());
        connect(hostWindow_, &HostGameWindow::hostRequested, this, &NetworkMenu::host);
    }
    bringForward(hostWindow_);
}

void NetworkMenu::openJoinWindow() {
    if (!joinWindow_) {
        joinWindow_ = new JoinGameWindow(&board_);
        if (lastJoin_) joinWindow_->setSettings(*lastJoin_);
        connect(joinWindow_, &JoinGameWindow::joinRequested, this, [this](const JoinSettings& settings) {
            lastJoin_ = settings;
            session_.join(settings);
        });
    }
    bringForward(joinWindow_);
}

void NetworkMenu::host(const HostSettings& settings) {
    const QString problem = session_.host(settings);
    if (!problem.isEmpty()) ui_.inform(problem);
}

} // namespace dealbrix
