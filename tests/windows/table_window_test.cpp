// Setting the table: the New Game dialog, names on every window, the statistics, past games, help,
// and what is remembered from one start of the program to the next.
#include "boxes.h"
#include "game_files.h"
#include "game_menus.h"
#include "help_windows.h"
#include "ownership_grid.h"
#include "past_games_window.h"
#include "remembered.h"
#include "statistics_window.h"
#include "trade_window.h"

#include <QChart>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

/// The windows with saved games, the Game and Help menus and a private settings and data folder.
/// The New Game dialog is the real one, filled in by `fill` and accepted (or cancelled) without
/// being shown.
struct TableWindows : Windows {
    QTemporaryDir dir;
    GameFiles files{board, ui, random, dir.filePath(QStringLiteral("data/autosave.dealbrix"))};
    GameMenus menus{board, ui, dir.filePath(QStringLiteral("data/past-games.json")), QStringLiteral("9.9.9")};
    std::function<void(NewGameDialog&)> fill;
    bool cancel = false;
    PlayerArray<bool> seatedComputer{};
    int seatings = 0;

    TableWindows() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           dir.filePath(QStringLiteral("config")));
        files.buildGameFileMenu(board.fileMenu());
        files.setPastGamesPath(dir.filePath(QStringLiteral("data/past-games.json")));
        board.setAfterAction([this](const Action&, ActionResult result) { files.afterAction(result); });
        files.setSeatSetter([this](const TableChoice& table) {
            seatedComputer = table.computer;
            ++seatings;
        });
        files.setTableChooser([this](const TableChoice& offered) -> std::optional<TableChoice> {
            NewGameDialog dialog(offered, &board);
            if (fill) fill(dialog);
            if (cancel) return std::nullopt;
            dialog.accept();
            if (dialog.result() != QDialog::Accepted) return std::nullopt;
            return dialog.choice();
        });
    }
    /// New Game... with the dialog accepted: the fresh game's decks come in order.
    void newGame() {
        random.identityShuffle();
        random.identityShuffle();
        menu("mnuFileNewGame");
    }
    QString text(const char* name) { return board.findChild<QLabel*>(QString::fromLatin1(name))->text(); }
    QString accessible(QWidget* window, const char* name) {
        return window->findChild<QWidget*>(QString::fromLatin1(name))->accessibleName();
    }
};

/// Fills the dialog: `players` seats, seat 2 the computer's, seat 1 named Ann and seat 3 Cy.
void annAndCy(NewGameDialog& dialog) {
    dialog.playerCount()->setValue(3);
    dialog.seatKind(2)->setCurrentIndex(static_cast<int>(SeatKind::Computer));
    dialog.seatName(1)->setText(QStringLiteral("  Ann "));
    dialog.seatName(3)->setText(QStringLiteral("Cy"));
    dialog.seatName(4)->setText(QStringLiteral("Never seated"));
}

} // namespace

TEST(NewGameDialog, ItsChoicesReachTheGameAsThePlayersComputerAndStartItemsWould) {
    TableWindows w;
    w.fill = annAndCy;
    HouseRules rules;
    rules.startingMoney = 1000;
    ASSERT_EQ(w.board.act(Action::chooseRules(rules)), ActionResult::Done);
    w.newGame(); // no game on yet: no question
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(w.s().playerCount, 3);
    EXPECT_EQ(w.s().board.checkedPlayers, 3);
    EXPECT_EQ(w.seatings, 1);
    EXPECT_TRUE(w.seatedComputer[2]);
    EXPECT_FALSE(w.seatedComputer[1]);
    EXPECT_EQ(w.s().names[1], "Ann");
    EXPECT_EQ(w.s().names[2], "");
    EXPECT_EQ(w.s().names[4], "") << "a seat beyond the count takes no name";
    EXPECT_TRUE(w.s().board.rollEnabled);
    EXPECT_EQ(w.text("lblTurn"), QStringLiteral("Ann's turn"));
    EXPECT_EQ(w.s().rules, rules) << "the board's rules stay";
    EXPECT_EQ(w.s().money[1], 1000);
    EXPECT_EQ(w.files.actionCount(), 3) << "the rules again, the Players item and Start";
}

