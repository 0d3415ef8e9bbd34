// Dealbrix: a board game about buying, renting, building on and trading street properties, for two
// to four players sharing one computer.

#include "board_window.h"
#include "computer_driver.h"
#include "computer_options.h"
#include "game_log.h"
#include "qt_ui.h"
#include "random.h"
#include "seat_router.h"

#include <QApplication>
#include <QCommandLineParser>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr int kExitBadArguments = 2;
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(dealbrix::kProgramName));

    QCommandLineParser parser;
    parser.addHelpOption();
    dealbrix::addComputerOptions(parser);
    parser.process(app);
    QString error;
    const std::optional<dealbrix::ComputerOptions> computer = dealbrix::readComputerOptions(parser, error);
    if (!computer) {
        std::fprintf(stderr, "dealbrix: %s\n", qPrintable(error));
        return kExitBadArguments;
    }

    const auto seed = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    dealbrix::ClockRandom random(seed);
    // The winner's message and Exit end the program at once, without close handlers.
    dealbrix::QtUi ui([] {
        std::fflush(nullptr);
        std::_Exit(EXIT_SUCCESS);
    });
    // Questions for computer seats are answered without a box; every box and answer goes to the log.
    dealbrix::ComputerPlayer player({}, seed);
    dealbrix::SeatRouter seats(ui, player);
    dealbrix::GameLog log(seats);
    dealbrix::Game game(log, random);
    dealbrix::BoardWindow board(game, ui);
    dealbrix::ComputerDriver driver(board, ui, seats, player, log, computer->delayMs);
    driver.setComputerSeats(computer->seats);
    board.showWithGrid();
    return QApplication::exec();
}
