// The program's command line, read before any window exists so that --help and --version need no display.
#pragma once

#include "computer_options.h"
#include "house_rules.h"
#include "seats.h"

#include <QString>
#include <QStringList>

namespace dealbrix {

/// What the command line asks of the program.
struct Options {
    bool quit = false; // print output and error, then end with exitCode, without opening a window
    int exitCode = 0;
    QString output;                   // for standard output: the help or the version
    QString error;                    // for standard error: what is wrong with the command line
    QString savedGame;                // a saved game to open at start; empty for a fresh board
    ComputerOptions computer;         // the seats the computer plays and its pace
    HouseRules rules;                 // the house rules and starting money of a fresh board
    PlayerArray<std::string> names{}; // --names: the seats' names for a fresh board, checked
};

/// Exit status for a command line the program cannot read.
inline constexpr int kUsageError = 2;

/// Names the program, its makers and its version for Qt (the data folder, --version); call before parsing.
void describeApplication();

/// Reads the arguments, the program's own name first. The help's usage line names it as the running
/// QCoreApplication was started, so create one first.
Options parseCommandLine(const QStringList& arguments);

} // namespace dealbrix
