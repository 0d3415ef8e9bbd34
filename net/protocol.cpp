#include "protocol.h"

#include "saved_game.h"

#include <QJsonDocument>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace dealbrix::net {

namespace {

constexpr qsizetype kStateTextReserve = 4096;    // a state is about 2 kB; its history grows with the rounds
constexpr qsizetype kStateMessageExtra = 160;    // a message's fields around its state or patch
constexpr qsizetype kBoxTextReserve = 160;       // a box message's fields besides its texts
constexpr qsizetype kActionTextReserve = 96;     // an action message's fields besides its texts
constexpr std::size_t kStateMembersReserve = 32; // a state has about twenty members

constexpr std::array<std::pair<ErrorCode, const char*>, 14> kErrorNames{{
    {ErrorCode::Protocol, "protocol"},
    {ErrorCode::Malformed, "malformed"},
    {ErrorCode::UnknownRoom, "unknownRoom"},
    {ErrorCode::BadPassword, "badPassword"},
    {ErrorCode::SeatTaken, "seatTaken"},
    {ErrorCode::BadToken, "badToken"},
    {ErrorCode::NotYourTurn, "notYourTurn"},
    {ErrorCode::Refused, "refused"},
    {ErrorCode::TooLarge, "tooLarge"},
    {ErrorCode::TooFast, "tooFast"},
    {ErrorCode::Full, "full"},
    {ErrorCode::NotHost, "notHost"},
    {ErrorCode::NotInRoom, "notInRoom"},
    {ErrorCode::BadSettings, "badSettings"},
}};

constexpr std::array<const char*, 39> kBoxNames{"Landing",
                                                "PassedGo",
                                                "JailTurnsLeft",
                                                "JailCardQuestion",
                                                "Doubles",
                                                "PurchaseOffer",
                                                "PurchaseDeclined",
                                                "PurchaseMade",
                                                "OwnSquare",
                                                "MortgagedSquare",
                                                "Rent",
                                                "CardDrawn",
                                                "CardText",
                                                "Debt",
                                                "Winner",
                                                "NoPlayerLeft",
                                                "HouseQuestion",
                                                "HouseBought",
                                                "HouseSold",
                                                "HouseRefused",
                                                "MoneyOutOfRange",
                                                "TradeHelp",
                                                "TradeRefused",
                                                "TradeQuestion",
                                                "RulesChosen",
                                                "AuctionBid",
                                                "AuctionCannotBid",
                                                "AuctionWon",
                                                "AuctionUnsold",
                                                "GaveUp",
                                                "Mortgaged",
                                                "Redeemed",
                                                "Traded",
                                                "ToComputer",
                                                "ToPerson",
                                                "PotCollected",
                                                "NoRentInJail",
                                                "EstateHandedOver",
                                                "TradeAnswer"};
// A kind without its name here would be read past the table's end.
static_assert(static_cast<std::size_t>(BoxKind::TradeAnswer) + 1 == kBoxNames.size(),
              "every box kind has its protocol name");

/// A whole number within [low, high] from a JSON value, or nothing.
std::optional<int> wholeNumber(const QJsonValue& value, int low, int high) {
    if (!value.isDouble()) return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < low || d > high) return std::nullopt;
    return static_cast<int>(d);
}

/// A text field of at most `maxLength` characters; missing reads as empty.
std::optional<QString> textField(const QJsonObject& object, const char* key, qsizetype maxLength) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) return QString();
    if (!value.isString()) return std::nullopt;
    QString text = value.toString();
    if (text.size() > maxLength) return std::nullopt;
    return text;
}

} // namespace

QString errorCodeName(ErrorCode code) {
    for (const auto& [c, name] : kErrorNames)
        if (c == code) return QString::fromLatin1(name);
    return QStringLiteral("protocol");
}

std::optional<ErrorCode> errorCodeFromName(const QString& name) {
    for (const auto& [c, n] : kErrorNames)
        if (name == QLatin1String(n)) return c;
    return std::nullopt;
}

std::optional<ActionKind> actionKindFromName(const QString& name) {
    return actionKindNamed(name.toStdString());
}

QString boxKindName(BoxKind kind) {
    return QString::fromLatin1(kBoxNames[static_cast<std::size_t>(kind)]);
}

