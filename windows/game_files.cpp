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
        return action;
    };
    item("mnuFileNewGame", QStringLiteral("&New Game"), QKeySequence::New, &GameFiles::newGame);
    item("mnuFileOpenGame", QStringLiteral("&Open Game..."), QKeySequence::Open, &GameFiles::openGame);
    item("mnuFileSaveGame", QStringLiteral("&Save Game..."), QKeySequence::Save, &GameFiles::saveGame);
    resume_ = item("mnuFileResumeGame", QStringLiteral("&Resume Last Game"), QKeySequence::UnknownKey,
                   &GameFiles::resumeLastGame);
    // The autosave may come and go behind the program's back (another copy of it, a file manager).
    connect(file, &QMenu::aboutToShow, this, &GameFiles::updateResume);
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
    // A new Game object deals fresh decks exactly as the program's own start does. The autosave of
    // the old game stays until the new game's first action replaces it, so Resume can bring it back.
    Game fresh(ui_, random_);
    // The table keeps its house rules for the next game; the Rules window can change them before Start.
    fresh.chooseRules(board_.game().state.rules);
    board_.game().restore(fresh.state);
    actions_ = 0;
    board_.syncAll();
}

void GameFiles::openGame() {
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
        ui_.inform(
            QStringLiteral("%1 cannot be opened.\n\n%2").arg(QFileInfo(path).fileName(), loaded.error));
        return false;
    }
    board_.game().restore(loaded.game->state);
    actions_ = loaded.game->actions;
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
    if (collect_) collect_(saved);
    return saved;
}

void GameFiles::autosaveInProgress() {
    if (board_.game().inProgress() != nullptr && !gameFinished()) autosave();
}

void GameFiles::autosave() {
    QDir().mkpath(QFileInfo(autosavePath_).absolutePath());
    const QString error = saveGameFile(autosavePath_, snapshot());
    if (!error.isEmpty() && !autosaveFailed_) ui_.inform(error);
    autosaveFailed_ = !error.isEmpty();
    updateResume();
}

void GameFiles::updateResume() {
    if (resume_ != nullptr) resume_->setEnabled(canResume());
}

} // namespace dealbrix
