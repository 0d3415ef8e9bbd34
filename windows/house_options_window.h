#pragma once
// The House Options window: Buy House, Sell House and Mortgage for the square last clicked.

#include "game.h"
#include "widgets.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace dealbrix {

class BoardWindow;

/// The window "House Options". It draws what the game loaded for it and passes its three clicks on.
class HouseOptionsWindow final : public SecondaryWindow {
    Q_OBJECT
  public:
    explicit HouseOptionsWindow(BoardWindow& board);

    /// Draws the title, its colour, the buttons' states and the mortgage caption.
    void draw(const GameState& state);

  protected:
  private:
    QLabel* title_;
    QPushButton* buyButton_;
    QPushButton* mortgageButton_;
    QPushButton* sellButton_;
};

} // namespace dealbrix
