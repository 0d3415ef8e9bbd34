#include "boxes.h"
#include "house_options_window.h"
#include "ownership_grid.h"
#include "trade_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

QRect pixels(const Rect& twips) {
    return {twips.left / 15, twips.top / 15, twips.width / 15, twips.height / 15};
}

QRect pixels(int left, int top, int width, int height) {
    return pixels(Rect{left, top, width, height});
}

template <class T = QWidget> T* control(const QWidget* window, const QString& name) {
    T* found = window->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

/// Where square i's picture lies on the board, in twips: clockwise from Go in the bottom right corner.
Rect squareTwips(int i) {
    if (i == 0) return {7920, 8160, 1005, 1005};
    if (i < 10) return {7920 - 750 * i, 8160, 750, 1005};
    if (i == 10) return {165, 8160, 1005, 1005};
    if (i < 20) return {165, 8160 - 750 * (i - 10), 1005, 750};
    if (i == 20) return {165, 405, 1005, 1005};
    if (i < 30) return {1170 + 750 * (i - 21), 405, 750, 1005};
    if (i == 30) return {7920, 405, 1005, 1005};
    return {7920, 1410 + 750 * (i - 31), 1005, 750};
}

QString square(int i) {
    return QStringLiteral("Square(%1)").arg(i);
}
QString token(int p) {
    return QStringLiteral("lbl(%1)").arg(p);
}
QString money(int p) {
    return QStringLiteral("Label1(%1)").arg(p);
}

/// The board with its game, like Windows, whose boxes are first shown to `onBox` with the windows as
/// they stand behind the box, then answered from the script.
struct WatchedBoard {
    ScriptedRandom random;
    ScriptedBoxes boxes;
    std::function<void(const QMessageBox&)> onBox;
    bool programEnded = false;
    QtUi ui;
    Game game;
    BoardWindow board;

    WatchedBoard()
        : random(ScriptedRandom::withDecksInOrder()), ui([this] { programEnded = true; },
                                                         [this](QMessageBox& box) {
                                                             if (onBox) onBox(box);
                                                             return boxes.runner()(box);
                                                         }),
          game(ui, random), board(game, ui) {
        board.showWithGrid();
    }
};

} // namespace

TEST(BoardWindow, RollMovesTheTokenAndNamesTheDice) {
    Windows w;
    w.start(2);
    w.random.dice(2, 1);
    w.boxes.expect({msg("Player 1 lands on Baltic Avenue $60"),
                    ask("Buy Baltic Avenue?", true, "Buy Property"),
                    msg("Baltic Avenue Bought by player 1")});
    w.click(&w.board, "cmdRoll");
    EXPECT_TRUE(w.boxes.done());
    auto* token = w.board.findChild<QLabel*>("lbl(1)");
    EXPECT_EQ(token->pos(), pixels(squareTwips(3)).topLeft());
    EXPECT_EQ(w.board.findChild<QLabel*>("Dice(1)")->accessibleName(), "Die showing 2");
    EXPECT_EQ(w.board.findChild<QLabel*>("Dice(2)")->accessibleName(), "Die showing 1");
    EXPECT_EQ(w.board.findChild<QLabel*>("Dice(1)")->pixmap().deviceIndependentSize(), QSizeF(50, 50));
    EXPECT_EQ(w.board.findChild<QLabel*>("Label1(1)")->text(), "1440");
}

