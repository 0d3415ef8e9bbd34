// The board at a glance: who holds each square, whose each money line is, readable captions, and
// secondary windows and questions that stay clear of what they are about.
#include "boxes.h"
#include "house_options_window.h"
#include "ownership_grid.h"
#include "placement.h"
#include "trade_window.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

QString description(Windows& w, int square) {
    return w.board.squareView(square)->accessibleDescription();
}

void openHouseOptions(Windows& w, int square) {
    QTest::mouseClick(w.board.squareView(square), Qt::LeftButton);
    ASSERT_NE(w.board.houseOptionsWindow(), nullptr);
}

/// Types `text` into a trade window field and presses Enter.
void enter(TradeWindow* trade, const char* field, const QString& text) {
    auto* edit = trade->findChild<QLineEdit*>(QString::fromLatin1(field));
    ASSERT_NE(edit, nullptr) << field;
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

/// The screen the windows open on: wide enough for the board and its three windows side by side.
QRect screenArea(Windows& w) {
    return w.board.screen()->availableGeometry();
}

} // namespace

TEST(SquareDescriptions, FollowAPurchaseABuildAndASale) {
    Windows w;
    w.start(2);
    EXPECT_EQ(description(w, 3), "For sale");
    w.random.dice(2, 1);
    w.boxes.expect({msg("Player 1 lands on Baltic Avenue $60"),
                    ask("Buy Baltic Avenue?", true, "Buy Property"),
                    msg("Baltic Avenue Bought by player 1")});
    w.click(&w.board, "cmdRoll");
    EXPECT_EQ(description(w, 3), "Owned by Player 1");
    EXPECT_EQ(w.board.squareView(3)->holding(), (SquareHolding{.owner = 1, .houses = 0, .mortgaged = false}));

    own(w, 1, 1);
    openHouseOptions(w, 3);
    w.boxes.expect({ask("Are you sure you want to buy a house here?", true),
                    msg("House successfully purchased. Baltic Avenue now has 1 houses")});
    w.click(w.board.houseOptionsWindow(), "cmdBuyHouse");
    EXPECT_EQ(description(w, 3), "Owned by Player 1, 1 house");
    w.s().houses[3] = 4;
    w.boxes.expect({ask("Are you sure you want to buy a house here?", true),
                    msg("House successfully purchased. Baltic Avenue now has 5 houses")});
    w.click(w.board.houseOptionsWindow(), "cmdBuyHouse");
    EXPECT_EQ(description(w, 3), "Owned by Player 1, a hotel");
    EXPECT_EQ(w.board.squareView(3)->holding().houses, kHotel);
    w.boxes.expect({ask("Are you sure you want to sell a house here?", true),
                    msg("House successfully sold. Baltic Avenue now has 4 houses")});
    w.click(w.board.houseOptionsWindow(), "cmdSellHouse");
    EXPECT_EQ(description(w, 3), "Owned by Player 1, 4 houses");
    EXPECT_TRUE(w.board.squareView(3)->toolTip().endsWith("Owned by Player 1, 4 houses"));
    EXPECT_TRUE(w.boxes.done());
}

TEST(SquareDescriptions, FollowAMortgageAndItsRedemption) {
    Windows w;
    w.start(2);
    own(w, 5, 1);
    openHouseOptions(w, 5);
    w.click(w.board.houseOptionsWindow(), "cmdMortgage");
    EXPECT_EQ(description(w, 5), "Mortgaged, owned by Player 1");
    EXPECT_TRUE(w.board.squareView(5)->holding().mortgaged);
    w.click(w.board.houseOptionsWindow(), "cmdMortgage");
    EXPECT_EQ(description(w, 5), "Owned by Player 1");
    EXPECT_EQ(w.board.squareView(5)->accessibleName(), "Reading Railroad $200"); // the name stays
}

