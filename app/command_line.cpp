#include "command_line.h"

#include "build_info.h"
#include "rules_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace dealbrix {

void describeApplication() {
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kApplicationVersion));
    QCoreApplication::setOrganizationName(QStringLiteral("Dealbrix"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("dealbrix.org"));
}

Options parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Property trading board game for two to four players at one computer."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    addComputerOptions(parser);
    const QCommandLineOption names(
        QStringLiteral("names"),
        QStringLiteral("Names of the seats in order, e.g. Ann,,Cy (an empty one stays \"Player N\")."),
        QStringLiteral("LIST"));
    parser.addOption(names);
    addRulesOptions(parser);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A saved game (*.dealbrix) to open at start."),
                                 QStringLiteral("[file]"));

    Options options;
    QString problem;
    if (!parser.parse(arguments)) {
        problem = parser.errorText();
    } else if (parser.positionalArguments().size() > 1) {
        problem = QStringLiteral("Unexpected argument '%1'; only one saved game can be opened.")
                      .arg(parser.positionalArguments().at(1));
    } else {
        if (!parser.positionalArguments().isEmpty())
            options.savedGame = parser.positionalArguments().constFirst();
        if (const std::optional<ComputerOptions> computer = readComputerOptions(parser, problem))
            options.computer = *computer;
        if (problem.isEmpty() && parser.isSet(names)) {
            const QStringList given = parser.value(names).split(QLatin1Char(','));
            PlayerArray<std::string> typed;
            for (int seat = 1; seat <= kPlayerCount && seat <= given.size(); ++seat)
                typed[seat] = given[seat - 1].toStdString();
            const NameCheck check = checkNames(typed);
            if (given.size() > kPlayerCount)
                problem = QStringLiteral("--names: at most %1 names").arg(kPlayerCount);
            else if (!check.error.empty())
                problem = QStringLiteral("--names: %1").arg(QString::fromStdString(check.error));
            else
                options.names = check.names;
        }
        if (problem.isEmpty())
            if (const std::optional<HouseRules> rules = readRulesOptions(parser, problem))
                options.rules = *rules;
    }

    if (!problem.isEmpty()) {
        options.quit = true;
        options.exitCode = kUsageError;
        options.error = problem + QStringLiteral("\nTry '--help' for the options.\n");
    } else if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        options.quit = true;
        options.output = parser.helpText();
    } else if (parser.isSet(version)) {
        options.quit = true;
        options.output =
            QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() + u'\n';
    }
    return options;
}

} // namespace dealbrix