TEST(BoardWindow, EveryControlStandsWhereTheLayoutPutsIt) {
    Windows w;
    EXPECT_EQ(w.board.windowTitle(), "Game Board");
    EXPECT_EQ(control(&w.board, "board")->size(), QSize(649, 647));
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(control(&w.board, square(i))->geometry(), pixels(squareTwips(i))) << i;
    const QColor colours[] = {
        {}, QColor(255, 0, 0), QColor(0, 255, 0), QColor(255, 255, 0), QColor(0, 0, 255)};
    for (int p = 1; p <= 4; ++p) {
        EXPECT_EQ(control(&w.board, token(p))->geometry(), pixels(7920 + 240 * (p - 1), 8160, 255, 255)) << p;
        EXPECT_EQ(control(&w.board, token(p))->grab().toImage().pixelColor(8, 8).rgb(), colours[p].rgb())
            << p;
        auto* line = control<QLabel>(&w.board, money(p));
        EXPECT_EQ(line->geometry(), pixels(3480, 5520 + 480 * (p - 1), 2055, 375)) << p;
        EXPECT_EQ(line->frameShape(), QFrame::Box) << p;
    }
    EXPECT_EQ(control(&w.board, "Dice(1)")->geometry(), pixels(5400, 3840, 750, 750));
    EXPECT_EQ(control(&w.board, "Dice(2)")->geometry(), pixels(2880, 3840, 750, 750));
    for (int n = 0; n < 6; ++n) {
        auto* face = control<QLabel>(&w.board, QStringLiteral("die(%1)").arg(n));
        EXPECT_EQ(face->size(), QSize(50, 50)) << n;
        EXPECT_FALSE(face->isVisible()) << n;
        EXPECT_EQ(face->pixmap().deviceIndependentSize(), QSizeF(50, 50)) << n;
    }
    EXPECT_EQ(control(&w.board, "lblTurn")->geometry(), pixels(3360, 4800, 2295, 375));
    EXPECT_EQ(control(&w.board, "cmdRoll")->geometry(), pixels(2640, 1680, 3855, 615));
    EXPECT_EQ(control(&w.board, "cmdEndTurn")->geometry(), pixels(2640, 2400, 3855, 615));
    EXPECT_EQ(control(&w.board, "cmdBankrupt")->geometry(), pixels(2640, 3120, 3855, 615));
}

TEST(BoardWindow, SquarePicturesShowAtTheirNaturalSize) {
    Windows w;
    for (int i = 0; i < 40; ++i) {
        const QSizeF expected = i % 10 == 0         ? QSizeF(67, 67)
                                : (i / 10) % 2 == 0 ? QSizeF(50, 67)
                                                    : QSizeF(67, 50);
        EXPECT_EQ(control<QLabel>(&w.board, square(i))->pixmap().deviceIndependentSize(), expected) << i;
    }
}

TEST(BoardWindow, BeforeStartNothingCanBePlayed) {
    Windows w;
    for (int p = 1; p <= 4; ++p) {
        EXPECT_FALSE(control(&w.board, token(p))->isVisible()) << p;
        EXPECT_EQ(control<QLabel>(&w.board, money(p))->text(), "1500") << p;
    }
    for (const char* button : {"cmdRoll", "cmdEndTurn", "cmdBankrupt"})
        EXPECT_FALSE(control(&w.board, button)->isEnabled()) << button;
    for (const char* die : {"Dice(1)", "Dice(2)"}) {
        EXPECT_TRUE(control<QLabel>(&w.board, die)->pixmap().isNull()) << die;
        EXPECT_EQ(control(&w.board, die)->accessibleName(), "Die") << die;
    }
    EXPECT_EQ(control<QLabel>(&w.board, "lblTurn")->text(), "Player 1's turn");
}

TEST(BoardWindow, StartShowsOnlyTheTokensInPlayAndEnablesRoll) {
    Windows w;
    w.start(3);
    for (int p = 1; p <= 4; ++p)
        EXPECT_EQ(control(&w.board, token(p))->isVisible(), p <= 3) << p;
    EXPECT_TRUE(control(&w.board, "cmdRoll")->isEnabled());
    EXPECT_FALSE(control(&w.board, "cmdEndTurn")->isEnabled());
    EXPECT_TRUE(w.boxes.shown().empty());
}

TEST(BoardWindow, ControlsAreNamedForAssistiveTechnology) {
    Windows w;
    EXPECT_EQ(control(&w.board, square(0))->accessibleName(), "Go");
    EXPECT_EQ(control(&w.board, square(5))->accessibleName(), "Reading Railroad $200");
    EXPECT_EQ(control(&w.board, square(14))->accessibleName(), "Virginia avenue $160");
    EXPECT_EQ(control(&w.board, square(30))->accessibleName(), "Go To Gail");
    EXPECT_EQ(control(&w.board, square(39))->accessibleName(), "Boardwalk $400");
    for (int p = 1; p <= 4; ++p)
        EXPECT_EQ(control(&w.board, token(p))->accessibleName(), QStringLiteral("Player %1 token").arg(p));
    EXPECT_EQ(control(&w.board, "cmdRoll")->accessibleName(), "Roll");
    EXPECT_EQ(control(&w.board, "cmdEndTurn")->accessibleName(), "End Turn");
    EXPECT_EQ(control(&w.board, "cmdBankrupt")->accessibleName(), "Bankrupt (Give up)");
}