TEST(SquareDescriptions, FollowATrade) {
    Windows w;
    w.start(2);
    own(w, 39, 1);
    w.board.clickPlayerHeading(2);
    enter(w.board.tradeWindow(), "txtProperty(0)", QStringLiteral("39"));
    w.boxes.expect({ask("Player 2, do you accept this offer?", true)});
    w.click(w.board.tradeWindow(), "cmdOffer");
    EXPECT_EQ(description(w, 39), "Owned by Player 2");
    EXPECT_EQ(w.board.squareView(39)->holding().owner, 2);
}

TEST(SquareDescriptions, FollowABankruptcy) {
    Windows w;
    w.start(3);
    own(w, 1, 1);
    own(w, 3, 1, true);
    w.s().money[1] = -10;
    w.boxes.expect({msg(debtText(1))});
    w.game.refreshMoney();
    w.board.syncAll();
    w.click(&w.board, "cmdBankrupt");
    EXPECT_EQ(description(w, 1), "For sale");
    EXPECT_EQ(description(w, 3), "Mortgaged, owned by Player 1"); // a mortgaged square keeps its code
    EXPECT_TRUE(w.boxes.done());
}

TEST(SquareDescriptions, OnlyOwnableSquaresHaveOneAndATooltip) {
    Windows w;
    for (int square = 0; square < kSquareCount; ++square) {
        EXPECT_EQ(description(w, square).isEmpty(), !isOwnable(square)) << square;
        EXPECT_EQ(w.board.squareView(square)->toolTip().isEmpty(), !isOwnable(square)) << square;
    }
    // The tool tip shows the title as a label does: one ampersand.
    EXPECT_TRUE(w.board.squareView(25)->toolTip().startsWith("B & O Railroad\nPrice $200\n"));
}

TEST(MoneyLines, EachHasASwatchOfItsTokenColourBesideIt) {
    Windows w;
    for (int p = 1; p <= kPlayerCount; ++p) {
        auto* swatch = w.board.findChild<QLabel*>(QStringLiteral("swatch(%1)").arg(p));
        auto* money = w.board.findChild<QLabel*>(QStringLiteral("Label1(%1)").arg(p));
        ASSERT_NE(swatch, nullptr);
        EXPECT_EQ(swatch->palette().color(QPalette::Window), tokenColour(p));
        EXPECT_EQ(swatch->accessibleName(), QStringLiteral("Player %1 colour").arg(p));
        EXPECT_LT(swatch->geometry().right(), money->geometry().left());
        EXPECT_GE(swatch->geometry().top(), money->geometry().top());
        EXPECT_LE(swatch->geometry().bottom(), money->geometry().bottom());
        // Nothing else on the board stands where the swatch is.
        for (QWidget* other : w.board.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other == swatch || !other->isVisible()) continue;
            EXPECT_FALSE(other->geometry().intersects(swatch->geometry()))
                << other->objectName().toStdString();
        }
    }
}

TEST(MoneyLines, DimOnceTheirSeatIsOutAndKeepTheirNames) {
    Windows w;
    auto* third = w.board.findChild<QLabel*>("Label1(3)");
    EXPECT_TRUE(third->isEnabled()); // before Start every seat may still play
    w.start(2);
    EXPECT_FALSE(third->isEnabled());
    EXPECT_FALSE(w.board.findChild<QLabel*>("swatch(3)")->isEnabled());
    EXPECT_EQ(third->text(), "1500");
    EXPECT_EQ(third->accessibleName(), "Player 3: 1500");
    EXPECT_EQ(third->accessibleDescription(), "Out of the game");
    EXPECT_TRUE(w.board.findChild<QLabel*>("Label1(2)")->isEnabled());
}