TEST(NewGameDialog, CancelAndNoToTheAbandonQuestionChangeNothing) {
    TableWindows w;
    w.cancel = true;
    w.menu("mnuFileNewGame");
    EXPECT_EQ(w.s().playerCount, 0);
    w.start(2);
    const GameState before = w.s();
    w.boxes.expect({ask("Abandon the game in progress?", false)});
    w.menu("mnuFileNewGame");
    w.boxes.expect({ask("Abandon the game in progress?", false)});
    w.menu("mnuFileOpenGame");
    w.boxes.expect({ask("Abandon the game in progress?", true)});
    w.menu("mnuFileNewGame"); // then cancelled
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(w.s(), before);
    EXPECT_EQ(w.seatings, 0);
}

TEST(NewGameDialog, ANameThatCannotBeUsedKeepsTheDialogOpenAndSaysWhy) {
    TableWindows w;
    NewGameDialog dialog({}, &w.board);
    dialog.seatName(1)->setText(QStringLiteral("Bo"));
    dialog.seatName(3)->setText(QStringLiteral("bo"));
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.problem()->text(), QStringLiteral("The name of Player 3 is already taken by Player 1."));
    EXPECT_EQ(dialog.seatName(3)->maxLength(), kMaxNameLength);
    dialog.seatName(3)->setText(QStringLiteral("Cy"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("New Game"));
}

TEST(SeatNames, AppearOnEveryWindowAndPlayerNStaysWhereNoNameIsGiven) {
    TableWindows w;
    w.fill = annAndCy;
    w.newGame();
    EXPECT_EQ(w.accessible(&w.board, "Label1(1)"), QStringLiteral("Ann: 1500"));
    EXPECT_EQ(w.accessible(&w.board, "Label1(2)"), QStringLiteral("Player 2: 1500"));
    EXPECT_EQ(w.accessible(&w.board, "lbl(3)"), QStringLiteral("Cy token"));
    EXPECT_EQ(w.accessible(w.board.grid(), "lblPlayer(1)"), QStringLiteral("Ann:"));
    EXPECT_EQ(w.board.grid()->findChild<QLabel*>(QStringLiteral("lblPlayer(2)"))->text(),
              QStringLiteral("Player 2:"));
    w.board.clickPlayerHeading(3);
    ASSERT_NE(w.board.tradeWindow(), nullptr);
    EXPECT_EQ(w.s().trade.traderName, "Ann");
    EXPECT_EQ(w.s().trade.partnerName, "Cy");
    w.boxes.expect({ask("Cy, do you accept this offer?", false)});
    w.click(w.board.tradeWindow(), "cmdOffer");
    EXPECT_TRUE(w.boxes.done());
    // A saved game carries the names.
    const LoadResult back = readSavedGame(writeSavedGame(w.files.snapshot()));
    ASSERT_TRUE(back.game);
    EXPECT_EQ(back.game->state.names, w.s().names);
}

TEST(MoneyQuestions, CarryTheirFiguresBesideTheUnchangedText) {
    Windows w;
    w.start(2);
    w.random.dice(1, 2);
    w.boxes.expect(
        {landing(1, 3), ask("Buy Baltic Avenue?", false, "Buy Property"), msg("Property Turned Down")});
    w.click(&w.board, "cmdRoll");
    EXPECT_TRUE(w.boxes.done());
    ASSERT_EQ(w.boxes.informative().size(), 3u);
    EXPECT_EQ(w.boxes.informative()[0], QString());
    EXPECT_EQ(w.boxes.informative()[1],
              QStringLiteral("Price: $60\nRent once bought: $4\nCash after buying: $1440"));
    EXPECT_EQ(QtUi::factsText({.kind = BoxKind::PurchaseOffer,
                               .facts = MoneyFacts{.price = 60, .rentNow = 4, .cashAfter = 1440}}),
              QStringLiteral("Price: $60\nRent once bought: $4\nCash after buying: $1440"));
    EXPECT_EQ(
        QtUi::factsText(
            {.kind = BoxKind::HouseQuestion,
             .facts =
                 MoneyFacts{.price = 50, .rentNow = 8, .rentAfter = 20, .houses = 0, .cashAfter = 1390}}),
        QStringLiteral(
            "House price: $50\nHouses there now: 0\nRent now: $8, afterwards: $20\nCash afterwards: $1390"));
    EXPECT_EQ(QtUi::factsText({.kind = BoxKind::Landing}), QString());
}

