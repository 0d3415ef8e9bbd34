// Computer seats on the real windows: the Computer menu, the driver that plays a computer's turn by
// itself, and the Game Log window.
#include "boxes.h"
#include "computer_driver.h"
#include "game_log_window.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

constexpr int kBaltic = 3;
constexpr int kOriental = 6;
constexpr int kWaitMs = 5000;

/// The board as the program builds it: boxes through the seat router and the log, the driver with
/// no delay, the boxes answered from a script.
struct ComputerWindows {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    ScriptedBoxes boxes;
    bool programEnded = false;
    QtUi ui{[this] { programEnded = true; }, boxes.runner()};
    ComputerPlayer player;
    SeatRouter seats{ui, player};
    GameLog log{seats};
    Game game{log, random};
    BoardWindow board{game, ui};
    ComputerDriver driver{board, ui, seats, player, log, 0};

    ComputerWindows() { board.showWithGrid(); }
    GameState& s() { return game.state; }
    void menu(const char* objectName) {
        auto* item = board.findChild<QAction*>(QString::fromLatin1(objectName));
        ASSERT_NE(item, nullptr) << objectName;
        item->trigger();
        QCoreApplication::processEvents();
    }
    void start(int players) {
        menu(QStringLiteral("mnuFilePlayers%1Players").arg(players).toLatin1().constData());
        menu("mnuFileStart");
    }
    /// Seat 1 rolls `a` + `b` onto a street and turns it down, then ends its turn.
    void personTurn(int a, int b, int square) {
        random.dice(a, b);
        boxes.expect({landing(1, square),
                      ask("Buy " + std::string(squareInfo(square).purchaseName) + "?", false, "Buy Property"),
                      msg("Property Turned Down")});
        board.act(Action::roll());
        board.act(Action::endTurn());
    }
    /// Lets the event loop run until seat 1 may roll again.
    bool backToSeatOne() {
        return QTest::qWaitFor([this] { return s().turn == 1 && s().board.rollEnabled; }, kWaitMs);
    }
};

TEST(ComputerSeatWindows, TheComputerPlaysItsTurnByItselfAndHandsTheTurnBack) {
    ComputerWindows w;
    w.driver.setComputerSeats([] {
        ComputerSeats seats{};
        seats[2] = true;
        return seats;
    }());
    w.start(2);
    w.personTurn(1, 2, kBaltic);
    ASSERT_TRUE(w.boxes.done());
    // Seat 2 rolls onto Oriental Avenue, buys it without a box, and ends its turn.
    w.random.dice(2, 4);
    w.boxes.expect({landing(2, kOriental), msg("Oriental Avenue Bought by player 2")});
    ASSERT_TRUE(w.backToSeatOne());
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(w.s().owners[kOriental], 2);
    EXPECT_EQ(w.s().board.turnLabel, "Player 1's turn");
    const auto& shown = w.boxes.shown();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Buy Oriental Avenue?"), 0)
        << "the computer's question shows no box";
    const auto& lines = w.log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Player 2: Buy Oriental Avenue? - Yes"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Player 1: Buy Baltic Avenue? - No"), lines.end());
    // A person's turn is left alone.
    QTest::qWait(50);
    EXPECT_EQ(w.s().turn, 1);
    EXPECT_TRUE(w.s().board.rollEnabled);
}

TEST(ComputerSeatWindows, ASeatTakenBackIsAPersonsAtOnce) {
    ComputerWindows w;
    w.start(2);
    w.personTurn(1, 2, kBaltic);
    // Seat 2 is a person's: nothing happens until it is ticked in the Computer menu.
    QTest::qWait(50);
    EXPECT_EQ(w.s().turn, 2);
    EXPECT_TRUE(w.s().board.rollEnabled);
    w.random.dice(2, 4);
    w.boxes.expect({landing(2, kOriental), msg("Oriental Avenue Bought by player 2")});
    w.menu("mnuComputerPlayer2Normal");
    EXPECT_TRUE(w.seats.isComputer(2));
    ASSERT_TRUE(w.backToSeatOne());
    w.menu("mnuComputerPlayer2Person");
    EXPECT_FALSE(w.seats.isComputer(2));
    w.personTurn(2, 4, kBaltic + 6);
    QTest::qWait(50);
    EXPECT_EQ(w.s().turn, 2) << "seat 2 waits for its person again";
    EXPECT_TRUE(w.boxes.done());
}