TEST(BoardWindow, FileMenuHoldsExitPlayersAndStartWithOneExclusiveCount) {
    Windows w;
    const QList<QAction*> bar = w.board.menuBar()->actions();
    ASSERT_EQ(bar.size(), 1);
    EXPECT_EQ(bar[0]->text(), "&File");
    const QList<QAction*> file = bar[0]->menu()->actions();
    ASSERT_EQ(file.size(), 3);
    EXPECT_EQ(file[0]->text(), "&Exit");
    EXPECT_EQ(file[0]->objectName(), "mnuFileExit");
    EXPECT_EQ(file[1]->text(), "&Players");
    EXPECT_EQ(file[2]->text(), "&Start");
    EXPECT_EQ(file[2]->objectName(), "mnuFileStart");
    ASSERT_NE(file[1]->menu(), nullptr);
    const QList<QAction*> counts = file[1]->menu()->actions();
    ASSERT_EQ(counts.size(), 3);
    auto checked = [&] {
        QStringList ticked;
        for (QAction* item : counts)
            if (item->isChecked()) ticked << item->text();
        return ticked;
    };
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(counts[n]->text(), QStringLiteral("%1 Players").arg(n + 2));
        EXPECT_TRUE(counts[n]->isCheckable());
        EXPECT_TRUE(counts[n]->isEnabled());
    }
    EXPECT_EQ(checked(), QStringList{"4 Players"});
    w.menu("mnuFilePlayers2Players");
    EXPECT_EQ(checked(), QStringList{"2 Players"});
    w.menu("mnuFilePlayers3Players");
    EXPECT_EQ(checked(), QStringList{"3 Players"});
}

TEST(BoardWindow, PassedGoShowsWhileTheTokenStandsOnItsOldSquare) {
    WatchedBoard w;
    w.board.findChild<QAction*>("mnuFilePlayers2Players")->trigger();
    w.board.findChild<QAction*>("mnuFileStart")->trigger();
    QCoreApplication::processEvents();
    w.game.state.positions[1] = 35; // player 1 has come round to Short Line; the token is still drawn on Go
    const QPoint before = control(&w.board, token(1))->pos();
    QStringList seen;
    w.onBox = [&](const QMessageBox& box) {
        seen << box.text();
        const QString shown = control<QLabel>(&w.board, money(1))->text();
        if (box.text() == "Player 1 Passed GO") {
            EXPECT_EQ(control(&w.board, token(1))->pos(), before);
            EXPECT_EQ(shown, "1500");
        } else {
            EXPECT_EQ(control(&w.board, token(1))->pos(), pixels(squareTwips(1)).topLeft());
            EXPECT_EQ(shown, "1700");
        }
    };
    w.random.dice(2, 4);
    w.boxes.expect({msg("Player 1 Passed GO"), msg("Player 1 lands on Mediteranean Avenue $60"),
                    ask("Buy Mediteranean Avenue?", false, "Buy Property"), msg("Property Turned Down")});
    QTest::mouseClick(control(&w.board, "cmdRoll"), Qt::LeftButton);
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(seen.size(), 4);
    EXPECT_EQ(control<QLabel>(&w.board, money(1))->text(), "1700");
}

TEST(BoardWindow, ExitEndsTheProgramWithoutAWord) {
    Windows w;
    w.start(2);
    w.menu("mnuFileExit");
    EXPECT_TRUE(w.programEnded);
    EXPECT_TRUE(w.board.ended());
    EXPECT_TRUE(w.boxes.shown().empty());
}

TEST(BoardWindow, ClosingTheBoardClosesTheOtherWindows) {
    Windows w;
    w.start(2);
    w.board.clickSquare(39);
    w.board.clickPlayerHeading(2);
    ASSERT_NE(w.board.houseOptionsWindow(), nullptr);
    ASSERT_NE(w.board.tradeWindow(), nullptr);
    ASSERT_TRUE(w.board.grid()->isVisible());
    EXPECT_TRUE(w.board.close());
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.board.grid()->isVisible());
    EXPECT_TRUE(w.board.houseOptionsWindow() == nullptr || !w.board.houseOptionsWindow()->isVisible());
    EXPECT_TRUE(w.board.tradeWindow() == nullptr || !w.board.tradeWindow()->isVisible());
    EXPECT_TRUE(w.boxes.shown().empty());
}
