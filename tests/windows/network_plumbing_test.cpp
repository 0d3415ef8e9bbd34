// The windows' side of a game played elsewhere, without a server: the board's action sink, its
// controls switched off for another seat's turn, the away marks, the Game Log's chat line, and the
// Host Game and Join Game windows.
#include "boxes.h"
#include "computer_driver.h"
#include "game_log_window.h"
#include "house_options_window.h"
#include "network_dialogs.h"

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

constexpr int kBaltic = 3;

QPushButton* button(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(QString::fromLatin1(name));
}

TEST(BoardActionSink, ActionsGoToTheSinkAndTheGameIsLeftAlone) {
    Windows w;
    w.start(2);
    std::vector<Action> sent;
    w.board.setActionSink([&sent](const Action& action) { sent.push_back(action); });
    const GameState before = w.s();
    w.click(&w.board, "cmdRoll");
    w.board.clickSquare(kBaltic);
    EXPECT_EQ(sent, (std::vector<Action>{Action::roll(), Action::openHouseOptions(kBaltic)}));
    EXPECT_EQ(w.s(), before) << "only the room changes the game";
    EXPECT_TRUE(w.boxes.done());
    // What the game would refuse is not even sent.
    EXPECT_EQ(w.board.act(Action::endTurn()), ActionResult::Refused);
    EXPECT_EQ(sent.size(), 2U);
    // Without the sink the local game is in charge again.
    w.board.setActionSink({});
    w.random.dice(1, 2);
    w.boxes.expect(
        {landing(1, kBaltic), ask("Buy Baltic Avenue?", false, "Buy Property"), msg("Property Turned Down")});
    EXPECT_EQ(w.board.act(Action::roll()), ActionResult::Done);
    EXPECT_EQ(w.s().positions[1], kBaltic);
    EXPECT_EQ(sent.size(), 2U);
}

TEST(BoardControls, AnotherSeatsTurnDisablesTheGamesControlsOnly) {
    Windows w;
    w.start(2);
    own(w, kBaltic, 1);
    w.board.clickSquare(kBaltic);
    ASSERT_NE(w.board.houseOptionsWindow(), nullptr);
    w.board.setActionSink([](const Action&) { ADD_FAILURE() << "nothing may be sent"; });
    w.board.setControlsEnabled(false);
    EXPECT_FALSE(button(&w.board, "cmdRoll")->isEnabled());
    EXPECT_FALSE(button(&w.board, "cmdBankrupt")->isEnabled());
    EXPECT_FALSE(w.board.findChild<QAction*>(QStringLiteral("mnuFileStart"))->isEnabled());
    EXPECT_FALSE(w.board.findChild<QAction*>(QStringLiteral("mnuFilePlayers3Players"))->isEnabled());
    EXPECT_TRUE(w.board.findChild<QAction*>(QStringLiteral("mnuFileExit"))->isEnabled());
    EXPECT_FALSE(w.board.houseOptionsWindow()->isEnabled());
    EXPECT_TRUE(w.board.houseOptionsWindow()->isVisible()) << "the window still shows the game";
    EXPECT_TRUE(w.board.squareView(kBaltic)->isEnabled()) << "the board is drawn as it is";
    EXPECT_EQ(w.board.act(Action::roll()), ActionResult::Refused);
    w.board.clickPlayerHeading(2);
    EXPECT_EQ(w.board.tradeWindow(), nullptr);
    // The turn comes to this program: the buttons follow the game again.
    w.board.setActionSink({});
    w.board.setControlsEnabled(true);
    EXPECT_TRUE(button(&w.board, "cmdRoll")->isEnabled());
    EXPECT_FALSE(button(&w.board, "cmdEndTurn")->isEnabled());
    EXPECT_TRUE(w.board.houseOptionsWindow()->isEnabled());
}

TEST(BoardSeats, AnAwaySeatIsMarkedVisiblyAndInItsDescription) {
    Windows w;
    w.start(3);
    auto* money = w.board.findChild<QLabel*>(QStringLiteral("Label1(2)"));
    auto* mark = w.board.findChild<QLabel*>(QStringLiteral("away(2)"));
    ASSERT_NE(money, nullptr);
    ASSERT_NE(mark, nullptr);
    EXPECT_FALSE(mark->isVisible()) << "a local game has nobody away";
    EXPECT_EQ(money->accessibleDescription(), "");
    w.board.setSeatAway(2, true);
    EXPECT_TRUE(mark->isVisible());
    EXPECT_EQ(mark->text(), "(away)");
    EXPECT_EQ(money->accessibleDescription(), "away");
    EXPECT_EQ(money->text(), "1500") << "the money line itself keeps its text";
    EXPECT_FALSE(mark->geometry().intersects(money->geometry()));
    // Out of the game and away at once: both are said.
    w.s().seatOut[2] = kTrue;
    w.board.syncAll();
    EXPECT_EQ(money->accessibleDescription(), "Out of the game, away");
    w.board.setSeatAway(2, false);
    EXPECT_EQ(money->accessibleDescription(), "Out of the game");
    EXPECT_FALSE(mark->isVisible());
    w.board.setSeatAway(7, true); // not a seat: ignored
}

