#pragma once
// The trade window: money and squares each side gives, and the offer.

#include "game.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <array>

namespace dealbrix {

class Form1;

/// The window "Trade". Side 0 is the player holding the turn, side 1 the player chosen in the grid.
/// Its text fields are its own; Enter in them and its buttons go to the game.
class Trade final : public QWidget {
    Q_OBJECT
  public:
    explicit Trade(Form1& board);

    /// Draws the names, running sums and lists the game keeps for the window.
    void draw(const GameState& state);

  signals:
    /// The user closed the window with its close box.
    void closedByUser();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Form1& board_;
    QLabel* lblTrader;
    QLabel* lblTradee;
    std::array<QLineEdit*, 2> txtMoney{};
    std::array<QLineEdit*, 2> txtProperty{};
    std::array<QPushButton*, 2> cmdHelp{};
    std::array<QLabel*, 2> lblMoneyOff{};
    std::array<std::array<QLabel*, 7>, 2> PropOff{};
    QPushButton* cmdOffer;
};

} // namespace dealbrix
