#include "ownership_grid.h"

#include <QCloseEvent>

namespace dealbrix {

namespace {
constexpr int kClientWidth = 10425;
constexpr int kClientHeight = 12705;
constexpr std::array<int, kPlayerCount + 1> kHeadingLeft{0, 120, 2640, 5280, 7800};
constexpr std::array<int, kPlayerCount + 1> kBoxLeft{0, 0, 2520, 5160, 7680};
constexpr int kHeadingWidth = 1695;
constexpr int kHeadingHeight = 375;
constexpr double kHeadingPoints = 13.5;
constexpr int kBoxWidth = 2295;
constexpr int kBoxHeight = 255;
// Top of each check box row, in the order of the game's grid rows: 360 apart within a group, more
// between groups.
constexpr std::array<int, 28> kRowTop{480,  840,  1440, 1800, 2160,  2640,  3000,  3360, 3840, 4200,
                                      4560, 5040, 5400, 5760, 6240,  6600,  6960,  7440, 7800, 8160,
                                      8640, 9000, 9600, 9960, 10320, 10680, 11160, 11520};
} // namespace

OwnershipGrid::OwnershipGrid(QWidget* board) : QWidget(board, Qt::Window) {
    setWindowTitle(QStringLiteral("Properties"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("Properties"));
    setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight));

    const QFont headingFont = gameFont(kHeadingPoints);
    for (int p = 1; p <= kPlayerCount; ++p) {
        auto* heading = new ClickableLabel(QStringLiteral("Player %1:").arg(p), this);
        placeTwips(heading, kHeadingLeft[static_cast<std::size_t>(p)], 0, kHeadingWidth, kHeadingHeight);
        heading->setAlignment(Qt::AlignCenter);
        heading->setFont(headingFont);
        heading->setCursor(Qt::PointingHandCursor);
        heading->setFocusPolicy(Qt::TabFocus); // the only way into trading, so the keyboard reaches it too
        heading->setToolTip(QStringLiteral("Trade with Player %1").arg(p));
        nameControl(heading, QStringLiteral("lblPlayer(%1)").arg(p), heading->text());
        connect(heading, &ClickableLabel::clicked, this, [this, p] { emit headingClicked(p); });
        headings_[static_cast<std::size_t>(p)] = heading;

        for (std::size_t r = 0; r < gridRows().size(); ++r) {
            const GridRow& row = gridRows()[r];
            // A check box shows a doubled "&" as one, so the grid's own caption goes in as it stands.
            auto* box = new QCheckBox(toQString(row.caption), this);
            placeTwips(box, kBoxLeft[static_cast<std::size_t>(p)], kRowTop.at(r), kBoxWidth, kBoxHeight);
            // A check box fills its background with the Button colour; its caption stays readable
            // although the box is disabled.
            const QColor colour = toQColor(groupColour(row.square));
            const QColor caption = captionColourOn(colour);
            QPalette palette = box->palette();
            palette.setColor(QPalette::Button, colour);
            for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                palette.setColor(group, QPalette::Button, colour);
                palette.setColor(group, QPalette::WindowText, caption);
                palette.setColor(group, QPalette::ButtonText, caption);
                palette.setColor(group, QPalette::Text, Qt::black); // the tick itself
                palette.setColor(group, QPalette::Base, Qt::white);
            }
            box->setPalette(palette);
            box->setAutoFillBackground(true);
            box->setEnabled(false);
            nameControl(box, QStringLiteral("chkP%1(%2)").arg(p).arg(row.square), labelText(row.caption));
            boxes_[static_cast<std::size_t>(p)][static_cast<std::size_t>(row.square)] = box;
        }
    }
}

QCheckBox* OwnershipGrid::box(int player, int square) const {
    if (!isPlayer(player) || !isSquare(square)) return nullptr;
    return boxes_[static_cast<std::size_t>(player)][static_cast<std::size_t>(square)];
}

void OwnershipGrid::draw(const GameState& state) {
    for (int p = 1; p <= kPlayerCount; ++p) {
        for (const GridRow& row : gridRows())
            box(p, row.square)->setChecked(state.grid.ticked[p][row.square]);
        // A long name is shortened on the heading; its accessible name and tip keep it whole.
        ClickableLabel* heading = headings_[static_cast<std::size_t>(p)];
        const QString called = toQString(seatName(state, p)) + QLatin1Char(':');
        const QString shown = heading->fontMetrics().elidedText(called, Qt::ElideMiddle, heading->width());
        if (heading->text() == shown && heading->accessibleName() == called) continue;
        heading->setText(shown);
        heading->setAccessibleName(called);
        heading->setToolTip(QStringLiteral("Trade with %1").arg(toQString(seatName(state, p))));
    }
}

void OwnershipGrid::closeEvent(QCloseEvent* event) {
    // The close box (a request from the window system) is refused; the board closing the grid, or
    // the application quitting, is not.
    if (event->spontaneous())
        event->ignore();
    else
        event->accept();
}

} // namespace dealbrix
