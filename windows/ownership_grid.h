#pragma once
// The ownership grid: one column of check boxes per player, ticked while that player owns the square.

#include "game.h"
#include "widgets.h"

#include <QCheckBox>
#include <QWidget>

#include <array>

namespace dealbrix {

/// The window "Properties". Display only: the game ticks the boxes, the user cannot. Its headings
/// open the trade window. Its close box does nothing: the game never shows it again, and it is the
/// only way into trading; it closes with the board or when the application quits.
class OwnershipGrid final : public QWidget {
    Q_OBJECT
  public:
    explicit OwnershipGrid(QWidget* board);

    /// Ticks exactly the boxes the game shows ticked.
    void draw(const GameState& state);
    /// The box of `player` (1..4) for `square`, or nullptr for a square that cannot be owned.
    QCheckBox* box(int player, int square) const;

  signals:
    /// A click on the heading of player 1..4.
    void headingClicked(int player);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    std::array<ClickableLabel*, kPlayerCount + 1> headings_{};
    // chkP1..chkP4 by square; squares that cannot be owned have no box.
    std::array<std::array<QCheckBox*, kSquareCount>, kPlayerCount + 1> boxes_{};
};

} // namespace dealbrix
