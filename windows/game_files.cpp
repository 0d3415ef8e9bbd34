#include "game_files.h"

#include "board_window.h"
#include "qt_ui.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QStandardPaths>
#include <QTimer>

namespace dealbrix {

namespace {

QString toQStringName(const GameState& state, int seat) {
    return QString::fromStdString(seatName(state, seat));
}

const QString kFilter = QStringLiteral("Dealbrix games (*.dealbrix)");
const QString kSuffix = QStringLiteral("dealbrix");

} // namespace

GameFiles::GameFiles(BoardWindow& board, QtUi& ui, RandomSource& random, QString autosavePath)
    : QObject(&board), board_(board), ui_(ui), random_(random), autosavePath_(std::move(autosavePath)) {
    chooseOpenPath_ = [this] {
        return QFileDialog::getOpenFileName(&board_, QStringLiteral("Open Game"), QString(), kFilter);
    };
    chooseSavePath_ = [this] {
        return QFileDialog::getSaveFileName(&board_, QStringLiteral("Save Game"), QString(), kFilter);
    };
    chooseTable_ = [this](const TableChoice& offered) -> std::optional<TableChoice> {
        NewGameDialog dialog(offered, &board_);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.choice();
    };
    clock_.start();
}

QString GameFiles::defaultAutosavePath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/autosave.dealbrix");
}

void GameFiles::buildGameFileMenu(QMenu* file) {
    file->addSeparator();
    auto item = [this, file](const char* name, const QString& caption, QKeySequence::StandardKey key,
                             void (GameFiles::*command)()) {
        QAction* action = file->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        if (key != QKeySequence::UnknownKey) action->setShortcut(key);
        // Like the game's own items, the command runs once the menu has closed.
        connect(action, &QAction::triggered, this, [this, command] { QTimer::singleShot(0, this, command); });
        items_.push_back(action);
        return action;
    };
    item("mnuFileNewGame", QStringLiteral("&New Game..."), QKeySequence::New, &GameFiles::newGame);
    item("mnuFileOpenGame", QStringLiteral("&Open Game..."), QKeySequence::Open, &GameFiles::openGame);
    item("mnuFileSaveGame", QStringLiteral("&Save Game..."), QKeySequence::Save, &GameFiles::saveGame);
    resume_ = item("mnuFileResumeGame", QStringLiteral("&Resume Last Game"), QKeySequence::UnknownKey,
                   &GameFiles::resumeLastGame);
    // The autosave may come and go behind the program's back (another copy of it, a file manager).
    connect(file, &QMenu::aboutToShow, this, &GameFiles::updateResume);
    updateResume();
}

void GameFiles::setItemsEnabled(bool enabled) {
    itemsEnabled_ = enabled;
    for (QAction* item : items_)
        item->setEnabled(enabled);
    updateResume();
}

void GameFiles::setPathChoosers(PathChooser open, PathChooser save) {
    chooseOpenPath_ = std::move(open);
    chooseSavePath_ = std::move(save);
}

void GameFiles::setCompanions(Collector collect, Restorer restore) {
    collect_ = std::move(collect);
    restore_ = std::move(restore);
}

void GameFiles::newGame() {
    if (!mayReplaceGame()) return;
    // A table that brings no rules of its own is offered the board's (the Rules window's, the command
    // line's).
    TableChoice offered = offered_;
    if (!offered.rules) offered.rules = board_.game().state.rules;
    const std::optional<TableChoice> table = chooseTable_(offered);
    if (table) startTable(*table);
}

void GameFiles::resetGame() {
    // A new Game object deals fresh decks exactly as the program's own start does. The autosave of
    // the old game stays until the new game's first action replaces it, so Resume can bring it back.
    Game fresh(ui_, random_);
    // The table keeps its house rules for the next game; the Rules window can change them before Start.
    fresh.chooseRules(board_.game().state.rules);
    board_.game().restore(fresh.state);
    actions_ = 0;
    secondsBefore_ = 0;
    clock_.start();
    recorded_ = false;
    board_.syncAll();
}

void GameFiles::startTable(const TableChoice& table) {
    // The house rules chosen for the board (the Rules window, the command line) stay unless the
    // table brings its own.
    const HouseRules rules = table.rules.value_or(board_.game().state.rules);
    resetGame();
    board_.act(Action::chooseRules(rules));
    board_.game().nameSeats(checkNames(table.names).names);
    board_.syncAll();
    board_.act(Action::choosePlayers(table.players));
    if (setSeats_) setSeats_(table);
    board_.act(Action::start());
    offered_ = table;
    if (remember_) remember_(table);
}

bool GameFiles::gameInProgress() const {
    return board_.game().state.playerCount != 0 && !gameFinished();
}