TEST(CaptionColours, EveryGroupColourTakesTheCaptionOfHigherContrastAtLeastFourAndAHalf) {
    for (const i16 square : ownableSquares()) {
        const QColor group = toQColor(groupColour(square));
        const QColor caption = captionColourOn(group);
        EXPECT_GE(contrastRatio(group, caption), 4.5) << square;
        const QColor other = caption == QColor(Qt::black) ? QColor(Qt::white) : QColor(Qt::black);
        EXPECT_GE(contrastRatio(group, caption), contrastRatio(group, other)) << square;
    }
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::white, Qt::black), 21.0);
    EXPECT_DOUBLE_EQ(contrastRatio(QColor(0, 0, 255), QColor(0, 0, 255)), 1.0);
    EXPECT_EQ(captionColourOn(QColor(0, 0, 255)), QColor(Qt::white));
    EXPECT_EQ(captionColourOn(QColor(128, 0, 128)), QColor(Qt::white));
    EXPECT_EQ(captionColourOn(QColor(255, 255, 0)), QColor(Qt::black));
}

TEST(CaptionColours, GridBoxesAndTheHouseOptionsTitleUseThem) {
    Windows w;
    for (const int square : {1, 37, 39, 21, 5}) {
        const QColor caption = captionColourOn(toQColor(groupColour(square)));
        EXPECT_EQ(w.board.grid()->box(2, square)->palette().color(QPalette::Disabled, QPalette::ButtonText),
                  caption)
            << square;
        openHouseOptions(w, square);
        auto* title = w.board.houseOptionsWindow()->findChild<QLabel*>("lblTitle");
        EXPECT_EQ(title->palette().color(QPalette::WindowText), caption) << square;
        w.board.houseOptionsWindow()->close(); // the window keeps the square it was opened on
        QCoreApplication::processEvents();
    }
}

TEST(WindowPlacement, BesideTheGridWhenTheScreenIsWide) {
    const QRect board(0, 0, 650, 700);
    const QRect grid(650, 0, 700, 850);
    EXPECT_EQ(placeBeside(board, {grid}, QSize(600, 300), QRect(0, 0, 2560, 1440)), QPoint(1350, 0));
}

TEST(WindowPlacement, BelowTheBoardWhenNothingFitsBesideTheGrid) {
    const QRect board(0, 0, 650, 700);
    const QRect grid(650, 0, 700, 850);
    EXPECT_EQ(placeBeside(board, {grid}, QSize(620, 310), QRect(0, 0, 1920, 1080)), QPoint(0, 700));
    EXPECT_EQ(placeBeside(board, {grid}, QSize(620, 310), QRect(0, 0, 1600, 1050)), QPoint(0, 700));
}

TEST(WindowPlacement, LeftOfTheBoardWhenTheBoardStandsToTheRight) {
    const QRect board(900, 100, 650, 700);
    const QRect grid(1550, 100, 700, 850);
    EXPECT_EQ(placeBeside(board, {grid}, QSize(600, 600), QRect(0, 0, 2250, 800)), QPoint(300, 100));
}

TEST(WindowPlacement, StaysInsideTheScreenAndOffTheBoardWhereverItCan) {
    const QSize window(540, 580);
    for (const QRect screen : {QRect(0, 0, 1280, 720), QRect(0, 0, 1366, 768), QRect(0, 0, 1920, 1080),
                               QRect(-1920, 0, 1920, 1080), QRect(0, 30, 3840, 2130)}) {
        const QRect board(screen.left() + 10, screen.top() + 10, 650, 700);
        const QRect grid(board.right() + 1, board.top(), 700, 850);
        const QRect placed(placeBeside(board, {grid}, window, screen), window);
        EXPECT_TRUE(screen.contains(placed)) << screen.width();
        if (screen.width() >= board.width() + window.width()) {
            EXPECT_FALSE(placed.intersects(board)) << screen.width();
        }
    }
}

TEST(WindowPlacement, ATooSmallScreenKeepsTheWindowsCornerOnIt) {
    const QRect screen(0, 0, 400, 300);
    EXPECT_EQ(placeBeside(QRect(0, 0, 650, 700), {}, QSize(600, 600), screen), QPoint(0, 0));
}

