// Dealbrix: a board game about buying, renting, building on and trading street properties, for two
// to four players sharing one computer.

#include "board_window.h"
#include "qt_ui.h"
#include "random.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(dealbrix::kProgramName));

    const auto seed = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    dealbrix::ClockRandom random(seed);
    // The winner's message and Exit end the program at once, without close handlers.
    dealbrix::QtUi ui([] {
        std::fflush(nullptr);
        std::_Exit(EXIT_SUCCESS);
    });
    dealbrix::Game game(ui, random);
    dealbrix::BoardWindow board(game, ui);
    board.showWithGrid();
    return QApplication::exec();
}
