#pragma once
// A game as a file: everything that makes up the running game, as JSON, and the loader that refuses
// anything the game could not hold or play could never reach.

#include "computer_player.h"
#include "game.h"
#include "json_text.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dealbrix {

/// The value of "format" at the top of every saved game.
inline constexpr const char* kSavedGameFormat = "dealbrix-game";
/// The version this program writes. Version 2 added the house rules.
inline constexpr int kSavedGameVersion = 2;
/// The oldest version it still reads; those files hold no house rules and are played with every rule off.
inline constexpr int kOldestSavedGameVersion = 1;
/// Files larger than this are refused before they are read.
inline constexpr qint64 kMaxSavedGameBytes = 1024 * 1024;

/// Everything a saved game holds.
struct SavedGame {
    GameState state;
    PlayerArray<bool> computerSeats{};           // seats played by the computer
    PlayerArray<ComputerLevel> computerLevels{}; // the level of each seat (Normal unless chosen)
    std::vector<std::string> log{};              // the game log, oldest line first
    std::int64_t actions = 0;                    // actions completed since the program started the game
    std::int64_t playSeconds = 0;                // how long the game has been played, over all its sessions
    /// The action that was on its way when the game was saved (a box or a question open), to be
    /// played on from its start with the same draws and answers. The file then holds the game as
    /// the action found it (`inProgress->before`), and that is the `state` read back.
    std::optional<ActionInProgress> inProgress{};
    bool operator==(const SavedGame&) const = default;
};

/// A game read from a file, or what is wrong with the file.
struct LoadResult {
    std::optional<SavedGame> game; // set when the file was accepted
    QString error;                 // a sentence for the player when it was not
};

/// The game state as a saved game's fields: everything in the file but its format, version, action
/// count, computer seats, log and action in progress. Without `withDecks` the order of the decks is
/// left out, which is all of the state a network player may not see.
QJsonObject writeGameState(const GameState& state, bool withDecks = true);
/// The same fields as the next value of `json`, written as text without a QJsonObject in between (a
/// server writes one after every move).
void writeGameState(const GameState& state, bool withDecks, JsonText& json);
/// Reads fields written by writeGameState into `state`, judged as a saved game's are (ranges, then
/// the invariants); returns an empty string, or a sentence saying what is wrong. Without
/// `withDecks` the decks of `state` are kept as they were. Fields without house rules are a game
/// with every rule off.
QString readGameState(const QJsonObject& fields, GameState& state, bool withDecks = true);
/// Reads again, from `fields` (every field), only the parts of `state` that have a field among the
/// members of `changed`, keeping the decks; judged as readGameState judges the whole.
QString readGameStateChanges(const QJsonObject& fields, const QJsonObject& changed, GameState& state);

/// The game as the JSON object of a saved-game file (what writeSavedGame encodes).
QJsonObject savedGameObject(const SavedGame& game);
/// Reads the JSON object of a saved-game file, judged as readSavedGame judges the file.
LoadResult readSavedGameObject(const QJsonObject& top);

/// The game as the bytes of a saved-game file.
QByteArray writeSavedGame(const SavedGame& game);
/// Reads the bytes of a saved-game file; refuses, with the reason, anything but a sound game.
LoadResult readSavedGame(const QByteArray& bytes);

/// Writes `game` to `path` atomically: the file holds either the old game or the new one, never a
/// mix. Returns an empty string, or what went wrong.
QString saveGameFile(const QString& path, const SavedGame& game);
/// Writes `game` to `path` as the autosave is written: atomically and kept by a killed program, but
/// without waiting for the disk (see writeFileKeptOnKill; a FileSyncer syncs it later). Returns an
/// empty string, or what went wrong.
QString autosaveGameFile(const QString& path, const SavedGame& game);
/// Reads the saved game at `path`; files over kMaxSavedGameBytes are refused before reading.
LoadResult loadGameFile(const QString& path);

} // namespace dealbrix
