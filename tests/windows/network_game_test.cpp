// Network play on the real windows: two (or three) programs in this process, each with its board,
// boxes, log and session, playing a room of a real game server on 127.0.0.1. The dice are the
// server's, so the checks hold whatever they roll.
#include "computer_driver.h"
#include "game_files.h"
#include "game_log_window.h"
#include "network_dialogs.h"
#include "network_menu.h"
#include "network_session.h"
#include "qt_ui.h"
#include "random.h"
#include "rules_window.h"
#include "server.h"
#include "trade_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace dealbrix;

namespace {

constexpr int kWaitMs = 5000;

/// One box as a program showed it.
struct ShownBox {
    QString title;
    QString text;
    bool question = false;
};

/// The program's boxes, answered at once: OK, or the question's answer `answer` gives (No unless
/// told). `whileAsked` runs inside a question before it is answered, as a person looks around.
struct RecordedBoxes {
    std::vector<ShownBox> shown;
    bool answer = false;
    std::function<void()> whileAsked;

    QtUi::BoxRunner runner() {
        return [this](QMessageBox& box) {
            const bool question = (box.standardButtons() & QMessageBox::Yes) != 0;
            shown.push_back({box.windowTitle(), box.text(), question});
            if (!question) return QMessageBox::Ok;
            if (whileAsked) whileAsked();
            return answer ? QMessageBox::Yes : QMessageBox::No;
        };
    }
    int questions() const {
        return static_cast<int>(
            std::count_if(shown.begin(), shown.end(), [](const ShownBox& b) { return b.question; }));
    }
    bool saw(const QString& start) const {
        return std::any_of(shown.begin(), shown.end(),
                           [&](const ShownBox& b) { return b.text.startsWith(start); });
    }
};

/// The program as main() builds it, with its boxes recorded and its autosave in a folder of its own.
struct Program {
    ClockRandom random{7};
    RecordedBoxes boxes;
    QtUi ui{[] {}, boxes.runner()};
    ComputerPlayer player;
    SeatRouter seats{ui, player};
    GameLog log{seats};
    Game game{log, random};
    BoardWindow board{game, ui};
    ComputerDriver driver{board, ui, seats, player, log, 0};
    QTemporaryDir folder;
    GameFiles* files = new GameFiles(board, ui, random, folder.filePath(QStringLiteral("autosave.dealbrix")));
    NetworkSession session{board, ui, log, driver, *files, 0};
    NetworkMenu menu{board, session, ui};

    Program() {
        files->buildGameFileMenu(board.fileMenu());
        board.showWithGrid();
    }
    GameState& s() { return game.state; }
    QPushButton* button(const char* name) { return board.findChild<QPushButton*>(QString::fromLatin1(name)); }
    QAction* item(const char* name) { return board.findChild<QAction*>(QString::fromLatin1(name)); }
    QString status() const { return session.statusLine() ? session.statusLine()->text() : QString(); }
    bool logHas(const std::string& line) const {
        return std::find(log.lines().begin(), log.lines().end(), line) != log.lines().end();
    }
    /// Hosts a room of `players` on a server in this program, on 127.0.0.1 and a free port.
    void host(int players, PlayerArray<bool> computer = {}) {
        HostSettings settings;
        settings.players = players;
        settings.computer = computer;
        settings.port = 0;
        settings.everyAddress = false;
        ASSERT_EQ(session.host(settings), QString());
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return !session.room().isEmpty() && session.seats()[1]; }, kWaitMs));
    }
    /// Joins `room` on `host`'s server (through `port` if given) with `seats` (none: watch).
    void join(const Program& host, std::initializer_list<int> seats, QString room = {}, quint16 port = 0) {
        JoinSettings settings;
        settings.server =
            QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(port != 0 ? port : host.session.serverPort()));
        settings.room = room.isEmpty() ? host.session.room() : room;
        for (const int seat : seats)
            settings.seats[seat] = true;
        session.join(settings);
    }
};