bool GameFiles::mayReplaceGame() {
    return !gameInProgress() || ui_.confirm(QStringLiteral("Abandon the game in progress?"));
}

void GameFiles::openGame() {
    if (!mayReplaceGame()) return;
    const QString path = chooseOpenPath_();
    if (!path.isEmpty()) openFile(path);
}

void GameFiles::saveGame() {
    QString path = chooseSavePath_();
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QLatin1Char('.') + kSuffix;
    const QString error = saveGameFile(path, snapshot());
    if (!error.isEmpty()) ui_.inform(error);
}

void GameFiles::resumeLastGame() {
    openFile(autosavePath_);
}

bool GameFiles::openFile(const QString& path) {
    const LoadResult loaded = loadGameFile(path);
    if (!loaded.game) {
        // The autosave is the player's last game, not a file they ever named.
        const QString what = QFileInfo(path) == QFileInfo(autosavePath_) ? QStringLiteral("The last game")
                                                                         : QFileInfo(path).fileName();
        ui_.inform(QStringLiteral("%1 cannot be opened.\n\n%2").arg(what, loaded.error));
        return false;
    }
    board_.game().restore(loaded.game->state);
    actions_ = loaded.game->actions;
    secondsBefore_ = loaded.game->playSeconds;
    clock_.start();
    recorded_ = false;
    if (restore_) restore_(*loaded.game);
    board_.syncAll();
    // An action saved on its way plays on once the board is up, with the dice it had drawn and the
    // answers already given, from the box that was open.
    if (loaded.game->inProgress)
        QTimer::singleShot(0, &board_,
                           [this, record = *loaded.game->inProgress] { board_.resumeAction(record); });
    return true;
}

void GameFiles::afterAction(ActionResult result) {
    if (result == ActionResult::Refused) return;
    ++actions_;
    if (gameFinished())
        removeAutosave();
    else
        autosave();
}

bool GameFiles::gameFinished() const {
    const GameState& s = board_.game().state;
    int out = 0;
    for (int p = 1; p <= kPlayerCount; ++p)
        if (s.seatOut[p] == kTrue) ++out;
    return s.playerCount != 0 && out >= kPlayerCount - 1;
}

void GameFiles::removeAutosave() {
    QFile::remove(autosavePath_);
    updateResume();
}

bool GameFiles::canResume() const {
    return QFileInfo::exists(autosavePath_);
}

SavedGame GameFiles::snapshot() const {
    SavedGame saved;
    saved.state = board_.game().state;
    if (const ActionInProgress* record = board_.game().inProgress()) saved.inProgress = *record;
    saved.actions = actions_;
    saved.playSeconds = playSeconds();
    if (collect_) collect_(saved);
    return saved;
}

void GameFiles::autosaveInProgress() {
    if (board_.game().inProgress() != nullptr && !gameFinished()) autosave();
}

void GameFiles::autosave() {
    QDir().mkpath(QFileInfo(autosavePath_).absolutePath());
    // A killed program keeps every completed action once the file is renamed into place; the disk
    // sync, which only a power cut needs, waits for the disk on its own thread.
    const QString error = autosaveGameFile(autosavePath_, snapshot());
    if (error.isEmpty()) syncer_.sync(autosavePath_);
    if (!error.isEmpty() && !autosaveFailed_) ui_.inform(error);
    autosaveFailed_ = !error.isEmpty();
    updateResume();
}

std::int64_t GameFiles::playSeconds() const {
    return secondsBefore_ + clock_.elapsed() / 1000;
}

PastGame GameFiles::pastGame() const {
    const SavedGame saved = snapshot();
    const GameState& s = saved.state;
    PastGame game;
    game.finished = QDateTime::currentDateTimeUtc();
    for (int seat = 1; seat <= s.playerCount; ++seat)
        game.seats.push_back({toQStringName(s, seat), saved.computerSeats[seat] ? QStringLiteral("Computer")
                                                                                : QStringLiteral("Person")});
    for (int seat = 1; seat <= s.playerCount; ++seat) {
        if (s.seatOut[seat] == kTrue) continue;
        game.winner = toQStringName(s, seat);
        game.winnerWorth = worthOf(s, seat);
    }
    game.rounds = s.history.rounds;
    if (!s.rules.plain()) game.rules = QString::fromStdString(describeHouseRules(s.rules));
    game.seconds = saved.playSeconds;
    return game;
}

void GameFiles::recordFinishedGame() {
    if (recorded_ || pastGamesPath_.isEmpty() || !gameFinished()) return;
    recorded_ = true;
    const QString problem = addPastGame(pastGamesPath_, pastGame());
    if (!problem.isEmpty()) ui_.inform(problem);
}

void GameFiles::updateResume() {
    if (resume_ != nullptr) resume_->setEnabled(itemsEnabled_ && canResume());
}

} // namespace dealbrix
