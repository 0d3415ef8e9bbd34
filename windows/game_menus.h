#pragma once
// The Game and Help menus: Statistics, Past Games, How to Play, About Dealbrix and About Qt.

#include "board_window.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

namespace dealbrix {

class HowToPlayWindow;
class PastGamesWindow;
class QtUi;
class Remembered;
class StatisticsWindow;

/// Adds the Game menu and, at the right, the Help menu to the board, and keeps their windows.
class GameMenus final : public QObject {
    Q_OBJECT
  public:
    /// Serves `board`; messages go through `ui`; the past games are read from `pastGamesPath`;
    /// `version` is the program's for About Dealbrix. Window places are remembered through
    /// `remembered` when it is given.
    GameMenus(BoardWindow& board, QtUi& ui, QString pastGamesPath, QString version,
              Remembered* remembered = nullptr);

    /// Opens the Statistics window, or brings it forward; it follows the game from then on.
    void openStatistics();
    /// Opens the Past Games window with the list as it is on disk now.
    void openPastGames();
    /// Opens the How to Play window (F1).
    void openHowToPlay();
    /// The About Dealbrix box.
    void showAbout();

    StatisticsWindow* statisticsWindow() const;
    PastGamesWindow* pastGamesWindow() const;
    HowToPlayWindow* howToPlayWindow() const;
    QAction* item(const char* objectName) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void addMenus();
    void bringUp(QWidget* window, bool fresh);

    BoardWindow& board_;
    QtUi& ui_;
    QString pastGamesPath_;
    QString version_;
    Remembered* remembered_;
    QPointer<StatisticsWindow> statistics_;
    QPointer<PastGamesWindow> pastGames_;
    QPointer<HowToPlayWindow> howToPlay_;
};

} // namespace dealbrix
