#pragma once
// A game as a file: everything that makes up the running game, as JSON, and the loader that refuses
// anything the game could not hold or play could never reach.

#include "computer_player.h"
#include "game.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dealbrix {

/// The value of "format" at the top of every saved game.
inline constexpr const char* kSavedGameFormat = "dealbrix-game";
/// The version this program writes and the only one it reads.
inline constexpr int kSavedGameVersion = 1;
/// Files larger than this are refused before they are read.
inline constexpr qint64 kMaxSavedGameBytes = 1024 * 1024;

/// Everything a saved game holds.
struct SavedGame {
    GameState state;
    PlayerArray<bool> computerSeats{};           // seats played by the computer
    PlayerArray<ComputerLevel> computerLevels{}; // the level of each seat (Normal unless chosen)
    std::vector<std::string> log;                // the game log, oldest line first
    std::int64_t actions = 0;                    // actions completed since the program started the game
    bool operator==(const SavedGame&) const = default;
};

/// A game read from a file, or what is wrong with the file.
struct LoadResult {
    std::optional<SavedGame> game; // set when the file was accepted
    QString error;                 // a sentence for the player when it was not
};

/// The game as the bytes of a saved-game file.
QByteArray writeSavedGame(const SavedGame& game);
/// Reads the bytes of a saved-game file; refuses, with the reason, anything but a sound game.
LoadResult readSavedGame(const QByteArray& bytes);

/// Writes `game` to `path` atomically: the file holds either the old game or the new one, never a
/// mix. Returns an empty string, or what went wrong.
QString saveGameFile(const QString& path, const SavedGame& game);
/// Reads the saved game at `path`; files over kMaxSavedGameBytes are refused before reading.
LoadResult loadGameFile(const QString& path);

} // namespace dealbrix
