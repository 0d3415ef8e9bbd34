#pragma once
// The game board window: the 40 square pictures, tokens, dice, money lines, buttons and menu. It
// also keeps the three secondary windows in step with the game.

#include "game.h"
#include "square_view.h"
#include "widgets.h"

#include <QAction>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <functional>
#include <vector>

namespace dealbrix {

class AuctionWindow;
class OwnershipGrid;
class HouseOptionsWindow;
class TradeWindow;
class QtUi;
class Remembered;

/// The main window. It passes every click to the game and redraws all four windows afterwards.
class BoardWindow final : public QMainWindow {
    Q_OBJECT
  public:
    /// Builds the board for `game`, whose load has already run, and shows nothing yet. The boxes of
    /// `ui` are centred on the board and see the windows up to date.
    BoardWindow(Game& game, QtUi& ui, QWidget* parent = nullptr);
    ~BoardWindow() override;

    /// Shows the board and the ownership grid beside it.
    void showWithGrid();
    /// Hands one action to the game and redraws the windows. Once the program has ended, nothing more
    /// is handed on.
    ActionResult act(const Action& action);
    /// Plays on an action a saved game was taken in the middle of, with its recorded draws and
    /// answers, as `act` hands on a new one. Refused (and nothing changes) when it does not fit.
    ActionResult resumeAction(const ActionInProgress& record);
    /// Redraws all four windows from the game; opens or discards the secondary windows it shows.
    void syncAll();
    /// Called after every action `act` hands to the game, with what became of it (the autosave).
    void setAfterAction(std::function<void(const Action&, ActionResult)> afterAction) {
        afterAction_ = std::move(afterAction);
    }
    /// Runs each Auction window a person bids in; tests replace it, the program execs the window.
    void setAuctionRunner(std::function<int(AuctionWindow&)> runner) { auctionRunner_ = std::move(runner); }
    /// Shows the bid a computer seat has made in the Auction window for `delayMs`, so people can follow
    /// the auction; nothing when the delay is 0.
    void showComputerBid(const Box& question, int amount, int delayMs);
    /// Called before every box, once the windows are up to date (the autosave of an action in progress).
    void setBeforeBox(std::function<void()> beforeBox) { beforeBox_ = std::move(beforeBox); }
    /// The File menu, for items added beside the game's own.
    QMenu* fileMenu() const { return fileMenu_; }
    /// True once the game has ended the program (only a test's screen lets the windows live on).
    bool ended() const { return ended_; }

    Game& game() { return game_; }
    OwnershipGrid* grid() const { return grid_; }
    /// The House Options window, or nullptr while it is closed.
    HouseOptionsWindow* houseOptionsWindow() const;
    /// The trade window, or nullptr while it is closed.
    TradeWindow* tradeWindow() const;

    /// Opens the House Options window for `square` as a click on its picture does.
    void clickSquare(int square);
    /// Opens the trade window with `player` as the other party, as a grid heading click does.
    void clickPlayerHeading(int player);
    /// Moves a window about to open beside the board, clear of the board and the windows already
    /// open, inside the screen. Called once, when the window is made, so a moved window stays put.
    void placeBesideBoard(QWidget* window);
    /// The square picture of square 0..39.
    SquareView* squareView(int square) const { return squares_.at(static_cast<std::size_t>(square)); }

    /// Where windows were last time: the grid opens there when the place is on a screen.
    void setRemembered(Remembered* remembered);
    /// Where the actions of a game played elsewhere go (a network game's server): `act` hands every
    /// action but Exit to `sink` instead of the game, whose state then only changes from outside.
    /// An empty sink puts the local game back in charge.
    using ActionSink = std::function<void(const Action&)>;
    void setActionSink(ActionSink sink);
    /// True while actions go to a sink rather than the game.
    bool hasActionSink() const { return static_cast<bool>(sink_); }
    /// Whether this program may play now. Off, the game's buttons, its Players and Start items and
    /// the House Options and trade windows are disabled and `act` drops everything but Exit; the
    /// windows still move, and the board still shows the game.
    void setControlsEnabled(bool enabled);
    bool controlsEnabled() const { return controlsEnabled_; }
    /// Shows whether seat 1..4 is connected to the game: an away seat's money line says so visibly
    /// and in its description. Every seat is present in a local game.
    void setSeatAway(int seat, bool away);
    bool seatAway(int seat) const { return isPlayer(seat) && away_[seat]; }

  signals:
    /// An action is about to be handed to the game (whoever chose it).
    void acting(const dealbrix::Action& action);
    /// An action has been handed to the game and the windows redrawn.
    void acted();
    /// The windows have been redrawn from the game (after an action, an opened or a new game).
    void synced();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    ActionResult afterActing(const Action& action, ActionResult result);
    void buildBoard(QWidget* board);
    void buildMenu();
    void placeGrid();
    void checkGridSettled();
    void buildMoneySwatches(QWidget* board);
    void drawBoard();
    void drawHoldings();
    void drawSeats();
    void drawHouseRules();
    int askAuction(const Box& question);
    void placeBox(QMessageBox& box, const Box& about);
    QSize frameSizeOf(const QWidget* window) const;
    /// The frames of the grid, House Options and trade windows that are open, but `except`.
    std::vector<QRect> openWindows(const QWidget* except) const;
    void syncSecondaryWindows();
    void raiseWindow(QWidget* window);
    void stepAroundBoard(int from, Qt::Key key);
    void makeKeyboardSquare(int square);

    Game& game_;
    bool ended_ = false;
    int keyboardSquare_ = 0; // the one square picture in the tab chain; arrows move it round the ring
    std::array<SquareView*, kSquareCount> squares_{};
    std::array<QLabel*, kPlayerCount + 1> tokens_{};      // 1..4
    std::array<QLabel*, 3> diceShown_{};                  // 1..2
    std::array<QLabel*, 6> dieFaces_{};                   // dieFaces_[n] holds face n + 1
    std::array<QLabel*, kPlayerCount + 1> moneyLabels_{}; // 1..4
    std::array<QLabel*, kPlayerCount + 1> swatches_{};    // 1..4, the token colour beside each money line
    ActionSink sink_;
    bool controlsEnabled_ = true;
    PlayerArray<bool> away_{};
    std::array<QLabel*, kPlayerCount + 1> awayMarks_{}; // 1..4, "(away)" right of a money line
    QAction* startItem_ = nullptr;
    QLabel* turnLabel_ = nullptr;
    QPushButton* rollButton_ = nullptr;
    QPushButton* endTurnButton_ = nullptr;
    QPushButton* giveUpButton_ = nullptr;
    QLabel* potLabel_ = nullptr;  // the Free Parking pot, with its rule only
    QLabel* bankLabel_ = nullptr; // houses and hotels left, with the limited-houses rule only
    std::array<QAction*, kPlayerCount + 1> playerItems_{}; // 2..4
    OwnershipGrid* grid_ = nullptr;
    QPointer<HouseOptionsWindow> houseOptions_;
    QPointer<TradeWindow> trade_;
    QMenu* fileMenu_ = nullptr;
    Remembered* remembered_ = nullptr;
    bool gridSettling_ = false; // the grid follows the board while the window manager places it
    QTimer settleTimer_;
    int settleChecks_ = 0;
    int exposedChecks_ = 0;
    std::function<void(const Action&, ActionResult)> afterAction_;
    std::function<int(AuctionWindow&)> auctionRunner_;
    std::function<void()> beforeBox_;
};

} // namespace dealbrix