std::optional<BoxKind> boxKindFromName(const QString& name) {
    for (std::size_t i = 0; i < kBoxNames.size(); ++i)
        if (name == QLatin1String(kBoxNames[i])) return static_cast<BoxKind>(i);
    return std::nullopt;
}

QJsonObject actionToJson(const Action& action) {
    return {{"kind", QString::fromLatin1(dealbrix::actionKindName(action.kind))},
            {"number", action.number},
            {"text", QString::fromStdString(action.text)},
            {"otherText", QString::fromStdString(action.otherText)}};
}

QByteArray actionMessageText(const Action& action) {
    QByteArray text;
    text.reserve(kActionTextReserve + static_cast<qsizetype>(action.text.size() + action.otherText.size()));
    JsonText json(text);
    json.beginObject();
    json.member("type", type::kAction);
    json.beginObject("action");
    json.member("kind", dealbrix::actionKindName(action.kind));
    json.member("number", action.number);
    json.member("text", action.text);
    json.member("otherText", action.otherText);
    json.endObject();
    json.endObject();
    return text;
}

std::optional<Action> actionFromJson(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    const QJsonObject o = value.toObject();
    const QJsonValue kindValue = o.value(QLatin1String("kind"));
    if (!kindValue.isString()) return std::nullopt;
    const std::optional<ActionKind> kind = actionKindFromName(kindValue.toString());
    if (!kind) return std::nullopt;
    Action action;
    action.kind = *kind;
    if (o.contains(QLatin1String("number"))) {
        const std::optional<int> number =
            wholeNumber(o.value(QLatin1String("number")), std::numeric_limits<int>::min(),
                        std::numeric_limits<int>::max());
        if (!number) return std::nullopt;
        action.number = *number;
    }
    const std::optional<QString> text = textField(o, "text", kMaxActionTextLength);
    const std::optional<QString> otherText = textField(o, "otherText", kMaxActionTextLength);
    if (!text || !otherText) return std::nullopt;
    action.text = text->toStdString();
    action.otherText = otherText->toStdString();
    return action;
}

QJsonObject boxToJson(const Box& box) {
    return {{"kind", boxKindName(box.kind)},
            {"seat", box.seat},
            {"turn", box.turn},
            {"square", box.square},
            {"amount", box.amount},
            {"minimum", box.minimum},
            {"maximum", box.maximum},
            {"title", QString::fromStdString(box.title)},
            {"text", QString::fromStdString(box.text)}};
}

QByteArray boxMessageText(qint64 version, const Box& box) {
    QByteArray text;
    text.reserve(kBoxTextReserve + static_cast<qsizetype>(box.title.size() + box.text.size()));
    JsonText json(text);
    json.beginObject();
    json.member("type", type::kBox);
    json.member("version", static_cast<std::int64_t>(version));
    json.beginObject("box");
    json.member("kind", kBoxNames[static_cast<std::size_t>(box.kind)]);
    json.member("seat", box.seat);
    json.member("turn", box.turn);
    json.member("square", box.square);
    json.member("amount", box.amount);
    json.member("minimum", box.minimum);
    json.member("maximum", box.maximum);
    json.member("title", box.title);
    json.member("text", box.text);
    json.endObject();
    json.endObject();
    return text;
}

std::optional<Box> boxFromJson(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    const QJsonObject o = value.toObject();
    const std::optional<BoxKind> kind = boxKindFromName(o.value(QLatin1String("kind")).toString());
    constexpr int kLimit = std::numeric_limits<int>::max();
    const auto seat = intField(o, "seat", 0, kPlayerCount);
    const auto turn = intField(o, "turn", 0, kPlayerCount);
    const auto square = intField(o, "square", -1, kSquareCount - 1);
    const auto amount = intField(o, "amount", -kLimit, kLimit);
    const auto minimum = o.contains(QLatin1String("minimum")) ? intField(o, "minimum", -kLimit, kLimit) : 0;
    const auto maximum = o.contains(QLatin1String("maximum")) ? intField(o, "maximum", -kLimit, kLimit) : 0;
    const QJsonValue title = o.value(QLatin1String("title"));
    const QJsonValue text = o.value(QLatin1String("text"));
    if (!kind || !seat || !turn || !square || !amount || !minimum || !maximum || !title.isString() ||
        !text.isString())
        return std::nullopt;
    return Box{.kind = *kind,
               .seat = *seat,
               .turn = *turn,
               .square = *square,
               .amount = *amount,
               .minimum = *minimum,
               .maximum = *maximum,
               .title = title.toString().toStdString(),
               .text = text.toString().toStdString()};
}

