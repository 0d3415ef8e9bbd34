#include "computer_options.h"

namespace dealbrix {

namespace {
const QString kComputer = QStringLiteral("computer");
const QString kDelay = QStringLiteral("computer-delay");
constexpr int kLongestDelayMs = 60000;
} // namespace

void addComputerOptions(QCommandLineParser& parser) {
    parser.addOption({kComputer, QStringLiteral("Seats the computer plays, e.g. 2,3,4 (players 1 to 4)."),
                      QStringLiteral("LIST")});
    parser.addOption(
        {kDelay,
         QStringLiteral("Pause before each computer action, in milliseconds (default %1; 0 for none).")
             .arg(kDefaultComputerDelayMs),
         QStringLiteral("MS")});
}

std::optional<ComputerOptions> readComputerOptions(const QCommandLineParser& parser, QString& error) {
    ComputerOptions options;
    if (parser.isSet(kComputer)) {
        for (const QString& item : parser.values(kComputer).join(QLatin1Char(',')).split(QLatin1Char(','))) {
            bool ok = false;
            const int seat = item.trimmed().toInt(&ok);
            if (!ok || !isPlayer(seat)) {
                error = QStringLiteral("--computer: '%1' is not a player number 1 to %2")
                            .arg(item)
                            .arg(kPlayerCount);
                return std::nullopt;
            }
            options.seats[seat] = true;
        }
    }
    if (parser.isSet(kDelay)) {
        bool ok = false;
        const int delay = parser.value(kDelay).trimmed().toInt(&ok);
        if (!ok || delay < 0 || delay > kLongestDelayMs) {
            error = QStringLiteral("--computer-delay: '%1' is not a number of milliseconds from 0 to %2")
                        .arg(parser.value(kDelay))
                        .arg(kLongestDelayMs);
            return std::nullopt;
        }
        options.delayMs = delay;
        options.delayGiven = true;
    }
    return options;
}

} // namespace dealbrix
