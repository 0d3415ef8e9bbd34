// Dealbrix: a board game about buying, renting, building on and trading street properties, for two
// to four players sharing one computer.

#include "board_window.h"
#include "build_info.h"
#include "command_line.h"
#include "computer_driver.h"
#include "game_files.h"
#include "game_log.h"
#include "game_menus.h"
#include "network_menu.h"
#include "network_session.h"
#include "qt_ui.h"
#include "random.h"
#include "remembered.h"
#include "rules_window.h"
#include "seat_router.h"

#include <QApplication>
#include <QIcon>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    dealbrix::describeApplication();
    auto answer = [](const dealbrix::Options& options) {
        std::fputs(options.output.toLocal8Bit().constData(), stdout);
        std::fputs(options.error.toLocal8Bit().constData(), stderr);
        return options.exitCode;
    };
    {
        // The command line is read before the window system is reached, so --help, --version and a
        // wrong option are answered without a display. Qt's own options (-platform, -style) are
        // single-dash words; a line holding one is judged once the application has taken them out.
        const QCoreApplication reader(argc, argv);
        const QStringList arguments = QCoreApplication::arguments();
        const dealbrix::Options options = dealbrix::parseCommandLine(arguments);
        const bool mayHoldQtOptions =
            std::any_of(arguments.begin() + 1, arguments.end(), [](const QString& a) {
                return a.size() > 2 && a.startsWith(u'-') && !a.startsWith(QStringLiteral("--"));
            });
        if (options.quit && (options.exitCode == 0 || !mayHoldQtOptions)) return answer(options);
    }

    QApplication app(argc, argv);
    const dealbrix::Options options = dealbrix::parseCommandLine(QApplication::arguments());
    if (options.quit) return answer(options);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(dealbrix::kApplicationId));
    Q_INIT_RESOURCE(assets); // the icon lives in the windows library's resources
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon/dealbrix.png")));

    const auto seed = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    dealbrix::ClockRandom random(seed);
    dealbrix::GameFiles* files = nullptr;
    dealbrix::Remembered remembered;
    // The winner's message and Exit end the program at once, without close handlers. A finished game
    // leaves no autosave but a line in the past games; after Exit the autosave stays, so the game can
    // be resumed. What is remembered is written first.
    dealbrix::QtUi ui([&files, &remembered] {
        remembered.flush();
        if (files != nullptr && files->gameFinished()) {
            files->recordFinishedGame();
            files->removeAutosave();
        }
        std::fflush(nullptr);
        std::_Exit(EXIT_SUCCESS);
    });
    // Questions for computer seats are answered without a box; every box and answer goes to the log.
    dealbrix::ComputerPlayer player({}, seed);
    dealbrix::SeatRouter seats(ui, player);
    dealbrix::GameLog log(seats);
    dealbrix::Game game(log, random);
    // Every action keeps its draws and answers while it runs, for the autosave taken before its boxes.
    game.setRecording(true);
    // The rules named on the command line are the fresh board's; a saved game opened below keeps its own.
    game.chooseRules(options.rules);
    dealbrix::BoardWindow board(game, ui);
    files = new dealbrix::GameFiles(board, ui, random, dealbrix::GameFiles::defaultAutosavePath());
    files->buildGameFileMenu(board.fileMenu());
    files->setPastGamesPath(dealbrix::defaultPastGamesPath());
    files->setOfferedTable(remembered.lastTable());
    files->setTableRemembered(
        [&remembered](const dealbrix::TableChoice& table) { remembered.setLastTable(table); });
    board.setBeforeBox([files] { files->autosaveInProgress(); });
    board.setAfterAction(
        [files](const dealbrix::Action&, dealbrix::ActionResult result) { files->afterAction(result); });
    // The computer's pace: the command line's, else the one remembered, else the usual one; a pace
    // given on the command line is remembered for next time.
    if (options.computer.delayGiven) remembered.setComputerDelay(options.computer.delayMs);
    const int delayMs = options.computer.delayGiven
                            ? options.computer.delayMs
                            : remembered.computerDelay().value_or(options.computer.delayMs);
    dealbrix::ComputerDriver driver(board, ui, seats, player, log, delayMs);
    files->setSeatSetter([&driver](const dealbrix::TableChoice& table) {
        driver.setLevels(table.levels);
        driver.setComputerSeats(table.computer);
    });
    dealbrix::addRulesItem(board);
    // Windows open where they were last time, when that place is still on a screen.
    board.setRemembered(&remembered);
    driver.setRemembered(&remembered);
    remembered.restorePlace(&board);
    // A saved game holds its computer seats, their levels and its log beside the game itself.
    files->setCompanions(
        [&driver, &log](dealbrix::SavedGame& saved) {
            saved.computerSeats = driver.computerSeats();
            saved.computerLevels = driver.levels();
            saved.log = log.lines();
        },
        [&driver](const dealbrix::SavedGame& saved) {
            driver.restoreSession(saved.computerSeats, saved.computerLevels, saved.log);
        });
    // The Network menu comes after the Computer menu; a game that never uses it is the local one.
    dealbrix::NetworkSession network(board, ui, log, driver, *files, options.computer.delayMs);
    dealbrix::NetworkMenu networkMenu(board, network, ui);
    // The Game and Help menus come last, so Help stands at the right.
    dealbrix::GameMenus menus(board, ui, dealbrix::defaultPastGamesPath(),
                              QString::fromLatin1(dealbrix::kApplicationVersion), &remembered);
    // A file that cannot be opened gets its box, and the fresh board stays. Seats named on the
    // command line take the computer's seats and levels over from the file's.
    if (!options.savedGame.isEmpty()) files->openFile(options.savedGame);
    if (options.computer.seats != dealbrix::ComputerSeats{}) {
        driver.setLevels(options.computer.levels);
        driver.setComputerSeats(options.computer.seats);
    }
    // Names from the command line are for a game not yet started.
    if (options.names != dealbrix::PlayerArray<std::string>{} && game.state.playerCount == 0) {
        game.nameSeats(options.names);
        board.syncAll();
    }
    board.showWithGrid();
    return QApplication::exec();
}
