#include "boxes.h"
#include "house_options_window.h"
#include "ownership_grid.h"
#include "trade_window.h"

#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

/// Makes `window` the active window, so key presses reach its focus widget.
bool activate(QWidget* window) {
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window, 1000);
}

QWidget* focused() {
    return QApplication::focusWidget();
}

QString focusName() {
    return focused() != nullptr ? focused()->objectName() : QStringLiteral("(none)");
}

/// Presses `key` on whatever has the focus.
void press(Qt::Key key) {
    ASSERT_NE(focused(), nullptr);
    QTest::keyClick(focused(), key);
}

} // namespace

TEST(Pictures, DenseScreensGetDrawingsOfTwiceAndThreeTimesTheSize) {
    for (int square = 0; square < kSquareCount; ++square) {
        const QString name = QStringLiteral(":/squares/square%1").arg(square, 2, 10, QChar('0'));
        const QSize natural = QPixmap(name + QStringLiteral(".jpg")).size();
        ASSERT_FALSE(natural.isEmpty()) << square;
        EXPECT_EQ(QPixmap(name + QStringLiteral("@2x.jpg")).size(), natural * 2) << square;
        EXPECT_EQ(QPixmap(name + QStringLiteral("@3x.jpg")).size(), natural * 3) << square;
    }
    for (int face = 1; face <= 6; ++face) {
        const QString name = QStringLiteral(":/dice/die%1").arg(face);
        EXPECT_EQ(QPixmap(name + QStringLiteral(".gif")).size(), QSize(50, 50));
        EXPECT_EQ(QPixmap(name + QStringLiteral("@2x.gif")).size(), QSize(100, 100));
        EXPECT_EQ(QPixmap(name + QStringLiteral("@3x.gif")).size(), QSize(150, 150));
    }
}

TEST(Pictures, ADenseScreenLoadsTheLargerDrawingAtTheSameSizeOnScreen) {
    const QPixmap sharp = loadPicture(QStringLiteral(":/squares/square00.jpg"), 2.0);
    EXPECT_EQ(sharp.size(), QSize(134, 134));
    EXPECT_EQ(sharp.deviceIndependentSize().toSize(), QSize(67, 67));
    const QPixmap densest = loadPicture(QStringLiteral(":/dice/die3.gif"), 2.5);
    EXPECT_EQ(densest.size(), QSize(150, 150));
    EXPECT_EQ(loadPicture(QStringLiteral(":/dice/die3.gif"), 1.0).size(), QSize(50, 50));
}

TEST(Keyboard, TabReachesTheButtonsThenTheBoardWhoseArrowsWalkTheRing) {
    Windows w;
    w.start(2);
    ASSERT_TRUE(activate(&w.board));
    w.board.findChild<QPushButton*>("cmdRoll")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(focusName(), "cmdRoll");
    // End Turn and Bankrupt are disabled before the first roll, so Tab goes on to the board.
    press(Qt::Key_Tab);
    EXPECT_EQ(focusName(), "Square(0)");
    // From Go (bottom right), Left walks along the bottom row and Up climbs the right-hand column.
    press(Qt::Key_Left);
    EXPECT_EQ(focusName(), "Square(1)");
    press(Qt::Key_Right);
    press(Qt::Key_Up);
    EXPECT_EQ(focusName(), "Square(39)");
    press(Qt::Key_Up);
    EXPECT_EQ(focusName(), "Square(38)");
    // Arrows that lead off the ring leave the focus where it is.
    press(Qt::Key_Right);
    EXPECT_EQ(focusName(), "Square(38)");
    // The board keeps one square in the tab chain: the one the arrows left it on.
    press(Qt::Key_Tab);
    press(Qt::Key_Backtab);
    EXPECT_EQ(focusName(), "Square(38)");
}

TEST(Keyboard, EnterOnAnOwnableSquareOpensHouseOptionsAsAClickDoes) {
    Windows w;
    w.start(2);
    ASSERT_TRUE(activate(&w.board));
    w.board.findChild<QPushButton*>("cmdRoll")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Tab);
    press(Qt::Key_Up); // square 39, Boardwalk
    press(Qt::Key_Return);
    ASSERT_NE(w.board.houseOptionsWindow(), nullptr);
    EXPECT_EQ(w.s().houseOptionsSquare, 39);
    EXPECT_EQ(w.board.houseOptionsWindow()->findChild<QLabel*>("lblTitle")->text(), "Boardwalk");
    // Enter on Go, which cannot be owned, opens nothing and leaves the square in place.
    w.board.houseOptionsWindow()->close();
    press(Qt::Key_Down);
    EXPECT_EQ(focusName(), "Square(0)");
    press(Qt::Key_Space);
    EXPECT_EQ(w.board.houseOptionsWindow(), nullptr);
    EXPECT_EQ(w.s().houseOptionsSquare, 39);
}

