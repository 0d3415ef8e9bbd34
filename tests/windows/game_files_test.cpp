// The saved-game items of the File menu and the autosave, on the real windows.
#include "boxes.h"
#include "game_files.h"
#include "seat_router.h"
#include "trade_window.h"

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

/// The windows with saved games as the program wires them, the autosave in a private folder and the
/// file dialogs answered by `openPath` and `savePath`.
struct FileWindows : Windows {
    QTemporaryDir dir;
    GameFiles files{board, ui, random, dir.filePath(QStringLiteral("data/autosave.dealbrix"))};
    QString openPath;
    QString savePath;
    std::optional<TableChoice> table = TableChoice{.players = 2}; // the New Game dialog's answer
    std::vector<TableChoice> offered;                             // what the dialog was opened with

    FileWindows() {
        files.buildGameFileMenu(board.fileMenu());
        files.setPathChoosers([this] { return openPath; }, [this] { return savePath; });
        files.setTableChooser([this](const TableChoice& first) {
            offered.push_back(first);
            return table;
        });
        board.setAfterAction([this](const Action&, ActionResult result) { files.afterAction(result); });
    }
    QAction* item(const char* name) { return board.findChild<QAction*>(QString::fromLatin1(name)); }
    QString label(const char* name) { return board.findChild<QLabel*>(QString::fromLatin1(name))->text(); }
    QByteArray autosaveBytes() {
        QFile file(files.autosavePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

} // namespace

TEST(GameFileMenu, KeepsTheGameItemsFirstThenASeparatorAndTheFileItems) {
    FileWindows w;
    QStringList captions;
    for (const QAction* a : w.board.fileMenu()->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(captions.join(QLatin1Char('|')).toStdString(),
              "&Exit|&Players|&Start|-|&New Game...|&Open Game...|&Save Game...|&Resume Last Game");
    EXPECT_EQ(w.item("mnuFileNewGame")->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    EXPECT_EQ(w.item("mnuFileOpenGame")->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(w.item("mnuFileSaveGame")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_FALSE(w.item("mnuFileResumeGame")->isEnabled()) << "no game has been autosaved yet";
}

TEST(Autosave, FollowsEveryCompletedActionButNotARefusedOne) {
    FileWindows w;
    EXPECT_FALSE(QFile::exists(w.files.autosavePath()));
    w.start(2);
    const LoadResult saved = loadGameFile(w.files.autosavePath());
    ASSERT_TRUE(saved.game) << saved.error.toStdString();
    EXPECT_EQ(saved.game->state, w.s());
    EXPECT_EQ(saved.game->actions, 2);
    EXPECT_TRUE(w.item("mnuFileResumeGame")->isEnabled());

    const QByteArray before = w.autosaveBytes();
    EXPECT_EQ(w.board.act(Action::giveUp()), ActionResult::Refused);
    EXPECT_EQ(w.autosaveBytes(), before);
    EXPECT_EQ(w.files.actionCount(), 2);
}

TEST(Autosave, FinishedGameLeavesNone) {
    FileWindows w;
    w.start(2);
    ASSERT_TRUE(QFile::exists(w.files.autosavePath()));
    // Player 2 has just gone bankrupt; handing the turn on finds one seat left.
    w.s().seatOut[2] = kTrue;
    w.s().board.endTurnEnabled = true;
    w.board.syncAll();
    w.boxes.expect({msg("Player 1 WINS!!!")});
    w.click(&w.board, "cmdEndTurn");
    EXPECT_TRUE(w.boxes.done());
    EXPECT_TRUE(w.files.gameFinished());
    EXPECT_FALSE(QFile::exists(w.files.autosavePath()));
    EXPECT_FALSE(w.item("mnuFileResumeGame")->isEnabled());
}

TEST(GameFiles, SaveNewAndOpenBringBackTheGameWithItsTradeWindow) {
    FileWindows w;
    w.start(3);
    w.board.clickPlayerHeading(2);
    w.board.act(Action::enterMoney(0, "50"));
    const GameState saved = w.s();
    w.savePath = w.dir.filePath(QStringLiteral("evening")); // the suffix is added
    w.menu("mnuFileSaveGame");
    ASSERT_TRUE(QFile::exists(w.dir.filePath(QStringLiteral("evening.dealbrix"))));

    w.random.identityShuffle();
    w.random.identityShuffle();
    w.boxes.expect({ask("Abandon the game in progress?", true)});
    w.menu("mnuFileNewGame");
    EXPECT_EQ(w.s().playerCount, 2) << "the dialog's table has started";
    EXPECT_EQ(w.board.tradeWindow(), nullptr);
    EXPECT_EQ(w.files.actionCount(), 3) << "the board's rules, the Players item and Start";

    w.openPath = w.dir.filePath(QStringLiteral("evening.dealbrix"));
    w.boxes.expect({ask("Abandon the game in progress?", true)});
    w.menu("mnuFileOpenGame");
    EXPECT_EQ(w.s(), saved);
    ASSERT_NE(w.board.tradeWindow(), nullptr) << "the trade window opens as it was saved";
    EXPECT_EQ(w.label("lblTurn"), QStringLiteral("Player 1's turn"));
    EXPECT_EQ(w.files.actionCount(), 4);
    EXPECT_TRUE(w.boxes.done());
}

TEST(GameFiles, BadFileShowsWhyAndLeavesTheRunningGame) {
    FileWindows w;
    w.start(2);
    w.board.clickSquare(1);
    const GameState before = w.s();
    QFile bad(w.dir.filePath(QStringLiteral("bad.dealbrix")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("{\"format\": \"dealbrix-game\", \"version\": 1, \"actions\": 3}");
    bad.close();
    w.openPath = bad.fileName();
    w.boxes.expect(
        {ask("Abandon the game in progress?", true),
         msg("bad.dealbrix cannot be opened.\n\nThe file is damaged: number of players is missing.")});
    w.menu("mnuFileOpenGame");
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(w.s(), before);
    EXPECT_NE(w.board.houseOptionsWindow(), nullptr);

    w.openPath.clear(); // the dialog was cancelled
    w.boxes.expect({ask("Abandon the game in progress?", true)});
    w.menu("mnuFileOpenGame");
    EXPECT_EQ(w.s(), before);
}

TEST(GameFiles, ResumeBringsBackTheAutosavedGameAfterNewGame) {
    FileWindows w;
    w.start(4);
    const GameState autosaved = w.s();
    w.random.identityShuffle();
    w.random.identityShuffle();
    w.table.reset(); // the dialog cancelled: the game stays
    w.boxes.expect({ask("Abandon the game in progress?", true)});
    w.menu("mnuFileNewGame");
    EXPECT_EQ(w.s(), autosaved);
    w.files.resetGame();
    ASSERT_NE(w.s(), autosaved);
    EXPECT_TRUE(w.item("mnuFileResumeGame")->isEnabled())
        << "a new game keeps the old autosave until it moves";
    w.menu("mnuFileResumeGame");
    EXPECT_EQ(w.s(), autosaved);
    EXPECT_EQ(w.files.actionCount(), 2);
}

TEST(SavedGameCompanions, ComputerSeatsAndTheLogGoIntoTheFileAndComeBackOnOpening) {
    FileWindows w;
    ComputerSeats seats{};
    seats[2] = true;
    std::vector<std::string> log{"Player 1: Player 1 lands on Go"};
    ComputerSeats restoredSeats{};
    std::vector<std::string> restoredLog;
    w.files.setCompanions(
        [&](SavedGame& saved) {
            saved.computerSeats = seats;
            saved.log = log;
        },
        [&](const SavedGame& saved) {
            restoredSeats = saved.computerSeats;
            restoredLog = saved.log;
        });
    w.start(2); // autosaved with the companions
    w.openPath = w.files.autosavePath();
    w.boxes.expect({ask("Abandon the game in progress?", true)});
    w.files.openGame();
    EXPECT_EQ(restoredSeats, seats);
    EXPECT_EQ(restoredLog, log);
}