TEST(Statistics, TheChartAndTablesFollowAPlayedGame) {
    TableWindows w;
    w.fill = [](NewGameDialog& d) {
        d.playerCount()->setValue(2);
        d.seatName(2)->setText(QStringLiteral("Bo"));
    };
    w.newGame();
    w.menu("mnuGameStatistics");
    StatisticsWindow* stats = w.menus.statisticsWindow();
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->windowTitle(), QStringLiteral("Statistics"));
    EXPECT_EQ(stats->worthTable()->rowCount(), 1) << "the start";
    EXPECT_EQ(stats->worthChart()->series().size(), 2);
    EXPECT_EQ(stats->worthChart()->series()[1]->name(), QStringLiteral("Bo"));
    EXPECT_EQ(stats->worthTable()->horizontalHeaderItem(2)->text(), QStringLiteral("Bo"));
    w.boxes.expect({landing(1, 3), ask("Buy Baltic Avenue?", true, "Buy Property"),
                    msg("Baltic Avenue Bought by player 1"), msg("Bo lands on Income Tax")});
    w.random.dice(1, 2);
    w.click(&w.board, "cmdRoll");
    w.click(&w.board, "cmdEndTurn");
    w.random.dice(1, 3);
    w.click(&w.board, "cmdRoll");
    w.click(&w.board, "cmdEndTurn");
    EXPECT_TRUE(w.boxes.done());
    ASSERT_EQ(stats->worthTable()->rowCount(), 2) << "one round played";
    EXPECT_EQ(stats->worthTable()->item(1, 1)->text(), QStringLiteral("1500"))
        << "1440 cash and Baltic at 60";
    EXPECT_EQ(stats->worthTable()->item(1, 2)->text(), QStringLiteral("1300")) << "Income Tax";
    EXPECT_EQ(stats->landingsTable()->item(3, 2)->text(), QStringLiteral("1"));
    EXPECT_EQ(stats->landingsTable()->item(4, 2)->text(), QStringLiteral("1"));
    EXPECT_EQ(stats->landingsTable()->item(5, 2)->text(), QStringLiteral("0"));
}

