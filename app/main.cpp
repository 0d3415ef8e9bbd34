// Dealbrix: a board game about buying, renting, building on and trading street properties, for two
// to four players sharing one computer.

#include "board_window.h"
#include "game_files.h"
#include "qt_ui.h"
#include "random.h"

#include <QApplication>
#include <QCommandLineParser>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

/// Adds the optional saved game to open at start to `parser`.
void addSavedGameArgument(QCommandLineParser& parser) {
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A saved game (*.dealbrix) to open at start."),
                                 QStringLiteral("[file]"));
}

/// Opens the saved game named among `positional`, if any; a bad file gets its box and the fresh board stays.
void openSavedGameArgument(dealbrix::GameFiles& files, const QStringList& positional) {
    if (!positional.isEmpty()) files.openFile(positional.front());
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(dealbrix::kProgramName));
    // Fixes the data folder that holds the autosave: $XDG_DATA_HOME/Dealbrix/Dealbrix.
    QApplication::setOrganizationName(QString::fromLatin1(dealbrix::kProgramName));

    QCommandLineParser parser;
    parser.addHelpOption();
    addSavedGameArgument(parser);
    parser.process(app);

    const auto seed = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    dealbrix::ClockRandom random(seed);
    dealbrix::GameFiles* files = nullptr;
    // The winner's message and Exit end the program at once, without close handlers. A finished game
    // leaves no autosave; after Exit the autosave stays, so the game can be resumed.
    dealbrix::QtUi ui([&files] {
        if (files != nullptr && files->gameFinished()) files->removeAutosave();
        std::fflush(nullptr);
        std::_Exit(EXIT_SUCCESS);
    });
    dealbrix::Game game(ui, random);
    dealbrix::BoardWindow board(game, ui);
    files = new dealbrix::GameFiles(board, ui, random, dealbrix::GameFiles::defaultAutosavePath());
    files->buildGameFileMenu(board.fileMenu());
    board.setAfterAction(
        [files](const dealbrix::Action&, dealbrix::ActionResult result) { files->afterAction(result); });
    openSavedGameArgument(*files, parser.positionalArguments());
    board.showWithGrid();
    return QApplication::exec();
}
