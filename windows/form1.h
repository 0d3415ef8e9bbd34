#pragma once
// The game board window: the 40 square pictures, tokens, dice, money lines, buttons and menu. It
// also keeps the three secondary windows in step with the game.

#include "game.h"
#include "widgets.h"

#include <QAction>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>

#include <array>
#include <functional>

namespace dealbrix {

class Properties;
class HouseWork;
class Trade;

/// The main window. It passes every click to the game and redraws all four windows afterwards.
class Form1 final : public QMainWindow {
    Q_OBJECT
  public:
    /// Builds the board for `game`, whose load has already run, and shows nothing yet.
    explicit Form1(Game& game, QWidget* parent = nullptr);
    ~Form1() override;

    /// Shows the board and the ownership grid beside it.
    void showWithGrid();
    /// Runs one handler of the game and redraws the windows. A handler that ends the program stops there.
    void act(const std::function<void(Game&)>& handler);
    /// Redraws all four windows from the game; opens or discards the secondary windows it shows.
    void syncAll();
    /// True once the game has ended the program (only a test's screen lets the windows live on).
    bool ended() const { return ended_; }

    Game& game() { return game_; }
    Properties* properties() const { return properties_; }
    /// The House Options window, or nullptr while it is closed.
    HouseWork* houseWork() const;
    /// The trade window, or nullptr while it is closed.
    Trade* trade() const;

    /// Opens the House Options window for `square` as a click on its picture does.
    void clickSquare(int square);
    /// Opens the trade window with `player` as the other party, as a grid heading click does.
    void clickPlayerHeading(int player);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildBoard(QWidget* board);
    void buildMenu();
    void drawBoard();
    void syncSecondaryWindows();
    void raiseWindow(QWidget* window);
    void stepAroundBoard(int from, Qt::Key key);
    void makeKeyboardSquare(int square);

    Game& game_;
    bool ended_ = false;
    int keyboardSquare_ = 0; // the one square picture in the tab chain; arrows move it round the ring
    std::array<ClickableLabel*, kSquareCount> Square{};
    std::array<QLabel*, kPlayerCount + 1> lbl{};    // 1..4
    std::array<QLabel*, 3> Dice{};                  // 1..2
    std::array<QLabel*, 6> die{};                   // die(n) holds the face of n + 1
    std::array<QLabel*, kPlayerCount + 1> Label1{}; // 1..4
    QLabel* lblTurn = nullptr;
    QPushButton* cmdRoll = nullptr;
    QPushButton* cmdEndTurn = nullptr;
    QPushButton* cmdBankrupt = nullptr;
    std::array<QAction*, kPlayerCount + 1> mnuFilePlayers{}; // 2..4
    Properties* properties_ = nullptr;
    QPointer<HouseWork> houseWork_;
    QPointer<Trade> trade_;
};

} // namespace dealbrix