TEST(GameLogChat, TheChatLineWorksOnlyWhileItHasARoomToSendTo) {
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    ScriptedBoxes boxes;
    QtUi ui([] {}, boxes.runner());
    ComputerPlayer player;
    SeatRouter seats{ui, player};
    GameLog log{seats};
    Game game{log, random};
    BoardWindow board{game, ui};
    ComputerDriver driver{board, ui, seats, player, log, 0};
    driver.openLog();
    GameLogWindow* window = driver.logWindow();
    ASSERT_NE(window, nullptr);
    QLineEdit* chat = window->chatLine();
    EXPECT_EQ(chat->accessibleName(), "Chat");
    EXPECT_FALSE(chat->isEnabled());
    QStringList sent;
    driver.setChat([&sent](const QString& text) { sent << text; });
    EXPECT_TRUE(chat->isEnabled());
    QTest::keyClicks(chat, "  hello there ");
    QTest::keyClick(chat, Qt::Key_Return);
    QTest::keyClicks(chat, "   ");
    QTest::keyClick(chat, Qt::Key_Return); // blanks send nothing
    EXPECT_EQ(sent, QStringList{"hello there"});
    EXPECT_EQ(chat->text(), "   ");
    // Lines from the room reach the window like the game's own.
    log.note("Chat, Player 2: hi");
    EXPECT_EQ(window->view()->toPlainText().split('\n').last(), "Chat, Player 2: hi");
    driver.setChat({});
    EXPECT_FALSE(chat->isEnabled());
}

TEST(HostGameWindow, OffersThePortAndEveryAddressAndOnlySeatsAtTheTable) {
    HostGameWindow window;
    window.setAttribute(Qt::WA_DeleteOnClose, false); // it lives on this test's stack
    window.show();
    EXPECT_EQ(window.windowTitle(), "Host Game");
    EXPECT_TRUE(window.isWindow());
    EXPECT_EQ(window.portBox()->value(), net::kDefaultPort);
    EXPECT_TRUE(window.everyAddressBox()->isChecked());
    EXPECT_EQ(window.computerBox(1), nullptr) << "seat 1 is the host's";
    window.computerBox(3)->setChecked(true);
    window.computerBox(4)->setChecked(true);
    window.playersBox()->setValue(3);
    EXPECT_FALSE(window.computerBox(4)->isEnabled());
    const HostSettings chosen = window.settings().value();
    EXPECT_EQ(chosen.players, 3);
    EXPECT_TRUE(chosen.computer[3]);
    EXPECT_FALSE(chosen.computer[4]) << "a seat beyond the player count is nobody's";
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (control->focusPolicy() == Qt::NoFocus || control->objectName().startsWith(QStringLiteral("qt_")))
            continue;
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
    }
    EXPECT_TRUE(chosen.server.isEmpty()) << "the server runs in this program unless one is named";
    // A server elsewhere listens where it listens; an address that is none is said and kept.
    QSignalSpy hosted(&window, &HostGameWindow::hostRequested);
    window.serverField()->setText(QStringLiteral("ws://"));
    EXPECT_FALSE(window.portBox()->isEnabled());
    EXPECT_FALSE(window.everyAddressBox()->isEnabled());
    QTest::mouseClick(button(&window, "cmdHost"), Qt::LeftButton);
    EXPECT_EQ(hosted.count(), 0);
    EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("lblProblem"))->isVisible());
    window.serverField()->setText(QStringLiteral("localhost:7600"));
    QTest::mouseClick(button(&window, "cmdHost"), Qt::LeftButton);
    ASSERT_EQ(hosted.count(), 1);
    EXPECT_EQ(hosted.at(0).at(0).value<HostSettings>().server, QUrl(QStringLiteral("ws://localhost:7600")));
    window.serverField()->clear();
    EXPECT_TRUE(window.portBox()->isEnabled());
}

TEST(JoinGameWindow, WatchAndSeatsExcludeEachOtherAndABadAddressIsSaid) {
    JoinGameWindow window;
    window.setAttribute(Qt::WA_DeleteOnClose, false); // it lives on this test's stack
    window.show();
    EXPECT_EQ(window.windowTitle(), "Join Game");
    QSignalSpy joined(&window, &JoinGameWindow::joinRequested);
    window.seatBox(2)->setChecked(true);
    window.seatBox(3)->setChecked(true);
    window.watchBox()->setChecked(true);
    EXPECT_FALSE(window.seatBox(2)->isChecked());
    EXPECT_FALSE(window.seatBox(3)->isChecked());
    window.seatBox(4)->setChecked(true);
    EXPECT_FALSE(window.watchBox()->isChecked());

    window.serverField()->setText(QStringLiteral("not an address at all"));
    window.roomField()->setText(QStringLiteral("ABCD"));
    QTest::mouseClick(button(&window, "cmdJoin"), Qt::LeftButton);
    EXPECT_EQ(joined.count(), 0);
    EXPECT_TRUE(window.isVisible());
    auto* problem = window.findChild<QLabel*>(QStringLiteral("lblProblem"));
    ASSERT_NE(problem, nullptr);
    EXPECT_TRUE(problem->isVisible());
    EXPECT_FALSE(problem->accessibleName().isEmpty());
    // Nothing ticked is neither a seat nor watching.
    window.serverField()->setText(QStringLiteral("127.0.0.1:7600"));
    window.seatBox(4)->setChecked(false);
    QTest::mouseClick(button(&window, "cmdJoin"), Qt::LeftButton);
    EXPECT_EQ(joined.count(), 0);
    window.seatBox(1)->setChecked(true);
    window.seatBox(4)->setChecked(true);
    QTest::mouseClick(button(&window, "cmdJoin"), Qt::LeftButton);
    ASSERT_EQ(joined.count(), 1);
    const auto chosen = joined.at(0).at(0).value<JoinSettings>();
    EXPECT_EQ(chosen.server, QUrl(QStringLiteral("ws://127.0.0.1:7600")));
    EXPECT_EQ(chosen.room, "ABCD");
    EXPECT_TRUE(chosen.seats[1] && chosen.seats[4] && !chosen.seats[2]);
}

} // namespace
