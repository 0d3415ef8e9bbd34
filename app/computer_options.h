#pragma once
// The command line options of the computer seats: --computer LIST (each seat with an optional level,
// 2,3:hard,4:easy) and --computer-delay MS.

#include "seat_router.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

namespace dealbrix {

/// The computer seats, their levels and the pace the command line asks for.
struct ComputerOptions {
    ComputerSeats seats{};
    ComputerLevels levels{}; // Normal for a seat named without a level
    int delayMs = kDefaultComputerDelayMs;
    bool delayGiven = false; // --computer-delay was on the command line
};

/// Adds --computer and --computer-delay to `parser` (and so to --help).
void addComputerOptions(QCommandLineParser& parser);

/// Reads the two options from a parser that has processed the arguments; nothing, with `error` set
/// to a message for the user, when a value is wrong.
std::optional<ComputerOptions> readComputerOptions(const QCommandLineParser& parser, QString& error);

} // namespace dealbrix
