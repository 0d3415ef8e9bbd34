#include "computer_options.h"

namespace dealbrix {

namespace {
const QString kComputer = QStringLiteral("computer");
const QString kDelay = QStringLiteral("computer-delay");
constexpr int kLongestDelayMs = 60000;
} // namespace

void addComputerOptions(QCommandLineParser& parser) {
    parser.addOption(
        {kComputer,
         QStringLiteral("Seats the computer plays (players 1 to 4), each with a level easy, normal "
                        "or hard after a colon, e.g. 2,3:hard,4:easy (normal when none is named)."),
         QStringLiteral("LIST")});
    parser.addOption(
        {kDelay,
         QStringLiteral("Pause before each computer action, in milliseconds (default %1; 0 for none; also "
                        "Computer > Speed).")
             .arg(kDefaultComputerDelayMs),
         QStringLiteral("MS")});
}

std::optional<ComputerOptions> readComputerOptions(const QCommandLineParser& parser, QString& error) {
    ComputerOptions options;
    if (parser.isSet(kComputer)) {
        for (const QString& item : parser.values(kComputer).join(QLatin1Char(',')).split(QLatin1Char(','))) {
            const qsizetype colon = item.indexOf(QLatin1Char(':'));
            bool ok = false;
            const int seat = item.left(colon).trimmed().toInt(&ok);
            if (!ok || !isPlayer(seat)) {
                error = QStringLiteral("--computer: '%1' is not a player number 1 to %2")
                            .arg(item.left(colon))
                            .arg(kPlayerCount);
                return std::nullopt;
            }
            ComputerLevel level = ComputerLevel::Normal;
            if (colon >= 0) {
                const QString name = item.mid(colon + 1).trimmed().toLower();
                const std::optional<ComputerLevel> named = levelNamed(name.toStdString());
                if (!named) {
                    error = QStringLiteral("--computer: '%1' is not a level (easy, normal or hard)")
                                .arg(item.mid(colon + 1));
                    return std::nullopt;
                }
                level = *named;
            }
            options.seats[seat] = true;
            options.levels[seat] = level;
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