TEST(Keyboard, RollAndEndTurnArePressedFromTheKeyboardAndTheFocusFollowsThem) {
    Windows w;
    w.start(2);
    ASSERT_TRUE(activate(&w.board));
    w.board.findChild<QPushButton*>("cmdRoll")->setFocus(Qt::TabFocusReason);
    w.random.dice(3, 4);
    w.boxes.expect({msg("Player 1 lands on Chance"), msg("Chance Card: 1\r\nCurrent Card: 1"),
                    msg("Advance to Go"), msg("Player 1 lands on Go")});
    press(Qt::Key_Space);
    EXPECT_TRUE(w.boxes.done());
    // Roll has disabled itself; the focus waits on End Turn, and after it on Roll again.
    EXPECT_EQ(focusName(), "cmdEndTurn");
    press(Qt::Key_Space);
    EXPECT_EQ(w.s().turn, 2);
    EXPECT_EQ(w.board.findChild<QLabel*>("lblTurn")->text(), "Player 2's turn");
    EXPECT_EQ(focusName(), "cmdRoll");
}

TEST(Keyboard, GridHeadingsOpenTheTradeWindowFromTheKeyboard) {
    Windows w;
    OwnershipGrid* grid = w.board.grid();
    ASSERT_TRUE(activate(grid));
    auto* heading = grid->findChild<QLabel*>("lblPlayer(3)");
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    heading->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Return);
    EXPECT_EQ(w.s().tradePartner, 3);
    EXPECT_NE(w.board.tradeWindow(), nullptr);
}

TEST(ScreenReader, MoneyLinesNameTheirPlayerAndTokensTheirSquare) {
    Windows w;
    w.start(2);
    for (int p = 1; p <= kPlayerCount; ++p) {
        auto* line = w.board.findChild<QLabel*>(QStringLiteral("Label1(%1)").arg(p));
        EXPECT_EQ(line->text(), "1500");
        EXPECT_EQ(line->accessibleName(), QStringLiteral("Player %1: 1500").arg(p));
    }
    w.random.dice(1, 2);
    w.boxes.expect({msg("Player 1 lands on Baltic Avenue $60"),
                    ask("Buy Baltic Avenue?", true, "Buy Property"),
                    msg("Baltic Avenue Bought by player 1")});
    w.click(&w.board, "cmdRoll");
    EXPECT_EQ(w.board.findChild<QLabel*>("Label1(1)")->accessibleName(), "Player 1: 1440");
    auto* token = w.board.findChild<QLabel*>("lbl(1)");
    EXPECT_EQ(token->accessibleName(), "Player 1 token");
    EXPECT_EQ(token->accessibleDescription(), "On Baltic Avenue $60");
    EXPECT_EQ(w.board.findChild<QLabel*>("lbl(2)")->accessibleDescription(), "On Go");
}

TEST(ScreenReader, EveryMessageBoxIsARealBoxNamedByItsCaptionAndText) {
    QMessageBox* seen = nullptr;
    QString name;
    QString description;
    QtUi ui([] {},
            [&](QMessageBox& box) {
                seen = &box;
                name = box.accessibleName();
                description = box.accessibleDescription();
                return QMessageBox::Ok;
            });
    ui.tell({.kind = BoxKind::PassedGo, .seat = 3, .text = "Player 3 Passed GO"});
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(name, "Dealbrix");
    EXPECT_EQ(description, "Player 3 Passed GO");
    ui.ask({.kind = BoxKind::PurchaseOffer,
            .seat = 3,
            .square = 39,
            .title = "Buy Property",
            .text = "Buy Boardwalk?"});
    EXPECT_EQ(name, "Buy Property");
}

TEST(ScreenReader, SecondaryWindowsAreWindowsAndPicturesCanBePressed) {
    Windows w;
    QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(w.board.grid());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->role(), QAccessible::Window);
    EXPECT_EQ(grid->text(QAccessible::Name), "Properties");

    QAccessibleInterface* boardwalk =
        QAccessible::queryAccessibleInterface(w.board.findChild<QWidget*>("Square(39)"));
    ASSERT_NE(boardwalk, nullptr);
    EXPECT_EQ(boardwalk->text(QAccessible::Name), "Boardwalk $400");
    ASSERT_NE(boardwalk->actionInterface(), nullptr);
    EXPECT_TRUE(
        boardwalk->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    boardwalk->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    ASSERT_NE(w.board.houseOptionsWindow(), nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.board.houseOptionsWindow())->role(),
              QAccessible::Window);

    QAccessibleInterface* heading =
        QAccessible::queryAccessibleInterface(w.board.grid()->findChild<QWidget*>("lblPlayer(2)"));
    heading->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_EQ(w.s().tradePartner, 2);
    ASSERT_NE(w.board.tradeWindow(), nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.board.tradeWindow())->text(QAccessible::Name), "Trade");
}

TEST(Keyboard, MenuAccessKeysChooseThePlayersAndStart) {
    Windows w;
    ASSERT_TRUE(activate(&w.board));
    // Alt+F opens File; P opens Players; Enter on the first item takes "2 Players".
    QTest::keyClick(&w.board, Qt::Key_F, Qt::AltModifier);
    QCoreApplication::processEvents();
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_P);
    QCoreApplication::processEvents();
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.s().board.checkedPlayers, 2);
    // Alt+F, S: Start.
    QTest::keyClick(&w.board, Qt::Key_F, Qt::AltModifier);
    QCoreApplication::processEvents();
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_S);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.s().playerCount, 2);
    EXPECT_TRUE(w.board.findChild<QPushButton*>("cmdRoll")->isEnabled());
}
