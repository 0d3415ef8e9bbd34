#pragma once
// The trade window: money and squares each side gives, and the offer.

#include "game.h"
#include "widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <array>

namespace dealbrix {

class BoardWindow;

/// The window "Trade". Side 0 is the player holding the turn, side 1 the player chosen in the grid.
/// Its text fields are its own; Enter in them and its buttons go to the game.
class TradeWindow final : public SecondaryWindow {
    Q_OBJECT
  public:
    explicit TradeWindow(BoardWindow& board);

    /// Draws the names, running sums and lists the game keeps for the window.
    void draw(const GameState& state);
    /// Puts the text of a money or square field action into its field, as if typed there (the
    /// computer's typing); other actions are ignored.
    void showTyped(const Action& action);
    /// The part of the window that shows the offer, on the screen: its frame down to just above the
    /// "Finalize offer" button (names, fields, sums and lists).
    QRect offerArea() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    BoardWindow& board_;
    QLabel* traderName_;
    QLabel* partnerName_;
    std::array<QLineEdit*, 2> moneyFields_{};
    std::array<QLineEdit*, 2> squareFields_{};
    std::array<QPushButton*, 2> helpButtons_{};
    std::array<QLabel*, 2> moneyOffered_{};
    std::array<std::array<QLabel*, 7>, 2> offeredSquares_{};
    QPushButton* offerButton_;
};

} // namespace dealbrix