QJsonObject offerToJson(const Action& finalizeOffer) {
    return {{"text", QString::fromStdString(finalizeOffer.text)},
            {"otherText", QString::fromStdString(finalizeOffer.otherText)}};
}

std::optional<Action> offerFromJson(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    const QJsonObject o = value.toObject();
    const std::optional<QString> text = textField(o, "text", kMaxActionTextLength);
    const std::optional<QString> otherText = textField(o, "otherText", kMaxActionTextLength);
    if (!text || !otherText) return std::nullopt;
    return Action::finalizeOffer(text->toStdString(), otherText->toStdString());
}

QJsonObject stateToJson(const GameState& state) {
    return writeGameState(state, /*withDecks=*/false);
}

QByteArray stateObjectText(const GameState& state) {
    QByteArray text;
    text.reserve(kStateTextReserve);
    JsonText json(text);
    writeGameState(state, /*withDecks=*/false, json);
    return text;
}

StateText stateTextWithMembers(const GameState& state) {
    StateText out;
    out.text.reserve(kStateTextReserve);
    out.memberStarts.reserve(kStateMembersReserve);
    {
        JsonText json(out.text);
        json.noteMembers(&out.memberStarts);
        writeGameState(state, /*withDecks=*/false, json);
    }
    return out;
}

namespace {

/// A `state` or `change` message: its type, version and numbers, the state or the patch, then the rest.
QByteArray gameMessageText(const char* type, const StateFields& fields, std::optional<qint64> from,
                           const QByteArray& stateField) {
    QByteArray text;
    text.reserve(stateField.size() + kStateMessageExtra);
    JsonText json(text);
    json.beginObject();
    json.member("type", type);
    json.member("version", static_cast<std::int64_t>(fields.version));
    if (fields.stateId >= 0) json.member("stateId", static_cast<std::int64_t>(fields.stateId));
    if (from) json.member("from", static_cast<std::int64_t>(*from));
    json.key("state");
    json.raw(std::string_view(stateField.constData(), static_cast<std::size_t>(stateField.size())));
    json.member("waitingFor", fields.waitingFor);
    json.member("started", fields.started);
    json.member("ended", fields.ended);
    if (fields.offer) {
        json.beginObject("offer");
        json.member("text", fields.offer->text);
        json.member("otherText", fields.offer->otherText);
        json.endObject();
    }
    json.endObject();
    return text;
}

} // namespace

QByteArray stateMessageText(const StateFields& fields, const QByteArray& stateObject) {
    return gameMessageText(type::kState, fields, std::nullopt, stateObject);
}

QByteArray stateMessageText(qint64 version, const GameState& state, int waitingFor, bool started, bool ended,
                            const std::optional<Action>& offer) {
    return stateMessageText(
        {.version = version, .waitingFor = waitingFor, .started = started, .ended = ended, .offer = offer},
        stateObjectText(state));
}

QByteArray changeMessageText(const StateFields& fields, qint64 fromStateId, const QByteArray& patch) {
    return gameMessageText(type::kChange, fields, fromStateId, patch);
}

// --- Merge patches --------------------------------------------------------------------------------------

namespace {

/// One member of an object's text: its key as written (quotes and escapes included) and its value.
struct MemberText {
    QByteArrayView key;
    QByteArrayView value;
};

/// Reads JSON text well enough to find where each value ends; the text's soundness as JSON is left
/// to whoever parses it (the server's own writer made it).
class JsonScanner {
  public:
    explicit JsonScanner(QByteArrayView text) : text_(text) {}

    /// The members of the object at the start of the text, which must be all of it; nothing if it is
    /// not an object.
    std::optional<std::vector<MemberText>> members() {
        std::vector<MemberText> out;
        skipSpace();
        if (!take('{')) return std::nullopt;
        skipSpace();
        if (!take('}')) {
            for (;;) {
                skipSpace();
                const qsizetype keyStart = at_;
                if (!string()) return std::nullopt;
                const QByteArrayView key = text_.sliced(keyStart, at_ - keyStart);
                skipSpace();
                if (!take(':')) return std::nullopt;
                skipSpace();
                const qsizetype valueStart = at_;
                if (!value()) return std::nullopt;
                out.push_back({key, text_.sliced(valueStart, at_ - valueStart)});
                skipSpace();
                if (take('}')) break;
                if (!take(',')) return std::nullopt;
            }
        }
        skipSpace();
        if (at_ != text_.size()) return std::nullopt;
        return out;
    }

