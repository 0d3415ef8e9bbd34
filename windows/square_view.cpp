#include "square_view.h"

#include <QPainterPath>

namespace dealbrix {

namespace {
// Sizes in pixels at 1x, matching the square pictures (assets/make_assets.py).
constexpr qreal kBorder = 1;     // the dark outline round every picture
constexpr qreal kBandDepth = 14; // a street's colour band along the inner edge
constexpr qreal kMarkSize = 16;  // the legs of the owner's corner triangle
constexpr qreal kHouseWidth = 8;
constexpr qreal kHouseHeight = 9;
constexpr qreal kHouseGap = 2;
constexpr qreal kHotelLength = 20; // along the band
constexpr qreal kHotelDepth = 11;  // across the band
constexpr qreal kHotelColumnWidth = 11;
constexpr qreal kHouseRoof = 0.45; // share of a building's height under its roof
constexpr qreal kHotelRoof = 0.3;
const QColor kInk(34, 34, 38);
const QColor kHouseColour(36, 140, 64);
const QColor kHotelColour(168, 16, 40);
const QColor kHalo(255, 255, 255, 230); // a light rim keeps a building clear of any band colour
constexpr qreal kHaloWidth = 2.5;
const QColor kMortgageShade(70, 70, 76, 120);
const QColor kMortgageLines(40, 40, 44, 170);

/// A house (square body and pitched roof) or a hotel (broad body, low roof) standing in `box`.
QPainterPath building(const QRectF& box, qreal roofShare) {
    const qreal roof = box.height() * roofShare;
    QPainterPath path;
    path.moveTo(box.left(), box.bottom());
    path.lineTo(box.left(), box.top() + roof);
    path.lineTo(box.center().x(), box.top());
    path.lineTo(box.right(), box.top() + roof);
    path.lineTo(box.right(), box.bottom());
    path.closeSubpath();
    return path;
}

/// A building filled with `fill`, outlined in ink inside a light rim.
void drawBuilding(QPainter& painter, const QPainterPath& path, const QColor& fill) {
    painter.strokePath(path, QPen(kHalo, kHaloWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setPen(QPen(kInk, 1));
    painter.setBrush(fill);
    painter.drawPath(path);
}
} // namespace

InnerEdge innerEdgeOf(int square) {
    if (square > 10 && square < 20) return InnerEdge::Right;
    if (square > 20 && square < 30) return InnerEdge::Bottom;
    if (square > 30 && square < 40) return InnerEdge::Left;
    return InnerEdge::Top;
}

SquareView::SquareView(int square, QWidget* parent) : ClickableLabel(parent), inner_(innerEdgeOf(square)) {}

void SquareView::setHolding(const SquareHolding& holding) {
    if (holding == holding_) return;
    holding_ = holding;
    update();
}

QRectF SquareView::band() const {
    const QRectF inside = QRectF(rect()).adjusted(kBorder, kBorder, -kBorder, -kBorder);
    switch (inner_) {
    case InnerEdge::Top:
        return {inside.left(), inside.top(), inside.width(), kBandDepth};
    case InnerEdge::Right:
        return {inside.right() - kBandDepth, inside.top(), kBandDepth, inside.height()};
    case InnerEdge::Bottom:
        return {inside.left(), inside.bottom() - kBandDepth, inside.width(), kBandDepth};
    case InnerEdge::Left:
        return {inside.left(), inside.top(), kBandDepth, inside.height()};
    }
    return inside;
}

void SquareView::paintOver(QPainter& painter) {
    if (holding_ == SquareHolding{}) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (holding_.mortgaged) paintHatch(painter);
    if (holding_.houses > 0) paintHouses(painter);
    if (holding_.owner != kBank) paintOwnerMark(painter);
    painter.restore();
}

void SquareView::paintHatch(QPainter& painter) const {
    const QRectF inside = QRectF(rect()).adjusted(kBorder, kBorder, -kBorder, -kBorder);
    painter.fillRect(inside, kMortgageShade);
    painter.fillRect(inside, QBrush(kMortgageLines, Qt::BDiagPattern));
}

void SquareView::paintHouses(QPainter& painter) const {
    const QRectF strip = band();
    const bool alongRow = inner_ == InnerEdge::Top || inner_ == InnerEdge::Bottom;
    if (holding_.houses >= kHotel) {
        // One broad building in the middle of the band, upright on screen whichever side it is on.
        const QSizeF size =
            alongRow ? QSizeF(kHotelLength, kHotelDepth) : QSizeF(kHotelColumnWidth, kHotelLength);
        QRectF box(QPointF(), size);
        box.moveCenter(strip.center());
        drawBuilding(painter, building(box, kHotelRoof), kHotelColour);
        return;
    }
    // Up to four houses in a row along the band, centred, each standing upright on screen.
    const int count = holding_.houses;
    const qreal step = (alongRow ? kHouseWidth : kHouseHeight) + kHouseGap;
    const qreal length = step * count - kHouseGap;
    const QPointF centre = strip.center();
    for (int k = 0; k < count; ++k) {
        const qreal offset = -length / 2 + step * k;
        QRectF box(0, 0, kHouseWidth, kHouseHeight);
        if (alongRow)
            box.moveTopLeft({centre.x() + offset, centre.y() - kHouseHeight / 2});
        else
            box.moveTopLeft({centre.x() - kHouseWidth / 2, centre.y() + offset});
        drawBuilding(painter, building(box, kHouseRoof), kHouseColour);
    }
}

void SquareView::paintOwnerMark(QPainter& painter) const {
    // A triangle in the owner's token colour in a corner on the outer edge, away from the band and
    // from the top left corner where tokens stand.
    const QRectF inside = QRectF(rect()).adjusted(kBorder, kBorder, -kBorder, -kBorder);
    QPointF corner;
    QPointF alongX;
    QPointF alongY;
    switch (inner_) {
    case InnerEdge::Top:  // bottom row: outer edge at the bottom
    case InnerEdge::Left: // right column: outer edge at the right
        corner = inside.bottomRight();
        alongX = {-kMarkSize, 0};
        alongY = {0, -kMarkSize};
        break;
    case InnerEdge::Right: // left column: outer edge at the left
        corner = inside.bottomLeft();
        alongX = {kMarkSize, 0};
        alongY = {0, -kMarkSize};
        break;
    case InnerEdge::Bottom: // top row: outer edge at the top
        corner = inside.topRight();
        alongX = {-kMarkSize, 0};
        alongY = {0, kMarkSize};
        break;
    }
    const QPointF triangle[] = {corner, corner + alongX, corner + alongY};
    painter.setPen(QPen(kInk, 1));
    painter.setBrush(tokenColour(holding_.owner));
    painter.drawPolygon(triangle, 3);
}

} // namespace dealbrix