/// A relay on 127.0.0.1 between a program and the server, whose connections a test can cut: the
/// network between them failing, as far as either end can tell.
class Relay final : public QObject {
  public:
    explicit Relay(quint16 target) : target_(target) {
        listener_.listen(QHostAddress::LocalHost, 0);
        connect(&listener_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* near = listener_.nextPendingConnection()) {
                auto* far = new QTcpSocket(near);
                const qsizetype index = requests_.size();
                requests_.append(QString());
                connect(near, &QTcpSocket::readyRead, far, [this, near, far, index] {
                    const QByteArray bytes = near->readAll();
                    if (requests_[index].isEmpty())
                        requests_[index] = QString::fromLatin1(bytes.left(bytes.indexOf('\r')));
                    far->write(bytes);
                });
                connect(far, &QTcpSocket::readyRead, near, [near, far] { near->write(far->readAll()); });
                connect(far, &QTcpSocket::disconnected, near, &QTcpSocket::disconnectFromHost);
                connect(near, &QTcpSocket::disconnected, near, &QObject::deleteLater);
                far->connectToHost(QHostAddress::LocalHost, target_);
                ++connections_;
            }
        });
    }
    quint16 port() const { return listener_.serverPort(); }
    int connections() const { return connections_; }
    /// The request line each connection opened with, e.g. "GET /room/CODE HTTP/1.1".
    const QStringList& requests() const { return requests_; }
    /// Cuts every connection through the relay at once.
    void cut() {
        for (QTcpSocket* near : listener_.findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly))
            near->abort();
    }

  private:
    quint16 target_;
    QTcpServer listener_;
    int connections_ = 0;
    QStringList requests_;
};

/// True once both programs draw the same game and neither has anything left to show.
bool inStep(Program& a, Program& b) {
    return a.s() == b.s() && a.session.waitingFor() == 0 && b.session.waitingFor() == 0;
}

TEST(NetworkGameWindows, TheHostIsToldTheRoomAndTheRoomStartsOnceEverySeatIsTaken) {
    Program a;
    a.host(2);
    ASSERT_FALSE(a.boxes.shown.empty());
    const QString told = a.boxes.shown.back().text;
    EXPECT_TRUE(told.contains(QStringLiteral("Room code: ") + a.session.room())) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("Port: %1").arg(a.session.serverPort()))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("127.0.0.1"))) << told.toStdString();
    EXPECT_FALSE(a.item("mnuFileNewGame")->isEnabled())
        << "a network game is not replaced from the File menu";
    EXPECT_FALSE(
        a.board.menuBar()->findChild<QMenu*>(QStringLiteral("mnuComputer"))->menuAction()->isEnabled());
    EXPECT_EQ(a.s().playerCount, 0);
    EXPECT_FALSE(a.button("cmdRoll")->isEnabled()) << "nobody plays before the start";

    Program b;
    b.join(a, {2});
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().playerCount == 2 && inStep(a, b); }, kWaitMs));
    EXPECT_TRUE(a.button("cmdRoll")->isEnabled());
    EXPECT_FALSE(b.button("cmdRoll")->isEnabled());
    EXPECT_FALSE(b.item("mnuFileStart")->isEnabled());
    EXPECT_EQ(b.board.findChild<QLabel*>(QStringLiteral("lblTurn"))->text(), "Player 1's turn");
    EXPECT_TRUE(b.status().contains(QStringLiteral("Player 1"))) << b.status().toStdString();
}