  private:
    bool take(char c) {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    void skipSpace() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
            ++at_;
    }
    bool string() {
        if (!take('"')) return false;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '\\')
                ++at_; // the escaped character, whatever it is
            else if (c == '"')
                return true;
        }
        return false;
    }
    /// Skips one value: a string, or anything up to the end of its brackets, or a bare word or number.
    bool value() {
        if (at_ >= text_.size()) return false;
        if (text_[at_] == '"') return string();
        int depth = 0;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '"') {
                if (!string()) return false;
                continue;
            }
            if (c == '{' || c == '[') {
                ++depth;
            } else if (c == '}' || c == ']') {
                if (depth == 0) return true; // the end of the container this value is in
                --depth;
                if (depth == 0) {
                    ++at_;
                    return true;
                }
            } else if (c == ',' && depth == 0) {
                return true;
            }
            ++at_;
        }
        return depth == 0;
    }

    QByteArrayView text_;
    qsizetype at_ = 0;
};

bool isObjectText(QByteArrayView value) {
    return !value.isEmpty() && value.front() == '{';
}

/// True when an object in `value` (or any object within its objects) has a member that is null.
bool holdsNullMember(QByteArrayView value) {
    if (!isObjectText(value)) return false;
    const std::optional<std::vector<MemberText>> members = JsonScanner(value).members();
    if (!members) return true; // not to be told apart: treated as unsayable
    return std::any_of(members->begin(), members->end(), [](const MemberText& m) {
        return m.value == QByteArrayView("null") || holdsNullMember(m.value);
    });
}

/// Where the member `key` is in `members`, tried first at `hint` (the writer keeps its members in one
/// order); members.size() when it is not there.
std::size_t indexOf(const std::vector<MemberText>& members, QByteArrayView key, std::size_t hint) {
    if (hint < members.size() && members[hint].key == key) return hint;
    for (std::size_t k = 0; k < members.size(); ++k)
        if (members[k].key == key) return k;
    return members.size();
}

bool writePatch(QByteArrayView before, QByteArrayView after, QByteArray& out);

/// The patch between two objects given by their members.
bool writeMembersPatch(const std::vector<MemberText>& old, const std::vector<MemberText>& now,
                       QByteArray& out) {
    out.append('{');
    bool first = true;
    const auto addKey = [&](QByteArrayView key) {
        if (!first) out.append(',');
        first = false;
        out.append(key.data(), key.size());
        out.append(':');
    };
    std::vector<bool> kept(old.size(), false);
    for (std::size_t i = 0; i < now.size(); ++i) {
        const MemberText& m = now[i];
        if (m.value == QByteArrayView("null")) return false;
        const std::size_t j = indexOf(old, m.key, i);
        if (j < old.size()) {
            kept[j] = true;
            const QByteArrayView was = old[j].value;
            if (was == m.value) continue;
            if (isObjectText(was) && isObjectText(m.value)) {
                addKey(m.key);
                if (!writePatch(was, m.value, out)) return false;
                continue;
            }
        }
        // New, or now another kind of value: written whole.
        if (holdsNullMember(m.value)) return false;
        addKey(m.key);
        out.append(m.value.data(), m.value.size());
    }
    for (std::size_t j = 0; j < old.size(); ++j)
        if (!kept[j]) {
            addKey(old[j].key);
            out.append("null");
        }
    out.append('}');
    return true;
}

bool writePatch(QByteArrayView before, QByteArrayView after, QByteArray& out) {
    const std::optional<std::vector<MemberText>> old = JsonScanner(before).members();
    const std::optional<std::vector<MemberText>> now = JsonScanner(after).members();
    return old && now && writeMembersPatch(*old, *now, out);
}