TEST(PastGames, AFinishedGameIsListedAndADamagedListIsSetAside) {
    TableWindows w;
    w.fill = [](NewGameDialog& d) {
        d.playerCount()->setValue(2);
        d.seatName(1)->setText(QStringLiteral("Ann"));
    };
    w.newGame();
    w.s().seatOut[2] = kTrue;
    w.s().board.endTurnEnabled = true;
    w.board.syncAll();
    w.boxes.expect({msg("Ann WINS!!!")});
    w.click(&w.board, "cmdEndTurn");
    ASSERT_TRUE(w.programEnded);
    w.files.recordFinishedGame();
    w.files.recordFinishedGame(); // once only
    const PastGamesRead read = readPastGames(w.files.pastGamesPath());
    EXPECT_EQ(read.problem, QString());
    ASSERT_EQ(read.games.size(), 1u);
    EXPECT_EQ(read.games[0].winner, QStringLiteral("Ann"));
    EXPECT_EQ(read.games[0].winnerWorth, 1500);
    ASSERT_EQ(read.games[0].seats.size(), 2u);
    EXPECT_EQ(read.games[0].seats[1].name, QStringLiteral("Player 2"));
    w.menu("mnuGamePastGames");
    ASSERT_NE(w.menus.pastGamesWindow(), nullptr);
    EXPECT_EQ(w.menus.pastGamesWindow()->table()->rowCount(), 1);
    EXPECT_EQ(w.menus.pastGamesWindow()->table()->item(0, 2)->text(), QStringLiteral("Ann"));

    QFile damaged(w.files.pastGamesPath());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("{\"format\": \"dealbrix-past-games\", \"games\": [");
    damaged.close();
    const PastGamesRead again = readPastGames(w.files.pastGamesPath());
    EXPECT_TRUE(again.games.empty());
    EXPECT_TRUE(again.problem.startsWith(QStringLiteral("The list of past games was damaged")))
        << again.problem.toStdString();
    EXPECT_FALSE(QFile::exists(w.files.pastGamesPath()));
    EXPECT_EQ(QDir(w.dir.filePath(QStringLiteral("data")))
                  .entryList({QStringLiteral("past-games.json.damaged-*")})
                  .size(),
              1);
}

TEST(PastGames, AreListedBestFirst) {
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1000000, Qt::UTC);
    std::vector<PastGame> games{
        {.finished = t0, .winner = {}, .rounds = 3},
        {.finished = t0, .winner = QStringLiteral("A"), .winnerWorth = 2000, .rounds = 40},
        {.finished = t0, .winner = QStringLiteral("B"), .winnerWorth = 3000, .rounds = 50},
        {.finished = t0, .winner = QStringLiteral("C"), .winnerWorth = 2000, .rounds = 30}};
    sortBestFirst(games);
    QStringList order;
    for (const PastGame& g : games)
        order << g.winner;
    EXPECT_EQ(order.join(QLatin1Char(',')), QStringLiteral("B,C,A,"));
}

TEST(HelpMenu, StandsRightWithHowToPlayOnF1AndAbout) {
    TableWindows w;
    const QList<QAction*> menus = w.board.menuBar()->actions();
    ASSERT_FALSE(menus.isEmpty());
    EXPECT_EQ(menus.back()->text(), QStringLiteral("&Help"));
    EXPECT_EQ(menus.front()->text(), QStringLiteral("&File"));
    EXPECT_EQ(w.menus.item("mnuHelpHowToPlay")->shortcut(), QKeySequence(Qt::Key_F1));
    w.menu("mnuHelpHowToPlay");
    ASSERT_NE(w.menus.howToPlayWindow(), nullptr);
    EXPECT_EQ(w.menus.howToPlayWindow()->windowTitle(), QStringLiteral("How to Play"));
    const QString rules = w.menus.howToPlayWindow()->text()->toPlainText();
    for (const char* part : {"Roll", "End Turn", "Bankrupt (Give up)", "F1", "Ctrl+N", "arrow keys"})
        EXPECT_TRUE(rules.contains(QString::fromLatin1(part))) << part;
    const QString about = aboutText(QStringLiteral("9.9.9"));
    EXPECT_TRUE(about.contains(QStringLiteral("9.9.9")));
    EXPECT_TRUE(about.contains(QStringLiteral("MIT License")));
    EXPECT_TRUE(about.contains(QStringLiteral("https://dealbrix.org")));
    EXPECT_NE(w.menus.item("mnuHelpAboutQt"), nullptr);
}

TEST(Remembered, TheLastTableAndWindowPlacesComeBackAtTheNextStart) {
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    TableChoice table{.players = 3};
    table.computer[3] = true;
    table.names[2] = "Bo";
    QPoint gridPlace;
    {
        // The first start: a table is started and the grid moved.
        Remembered remembered;
        EXPECT_EQ(remembered.lastTable(), TableChoice{}) << "nothing remembered yet";
        remembered.setLastTable(table);
        Windows w;
        remembered.watch(w.board.grid());
        gridPlace = w.board.grid()->frameGeometry().topLeft() + QPoint(0, 60);
        w.board.grid()->move(gridPlace);
        remembered.flush();
    }
    // The next start reads the file afresh.
    Remembered remembered;
    EXPECT_EQ(remembered.lastTable(), table);
    Windows w;
    EXPECT_TRUE(remembered.restorePlace(w.board.grid()));
    EXPECT_EQ(w.board.grid()->frameGeometry().topLeft(), gridPlace);
}