TEST(NetworkGameWindows, TheBoardsFollowEveryActionAndOnlyTheActingSeatPlays) {
    Program a;
    a.host(2);
    Program b;
    b.join(a, {2});
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().playerCount == 2 && inStep(a, b); }, kWaitMs));
    const std::size_t bLines = b.log.lines().size();

    ASSERT_TRUE(QTest::qWaitFor([&] { return a.button("cmdRoll")->isEnabled(); }, kWaitMs));
    const GameState beforeRoll = a.s();
    QTest::mouseClick(a.button("cmdRoll"), Qt::LeftButton);
    // The roll changes the game on both boards (a card may even send the token back to Go); whatever
    // the dice, the landing is told.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return a.s() != beforeRoll && inStep(a, b) && a.s().board.endTurnEnabled; }, kWaitMs));
    EXPECT_TRUE(a.boxes.saw(QStringLiteral("Player 1 lands on"))) << "the acting seat gets its OK boxes";
    EXPECT_EQ(b.boxes.shown.size(), 0U) << "the other seat's program shows no box";
    EXPECT_GT(b.log.lines().size(), bLines);
    EXPECT_TRUE(b.log.lines().back().rfind("Player 1: ", 0) == 0) << b.log.lines().back();
    EXPECT_FALSE(b.button("cmdEndTurn")->isEnabled());
    EXPECT_EQ(b.board.act(Action::endTurn()), ActionResult::Refused) << "nothing is sent for another seat";

    QTest::mouseClick(a.button("cmdEndTurn"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().turn != 1 || a.s().board.rollEnabled; }, kWaitMs));
    if (a.s().turn == 1) return; // doubles: player 1 rolls again, and the rest is the same again
    ASSERT_TRUE(QTest::qWaitFor([&] { return inStep(a, b); }, kWaitMs));
    EXPECT_TRUE(b.button("cmdRoll")->isEnabled());
    EXPECT_FALSE(a.button("cmdRoll")->isEnabled());
    EXPECT_FALSE(a.button("cmdBankrupt")->isEnabled());
}

TEST(NetworkGameWindows, AQuestionShowsOnlyWhereItsSeatPlaysAndTheOthersWait) {
    Program a;
    a.host(2);
    Program b;
    b.join(a, {2});
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().playerCount == 2 && inStep(a, b); }, kWaitMs));
    // Player 1 offers player 2 $10 for nothing; the acceptance question is player 2's.
    a.board.clickPlayerHeading(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.board.tradeWindow() != nullptr; }, kWaitMs));
    EXPECT_FALSE(b.board.tradeWindow()->isEnabled()) << "player 2 sees the offer being made, nothing more";
    ASSERT_NE(a.board.tradeWindow(), nullptr);
    EXPECT_TRUE(a.board.tradeWindow()->isEnabled());
    auto* money = a.board.tradeWindow()->findChild<QLineEdit*>(QStringLiteral("txtMoney(0)"));
    ASSERT_NE(money, nullptr);
    QTest::keyClicks(money, "10");
    QTest::keyClick(money, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.s().trade.moneyOffered[0] == "10"; }, kWaitMs));
    bool aWaited = false;
    b.boxes.answer = true;
    b.boxes.whileAsked = [&] {
        aWaited =
            QTest::qWaitFor([&] { return a.status() == QStringLiteral("Waiting for Player 2"); }, kWaitMs);
        EXPECT_FALSE(a.board.tradeWindow()->isEnabled()) << "nobody plays while a question waits";
        // The partner reads the offer as typed, as at one screen.
        EXPECT_EQ(b.board.tradeWindow()->findChild<QLineEdit*>(QStringLiteral("txtMoney(0)"))->text(), "10");
    };
    a.board.tradeWindow()->findChild<QPushButton*>(QStringLiteral("cmdOffer"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().money[2] == 1510 && inStep(a, b); }, kWaitMs));
    EXPECT_TRUE(aWaited) << a.status().toStdString();
    EXPECT_EQ(b.boxes.questions(), 1);
    EXPECT_EQ(a.boxes.questions(), 0) << "the question never shows where its seat is not played";
    EXPECT_EQ(a.s().money[1], 1490);
    EXPECT_NE(a.status(), QStringLiteral("Waiting for Player 2"));
}