/// The members of a state's text from the places noted with it, read again when they do not fit it.
std::optional<std::vector<MemberText>> membersOf(const StateText& state) {
    const QByteArrayView text(state.text);
    const std::vector<qsizetype>& at = state.memberStarts;
    const auto scanned = [&] { return JsonScanner(text).members(); };
    if (at.empty() || at.back() != text.size() - 1 || text.back() != '}') return scanned();
    std::vector<MemberText> out;
    out.reserve(at.size() - 1);
    for (std::size_t i = 0; i + 1 < at.size(); ++i) {
        // A member runs from its key's quote to the comma before the next, or to the closing brace.
        const qsizetype start = at[i];
        const qsizetype end = i + 2 < at.size() ? at[i + 1] - 1 : at[i + 1];
        if (start < 1 || end <= start || end > text.size() || text[start] != '"') return scanned();
        const char* const keyEnd = static_cast<const char*>(
            std::memchr(text.data() + start + 1, '"', static_cast<std::size_t>(end - start - 1)));
        if (keyEnd == nullptr) return scanned();
        const qsizetype colon = keyEnd - text.data() + 1;
        if (colon >= end || text[colon] != ':') return scanned();
        out.push_back({text.sliced(start, colon - start), text.sliced(colon + 1, end - colon - 1)});
    }
    return out;
}

/// The patch of two objects' members, or nothing when one is not an object or it cannot be said.
std::optional<QByteArray> patchOf(const std::optional<std::vector<MemberText>>& old,
                                  const std::optional<std::vector<MemberText>>& now, qsizetype afterSize) {
    if (!old || !now) return std::nullopt;
    QByteArray out;
    out.reserve(afterSize / 2);
    if (!writeMembersPatch(*old, *now, out)) return std::nullopt;
    return out;
}

} // namespace

std::optional<QByteArray> mergePatchText(const StateText& before, const StateText& after) {
    return patchOf(membersOf(before), membersOf(after), after.text.size());
}

std::optional<QByteArray> mergePatchText(QByteArrayView before, QByteArrayView after) {
    return patchOf(JsonScanner(before).members(), JsonScanner(after).members(), after.size());
}

void applyMergePatch(QJsonObject& target, const QJsonObject& patch) {
    for (auto it = patch.constBegin(); it != patch.constEnd(); ++it) {
        const QJsonValue value = it.value();
        if (value.isNull()) {
            target.remove(it.key());
        } else if (value.isObject()) {
            const auto at = target.find(it.key());
            if (at == target.end() || !at->isObject()) {
                QJsonObject inner;
                applyMergePatch(inner, value.toObject());
                target.insert(it.key(), inner);
                continue;
            }
            // Taken out and put back in its place: the object inner is then not shared, and changes
            // in place, and the target's members are not moved twice.
            QJsonObject inner = at->toObject();
            *at = QJsonValue();
            applyMergePatch(inner, value.toObject());
            *at = inner;
        } else {
            target.insert(it.key(), value);
        }
    }
}

std::optional<GameState> stateFromJson(const QJsonObject& object, QString* error) {
    // The client never knows the decks: it holds them in order, each drawn from the top, so its state
    // is one the rules could hold and tells nothing.
    GameState state;
    for (int deck = 1; deck <= 2; ++deck) {
        for (int position = 1; position <= kCardsPerDeck; ++position)
            state.decks[deck][position] = static_cast<i16>(position);
        state.nextCard[deck] = 1;
    }
    const QString problem = readGameState(object, state, /*withDecks=*/false);
    if (!problem.isEmpty()) {
        if (error != nullptr) *error = problem;
        return std::nullopt;
    }
    return state;
}

bool applyStateChange(const QJsonObject& merged, const QJsonObject& patch, GameState& state, QString* error) {
    const QString problem = readGameStateChanges(merged, patch, state);
    if (problem.isEmpty()) return true;
    if (error != nullptr) *error = problem;
    return false;
}

QJsonArray seatsToJson(const QList<SeatInfo>& seats) {
    QJsonArray out;
    for (const SeatInfo& s : seats)
        out.append(QJsonObject{{"seat", s.seat},
                               {"name", s.name},
                               {"computer", s.computer},
                               {"connected", s.connected},
                               {"taken", s.taken},
                               {"level", levelText(s.level)}});
    return out;
}

