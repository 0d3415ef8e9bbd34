#pragma once
// The network protocol, version 1: one JSON object per WebSocket text message, each with a "type".
// The message names, fields and error codes, and the conversions between the game's values and
// their JSON; docs/protocol.md describes every message. Qt Core only, no widgets.

#include "game.h"
#include "seat_router.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace dealbrix::net {

/// The protocol this program speaks.
inline constexpr int kProtocolVersion = 1;
/// The port a server listens on unless told otherwise.
inline constexpr quint16 kDefaultPort = 7532;
/// Longest text of an action's fields (a trade field's typing) a server accepts.
inline constexpr qsizetype kMaxActionTextLength = 200;
/// Longest client name in `hello`, and longest room password.
inline constexpr qsizetype kMaxClientNameLength = 100;
inline constexpr qsizetype kMaxPasswordLength = 100;
/// Default limits of names (as long as a seat's name may be) and chat lines (each a server option).
inline constexpr int kDefaultNameLength = kMaxNameLength;
inline constexpr int kDefaultChatLength = 500;

/// The message types, as their "type" names.
namespace type {
inline constexpr char kHello[] = "hello";
inline constexpr char kWelcome[] = "welcome";
inline constexpr char kCreateRoom[] = "createRoom";
inline constexpr char kRoomCreated[] = "roomCreated";
inline constexpr char kJoin[] = "join";
inline constexpr char kJoined[] = "joined";
inline constexpr char kLeave[] = "leave";
inline constexpr char kLeft[] = "left";
inline constexpr char kRoomInfo[] = "roomInfo";
inline constexpr char kAction[] = "action";
inline constexpr char kAnswer[] = "answer";
inline constexpr char kChat[] = "chat";
inline constexpr char kStartRoom[] = "startRoom";
inline constexpr char kSetComputer[] = "setComputer";
inline constexpr char kState[] = "state";
inline constexpr char kChange[] = "change";
inline constexpr char kBox[] = "box";
inline constexpr char kQuestion[] = "question";
inline constexpr char kSeats[] = "seats";
inline constexpr char kHistory[] = "history";
inline constexpr char kRoomEnded[] = "roomEnded";
inline constexpr char kError[] = "error";
} // namespace type

/// Why a message was refused or a connection closed.
enum class ErrorCode {
    Protocol,    // not a hello first, or another protocol version
    Malformed,   // not JSON, an unknown type, a field missing or of the wrong type or range
    UnknownRoom, // no room has that code
    BadPassword, // the room's password was not given
    SeatTaken,   // a seat asked for is held by someone else or by the computer
    BadToken,    // no seat of the room has that token
    NotYourTurn, // the connection's seats may not act now
    Refused,     // the action is not available now, or the room has ended
    TooLarge,    // a message over the size limit
    TooFast,     // more messages than the rate limit allows
    Full,        // too many rooms or connections
    NotHost,     // only the room's host may do that
    NotInRoom,   // the message needs a room joined first
    BadSettings, // a room asked for with rules, starting money or computer levels the game does not have
};

/// The code's name in the protocol, e.g. "notYourTurn".
QString errorCodeName(ErrorCode code);
/// The code named `name`, if any.
std::optional<ErrorCode> errorCodeFromName(const QString& name);

/// The ActionKind named `name` in the protocol (the game's actionKindName, e.g. "Roll"), if any.
std::optional<ActionKind> actionKindFromName(const QString& name);
/// A BoxKind's name in the protocol: its C++ name, e.g. "PurchaseOffer".
QString boxKindName(BoxKind kind);
std::optional<BoxKind> boxKindFromName(const QString& name);

/// An action as the `action` field of an `action` message.
QJsonObject actionToJson(const Action& action);
/// The whole `action` message of `action`, written directly (a computer client sends one for each
/// of its moves); it reads as `message(action, {action: actionToJson(action)})`.
QByteArray actionMessageText(const Action& action);
/// Reads an `action` field: a known kind, a whole `number` that fits an int, texts of at most
/// kMaxActionTextLength characters; missing fields are 0 and empty. Nothing for anything else.
std::optional<Action> actionFromJson(const QJsonValue& value);

/// A box as the `box` field of `box` and `question` messages.
QJsonObject boxToJson(const Box& box);
std::optional<Box> boxFromJson(const QJsonValue& value);

/// The whole `box` message of a box told at `version`, written directly (the server sends each box of
/// every move to every seat of the room), with its type first.
QByteArray boxMessageText(qint64 version, const Box& box);

/// The money fields of an offer being asked about: {text, otherText} as typed (side 0's, side 1's).
QJsonObject offerToJson(const Action& finalizeOffer);
/// Reads an `offer` field into a FinalizeOffer action; nothing when it is not one.
std::optional<Action> offerFromJson(const QJsonValue& value);

/// The game as a `state` message carries it: the saved-game format's fields without the order of
/// the decks (and without anything else random).
QJsonObject stateToJson(const GameState& state);
/// The whole `state` message as text, written directly (the server sends one to every seat of a room
/// after every move): the game at `version`, the seat the game waits for, and the money fields of an
/// offer on the table, if one is.
QByteArray stateMessageText(qint64 version, const GameState& state, int waitingFor, bool started, bool ended,
                            const std::optional<Action>& offer);
