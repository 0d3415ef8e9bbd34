// Dealbrix: a board game about buying, renting, building on and trading street properties, for two
// to four players sharing one computer.

#include "build_info.h"
#include "command_line.h"
#include "form1.h"
#include "qt_ui.h"
#include "random.h"

#include <QApplication>
#include <QIcon>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    dealbrix::describeApplication();
    dealbrix::Options options;
    {
        // The command line is read before the window system is reached, so --help, --version and a
        // wrong option are answered without a display.
        const QCoreApplication reader(argc, argv);
        options = dealbrix::parseCommandLine(QCoreApplication::arguments());
    }
    if (options.quit) {
        std::fputs(options.output.toLocal8Bit().constData(), stdout);
        std::fputs(options.error.toLocal8Bit().constData(), stderr);
        return options.exitCode;
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(dealbrix::kApplicationId));
    Q_INIT_RESOURCE(assets); // the icon lives in the windows library's resources
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon/dealbrix.png")));

    const auto seed = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    dealbrix::ClockRandom random(seed);
    // The winner's message and Exit end the program at once, without close handlers.
    dealbrix::QtUi ui([] {
        std::fflush(nullptr);
        std::_Exit(EXIT_SUCCESS);
    });
    dealbrix::Game game(ui, random);
    dealbrix::Form1 board(game);
    ui.setParentWindow(&board);
    ui.setBeforeBox([&board] { board.syncAll(); });
    board.showWithGrid();
    return QApplication::exec();
}
