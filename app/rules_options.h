#pragma once
// The command line options of the house rules: --rules LIST and --starting-money N.

#include "house_rules.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

namespace dealbrix {

/// Adds --rules and --starting-money to `parser` (and so to --help).
void addRulesOptions(QCommandLineParser& parser);

/// Reads the two options from a parser that has processed the arguments; nothing, with `error` set to
/// a message that names what is wrong (a wrong rule name comes with the list of names), when a value
/// is wrong.
std::optional<HouseRules> readRulesOptions(const QCommandLineParser& parser, QString& error);

} // namespace dealbrix
