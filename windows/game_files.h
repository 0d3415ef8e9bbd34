#pragma once
// Saved games in the windows: the New, Open, Save and Resume items of the File menu, and the
// autosave written after every completed action.

#include "file_syncer.h"
#include "game.h"
#include "new_game_dialog.h"
#include "past_games.h"
#include "saved_game.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QMenu;

namespace dealbrix {

class BoardWindow;
class QtUi;

/// Opens, saves and autosaves the game shown by a board window.
class GameFiles final : public QObject {
    Q_OBJECT
  public:
    /// Asks the player for a file name; an empty string when the player cancels.
    using PathChooser = std::function<QString()>;
    /// Fills in what a saved game holds beside the game itself (computer seats, the log).
    using Collector = std::function<void(SavedGame&)>;
    /// Puts back what an opened saved game holds beside the game itself.
    using Restorer = std::function<void(const SavedGame&)>;
    /// Asks for a table, offering `offered`; nothing when the player cancels (the New Game dialog).
    using TableChooser = std::function<std::optional<TableChoice>(const TableChoice& offered)>;
    /// Seats the computer as a table says, as the Computer items would.
    using SeatSetter = std::function<void(const TableChoice&)>;

    /// Serves `board`, whose boxes `ui` shows; `random` shuffles the decks of a new game. The
    /// autosave goes to `autosavePath`.
    GameFiles(BoardWindow& board, QtUi& ui, RandomSource& random, QString autosavePath);

    /// Where the program keeps its autosave: the user's application data folder.
    static QString defaultAutosavePath();

    /// Adds New Game, Open Game..., Save Game... and Resume Last Game after a separator.
    void buildGameFileMenu(QMenu* file);
    /// Replaces the file dialogs (tests answer them without a real dialog).
    void setPathChoosers(PathChooser open, PathChooser save);
    /// Saves and opens the computer seats and the log through `collect` and `restore`.
    void setCompanions(Collector collect, Restorer restore);

    /// Enables or disables New, Open, Save and Resume together: a game played elsewhere (a network
    /// game) is neither replaced nor saved from here.
    void setItemsEnabled(bool enabled);

    /// New Game...: after the abandon question (while a game is on), asks for the table and starts it.
    void newGame();
    /// Replaces the running game with a fresh one, as at program start.
    void resetGame();
    /// Starts a fresh game at `table`, exactly as the Players item, the Computer items and Start would.
    void startTable(const TableChoice& table);
    /// Replaces the New Game dialog (tests answer it without a real dialog).
    void setTableChooser(TableChooser chooser) { chooseTable_ = std::move(chooser); }
    /// Seats the computer as a chosen table says.
    void setSeatSetter(SeatSetter setter) { setSeats_ = std::move(setter); }
    /// The table the New Game dialog offers first (the last one started), and where it is remembered.
    void setOfferedTable(const TableChoice& table) { offered_ = table; }
    void setTableRemembered(std::function<void(const TableChoice&)> remember) {
        remember_ = std::move(remember);
    }
    /// True while a started game is not finished: New and Open ask before replacing it.
    bool gameInProgress() const;
    /// Asks "Abandon the game in progress?" while a game is on; true when it may be replaced.
    bool mayReplaceGame();
    /// Where finished games are listed (Past Games); empty keeps no list.
    void setPastGamesPath(QString path) { pastGamesPath_ = std::move(path); }
    const QString& pastGamesPath() const { return pastGamesPath_; }
    /// Adds the finished game to the past games, saying so if the list was damaged or cannot be written.
    void recordFinishedGame();
    /// The finished game as the past games list it: seats, rules, winner, rounds, playing time.
    PastGame pastGame() const;
    /// Seconds this game has been played, across saves.
    std::int64_t playSeconds() const;
    /// Asks for a file and opens it.
    void openGame();
    /// Asks for a file name and saves the game there.
    void saveGame();
    /// Opens the autosaved game.
    void resumeLastGame();
    /// Opens the saved game at `path`; on any failure a box says why and the game is left as it was.
    bool openFile(const QString& path);

    /// Called after every action handed to the game: a completed action is autosaved.
    void afterAction(ActionResult result);
    /// Autosaves the action on its way, if any: called before each of its boxes, so that a program
    /// killed while a box is open plays the action on with the same dice when it is resumed.
    void autosaveInProgress();
    /// True once a player has won or every seat is out.
    bool gameFinished() const;
    /// Deletes the autosave (a finished game leaves none).
    void removeAutosave();
    /// True while an unfinished game waits in the autosave.
    bool canResume() const;
    /// The game as a file would hold it now.
    SavedGame snapshot() const;

    const QString& autosavePath() const { return autosavePath_; }
    /// Actions completed since the game began, carried through saves.
    std::int64_t actionCount() const { return actions_; }
    /// Waits until the autosave written last has reached the disk (it is written without waiting).
    void waitForAutosaveOnDisk() { syncer_.waitUntilSynced(); }

  private:
    void autosave();
    void updateResume();

    BoardWindow& board_;
    QtUi& ui_;
    RandomSource& random_;
    QString autosavePath_;
    PathChooser chooseOpenPath_;
    Collector collect_;
    Restorer restore_;
    PathChooser chooseSavePath_;
    QAction* resume_ = nullptr;
    std::vector<QAction*> items_; // New, Open, Save, Resume
    bool itemsEnabled_ = true;
    std::int64_t actions_ = 0;
    TableChooser chooseTable_;
    SeatSetter setSeats_;
    TableChoice offered_;
    std::function<void(const TableChoice&)> remember_;
    QString pastGamesPath_;
    std::int64_t secondsBefore_ = 0; // playing time of earlier sessions of this game
    QElapsedTimer clock_;            // since this session of the game began
    bool recorded_ = false;          // the finished game is in the past games already
    bool autosaveFailed_ = false;    // a failing autosave is reported once, not after every action
    FileSyncer syncer_;              // the autosave's disk sync, off the window's thread
};

} // namespace dealbrix