TEST(ComputerSeatWindows, MenusKeepFileFirstAndAddComputerAfterIt) {
    ComputerWindows w;
    const QList<QAction*> bar = w.board.menuBar()->actions();
    ASSERT_GE(bar.size(), 2);
    EXPECT_EQ(bar[0]->text(), "&File");
    EXPECT_EQ(bar[1]->text(), "&Computer");
    QStringList file;
    for (QAction* item : bar[0]->menu()->actions())
        file << (item->isSeparator() ? QStringLiteral("-") : item->text());
    EXPECT_EQ(file, (QStringList{"&Exit", "&Players", "&Start", "-", "Game &Log"}));
    EXPECT_EQ(w.driver.logItem()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    QStringList seats;
    for (QAction* item : bar[1]->menu()->actions()) {
        if (item->isSeparator()) {
            seats << QStringLiteral("-");
            continue;
        }
        ASSERT_NE(item->menu(), nullptr) << "each entry is a submenu";
        seats << item->text();
    }
    EXPECT_EQ(seats, (QStringList{"Player 1", "Player 2", "Player 3", "Player 4", "-", "&Speed"}));
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        QStringList items;
        for (QAction* item : w.driver.seatMenu(seat)->actions()) {
            EXPECT_TRUE(item->isCheckable());
            items << item->text();
        }
        EXPECT_EQ(items, (QStringList{"&Person", "&Easy", "&Normal", "&Hard"}));
        EXPECT_TRUE(w.driver.personItem(seat)->isChecked()) << "every seat starts as a person's";
    }
}

TEST(ComputerSeatWindows, TheGameLogWindowShowsTheLogSoFarAndEachNewLine) {
    ComputerWindows w;
    w.start(2);
    w.personTurn(1, 2, kBaltic);
    EXPECT_EQ(w.driver.logWindow(), nullptr) << "the log does not open by itself";
    w.menu("mnuFileGameLog");
    GameLogWindow* window = w.driver.logWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->windowTitle(), "Game Log");
    EXPECT_EQ(window->view()->accessibleName(), "Game Log");
    EXPECT_TRUE(window->view()->isReadOnly());
    EXPECT_TRUE(window->view()->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    EXPECT_EQ(window->view()->toPlainText().split('\n').size(), static_cast<int>(w.log.lines().size()));
    w.random.dice(2, 4);
    w.boxes.expect({landing(2, kOriental), ask("Buy Oriental Avenue?", true, "Buy Property"),
                    msg("Oriental Avenue Bought by player 2")});
    w.board.act(Action::roll());
    EXPECT_EQ(window->view()->toPlainText().split('\n').last(),
              "Player 2: Oriental Avenue Bought by player 2");
}

} // namespace

namespace {

/// Answers whatever modal box is open after `ms` (No for a question), and says whether one was.
struct Rescue {
    bool needed = false;
    explicit Rescue(int ms) {
        QTimer::singleShot(ms, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                needed = true;
                box->done(box->standardButtons() & QMessageBox::No ? QMessageBox::No : QMessageBox::Ok);
            }
        });
    }
};

constexpr int kRescueMs = 300;

TEST(SelfClosingBoxes, AnOkBoxOfAComputersTurnClosesByItself) {
    QtUi ui([] {});
    ui.setSelfClosing([](const Box& box) { return box.turn == 2; }, 0);
    Rescue rescue(kRescueMs);
    ui.tell({.kind = BoxKind::Landing, .seat = 2, .turn = 2, .text = "Player 2 lands on Chance"});
    EXPECT_FALSE(rescue.needed);
    QTest::qWait(kRescueMs * 2);
}

TEST(SelfClosingBoxes, QuestionsAndOtherTurnsWaitForAnAnswer) {
    QtUi ui([] {});
    ui.setSelfClosing([](const Box& box) { return box.turn == 2; }, 0);
    {
        Rescue rescue(kRescueMs);
        EXPECT_FALSE(ui.ask({.kind = BoxKind::TradeQuestion,
                             .seat = 1,
                             .turn = 2,
                             .text = "Player 1, do you accept this offer?"}));
        EXPECT_TRUE(rescue.needed) << "a question for a person waits for the person";
    }
    {
        Rescue rescue(kRescueMs);
        ui.tell({.kind = BoxKind::Landing, .seat = 1, .turn = 1, .text = "Player 1 lands on Chance"});
        EXPECT_TRUE(rescue.needed) << "a person's own box waits for OK";
    }
}

} // namespace
