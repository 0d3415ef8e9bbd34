#include "game_menus.h"

#include "help_windows.h"
#include "past_games_window.h"
#include "qt_ui.h"
#include "remembered.h"
#include "statistics_window.h"

#include <QEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>

namespace dealbrix {

GameMenus::GameMenus(BoardWindow& board, QtUi& ui, QString pastGamesPath, QString version,
                     Remembered* remembered)
    : QObject(&board), board_(board), ui_(ui), pastGamesPath_(std::move(pastGamesPath)),
      version_(std::move(version)), remembered_(remembered) {
    addMenus();
    connect(&board_, &BoardWindow::acted, this, [this] {
        if (statistics_) statistics_->draw(board_.game().state);
    });
    // How to Play tells the house rules of the game on the board, whichever way they were chosen.
    connect(&board_, &BoardWindow::synced, this, [this] {
        if (howToPlay_) howToPlay_->setHouseRules(houseRuleSentences(board_.game().state.rules));
    });
    board_.installEventFilter(this);
}

bool GameMenus::eventFilter(QObject* watched, QEvent* event) {
    // These windows close with the board, like the Game Log.
    if (watched == &board_ && event->type() == QEvent::Close)
        for (QWidget* w : {static_cast<QWidget*>(statistics_), static_cast<QWidget*>(pastGames_),
                           static_cast<QWidget*>(howToPlay_)})
            if (w != nullptr) w->close();
    return QObject::eventFilter(watched, event);
}

void GameMenus::addMenus() {
    auto add = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& key,
                      void (GameMenus::*command)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty()) action->setShortcut(key);
        // Like the game's own items, the command runs once the menu has closed.
        connect(action, &QAction::triggered, this, [this, command] { QTimer::singleShot(0, this, command); });
    };
    QMenu* game = board_.menuBar()->addMenu(QStringLiteral("&Game"));
    game->setObjectName(QStringLiteral("mnuGame"));
    add(game, "mnuGameStatistics", QStringLiteral("&Statistics"), QKeySequence(Qt::CTRL | Qt::Key_T),
        &GameMenus::openStatistics);
    add(game, "mnuGamePastGames", QStringLiteral("&Past Games"), {}, &GameMenus::openPastGames);

    QMenu* help = board_.menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    add(help, "mnuHelpHowToPlay", QStringLiteral("&How to Play"), QKeySequence::HelpContents,
        &GameMenus::openHowToPlay);
    help->addSeparator();
    add(help, "mnuHelpAbout", QStringLiteral("&About Dealbrix"), {}, &GameMenus::showAbout);
    QAction* aboutQt = help->addAction(QStringLiteral("About &Qt"));
    aboutQt->setObjectName(QStringLiteral("mnuHelpAboutQt"));
    connect(aboutQt, &QAction::triggered, this,
            [this] { QTimer::singleShot(0, this, [this] { QMessageBox::aboutQt(&board_); }); });
}

QAction* GameMenus::item(const char* objectName) const {
    return board_.findChild<QAction*>(QString::fromLatin1(objectName));
}

void GameMenus::bringUp(QWidget* window, bool fresh) {
    // A window opened for the first time goes where it was last time, or beside the board.
    if (fresh && (remembered_ == nullptr || !remembered_->restorePlace(window)))
        board_.placeBesideBoard(window);
    window->show();
    window->raise();
    window->activateWindow();
}

void GameMenus::openStatistics() {
    const bool fresh = !statistics_;
    if (fresh) statistics_ = new StatisticsWindow(&board_);
    statistics_->draw(board_.game().state);
    bringUp(statistics_, fresh);
}

void GameMenus::openPastGames() {
    const PastGamesRead read = readPastGames(pastGamesPath_);
    if (!read.problem.isEmpty()) ui_.inform(read.problem);
    const bool fresh = !pastGames_;
    if (fresh) pastGames_ = new PastGamesWindow(&board_);
    pastGames_->show(read.games);
    bringUp(pastGames_, fresh);
}

void GameMenus::openHowToPlay() {
    const bool fresh = !howToPlay_;
    if (fresh) howToPlay_ = new HowToPlayWindow(&board_);
    howToPlay_->setHouseRules(houseRuleSentences(board_.game().state.rules));
    bringUp(howToPlay_, fresh);
}

void GameMenus::showAbout() {
    QMessageBox::about(&board_, QStringLiteral("About Dealbrix"), aboutText(version_));
}

StatisticsWindow* GameMenus::statisticsWindow() const {
    return statistics_;
}

PastGamesWindow* GameMenus::pastGamesWindow() const {
    return pastGames_;
}

HowToPlayWindow* GameMenus::howToPlayWindow() const {
    return howToPlay_;
}

} // namespace dealbrix
