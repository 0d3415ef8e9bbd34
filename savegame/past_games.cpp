#include "past_games.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace dealbrix {

namespace {

constexpr const char* kFormat = "dealbrix-past-games";
constexpr int kVersion = 1;
constexpr qint64 kMaxBytes = 4 * 1024 * 1024;
constexpr int kMaxTextLength = 200;
constexpr int kMaxSeats = 4;

/// Why an entry or the file is not one this program wrote.
struct Damaged {};

QString textOf(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString() || v.toString().size() > kMaxTextLength) throw Damaged{};
    return v.toString();
}

qint64 wholeOf(const QJsonObject& o, const char* key, qint64 low, qint64 high) {
    const QJsonValue v = o.value(QLatin1String(key));
    const double d = v.toDouble(-1e300);
    if (!v.isDouble() || d != static_cast<double>(static_cast<qint64>(d)) || d < low || d > high)
        throw Damaged{};
    return static_cast<qint64>(d);
}

PastGame readEntry(const QJsonValue& value) {
    if (!value.isObject()) throw Damaged{};
    const QJsonObject o = value.toObject();
    PastGame game;
    game.finished = QDateTime::fromString(textOf(o, "finished"), Qt::ISODate);
    if (!game.finished.isValid()) throw Damaged{};
    game.finished = game.finished.toUTC();
    const QJsonValue seats = o.value(QLatin1String("seats"));
    if (!seats.isArray() || seats.toArray().size() > kMaxSeats) throw Damaged{};
    for (const QJsonValue seat : seats.toArray()) {
        if (!seat.isObject()) throw Damaged{};
        game.seats.push_back({textOf(seat.toObject(), "name"), textOf(seat.toObject(), "kind")});
    }
    game.rules = textOf(o, "rules");
    game.winner = textOf(o, "winner");
    constexpr qint64 kBound = 1LL << 30;
    game.winnerWorth = static_cast<int>(wholeOf(o, "winnerWorth", -kBound, kBound));
    game.rounds = static_cast<int>(wholeOf(o, "rounds", 0, kBound));
    game.seconds = wholeOf(o, "seconds", 0, 1LL << 40);
    return game;
}

QJsonObject writeEntry(const PastGame& game) {
    QJsonArray seats;
    for (const PastSeat& seat : game.seats)
        seats.append(QJsonObject{{"name", seat.name}, {"kind", seat.kind}});
    return {{"finished", game.finished.toUTC().toString(Qt::ISODateWithMs)},
            {"seats", seats},
            {"rules", game.rules},
            {"winner", game.winner},
            {"winnerWorth", game.winnerWorth},
            {"rounds", game.rounds},
            {"seconds", static_cast<double>(game.seconds)}};
}

std::vector<PastGame> parse(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) throw Damaged{};
    const QJsonObject top = document.object();
    if (top.value(QLatin1String("format")).toString() != QLatin1String(kFormat) ||
        top.value(QLatin1String("version")).toDouble() != kVersion ||
        !top.value(QLatin1String("games")).isArray())
        throw Damaged{};
    std::vector<PastGame> games;
    for (const QJsonValue entry : top.value(QLatin1String("games")).toArray())
        games.push_back(readEntry(entry));
    return games;
}

/// Renames a damaged file aside so it is kept for a look but no longer read; says so.
QString setAside(const QString& path) {
    const QString aside = path + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QFile::remove(aside);
    const bool moved = QFile::rename(path, aside);
    if (!moved) QFile::remove(path);
    return moved
               ? QStringLiteral(
                     "The list of past games was damaged; it was set aside as %1 and a new list begun.")
                     .arg(QFileInfo(aside).fileName())
               : QStringLiteral(
                     "The list of past games was damaged and could not be set aside; a new list was begun.");
}

} // namespace

QString defaultPastGamesPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/past-games.json");
}

void sortBestFirst(std::vector<PastGame>& games) {
    std::stable_sort(games.begin(), games.end(), [](const PastGame& a, const PastGame& b) {
        if (a.winner.isEmpty() != b.winner.isEmpty()) return !a.winner.isEmpty();
        if (a.winnerWorth != b.winnerWorth) return a.winnerWorth > b.winnerWorth;
        if (a.rounds != b.rounds) return a.rounds < b.rounds;
        return a.finished < b.finished;
    });
}

PastGamesRead readPastGames(const QString& path) {
    PastGamesRead read;
    QFile file(path);
    if (!file.exists()) return read;
    if (!file.open(QIODevice::ReadOnly)) {
        read.problem =
            QStringLiteral("The list of past games could not be read: %1.").arg(file.errorString());
        return read;
    }
    const QByteArray bytes = file.size() > kMaxBytes ? QByteArray() : file.read(kMaxBytes + 1);
    file.close();
    try {
        if (bytes.isEmpty() || bytes.size() > kMaxBytes) throw Damaged{};
        read.games = parse(bytes);
    } catch (const Damaged&) {
        read.problem = setAside(path);
        read.games.clear();
        return read;
    }
    sortBestFirst(read.games);
    return read;
}

QString addPastGame(const QString& path, const PastGame& game) {
    PastGamesRead read = readPastGames(path);
    std::vector<PastGame>& games = read.games;
    games.push_back(game);
    if (static_cast<int>(games.size()) > kMaxPastGames) {
        // The oldest games make way.
        std::sort(games.begin(), games.end(),
                  [](const PastGame& a, const PastGame& b) { return a.finished > b.finished; });
        games.resize(kMaxPastGames);
    }
    sortBestFirst(games);
    QJsonArray entries;
    for (const PastGame& g : games)
        entries.append(writeEntry(g));
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{"format", kFormat}, {"version", kVersion}, {"games", entries}}).toJson();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString failed =
            QStringLiteral("The game could not be added to the past games: %1.").arg(file.errorString());
        return read.problem.isEmpty() ? failed : read.problem + QLatin1Char(' ') + failed;
    }
    return read.problem;
}

} // namespace dealbrix