std::optional<QList<SeatInfo>> seatsFromJson(const QJsonValue& value) {
    if (!value.isArray()) return std::nullopt;
    QList<SeatInfo> seats;
    for (const QJsonValue entry : value.toArray()) {
        const QJsonObject o = entry.toObject();
        const std::optional<int> seat = intField(o, "seat", 1, kPlayerCount);
        if (!seat || !o.value(QLatin1String("name")).isString()) return std::nullopt;
        // A server from before the levels names none: its computer plays Normal.
        const QJsonValue levelValue = o.value(QLatin1String("level"));
        const std::optional<ComputerLevel> level = levelValue.isUndefined()
                                                       ? ComputerLevel::Normal
                                                       : levelNamed(levelValue.toString().toStdString());
        if (!level) return std::nullopt;
        seats.append(
            {*seat, o.value(QLatin1String("name")).toString(), o.value(QLatin1String("computer")).toBool(),
             o.value(QLatin1String("connected")).toBool(), o.value(QLatin1String("taken")).toBool(), *level});
    }
    return seats;
}

QString levelText(ComputerLevel level) {
    const std::string_view name = levelName(level);
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

void insertRules(QJsonObject& fields, const HouseRules& rules) {
    QJsonArray names;
    for (const HouseRuleInfo& info : houseRuleTable())
        if (rules.has(info.rule))
            names.append(QString::fromLatin1(info.name.data(), static_cast<qsizetype>(info.name.size())));
    fields.insert(QLatin1String("rules"), names);
    fields.insert(QLatin1String("startingMoney"), rules.startingMoney);
}

SettingsFault readRules(const QJsonObject& object, HouseRules& rules, QString* problem) {
    const auto fault = [problem](SettingsFault kind, const QString& why) {
        if (problem != nullptr) *problem = why;
        return kind;
    };
    HouseRules chosen;
    QString unknown; // the first value the game does not have
    const QJsonValue names = object.value(QLatin1String("rules"));
    if (!names.isUndefined()) {
        if (!names.isArray() || names.toArray().size() > kHouseRuleCount)
            return fault(
                SettingsFault::Malformed,
                QStringLiteral("The rules are a list of at most %1 rule names.").arg(kHouseRuleCount));
        for (const QJsonValue name : names.toArray()) {
            if (!name.isString())
                return fault(SettingsFault::Malformed, QStringLiteral("Each rule is named by a text."));
            // One name per entry: the game's own reading of names, never a list hidden in one text.
            const std::optional<HouseRule> rule = houseRuleNamed(name.toString().toStdString());
            if (rule)
                chosen.set(*rule, true);
            else if (unknown.isEmpty())
                unknown = QStringLiteral("There is no rule \"%1\"; the rules are: %2.")
                              .arg(name.toString().left(kMaxActionTextLength),
                                   QString::fromStdString(houseRuleNames()));
        }
    }
    const QJsonValue money = object.value(QLatin1String("startingMoney"));
    if (!money.isUndefined()) {
        const std::optional<int> amount = intField(object, "startingMoney", std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max());
        if (!amount)
            return fault(SettingsFault::Malformed, QStringLiteral("The starting money is a whole number."));
        if (validStartingMoney(*amount))
            chosen.startingMoney = static_cast<i16>(*amount);
        else if (unknown.isEmpty())
            unknown = QStringLiteral("The starting money is %1 to %2 in steps of %3.")
                          .arg(kMinStartingMoney)
                          .arg(kMaxStartingMoney)
                          .arg(kStartingMoneyStep);
    }
    // Every field is judged well-formed before any value is judged known.
    if (!unknown.isEmpty()) return fault(SettingsFault::Unknown, unknown);
    rules = chosen;
    return SettingsFault::None;
}

QJsonArray computerChoiceToJson(const ComputerChoice& choice) {
    QJsonArray out;
    for (const int seat : choice.seats)
        out.append(QJsonObject{{"seat", seat}, {"level", levelText(choice.levels[seat])}});
    return out;
}

SettingsFault readComputerChoice(const QJsonValue& value, int players, ComputerChoice& choice,
                                 QString* problem) {
    const auto fault = [problem](SettingsFault kind, const QString& why) {
        if (problem != nullptr) *problem = why;
        return kind;
    };
    const QString shape = QStringLiteral(
        "The computer's seats are distinct seats of the room, each a number or {seat, level}.");
    ComputerChoice read;
    QString unknown; // the first level the game does not have
    if (value.isUndefined()) {
        choice = read;
        return SettingsFault::None;
    }
    if (!value.isArray() || value.toArray().size() > kPlayerCount)
        return fault(SettingsFault::Malformed, shape);
    for (const QJsonValue entry : value.toArray()) {
        const QJsonObject o = entry.toObject();
        const std::optional<int> seat =
            entry.isObject() ? intField(o, "seat", 1, players) : wholeNumber(entry, 1, players);
        if (!seat || read.seats.contains(*seat)) return fault(SettingsFault::Malformed, shape);
        read.seats.append(*seat);
        const QJsonValue levelValue = o.value(QLatin1String("level"));
        if (levelValue.isUndefined()) continue;
        if (!levelValue.isString()) return fault(SettingsFault::Malformed, shape);
        const std::optional<ComputerLevel> level = levelNamed(levelValue.toString().toStdString());
        if (level)
            read.levels[*seat] = *level;
        else if (unknown.isEmpty())
            unknown = QStringLiteral("The computer plays at easy, normal or hard, not \"%1\".")
                          .arg(levelValue.toString().left(kMaxActionTextLength));
    }
    if (!unknown.isEmpty()) return fault(SettingsFault::Unknown, unknown);
    std::sort(read.seats.begin(), read.seats.end());
    choice = read;
    return SettingsFault::None;
}

QJsonObject chatToJson(const ChatLine& line) {
    return {{"seat", line.seat}, {"name", line.name}, {"text", line.text}};
}

std::optional<ChatLine> chatFromJson(const QJsonObject& object) {
    const std::optional<int> seat = intField(object, "seat", 0, kPlayerCount);
    const QJsonValue name = object.value(QLatin1String("name"));
    const QJsonValue text = object.value(QLatin1String("text"));
    if (!seat || !name.isString() || !text.isString()) return std::nullopt;
    return ChatLine{*seat, name.toString(), text.toString()};
}

QByteArray encode(const QJsonObject& message) {
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

std::optional<QJsonObject> decode(const QByteArray& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    QJsonObject object = document.object();
    if (!object.value(QLatin1String("type")).isString()) return std::nullopt;
    return object;
}

QJsonObject message(const char* type, QJsonObject fields) {
    fields.insert(QLatin1String("type"), QLatin1String(type));
    return fields;
}

QJsonObject errorMessage(ErrorCode code, const QString& sentence) {
    return message(type::kError, {{"code", errorCodeName(code)}, {"message", sentence}});
}

std::optional<int> intField(const QJsonObject& object, const char* key, int low, int high) {
    return wholeNumber(object.value(QLatin1String(key)), low, high);
}

std::optional<QList<int>> seatListOf(const QJsonValue& value, int players) {
    if (!value.isArray()) return std::nullopt;
    const QJsonArray array = value.toArray();
    if (array.size() > kPlayerCount) return std::nullopt;
    QList<int> seats;
    for (const QJsonValue entry : array) {
        const std::optional<int> seat = wholeNumber(entry, 1, players);
        if (!seat || seats.contains(*seat)) return std::nullopt;
        seats.append(*seat);
    }
    std::sort(seats.begin(), seats.end());
    return seats;
}

bool isPrintable(const QString& text) {
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            return false;
    return true;
}

QUrl serverUrl(const QString& typed) {
    const QString text = typed.trimmed();
    if (text.startsWith(QLatin1String("ws://")) || text.startsWith(QLatin1String("wss://"))) {
        const QUrl url(text, QUrl::StrictMode);
        return url.isValid() && !url.host().isEmpty() ? url : QUrl();
    }
    if (text.isEmpty() || text.contains(QLatin1String("://")) || text.contains(u'/')) return {};
    // host, host:port, [v6], [v6]:port
    QUrl url(QStringLiteral("ws://") + text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty()) return {};
    if (url.port() == -1) url.setPort(kDefaultPort);
    return url;
}

QUrl roomUrl(const QUrl& server, const QString& room) {
    const QString code = room.trimmed().toUpper();
    if (code.isEmpty()) return server;
    QUrl url = server;
    QString base = server.path(QUrl::FullyEncoded);
    while (base.endsWith(u'/'))
        base.chop(1);
    // The code is one path segment whatever was typed: a slash or a space in it is encoded.
    url.setPath(base + QStringLiteral("/room/") + QString::fromLatin1(QUrl::toPercentEncoding(code)),
                QUrl::TolerantMode);
    return url;
}

} // namespace dealbrix::net
