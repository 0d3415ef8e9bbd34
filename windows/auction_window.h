#pragma once
// The Auction window: one bidder's turn in the auction of a square turned down at the purchase question.

#include "game.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <array>

namespace dealbrix {

/// A modal top-level window titled "Auction" for the bid the question asks of its seat: the square's
/// title in its colour, whose bid it is, the high bid and who holds it, an amount with +10, +50 and
/// +100, and Bid and Pass. Closing it passes.
class AuctionWindow final : public QDialog {
    Q_OBJECT
  public:
    /// Loaded from the auction under way in `state` and the bid `question` asks for.
    AuctionWindow(const GameState& state, const Box& question, QWidget* parent = nullptr);

    /// Shows the window until the bidder answers; the amount bid, or 0 for a pass.
    int ask();
    /// The amount Bid would give now.
    int amount() const { return amount_->value(); }
    /// Shows a bid the computer has made (`amount`, or 0 for a pass) with nothing to press.
    void showChosen(int amount);

    QSpinBox* amountField() const { return amount_; }
    QPushButton* bidButton() const { return bid_; }
    QPushButton* passButton() const { return pass_; }
    /// The +10, +50 and +100 buttons, in that order.
    const std::array<QPushButton*, 3>& raiseButtons() const { return raises_; }

  private:
    QSpinBox* amount_;
    QPushButton* bid_;
    QPushButton* pass_;
    std::array<QPushButton*, 3> raises_{};
    QLabel* status_;
};

} // namespace dealbrix
