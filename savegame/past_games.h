#pragma once
// The history of finished games: one entry per game, kept in a JSON file in the user's application
// data folder, listed best first like a high-score table.

#include <QDateTime>
#include <QString>

#include <vector>

namespace dealbrix {

/// One seat of a finished game.
struct PastSeat {
    QString name; // as the game called it ("Player 2" or its name)
    QString kind; // "Person", or "Computer" (with its level where there are levels)
    bool operator==(const PastSeat&) const = default;
};

/// One finished game.
struct PastGame {
    QDateTime finished;          // when it ended, in UTC
    std::vector<PastSeat> seats{}; // the seats at the table, in order
    QString rules{};             // the house rules played, empty for the game's own
    QString winner{};            // the winner's name, empty when no seat was left
    int winnerWorth = 0;         // the winner's worth at the end
    int rounds = 0;
    qint64 seconds = 0; // playing time
    bool operator==(const PastGame&) const = default;
};

/// The most games the file keeps (the oldest go first).
inline constexpr int kMaxPastGames = 500;

/// The past games as read, and what was wrong with the file, if anything.
struct PastGamesRead {
    std::vector<PastGame> games; // best first
    QString problem;             // a sentence for the player when the file was damaged and set aside
};

/// Where the program keeps the history: the user's application data folder.
QString defaultPastGamesPath();

/// Orders games best first: a win before a game nobody won, then the winner's worth, then fewer
/// rounds, then the earlier game.
void sortBestFirst(std::vector<PastGame>& games);

/// Reads the history at `path` (none yet is no problem). A damaged file is renamed aside (its name
/// gains ".damaged-<date and time>") and reads as empty, with a sentence saying so.
PastGamesRead readPastGames(const QString& path);

/// Adds `game` to the history at `path`, written atomically; a damaged file is set aside first.
/// Returns what went wrong (empty when all is well), damaged file and write failure alike.
QString addPastGame(const QString& path, const PastGame& game);

} // namespace dealbrix
