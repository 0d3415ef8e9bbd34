#include "boxes.h"
#include "house_options_window.h"
#include "ownership_grid.h"
#include "trade_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QSpontaneKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

QRect pixels(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

struct Row {
    int square;
    const char* caption;
    int top;
    QColor colour;
};

const QColor kPurple(128, 0, 128), kCyan(0, 255, 255), kMagenta(255, 0, 255), kOrange(255, 128, 0),
    kRed(255, 0, 0), kYellow(255, 255, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kGrey(128, 128, 128);

// clang-format off
const Row kRows[] = {
    {1, "Mediteranean Avenue", 480, kPurple},     {3, "Baltic Avenue", 840, kPurple},
    {6, "Oriental Avenue", 1440, kCyan},          {8, "Vermont Avenue", 1800, kCyan},
    {9, "Connecticut Avenue", 2160, kCyan},       {11, "St. Charles Place", 2640, kMagenta},
    {13, "States Avenue", 3000, kMagenta},        {14, "Virginia Avenue", 3360, kMagenta},
    {16, "St. James Place", 3840, kOrange},       {18, "Tennesse Avenue", 4200, kOrange},
    {19, "New York Avenue", 4560, kOrange},       {21, "Kentucky Avenue", 5040, kRed},
    {23, "Indiana Avenue", 5400, kRed},           {24, "Illinois Avenue", 5760, kRed},
    {26, "Atlantic Avenue", 6240, kYellow},       {27, "Ventor Avenue", 6600, kYellow},
    {29, "Marvin Gardens", 6960, kYellow},        {31, "Pacific Avenue", 7440, kGreen},
    {32, "North Carolina Avenue", 7800, kGreen},  {34, "Pennsilvania Avenue", 8160, kGreen},
    {37, "Park Place", 8640, kBlue},              {39, "Boardwalk", 9000, kBlue},
    {5, "Reading Railroad", 9600, kGrey},         {15, "Pennsilvania Railroad", 9960, kGrey},
    {25, "B && O Railroad", 10320, kGrey},        {35, "Short Line", 10680, kGrey},
    {12, "Electric Company", 11160, kGrey},       {28, "Water Works", 11520, kGrey},
};
// clang-format on

constexpr int kBoxLeft[] = {0, 0, 2520, 5160, 7680};
constexpr int kHeadingLeft[] = {0, 120, 2640, 5280, 7800};

OwnershipGrid& grid(Windows& w) {
    return *w.board.grid();
}

QCheckBox* box(Windows& w, int player, int square) {
    auto* found = grid(w).findChild<QCheckBox*>(QStringLiteral("chkP%1(%2)").arg(player).arg(square));
    EXPECT_NE(found, nullptr) << player << "/" << square;
    return found;
}

QLabel* heading(Windows& w, int player) {
    auto* found = grid(w).findChild<QLabel*>(QStringLiteral("lblPlayer(%1)").arg(player));
    EXPECT_NE(found, nullptr) << player;
    return found;
}

/// Squares whose box is ticked in each player's column, as "player:square".
QStringList ticked(Windows& w) {
    QStringList found;
    for (int p = 1; p <= 4; ++p)
        for (const Row& row : kRows)
            if (box(w, p, row.square)->isChecked()) found << QStringLiteral("%1:%2").arg(p).arg(row.square);
    return found;
}

} // namespace

TEST(GridWindow, HeadingsAndBoxesStandWhereTheLayoutPutsThem) {
    Windows w;
    EXPECT_EQ(grid(w).windowTitle(), "Properties");
    EXPECT_EQ(grid(w).size(), QSize(695, 847));
    EXPECT_TRUE(grid(w).isVisible());
    EXPECT_EQ(grid(w).findChildren<QCheckBox*>().size(), 4 * 28);
    for (int p = 1; p <= 4; ++p) {
        QLabel* title = heading(w, p);
        EXPECT_EQ(title->text(), QStringLiteral("Player %1:").arg(p));
        EXPECT_EQ(title->geometry(), pixels(kHeadingLeft[p], 0, 1695, 375)) << p;
        EXPECT_TRUE(title->alignment() & Qt::AlignHCenter);
        EXPECT_EQ(title->font().pointSizeF(), 13.5);
        for (const Row& row : kRows) {
            QCheckBox* b = box(w, p, row.square);
            EXPECT_EQ(b->geometry(), pixels(kBoxLeft[p], row.top, 2295, 255)) << p << "/" << row.square;
            EXPECT_EQ(b->text(), row.caption);
        }
    }
    EXPECT_EQ(box(w, 3, 25)->accessibleName(), "B & O Railroad");
}

TEST(GridWindow, BoxesWearTheirGroupColour) {
    Windows w;
    for (int p = 1; p <= 4; ++p) {
        for (const Row& row : kRows) {
            QCheckBox* b = box(w, p, row.square);
            const QImage picture = b->grab().toImage();
            // The top right corner of the box lies beyond every caption.
            EXPECT_EQ(picture.pixelColor(picture.width() - 2, 1).rgb(), row.colour.rgb())
                << p << "/" << row.square;
        }
    }
}

TEST(GridWindow, BoxesStartClearAndIgnoreClicks) {
    Windows w;
    w.start(2);
    for (int p = 1; p <= 4; ++p)
        for (const Row& row : kRows)
            EXPECT_FALSE(box(w, p, row.square)->isEnabled());
    QTest::mouseClick(box(w, 1, 3), Qt::LeftButton);
    QTest::mouseClick(box(w, 2, 39), Qt::LeftButton);
    EXPECT_TRUE(ticked(w).isEmpty());
}

TEST(GridWindow, BoxesFollowPurchaseMortgageAndBankruptcy) {
    Windows w;
    w.start(2);
    w.random.dice(3, 3);
    w.boxes.expect({msg("Player 1 lands on Oriental Avenue $100"),
                    ask("Buy Oriental Avenue?", true, "Buy Property"),
                    msg("Oriental Avenue Bought by player 1"), msg("Doubles, Roll Again !!")});
    w.click(&w.board, "cmdRoll");
    EXPECT_EQ(ticked(w), QStringList{"1:6"});
    w.click(&w.board, "cmdEndTurn");

    w.board.clickSquare(6);
    w.click(w.board.houseOptionsWindow(), "cmdMortgage");
    EXPECT_EQ(w.s().owners[6], 5);
    EXPECT_EQ(ticked(w), QStringList{"1:6"});

    w.s().money[1] = 20; // too little for the next purchase
    w.random.dice(1, 2);
    const ExpectedBox debt = msg(debtText(1));
    w.boxes.expect({msg("Player 1 lands on Connecticut Avenue $120"),
                    ask("Buy Connecticut Avenue?", true, "Buy Property"),
                    msg("Connecticut Avenue Bought by player 1"), debt, debt});
    w.click(&w.board, "cmdRoll");
    EXPECT_EQ(ticked(w), (QStringList{"1:6", "1:9"}));

    w.click(&w.board, "cmdBankrupt");
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(ticked(w), QStringList{"1:6"});
}

TEST(GridWindow, CloseBoxLeavesTheGridOpenButTheBoardAndQuittingCloseIt) {
    Windows w;
    // The close box arrives from the window system.
    QCloseEvent closeBox;
    QSpontaneKeyEvent::setSpontaneous(&closeBox);
    QCoreApplication::instance()->notify(&grid(w), &closeBox); // sendEvent would clear the mark
    EXPECT_FALSE(closeBox.isAccepted());
    EXPECT_TRUE(grid(w).isVisible());
    // Closing from the program (the board closing, the application quitting) is let through.
    EXPECT_TRUE(grid(w).close());
}

TEST(GridWindow, HeadingOpensTradeAndALaterHeadingOnlyChangesTheOtherParty) {
    Windows w;
    w.start(4);
    QTest::mouseClick(heading(w, 3), Qt::LeftButton);
    EXPECT_EQ(w.s().tradePartner, 3);
    TradeWindow* trade = w.board.tradeWindow();
    ASSERT_NE(trade, nullptr);
    EXPECT_TRUE(trade->isVisible());
    EXPECT_EQ(trade->findChild<QLabel*>("lblTradee")->text(), "Player 3");

    QTest::mouseClick(heading(w, 2), Qt::LeftButton);
    EXPECT_EQ(w.s().tradePartner, 2);
    EXPECT_EQ(w.board.tradeWindow(), trade);
    EXPECT_TRUE(trade->isVisible());
    EXPECT_EQ(trade->findChild<QLabel*>("lblTradee")->text(), "Player 3");
    EXPECT_TRUE(w.boxes.shown().empty());
}
