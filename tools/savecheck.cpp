// Checks a saved game the way the program opens one: prints the number of actions it holds, or what
// is wrong with it and exits with 1. The kill test runs it on the autosave after every kill.
#include "saved_game.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: dealbrix-savecheck FILE\n");
        return 2;
    }
    const dealbrix::LoadResult loaded = dealbrix::loadGameFile(args[1]);
    if (!loaded.game) {
        std::fprintf(stderr, "%s\n", qPrintable(loaded.error));
        return 1;
    }
    std::printf("%lld\n", static_cast<long long>(loaded.game->actions));
    return 0;
}