/// The `state` field alone as text: the game as stateToJson has it.
QByteArray stateObjectText(const GameState& state);
/// The `state` field's text with where each of its members starts (and, last, where its closing brace
/// is), as the writer noted them: a change between two is found without reading them again.
struct StateText {
    QByteArray text;
    std::vector<qsizetype> memberStarts;
};
/// stateObjectText with its members' places.
StateText stateTextWithMembers(const GameState& state);
/// What a `state` or `change` message says besides the game.
struct StateFields {
    qint64 version = 0;
    qint64 stateId = -1; // the server's number for this state text (a change names the one it is made
                         // from); -1: none told
    int waitingFor = 0;
    bool started = false;
    bool ended = false;
    std::optional<Action> offer;
};
/// A `state` message around a `state` field already written by stateObjectText.
QByteArray stateMessageText(const StateFields& fields, const QByteArray& stateObject);
/// A `change` message: the game as `patch`, a merge patch (RFC 7386) of the `state` field numbered
/// `fromStateId`. A client that asked for changes in its hello is sent one whenever the state it holds
/// is the one the room sent last; it applies a change only to the state numbered `from`.
QByteArray changeMessageText(const StateFields& fields, qint64 fromStateId, const QByteArray& patch);
/// The merge patch (RFC 7386) that turns the JSON object `before` into the JSON object `after`, both
/// as text: only the members that differ, objects compared member by member, arrays and other values
/// whole, a member gone given as null. Nothing when one of them is not an object's text, or when
/// `after` holds null in an object, which a merge patch cannot say.
std::optional<QByteArray> mergePatchText(QByteArrayView before, QByteArrayView after);
/// The same patch of two states' texts, their members taken from the places noted with them.
std::optional<QByteArray> mergePatchText(const StateText& before, const StateText& after);
/// Applies a merge patch (RFC 7386) to `target`.
void applyMergePatch(QJsonObject& target, const QJsonObject& patch);

/// Reads the `state` field of a `state` message; nothing, with `error` set, when it is not a sound game.
/// The decks, which no client knows, read as placeholders: each in order 1..17, drawn from the top.
std::optional<GameState> stateFromJson(const QJsonObject& object, QString* error = nullptr);
/// The game after a `change`: `merged` is the `state` field with the patch applied, `patch` the patch;
/// only the parts of `state` that the patch touches are read again. False, with `error` set and
/// `state` as it was, when the merged field is not a sound game.
bool applyStateChange(const QJsonObject& merged, const QJsonObject& patch, GameState& state,
                      QString* error = nullptr);

/// One seat of a room as the `seats` message tells it.
struct SeatInfo {
    int seat = 0;
    QString name;
    bool computer = false;  // the computer plays it now
    bool connected = false; // a client holding it is connected
    bool taken = false;     // a person holds it (connected or away)
    ComputerLevel level =
        ComputerLevel::Normal; // the level the computer plays it at, now or once handed over
    bool operator==(const SeatInfo&) const = default;
};
QJsonArray seatsToJson(const QList<SeatInfo>& seats);
std::optional<QList<SeatInfo>> seatsFromJson(const QJsonValue& value);

/// Why a room's settings in a message could not be read.
enum class SettingsFault {
    None,
    Malformed, // a field of the wrong type: the message breaks the protocol
    Unknown,   // well typed, but a rule, starting money or level the game does not have
};

/// The chosen rules as messages carry them: `rules` (the command-line names of the rules chosen) and
/// `startingMoney`, added to `fields`.
void insertRules(QJsonObject& fields, const HouseRules& rules);
/// Reads the optional `rules` and `startingMoney` of `object` into `rules` (missing: every rule off,
/// the usual starting money); `problem` says what is wrong when it is not SettingsFault::None.
SettingsFault readRules(const QJsonObject& object, HouseRules& rules, QString* problem);

/// The computer's seats of a new room and the level each plays at.
struct ComputerChoice {
    QList<int> seats; // distinct, ascending
    PlayerArray<ComputerLevel> levels{};
};
/// The `computer` field of createRoom: each entry a seat (played at Normal) or {`seat`, `level`}.
QJsonArray computerChoiceToJson(const ComputerChoice& choice);
/// Reads a `computer` field for a room of `players`; `problem` says what is wrong.
SettingsFault readComputerChoice(const QJsonValue& value, int players, ComputerChoice& choice,
                                 QString* problem);
/// A level's name as messages carry it: "easy", "normal" or "hard".
QString levelText(ComputerLevel level);

/// A line of chat as the room tells it.
struct ChatLine {
    int seat = 0; // 0 for a watcher
    QString name;
    QString text;
    bool operator==(const ChatLine&) const = default;
};
QJsonObject chatToJson(const ChatLine& line);
std::optional<ChatLine> chatFromJson(const QJsonObject& object);

/// A message as the text sent: compact JSON.
QByteArray encode(const QJsonObject& message);
/// A received text as a message: a JSON object with a string "type"; nothing otherwise.
std::optional<QJsonObject> decode(const QByteArray& text);
/// A message of `type` with `fields` added.
QJsonObject message(const char* type, QJsonObject fields = {});
/// An `error` message.
QJsonObject errorMessage(ErrorCode code, const QString& sentence);

/// A whole number field within [low, high], or nothing (missing, not a number, a fraction, too big).
std::optional<int> intField(const QJsonObject& object, const char* key, int low, int high);
/// A list of distinct seat numbers within [1, players], or nothing.
std::optional<QList<int>> seatListOf(const QJsonValue& value, int players);
/// True when `text` holds no control characters.
bool isPrintable(const QString& text);

/// The server address a player typed: "host:port", "host" (the default port), or a ws:// or
/// wss:// address. An invalid URL for anything else.
QUrl serverUrl(const QString& typed);
/// Where a join by room code connects: `server` with `/room/CODE` after its own path, the path a
/// proxy such as HAProxy routes on to the server that holds the room. `server` as it is for no code.
QUrl roomUrl(const QUrl& server, const QString& room);

} // namespace dealbrix::net