TEST(Remembered, APlaceOffEveryScreenOrADamagedFileFallsBackToTheUsualPlacement) {
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    {
        QSettings settings;
        settings.setValue(QStringLiteral("windows/Properties"), QRect(-20000, -20000, 300, 400));
        settings.setValue(QStringLiteral("table/players"), 9);
        settings.setValue(QStringLiteral("table/seat1/name"), QStringLiteral("Player 2"));
    }
    Remembered remembered;
    EXPECT_EQ(remembered.lastTable(), TableChoice{});
    Windows w;
    const QPoint usual = w.board.grid()->pos();
    EXPECT_FALSE(remembered.restorePlace(w.board.grid()));
    EXPECT_EQ(w.board.grid()->pos(), usual);
    EXPECT_FALSE(Remembered::onSomeScreen(QRect(-20000, -20000, 300, 400)));

    // A settings file that is not one at all.
    QFile broken(QSettings().fileName());
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\x01\x02[[[table\n=\xff\xfe");
    broken.close();
    Remembered again;
    EXPECT_EQ(again.lastTable(), TableChoice{});
    EXPECT_EQ(again.computerDelay(), std::nullopt);
}

TEST(NewGameDialog, OpensWithTheLastTableStarted) {
    TableWindows w;
    TableChoice last{.players = 3};
    last.names[1] = "Di";
    w.files.setOfferedTable(last);
    TableChoice offered;
    w.files.setTableChooser([&offered](const TableChoice& first) -> std::optional<TableChoice> {
        offered = first;
        TableChoice next{.players = 2};
        next.computer[2] = true;
        return next;
    });
    w.random.identityShuffle();
    w.random.identityShuffle();
    w.menu("mnuFileNewGame");
    TableChoice withBoardRules = last;
    withBoardRules.rules = HouseRules{}; // a table without rules of its own is offered the board's
    EXPECT_EQ(offered, withBoardRules);
    w.boxes.expect({ask("Abandon the game in progress?", true)});
    w.files.setTableChooser([&offered](const TableChoice& first) -> std::optional<TableChoice> {
        offered = first;
        return std::nullopt;
    });
    w.menu("mnuFileNewGame");
    EXPECT_EQ(offered.players, 2) << "the table just started";
    EXPECT_TRUE(offered.computer[2]);
    // The real dialog fills itself in from what it is offered.
    NewGameDialog dialog(last, &w.board);
    EXPECT_EQ(dialog.playerCount()->value(), 3);
    EXPECT_EQ(dialog.seatName(1)->text(), QStringLiteral("Di"));
}

TEST(DamagedFiles, ACutShortAutosaveIsCalledTheLastGame) {
    TableWindows w;
    w.start(2);
    QFile autosave(w.files.autosavePath());
    ASSERT_TRUE(autosave.open(QIODevice::ReadOnly));
    const QByteArray whole = autosave.readAll();
    autosave.close();
    ASSERT_TRUE(autosave.open(QIODevice::WriteOnly | QIODevice::Truncate));
    autosave.write(whole.left(whole.size() / 3));
    autosave.close();
    const GameState before = w.s();
    const QString why = readSavedGame(whole.left(whole.size() / 3)).error;
    EXPECT_TRUE(why.startsWith(QStringLiteral("The file is a damaged Dealbrix saved game")))
        << why.toStdString();
    w.boxes.expect({msg("The last game cannot be opened.\n\n" + why.toStdString())});
    w.menu("mnuFileResumeGame");
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(w.s(), before);
}