TEST(NetworkGameWindows, ChatAwaySeatsAndTheComputerTakingOver) {
    Program a;
    PlayerArray<bool> computer{};
    a.host(3, computer);
    Program b;
    b.join(a, {2});
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.session.seats()[2] && !b.status().isEmpty(); }, kWaitMs));
    EXPECT_EQ(a.s().playerCount, 0) << "seat 3 is a person's and not taken yet";
    // The host starts early: the computer plays the empty seat.
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.menu.startNowItem()->isEnabled(); }, kWaitMs));
    a.menu.startNowItem()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().playerCount == 3 && inStep(a, b); }, kWaitMs));

    b.driver.openLog();
    QLineEdit* chat = b.driver.logWindow()->chatLine();
    ASSERT_TRUE(chat->isEnabled());
    QTest::keyClicks(chat, "good luck");
    QTest::keyClick(chat, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.logHas("Chat, Player 2: good luck"); }, kWaitMs));

    // Player 2's program goes: its seat is away on the host's board, and the host can hand it over.
    b.session.leave();
    EXPECT_EQ(b.s().playerCount, 0) << "Leave Game puts a fresh local board back";
    EXPECT_TRUE(b.button("cmdRoll")->isEnabled() == b.s().board.rollEnabled);
    EXPECT_TRUE(b.item("mnuFileNewGame")->isEnabled());
    auto* money2 = a.board.findChild<QLabel*>(QStringLiteral("Label1(2)"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.board.seatAway(2); }, kWaitMs));
    EXPECT_EQ(money2->accessibleDescription(), "away");
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.menu.computerItem(2)->isEnabled(); }, kWaitMs));
    EXPECT_FALSE(a.menu.computerItem(1)->isEnabled()) << "the host's own seat is never handed over";
    a.menu.computerItem(2)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.menu.computerItem(2)->isChecked() && !a.board.seatAway(2); },
                                kWaitMs));
    EXPECT_EQ(money2->accessibleDescription(), "");
    // And back: the seat is its person's again, who is still away.
    a.menu.computerItem(2)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !a.menu.computerItem(2)->isChecked() && a.board.seatAway(2); },
                                kWaitMs));
}

TEST(NetworkGameWindows, ExitLeavesTheRoomAtOnceWithoutAnotherBox) {
    Program a;
    a.host(2);
    Program b;
    b.join(a, {2});
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().playerCount == 2 && inStep(a, b); }, kWaitMs));
    const std::size_t boxes = b.boxes.shown.size();
    EXPECT_EQ(b.board.act(Action::exit()), ActionResult::Ended);
    EXPECT_EQ(b.boxes.shown.size(), boxes) << "the program ends; nothing tells it the connection went";
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.board.seatAway(2); }, kWaitMs)) << "the room hears at once";
}

TEST(NetworkGameWindows, OneProgramMayPlaySeveralSeats) {
    Program a;
    a.host(3);
    Program b;
    b.join(a, {2, 3});
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().playerCount == 3 && inStep(a, b); }, kWaitMs));
    EXPECT_TRUE(b.session.seats()[2] && b.session.seats()[3] && !b.session.seats()[1]);
    // Play on (a bounded number of presses) until player 3's turn, checking at every step that
    // exactly the program holding the turn may play.
    for (int press = 0; press < 40 && a.s().turn != 3; ++press) {
        Program& actor = a.s().turn == 1 ? a : b;
        Program& other = a.s().turn == 1 ? b : a;
        EXPECT_FALSE(other.button("cmdRoll")->isEnabled() || other.button("cmdEndTurn")->isEnabled());
        QPushButton* next = actor.button(actor.button("cmdRoll")->isEnabled() ? "cmdRoll" : "cmdEndTurn");
        ASSERT_TRUE(next->isEnabled()) << "player " << a.s().turn << " has nothing to press";
        const GameState before = a.s();
        QTest::mouseClick(next, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return a.s() != before && inStep(a, b); }, kWaitMs));
    }
    ASSERT_EQ(a.s().turn, 3);
    EXPECT_TRUE(b.button("cmdRoll")->isEnabled()) << "the second seat at the same program plays too";
    EXPECT_FALSE(a.button("cmdRoll")->isEnabled());
}

