// Computer seats on the real windows: the Computer menu, the driver that plays a computer's turn by
// itself, and the Game Log window.
#include "boxes.h"
#include "computer_driver.h"
#include "game_log_window.h"
#include "trade_window.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

constexpr int kBaltic = 3;
constexpr int kOriental = 6;
constexpr int kParkPlace = 37;
constexpr int kBoardwalk = 39;

/// Gives `square` to `player` as a purchase from the bank would, without the boxes.
void give(GameState& s, int square, int player) {
    s.owners[square] = static_cast<i16>(player);
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        s.grid.ticked[seat][square] = seat == player;
    s.pricePaid[square] = squareInfo(square).price;
}

bool logHas(const GameLog& log, const std::string& line) {
    return std::find(log.lines().begin(), log.lines().end(), line) != log.lines().end();
}
constexpr int kWaitMs = 5000;

/// The board as the program builds it: boxes through the seat router and the log, the driver with
/// no delay, the boxes answered from a script.
struct ComputerWindows {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    ScriptedBoxes boxes;
    bool programEnded = false;
    std::function<void(QMessageBox&)> onBox; // looks at the windows while a box is up
    QtUi ui{[this] { programEnded = true; },
            [this](QMessageBox& box) {
                if (onBox) onBox(box);
                return boxes.runner()(box);
            }};
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

TEST(ComputerSeatWindows, ALevelItemHandsTheSeatOverAtThatLevelAndTheLogSaysWhoPlays) {
    ComputerWindows w;
    w.menu("mnuComputerPlayer2Hard");
    EXPECT_TRUE(w.seats.isComputer(2));
    EXPECT_EQ(w.player.level(2), ComputerLevel::Hard);
    EXPECT_TRUE(w.driver.levelItem(2, ComputerLevel::Hard)->isChecked());
    EXPECT_FALSE(w.driver.personItem(2)->isChecked());
    EXPECT_TRUE(w.driver.personItem(1)->isChecked());
    EXPECT_TRUE(w.log.lines().empty()) << "nothing is logged before the game starts";
    w.start(2);
    EXPECT_TRUE(logHas(w.log, "Player 2 is played by the computer (Hard)"));
    EXPECT_FALSE(logHas(w.log, "Player 1 is played by a person")) << "people are not announced";
    // Changed mid-game: at once, and in the log.
    w.menu("mnuComputerPlayer2Easy");
    EXPECT_EQ(w.player.level(2), ComputerLevel::Easy);
    EXPECT_TRUE(w.seats.isComputer(2));
    EXPECT_EQ(w.log.lines().back(), "Player 2 is played by the computer (Easy)");
    w.menu("mnuComputerPlayer2Person");
    EXPECT_FALSE(w.seats.isComputer(2));
    EXPECT_EQ(w.log.lines().back(), "Player 2 is played by a person");
    EXPECT_EQ(w.player.level(2), ComputerLevel::Easy) << "the level stays for the next hand-over";
    w.driver.setLevels([] {
        ComputerLevels levels{};
        levels[3] = ComputerLevel::Hard;
        return levels;
    }());
    EXPECT_TRUE(w.driver.personItem(3)->isChecked()) << "a level alone hands nothing over";
    w.driver.setComputerSeats([] {
        ComputerSeats seats{};
        seats[3] = true;
        return seats;
    }());
    EXPECT_TRUE(w.driver.levelItem(3, ComputerLevel::Hard)->isChecked());
}

TEST(ComputerSeatWindows, SpeedSetsThePauseOfTheComputersActions) {
    ComputerWindows w; // built with no pause: Instant
    QStringList speeds;
    for (QAction* item : w.board.findChild<QMenu*>(QStringLiteral("mnuComputerSpeed"))->actions())
        speeds << item->text();
    EXPECT_EQ(speeds, (QStringList{"&Slow", "&Normal", "&Fast", "&Instant"}));
    EXPECT_TRUE(w.driver.speedItem(3)->isChecked());
    w.menu("mnuComputerSpeedFast");
    EXPECT_EQ(w.driver.delayMs(), 200);
    EXPECT_TRUE(w.driver.speedItem(2)->isChecked());
    EXPECT_FALSE(w.driver.speedItem(3)->isChecked());
    w.menu("mnuComputerSpeedNormal");
    EXPECT_EQ(w.driver.delayMs(), kDefaultComputerDelayMs);
    w.driver.setDelay(123); // --computer-delay 123
    for (std::size_t k = 0; k < kComputerSpeeds.size(); ++k)
        EXPECT_FALSE(w.driver.speedItem(k)->isChecked()) << "no pace of the menu is 123 ms";
}

TEST(ComputerSeatWindows, APersonHearsTheComputersAnswerToTheirOfferAndPeopleOnlyGetNoNewBox) {
    ComputerWindows w;
    w.menu("mnuComputerPlayer2Normal");
    w.start(2);
    give(w.s(), kParkPlace, 1);
    give(w.s(), kBoardwalk, 2);
    auto offerBoardwalk = [&] {
        w.board.act(Action::chooseTradePartner(2));
        w.board.act(Action::enterSquare(1, "39"));
        w.board.act(Action::finalizeOffer("450", "0"));
        w.board.act(Action::closeTrade());
    };
    w.boxes.expect({msg("Player 2 declines the offer.", "Trade")});
    offerBoardwalk();
    EXPECT_TRUE(w.boxes.done());
    EXPECT_TRUE(logHas(w.log, "Player 1: Player 2, do you accept this offer? - No"));
    // Between people the question is the only box, as always.
    w.menu("mnuComputerPlayer2Person");
    w.boxes.expect({ask("Player 2, do you accept this offer?", false)});
    offerBoardwalk();
    EXPECT_TRUE(w.boxes.done());
    const auto& shown = w.boxes.shown();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Player 2 declines the offer."), 1);
}

TEST(ComputerSeatWindows, TheComputersOfferStandsInTheTradeWindowWhenThePersonIsAsked) {
    ComputerWindows w;
    w.driver.setComputerSeats([] {
        ComputerSeats seats{};
        seats[2] = true;
        return seats;
    }());
    w.start(2);
    give(w.s(), kBoardwalk, 1);
    give(w.s(), kParkPlace, 2);
    QString money;
    QString square;
    bool windowShown = false;
    w.onBox = [&](QMessageBox& box) {
        if (box.text() != "Player 1, do you accept this offer?") return;
        TradeWindow* trade = w.board.tradeWindow();
        ASSERT_NE(trade, nullptr);
        windowShown = trade->isVisible();
        money = trade->findChild<QLineEdit*>(QStringLiteral("txtMoney(0)"))->text();
        square = trade->findChild<QLineEdit*>(QStringLiteral("txtProperty(1)"))->text();
    };
    w.personTurn(1, 2, kBaltic);
    // Seat 2 asks for Boardwalk, then rolls onto Oriental Avenue and buys it.
    w.random.dice(2, 4);
    w.boxes.expect({ask("Player 1, do you accept this offer?", false), landing(2, kOriental),
                    msg("Oriental Avenue Bought by player 2")});
    ASSERT_TRUE(w.backToSeatOne());
    EXPECT_TRUE(w.boxes.done());
    EXPECT_TRUE(windowShown) << "the offer comes in the trade window, as a person's does";
    EXPECT_EQ(square, "39") << "Boardwalk, asked of player 1";
    bool whole = false;
    EXPECT_GT(money.toInt(&whole), 400);
    EXPECT_TRUE(whole) << money.toStdString();
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