TEST(WindowPlacement, HouseOptionsAndTradeOpenBesideTheBoardInsideTheScreen) {
    Windows w;
    w.start(2);
    own(w, 39, 1);
    openHouseOptions(w, 39);
    w.board.clickPlayerHeading(2);
    QCoreApplication::processEvents();
    const QRect board = w.board.frameGeometry();
    const QRect grid = w.board.grid()->frameGeometry();
    const QRect house = w.board.houseOptionsWindow()->frameGeometry();
    const QRect trade = w.board.tradeWindow()->frameGeometry();
    for (const QRect& placed : {house, trade}) {
        EXPECT_TRUE(screenArea(w).contains(placed));
        EXPECT_FALSE(placed.intersects(board));
        EXPECT_FALSE(placed.intersects(grid));
    }
    EXPECT_FALSE(house.intersects(trade));
}

TEST(WindowPlacement, AMovedWindowKeepsItsPlaceWhileItStaysOpen) {
    Windows w;
    w.start(2);
    own(w, 37, 1);
    own(w, 39, 1);
    openHouseOptions(w, 39);
    HouseOptionsWindow* window = w.board.houseOptionsWindow();
    const QPoint moved = window->pos() + QPoint(40, 30);
    window->move(moved);
    openHouseOptions(w, 37);
    EXPECT_EQ(w.board.houseOptionsWindow(), window);
    EXPECT_EQ(window->pos(), moved);
}

TEST(EscapeKey, ClosesHouseOptionsAsItsCloseBoxDoes) {
    Windows w;
    w.start(2);
    openHouseOptions(w, 39);
    QTest::keyClick(w.board.houseOptionsWindow()->findChild<QPushButton*>("cmdBuyHouse"), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.s().houseOptions.open);
    EXPECT_EQ(w.board.houseOptionsWindow(), nullptr);
}

TEST(EscapeKey, ClosesTheTradeWindowFromAFieldAndDiscardsTheOffer) {
    Windows w;
    w.start(2);
    w.board.clickPlayerHeading(2);
    enter(w.board.tradeWindow(), "txtMoney(0)", QStringLiteral("100"));
    QTest::keyClick(w.board.tradeWindow()->findChild<QLineEdit*>("txtMoney(1)"), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.s().trade.open);
    EXPECT_EQ(w.board.tradeWindow(), nullptr);
    w.board.clickPlayerHeading(2); // opens afresh: the offer went with the window
    EXPECT_EQ(w.s().trade.moneyOffered[0], "");
}

TEST(TradeQuestion, StandsClearOfTheOfferItAsksAbout) {
    Windows w;
    w.start(2);
    w.board.clickPlayerHeading(2);
    QCoreApplication::processEvents();
    const QRect offer = w.board.tradeWindow()->offerArea();
    EXPECT_EQ(offer.top(), w.board.tradeWindow()->frameGeometry().top());
    w.boxes.expect({ask("Player 2, do you accept this offer?", false)});
    w.click(w.board.tradeWindow(), "cmdOffer");
    ASSERT_EQ(w.boxes.places().size(), 1u);
    const QRect question = w.boxes.places().front();
    EXPECT_FALSE(question.intersects(offer));
    EXPECT_TRUE(screenArea(w).contains(question));
}

TEST(TradeQuestion, OtherBoxesStayClearOfTheDiceAndMoneyLines) {
    Windows w;
    w.start(2);
    w.board.clickPlayerHeading(2);
    w.boxes.expect({msg(Game::helpText())});
    w.click(w.board.tradeWindow(), "cmdHelp(0)");
    ASSERT_EQ(w.boxes.places().size(), 1u);
    const QRect box = w.boxes.places().front();
    ASSERT_FALSE(box.isNull());
    for (const char* name : {"Dice(1)", "Dice(2)", "Label1(1)", "Label1(2)", "Label1(3)", "Label1(4)"}) {
        const auto* shown = w.board.findChild<QWidget*>(QString::fromLatin1(name));
        EXPECT_FALSE(box.intersects(QRect(shown->mapToGlobal(QPoint(0, 0)), shown->size()))) << name;
    }
    EXPECT_TRUE(screenArea(w).contains(box));
}
