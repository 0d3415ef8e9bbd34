#pragma once
// A square picture of the board with who holds the square drawn over it: the owner's mark, the
// houses or hotel on the colour band, and a hatch while the square is mortgaged.

#include "ownership.h"
#include "widgets.h"

namespace dealbrix {

/// The side of a square picture that faces the middle of the board, where a street has its band.
enum class InnerEdge { Top, Right, Bottom, Left };

/// The inner edge of square 0..39's picture (corners have none; they report Top).
InnerEdge innerEdgeOf(int square);

/// A board square picture that draws the square's holding over itself.
class SquareView final : public ClickableLabel {
    Q_OBJECT
  public:
    /// The picture of square 0..39, whose inner edge carries the band.
    SquareView(int square, QWidget* parent);

    /// Sets what is drawn over the picture; repaints only when it changed.
    void setHolding(const SquareHolding& holding);
    /// What is drawn over the picture now.
    const SquareHolding& holding() const { return holding_; }

  protected:
    void paintOver(QPainter& painter) override;

  private:
    QRectF band() const;
    void paintHatch(QPainter& painter) const;
    void paintHouses(QPainter& painter) const;
    void paintOwnerMark(QPainter& painter) const;

    InnerEdge inner_;
    SquareHolding holding_;
};

} // namespace dealbrix