TEST(NetworkGameWindows, AWrongRoomCodeGetsABoxTheLocalBoardBackAndTheJoinWindowAsItWas) {
    Program a;
    a.host(2);
    Program b;
    b.menu.openJoinWindow();
    JoinGameWindow* window = b.menu.joinWindow();
    ASSERT_NE(window, nullptr);
    window->serverField()->setText(QStringLiteral("127.0.0.1:%1").arg(a.session.serverPort()));
    window->roomField()->setText(QStringLiteral("NOSUCHROOM"));
    window->seatBox(2)->setChecked(true);
    window->findChild<QPushButton*>(QStringLiteral("cmdJoin"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !b.session.active() && !b.boxes.shown.empty(); }, kWaitMs));
    EXPECT_TRUE(b.boxes.shown.back().text.startsWith(QStringLiteral("The network game cannot go on.")));
    EXPECT_TRUE(b.item("mnuFileNewGame")->isEnabled());
    EXPECT_FALSE(b.board.hasActionSink());
    // Trying again starts from what was typed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.menu.joinWindow() == nullptr; }, kWaitMs));
    b.menu.openJoinWindow();
    window = b.menu.joinWindow();
    EXPECT_EQ(window->roomField()->text(), "NOSUCHROOM");
    EXPECT_TRUE(window->seatBox(2)->isChecked());
    EXPECT_FALSE(window->watchBox()->isChecked());
}

TEST(NetworkGameWindows, APortInUseIsSaidAndNothingStarts) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    Program a;
    HostSettings settings;
    settings.port = taken.serverPort();
    settings.everyAddress = false;
    const QString problem = a.session.host(settings);
    EXPECT_TRUE(problem.contains(QString::number(taken.serverPort()))) << problem.toStdString();
    EXPECT_FALSE(a.session.active());
    EXPECT_FALSE(a.session.serving());
    EXPECT_TRUE(a.button("cmdRoll")->isEnabled() == a.s().board.rollEnabled);
}

TEST(NetworkGameWindows, ADroppedProgramComesBackByItselfAndGetsTheGameAsItStands) {
    Program a;
    a.host(2);
    Program b;
    // The accepted connections of the relay belong to its listener until they end.
    Relay relay(a.session.serverPort());
    b.join(a, {2}, {}, relay.port());
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().playerCount == 2 && inStep(a, b); }, kWaitMs));
    relay.cut();
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.board.seatAway(2); }, kWaitMs));
    EXPECT_TRUE(b.status().startsWith(QStringLiteral("Connection lost"))) << b.status().toStdString();
    EXPECT_TRUE(b.session.active()) << "a dropped program stays in its game";
    // The game goes on meanwhile; the program that comes back gets it as it stands.
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.button("cmdRoll")->isEnabled(); }, kWaitMs));
    const GameState beforeRoll = a.s();
    QTest::mouseClick(a.button("cmdRoll"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s() != beforeRoll && a.session.waitingFor() == 0; }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !a.board.seatAway(2) && inStep(a, b); }, 3 * kWaitMs));
    EXPECT_GE(relay.connections(), 2);
    EXPECT_TRUE(b.session.seats()[2]) << "the seat came back with its token";
    EXPECT_FALSE(b.button("cmdRoll")->isEnabled());
}

TEST(NetworkGameWindows, AServerThatCannotBeReachedGetsABox) {
    // A port that was free a moment ago: nothing listens there now.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    Program b;
    JoinSettings settings;
    settings.server = QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(port));
    settings.room = QStringLiteral("ABCD");
    settings.seats[2] = true;
    b.session.join(settings);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !b.session.active(); }, kWaitMs));
    ASSERT_FALSE(b.boxes.shown.empty());
    EXPECT_TRUE(b.boxes.shown.back().text.contains(QStringLiteral("cannot be reached")))
        << b.boxes.shown.back().text.toStdString();
}

TEST(NetworkGameWindows, AWatcherFollowsTheGameWithEveryControlDisabled) {
    Program a;
    a.host(2, [] {
        PlayerArray<bool> computer{};
        computer[2] = true;
        return computer;
    }());
    Program c;
    c.join(a, {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().playerCount == 2 && inStep(a, c); }, kWaitMs));
    EXPECT_TRUE(c.status().contains(QStringLiteral("Player 1"))) << c.status().toStdString();
    EXPECT_FALSE(c.button("cmdRoll")->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.button("cmdRoll")->isEnabled(); }, kWaitMs));
    const GameState beforeRoll = c.s();
    QTest::mouseClick(a.button("cmdRoll"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.s() != beforeRoll && inStep(a, c); }, kWaitMs));
    EXPECT_TRUE(c.boxes.shown.empty()) << "a watcher is shown no box";
}

} // namespace

TEST(NetworkGameWindows, HostGameOffersTheTablesRulesAndLevelsAndEveryProgramShowsTheRoomsRulesFixed) {
    Program a;
    HouseRules rules;
    rules.set(HouseRule::Auction, true);
    rules.set(HouseRule::FreeParkingPot, true);
    rules.startingMoney = 2500;
    // The table's choices: the Rules window's (as the command line's) and the Computer menu's.
    a.board.act(Action::chooseRules(rules));
    ASSERT_EQ(a.s().rules, rules);
    ComputerLevels levels{};
    levels[3] = ComputerLevel::Hard;
    a.driver.setLevels(levels);
    a.menu.openHostWindow();
    HostGameWindow* window = a.menu.hostWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->rulesLine()->text().contains(QStringLiteral("Auction, Free Parking pot")))
        << window->rulesLine()->text().toStdString();
    EXPECT_EQ(window->rulesLine()->accessibleName().toStdString(), describeHouseRules(rules));
    for (int seat = 2; seat <= kPlayerCount; ++seat) {
        EXPECT_EQ(window->levelBox(seat)->accessibleName(), QStringLiteral("Level of Player %1").arg(seat));
        EXPECT_FALSE(window->levelBox(seat)->isEnabled()) << "a level only where the computer plays";
    }
    window->playersBox()->setValue(3);
    window->computerBox(3)->setChecked(true);
    EXPECT_TRUE(window->levelBox(3)->isEnabled());
    EXPECT_EQ(window->levelBox(3)->currentText(), "Hard");
    std::optional<HostSettings> settings = window->settings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->rules, rules);
    EXPECT_EQ(settings->levels[3], ComputerLevel::Hard);
    window->close();
    settings->port = 0;
    settings->everyAddress = false;
    ASSERT_EQ(a.session.host(*settings), QString());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !a.session.room().isEmpty() && a.session.seats()[1]; }, kWaitMs));

    Program b;
    QAction* rulesItem = addRulesItem(b.board);
    b.join(a, {2});
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().playerCount == 3 && b.s().playerCount == 3; }, kWaitMs));
    EXPECT_EQ(b.s().rules, rules);
    EXPECT_EQ(b.s().money[2], 2500);
    const auto level3 = std::find_if(b.session.seatInfo().begin(), b.session.seatInfo().end(),
                                     [](const net::SeatInfo& info) { return info.seat == 3; });
    ASSERT_NE(level3, b.session.seatInfo().end());
    EXPECT_EQ(level3->level, ComputerLevel::Hard);
    // The joiner's Rules window shows the room's rules, and nothing in it can be changed.
    rulesItem->trigger();
    RulesWindow* shown = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (shown = b.board.findChild<RulesWindow*>(QStringLiteral("Rules"))) != nullptr; },
        kWaitMs));
    EXPECT_TRUE(shown->ruleBox(HouseRule::Auction)->isChecked());
    EXPECT_FALSE(shown->ruleBox(HouseRule::Auction)->isEnabled());
    EXPECT_FALSE(shown->ruleBox(HouseRule::DoubleGo)->isEnabled());
    EXPECT_EQ(shown->startingMoney()->value(), 2500);
    EXPECT_FALSE(shown->startingMoney()->isEnabled());
}

TEST(NetworkGameWindows, AJoinByRoomCodeConnectsToTheRoomsPathThatAProxyRoutesOn) {
    Program a;
    a.host(2);
    Program b;
    Relay relay(a.session.serverPort());
    b.join(a, {2}, {}, relay.port());
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.s().playerCount == 2 && inStep(a, b); }, kWaitMs));
    ASSERT_FALSE(relay.requests().isEmpty());
    EXPECT_EQ(relay.requests().first(), QStringLiteral("GET /room/%1 HTTP/1.1").arg(a.session.room()));
}
