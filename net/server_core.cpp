#include "server_core.h"

#include <QRandomGenerator>

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

namespace dealbrix::net {

namespace {

// Crockford's base 32: digits and capitals without I, L, O and U, so a code read out is not misheard.
constexpr char kCodeAlphabet[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
constexpr int kCodeTries = 100;
constexpr qsizetype kMaxServerIdLength = 8;
constexpr qsizetype kTokenLength = 32;
constexpr qsizetype kMaxRoomCodeLength = kMaxServerIdLength + 1 + kRoomCodeLength;
constexpr qsizetype kHistoryLogLines = 200;
constexpr std::size_t kHistoryChatLines = 50;
constexpr int kMillisecondsPerMinute = 60'000;
constexpr double kMillisecondsPerSecond = 1000.0;

/// Names the connection whose message is being handled for as long as it is handled.
class SenderScope {
  public:
    SenderScope(int& slot, int id) : slot_(slot), previous_(std::exchange(slot, id)) {}
    ~SenderScope() { slot_ = previous_; }
    SenderScope(const SenderScope&) = delete;
    SenderScope& operator=(const SenderScope&) = delete;

  private:
    int& slot_;
    int previous_;
};

bool isToken(const QString& text) {
    return text.size() == kTokenLength && std::all_of(text.begin(), text.end(), [](QChar c) {
               return c.isDigit() || (c >= u'a' && c <= u'f');
           });
}

QString seatList(const QList<int>& seats) {
    QStringList parts;
    for (const int seat : seats)
        parts.append(QString::number(seat));
    return parts.join(u',');
}

} // namespace

bool isValidServerId(const QString& id) {
    return !id.isEmpty() && id.size() <= kMaxServerIdLength && std::all_of(id.begin(), id.end(), [](QChar c) {
        return c.isLetterOrNumber() && c.unicode() < 128;
    });
}

/// The state messages of one state text, each made once however many connections take it.
struct ServerCore::MadeStates {
    explicit MadeStates(StateFields stateFields) : fields(std::move(stateFields)) {}
    StateFields fields;
    QByteArray whole;
    // Changes by the text they are made from; an empty message where no patch could be made.
    std::vector<std::pair<const StateText*, QByteArray>> changes;
};

ServerCore::ServerCore(Transport& transport, ServerLimits limits, QString serverId, QString serverName)
    : transport_(transport), limits_(limits), serverId_(serverId.toUpper()),
      serverName_(std::move(serverName)) {}

ServerCore::~ServerCore() = default;

std::optional<int> ServerCore::openConnection(const QString& address, qint64 nowMs) {
    int& count = perAddress_[address];
    if (count >= limits_.connectionsPerAddress) {
        if (count == 0) perAddress_.remove(address);
        return std::nullopt;
    }
    ++count;
    const int id = nextId_++;
    Connection& c = connections_[id];
    c.address = address;
    c.allowance = limits_.burstMessages;
    c.refilledMs = nowMs;
    return id;
}

bool ServerCore::greeted(int id) const {
    const auto it = connections_.find(id);
    return it != connections_.end() && it->second.greeted;
}

QList<int> ServerCore::connectionIds() const {
    QList<int> ids;
    for (const auto& [id, c] : connections_)
        ids.append(id);
    return ids;
}

const Room* ServerCore::room(const QString& code) const {
    const auto it = rooms_.find(code.toUpper());
    return it == rooms_.end() ? nullptr : it->second.room.get();
}

ServerCore::RoomEntry* ServerCore::findRoom(const QString& code) {
    if (code.size() > kMaxRoomCodeLength) return nullptr;
    const auto it = rooms_.find(code.trimmed().toUpper());
    return it == rooms_.end() ? nullptr : &it->second;
}

ServerCore::RoomEntry* ServerCore::entryOf(const QString& code) {
    const auto it = rooms_.find(code);
    return it == rooms_.end() ? nullptr : &it->second;
}

const ServerCore::RoomEntry* ServerCore::entryOf(const QString& code) const {
    const auto it = rooms_.find(code);
    return it == rooms_.end() ? nullptr : &it->second;
}

void ServerCore::setRoom(int id, Connection& c, const QString& code) {
    if (c.room == code) return;
    if (!c.room.isEmpty())
        if (RoomEntry* old = entryOf(c.room)) std::erase(old->members, id);
    c.room = code;
    c.held.reset();
    c.heldSerial = -1;
    c.behind = false;
    c.waiting.clear();
    if (!code.isEmpty())
        if (RoomEntry* entry = entryOf(code)) entry->members.push_back(id);
}

void ServerCore::receiveBinary(int id) {
    if (connections_.count(id) == 0) return;
    breakOff(id, connections_[id].greeted ? ErrorCode::Malformed : ErrorCode::Protocol,
             QStringLiteral("Messages are JSON text, never binary."), closeCode::kUnsupportedData);
}

void ServerCore::receive(int id, const QByteArray& text, qint64 nowMs) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    Connection& c = it->second;
    nowMs_ = nowMs;
    const SenderScope sender(sender_, id);
    ++stats_.messages;
    if (text.size() > limits_.maxMessageBytes) {
        breakOff(id, ErrorCode::TooLarge,
                 QStringLiteral("A message may be at most %1 bytes.").arg(limits_.maxMessageBytes),
                 closeCode::kTooMuchData);
        return;
    }
    // A token bucket: a burst at once, then a steady rate.
    const double elapsed = static_cast<double>(std::max<qint64>(0, nowMs - c.refilledMs));
    c.allowance = std::min<double>(limits_.burstMessages, c.allowance + elapsed * limits_.messagesPerSecond /
                                                                            kMillisecondsPerSecond);
    c.refilledMs = nowMs;
    if (c.allowance < 1) {
        breakOff(id, ErrorCode::TooFast, QStringLiteral("Too many messages in too short a time."),
                 closeCode::kPolicyViolation);
        return;
    }
    c.allowance -= 1;
    const std::optional<QJsonObject> m = decode(text);
    if (!c.greeted) {
        if (!m || m->value(QLatin1String("type")).toString() != QLatin1String(type::kHello)) {
            breakOff(id, ErrorCode::Protocol, QStringLiteral("The first message must be hello."),
                     closeCode::kProtocolError);
            return;
        }
        hello(id, c, *m);
        return;
    }
    if (!m) {
        breakOff(id, ErrorCode::Malformed, QStringLiteral("A message must be a JSON object with a type."),
                 closeCode::kPolicyViolation);
        return;
    }
    handle(id, c, *m);
}

void ServerCore::handle(int id, Connection& c, const QJsonObject& m) {
    const QString kind = m.value(QLatin1String("type")).toString();
    if (kind == QLatin1String(type::kAction)) return action(id, c, m);
    if (kind == QLatin1String(type::kAnswer)) return answer(id, c, m);
    if (kind == QLatin1String(type::kChat)) return chat(id, c, m);
    if (kind == QLatin1String(type::kJoin)) return join(id, c, m);
    if (kind == QLatin1String(type::kCreateRoom)) return createRoom(id, c, m);
    if (kind == QLatin1String(type::kRoomInfo)) return roomInfo(id, m);
    if (kind == QLatin1String(type::kStartRoom)) return startRoom(id, c);
    if (kind == QLatin1String(type::kSetComputer)) return setComputer(id, c, m);
    if (kind == QLatin1String(type::kLeave)) {
        const QString left = c.room;
        leaveRoom(id, c);
        send(id, message(type::kLeft, {{"room", left}}));
        return;
    }
    if (kind == QLatin1String(type::kHello)) {
        breakOff(id, ErrorCode::Protocol, QStringLiteral("Hello comes once, first."),
                 closeCode::kProtocolError);
        return;
    }
    breakOff(id, ErrorCode::Malformed, QStringLiteral("The server knows no message of that type."),
             closeCode::kPolicyViolation);
}

void ServerCore::hello(int id, Connection& c, const QJsonObject& m) {
    const std::optional<int> version =
        intField(m, "protocol", std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    if (!version || *version != kProtocolVersion) {
        breakOff(id, ErrorCode::Protocol,
                 QStringLiteral("This server speaks protocol version %1; the client speaks another.")
                     .arg(kProtocolVersion),
                 closeCode::kProtocolError);
        return;
    }
    const QJsonValue client = m.value(QLatin1String("client"));
    if (!client.isUndefined() && (!client.isString() || client.toString().size() > kMaxClientNameLength)) {
        breakOff(id, ErrorCode::Malformed, QStringLiteral("The client's name is not a short text."),
                 closeCode::kPolicyViolation);
        return;
    }
    const QJsonValue changes = m.value(QLatin1String("changes"));
    if (!changes.isUndefined() && !changes.isBool()) {
        breakOff(id, ErrorCode::Malformed, QStringLiteral("Changes are asked for with true or false."),
                 closeCode::kPolicyViolation);
        return;
    }
    c.greeted = true;
    c.changes = changes.toBool();
    QJsonObject welcome{{"protocol", kProtocolVersion}, {"server", serverName_}};
    if (c.changes) welcome.insert(QLatin1String("changes"), true);
    send(id, message(type::kWelcome, welcome));
}

QString ServerCore::newRoomCode() const {
    QString code;
    for (int attempt = 0; attempt < kCodeTries; ++attempt) {
        code = serverId_.isEmpty() ? QString() : serverId_ + u'-';
        for (int i = 0; i < kRoomCodeLength; ++i)
            code += QLatin1Char(kCodeAlphabet[QRandomGenerator::system()->bounded(32)]);
        if (rooms_.count(code) == 0) return code;
    }
    return {};
}

void ServerCore::createRoom(int id, Connection& c, const QJsonObject& m) {
    const std::optional<int> players = intField(m, "players", 2, kPlayerCount);
    if (!players) {
        breakOff(id, ErrorCode::Malformed, QStringLiteral("A room is for 2 to 4 players."),
                 closeCode::kPolicyViolation);
        return;
    }
    ComputerChoice computer;
    QString computerProblem;
    const SettingsFault computerFault =
        readComputerChoice(m.value(QLatin1String("computer")), *players, computer, &computerProblem);
    const QJsonValue passwordValue = m.value(QLatin1String("password"));
    const bool passwordFits =
        passwordValue.isUndefined() || passwordValue.isNull() ||
        (passwordValue.isString() && passwordValue.toString().size() <= kMaxPasswordLength);
    HouseRules rules;
    QString rulesProblem;
    const SettingsFault rulesFault = readRules(m, rules, &rulesProblem);
    if (computerFault == SettingsFault::Malformed || !passwordFits ||
        rulesFault == SettingsFault::Malformed) {
        breakOff(id, ErrorCode::Malformed,
                 computerFault == SettingsFault::Malformed ? computerProblem
                 : !passwordFits                           ? QStringLiteral("The password is a short text.")
                                                           : rulesProblem,
                 closeCode::kPolicyViolation);
        return;
    }
    // Well typed but not what the game has: refused, no room made, and the connection stays.
    if (computerFault != SettingsFault::None || rulesFault != SettingsFault::None) {
        sendError(id, ErrorCode::BadSettings,
                  computerFault != SettingsFault::None ? computerProblem : rulesProblem);
        return;
    }
    if (static_cast<int>(rooms_.size()) >= limits_.maxRooms) {
        sendError(id, ErrorCode::Full, QStringLiteral("The server has as many rooms as it can hold."));
        return;
    }
    const auto created = std::count_if(rooms_.begin(), rooms_.end(),
                                       [&](const auto& entry) { return entry.second.creator == c.address; });
    if (created >= limits_.roomsPerAddress) {
        sendError(id, ErrorCode::Full, QStringLiteral("This address has opened as many rooms as it may."));
        return;
    }
    const QString code = newRoomCode();
    if (code.isEmpty()) {
        sendError(id, ErrorCode::Full, QStringLiteral("No free room code was found."));
        return;
    }
    RoomSettings settings;
    settings.players = *players;
    for (const int seat : computer.seats)
        settings.computer[seat] = true;
    settings.levels = computer.levels;
    settings.rules = rules;
    const QString password = passwordValue.toString();
    if (!password.isEmpty()) {
        settings.passwordSalt = newToken().toLatin1();
        settings.passwordHash = Room::hashPassword(password, settings.passwordSalt);
    }
    RoomEntry& entry = rooms_[code];
    entry.emptySinceMs = nowMs_;
    entry.creator = c.address;
    entry.room = std::make_unique<Room>(code, settings, QRandomGenerator::system()->generate64(), *this);
    const QString hostToken = newToken();
    entry.room->setHostToken(hostToken);
    QStringList computerSeats;
    for (const int seat : computer.seats)
        computerSeats.append(QStringLiteral("%1 %2").arg(seat).arg(levelText(computer.levels[seat])));
    logLine(
        QStringLiteral("room %1 created for %2 players (computer seats: %3%4; %5) from %6")
            .arg(code)
            .arg(*players)
            .arg(computerSeats.isEmpty() ? QStringLiteral("none") : computerSeats.join(QStringLiteral(", ")))
            .arg(password.isEmpty() ? QString() : QStringLiteral(", with a password"))
            .arg(QString::fromStdString(describeHouseRules(rules)))
            .arg(c.address));
    c.created = code;
    QJsonObject answer{{"room", code}, {"hostToken", hostToken}};
    insertRules(answer, rules);
    send(id, message(type::kRoomCreated, answer));
    afterRoomChange(code);
}

std::optional<QString> ServerCore::validName(const QJsonObject& m) const {
    const QJsonValue value = m.value(QLatin1String("name"));
    if (value.isUndefined() || value.isNull()) return QString();
    if (!value.isString()) return std::nullopt;
    const QString name = value.toString().trimmed();
    if (name.size() > limits_.nameLength || !isPrintable(name)) return std::nullopt;
    return name;
}

void ServerCore::fail(int id, Connection& c, ErrorCode code, const QString& sentence) {
    if (++c.failures > limits_.failuresAllowed) {
        breakOff(id, code, sentence + QStringLiteral(" Too many wrong tries: the connection is closed."),
                 closeCode::kPolicyViolation);
        return;
    }
    sendError(id, code, sentence);
}

void ServerCore::join(int id, Connection& c, const QJsonObject& m) {
    const QJsonValue roomValue = m.value(QLatin1String("room"));
    const QJsonValue tokenValue = m.value(QLatin1String("token"));
    const QJsonValue hostValue = m.value(QLatin1String("hostToken"));
    const QJsonValue passwordValue = m.value(QLatin1String("password"));
    const std::optional<QString> name = validName(m);
    const bool shapeFits =
        roomValue.isString() && (tokenValue.isUndefined() || tokenValue.isString()) &&
        (hostValue.isUndefined() || hostValue.isString()) &&
        (passwordValue.isUndefined() || passwordValue.isNull() || passwordValue.isString()) &&
        passwordValue.toString().size() <= kMaxPasswordLength && name.has_value();
    if (!shapeFits) {
        breakOff(
            id, ErrorCode::Malformed,
            QStringLiteral("A join names a room, and seats or a token; the name is at most %1 characters.")
                .arg(limits_.nameLength),
            closeCode::kPolicyViolation);
        return;
    }
    RoomEntry* entry = findRoom(roomValue.toString());
    if (entry == nullptr)
        return fail(id, c, ErrorCode::UnknownRoom, QStringLiteral("There is no such room."));
    Room& room = *entry->room;
    JoinOutcome outcome;
    QString token = tokenValue.toString();
    if (!tokenValue.isUndefined()) {
        if (!isToken(token))
            return fail(id, c, ErrorCode::BadToken, QStringLiteral("That token holds no seat here."));
        outcome = room.rejoin(token);
        if (outcome.error)
            return fail(id, c, *outcome.error, QStringLiteral("That token holds no seat here."));
    } else {
        const std::optional<QList<int>> wanted = seatListOf(m.value(QLatin1String("seats")), room.players());
        if (!wanted) {
            breakOff(id, ErrorCode::Malformed,
                     QStringLiteral("The seats must be distinct seats of the room, or none to watch."),
                     closeCode::kPolicyViolation);
            return;
        }
        if (c.room == room.code()) leaveRoom(id, c); // the seats it held there stay its own
        outcome = room.join(*wanted, passwordValue.toString(), *name);
        if (outcome.error == ErrorCode::BadPassword)
            return fail(id, c, ErrorCode::BadPassword, QStringLiteral("The room's password was not given."));
        if (outcome.error) {
            sendError(id, *outcome.error, QStringLiteral("A seat asked for is taken."));
            return;
        }
        token = outcome.token;
    }
    const QString hostToken = hostValue.toString();
    if (c.created == room.code() || (isToken(hostToken) && room.isHostToken(hostToken))) outcome.host = true;
    if (!c.room.isEmpty()) leaveRoom(id, c);
    setRoom(id, c, room.code());
    c.seats = outcome.seats;
    c.host = outcome.host;
    c.name = !name->isEmpty()          ? *name
             : outcome.seats.isEmpty() ? QStringLiteral("Watcher")
                                       : room.seat(outcome.seats.first()).name;
    logLine(outcome.seats.isEmpty()
                ? QStringLiteral("room %1: a watcher came in from %2").arg(room.code(), c.address)
                : QStringLiteral("room %1: seat %2 %3 from %4")
                      .arg(room.code(), seatList(outcome.seats),
                           tokenValue.isUndefined() ? QStringLiteral("taken") : QStringLiteral("back"),
                           c.address));
    QJsonObject joined{{"room", room.code()},
                       {"seats", QJsonArray::fromVariantList(QVariantList(c.seats.begin(), c.seats.end()))},
                       {"token", token},
                       {"host", c.host}};
    insertRules(joined, room.rules());
    send(id, message(type::kJoined, joined));
    enterRoom(id, c, *entry);
}

void ServerCore::enterRoom(int id, Connection& c, RoomEntry& entry) {
    const Room& room = *entry.room;
    sendSeats(room.code());
    QJsonArray log;
    const QStringList& lines = room.log();
    for (qsizetype i = std::max<qsizetype>(0, lines.size() - kHistoryLogLines); i < lines.size(); ++i)
        log.append(lines[i]);
    QJsonArray chat;
    const std::vector<ChatLine>& said = room.chat();
    for (std::size_t i = said.size() > kHistoryChatLines ? said.size() - kHistoryChatLines : 0;
         i < said.size(); ++i)
        chat.append(chatToJson(said[i]));
    send(id, message(type::kHistory, {{"log", log}, {"chat", chat}}));
    sendWholeState(id, c, entry);
    const Box* question = room.game().openQuestion();
    if (question != nullptr && c.seats.contains(question->seat))
        send(id, questionMessage(room, room.openQuestionId(), *question));
    if (room.ended()) send(id, message(type::kRoomEnded, {{"winner", 0}}));
    afterRoomChange(room.code());
}

void ServerCore::leaveRoom(int id, Connection& c) {
    (void)id;
    if (c.room.isEmpty()) return;
    const QString code = c.room;
    setRoom(id, c, QString());
    c.seats.clear();
    c.host = false;
    if (entryOf(code) != nullptr) sendSeats(code);
}

void ServerCore::roomInfo(int id, const QJsonObject& m) {
    const QJsonValue roomValue = m.value(QLatin1String("room"));
    if (!roomValue.isString()) {
        breakOff(id, ErrorCode::Malformed, QStringLiteral("roomInfo names a room."),
                 closeCode::kPolicyViolation);
        return;
    }
    RoomEntry* entry = findRoom(roomValue.toString());
    if (entry == nullptr)
        return fail(id, connections_[id], ErrorCode::UnknownRoom, QStringLiteral("There is no such room."));
    const Room& room = *entry->room;
    QJsonObject info{{"room", room.code()},
                     {"players", room.players()},
                     {"password", room.hasPassword()},
                     {"started", room.started()},
                     {"ended", room.ended()},
                     {"seats", seatsToJson(room.seats(connectedPerSeat(room.code())))}};
    insertRules(info, room.rules());
    send(id, message(type::kRoomInfo, info));
}

void ServerCore::action(int id, Connection& c, const QJsonObject& m) {
    const std::optional<Action> act = actionFromJson(m.value(QLatin1String("action")));
    if (!act) {
        breakOff(id, ErrorCode::Malformed, QStringLiteral("The action is not one the game knows."),
                 closeCode::kPolicyViolation);
        return;
    }
    RoomEntry* entry = entryOf(c.room);
    if (entry == nullptr) return sendError(id, ErrorCode::NotInRoom, QStringLiteral("Join a room first."));
    const std::optional<ErrorCode> error = entry->room->act(c.seats, *act);
    if (error == ErrorCode::NotYourTurn) return sendError(id, *error, QStringLiteral("It is not your turn."));
    if (error) return sendError(id, *error, QStringLiteral("That cannot be done now."));
    afterRoomChange(entry->room->code());
}

void ServerCore::answer(int id, Connection& c, const QJsonObject& m) {
    const std::optional<int> question = intField(m, "question", 0, std::numeric_limits<int>::max());
    const QJsonValue yes = m.value(QLatin1String("yes"));
    const QJsonValue amountValue = m.value(QLatin1String("amount"));
    const std::optional<int> amount =
        amountValue.isUndefined() ? 0 : intField(m, "amount", 0, std::numeric_limits<int>::max());
    if (!question || !(yes.isUndefined() || yes.isBool()) || !amount) {
        breakOff(id, ErrorCode::Malformed,
                 QStringLiteral("An answer names its question and says yes (true or false) or an amount."),
                 closeCode::kPolicyViolation);
        return;
    }
    RoomEntry* entry = entryOf(c.room);
    if (entry == nullptr) return sendError(id, ErrorCode::NotInRoom, QStringLiteral("Join a room first."));
    const std::optional<ErrorCode> error = entry->room->answer(c.seats, *question, yes.toBool(), *amount);
    if (error == ErrorCode::NotYourTurn)
        return sendError(id, *error, QStringLiteral("No question waits for your answer."));
    if (error) return sendError(id, *error, QStringLiteral("That is not an answer to the open question."));
    afterRoomChange(entry->room->code());
}

void ServerCore::chat(int id, Connection& c, const QJsonObject& m) {
    const QJsonValue text = m.value(QLatin1String("text"));
    const QString line = text.toString().trimmed();
    if (!text.isString() || line.isEmpty() || line.size() > limits_.chatLength || !isPrintable(line)) {
        breakOff(id, ErrorCode::Malformed,
                 QStringLiteral("A chat line is one line of at most %1 characters.").arg(limits_.chatLength),
                 closeCode::kPolicyViolation);
        return;
    }
    RoomEntry* entry = entryOf(c.room);
    if (entry == nullptr) return sendError(id, ErrorCode::NotInRoom, QStringLiteral("Join a room first."));
    entry->room->chat(c.seats.value(0, 0), c.name, line);
    afterRoomChange(entry->room->code());
}

void ServerCore::startRoom(int id, Connection& c) {
    RoomEntry* entry = entryOf(c.room);
    if (entry == nullptr) return sendError(id, ErrorCode::NotInRoom, QStringLiteral("Join a room first."));
    if (!c.host)
        return sendError(id, ErrorCode::NotHost, QStringLiteral("Only the host may start the room."));
    if (entry->room->startNow())
        return sendError(id, ErrorCode::Refused, QStringLiteral("The room has started."));
    logLine(QStringLiteral("room %1 started by its host").arg(entry->room->code()));
    afterRoomChange(entry->room->code());
}

void ServerCore::setComputer(int id, Connection& c, const QJsonObject& m) {
    const std::optional<int> seat = intField(m, "seat", 1, kPlayerCount);
    const QJsonValue computer = m.value(QLatin1String("computer"));
    if (!seat || !computer.isBool()) {
        breakOff(id, ErrorCode::Malformed, QStringLiteral("setComputer names a seat and true or false."),
                 closeCode::kPolicyViolation);
        return;
    }
    RoomEntry* entry = entryOf(c.room);
    if (entry == nullptr) return sendError(id, ErrorCode::NotInRoom, QStringLiteral("Join a room first."));
    if (!c.host)
        return sendError(id, ErrorCode::NotHost,
                         QStringLiteral("Only the host may hand seats to the computer."));
    if (entry->room->setComputer(*seat, computer.toBool()))
        return sendError(id, ErrorCode::Refused, QStringLiteral("That seat cannot be handed over."));
    logLine(QStringLiteral("room %1: seat %2 handed to %3")
                .arg(entry->room->code())
                .arg(*seat)
                .arg(computer.toBool() ? QStringLiteral("the computer") : QStringLiteral("its person")));
    afterRoomChange(entry->room->code());
}

void ServerCore::connectionClosed(int id) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    Connection& c = it->second;
    const QString code = c.room;
    const QString address = c.address;
    setRoom(id, c, QString());
    connections_.erase(it);
    if (--perAddress_[address] <= 0) perAddress_.remove(address);
    if (!code.isEmpty() && entryOf(code) != nullptr) sendSeats(code);
}

void ServerCore::stepRoom(const QString& code, qint64 nowMs) {
    nowMs_ = nowMs;
    RoomEntry* entry = entryOf(code);
    if (entry == nullptr) return;
    entry->stepScheduled = false;
    if (entry->room->stepComputer()) afterRoomChange(code);
}

void ServerCore::catchUp(const QString& code, qint64 nowMs) {
    nowMs_ = nowMs;
    RoomEntry* entry = entryOf(code);
    if (entry == nullptr) return;
    entry->catchUpScheduled = false;
    if (!entry->room || !entry->stateText) return;
    MadeStates made{stateFields(*entry->room, entry->stateSerial)};
    // A copy: a send may close a connection, which leaves the room.
    const std::vector<int> members = entry->members;
    for (const int id : members)
        if (const auto it = connections_.find(id); it != connections_.end() && it->second.behind)
            sendLatest(id, it->second, *entry, made);
}

void ServerCore::closeIdleRooms(qint64 nowMs) {
    nowMs_ = nowMs;
    const qint64 idleMs = static_cast<qint64>(limits_.roomIdleMinutes) * kMillisecondsPerMinute;
    for (auto it = rooms_.begin(); it != rooms_.end();) {
        RoomEntry& entry = it->second;
        const bool occupied = !entry.members.empty();
        if (occupied) entry.emptySinceMs = nowMs;
        const qint64 finishedMs = static_cast<qint64>(limits_.finishedRoomMinutes) * kMillisecondsPerMinute;
        const bool over = !occupied && entry.room->ended() && nowMs - entry.endedMs >= finishedMs;
        if (over || (!occupied && nowMs - entry.emptySinceMs >= idleMs)) {
            logLine(
                QStringLiteral("room %1 closed (%2)")
                    .arg(it->first, over ? QStringLiteral("its game is over") : QStringLiteral("left idle")));
            if (journal_ != nullptr) journal_->roomClosed(it->first);
            it = rooms_.erase(it);
        } else {
            ++it;
        }
    }
}

bool ServerCore::restoreRoom(const RoomSnapshot& snapshot, qint64 nowMs, qint64 idleForMs,
                             qint64 endedForMs) {
    if (rooms_.count(snapshot.code) != 0 || static_cast<int>(rooms_.size()) >= limits_.maxRooms) return false;
    RoomEntry& entry = rooms_[snapshot.code];
    entry.emptySinceMs = nowMs - idleForMs;
    entry.endedMs = nowMs - endedForMs;
    entry.room = std::make_unique<Room>(snapshot, *this);
    afterRoomChange(snapshot.code);
    return true;
}

// --- Room events ------------------------------------------------------------------------------------

void ServerCore::roomBox(const QString& room, qint64 version, const Box& box) {
    // Kept only for a room with someone in it: a computer-only room plays on unwatched. The boxes go
    // out with the state that follows them, to each connection when it is sent that state.
    if (RoomEntry* entry = entryOf(room); entry != nullptr && !entry->members.empty())
        entry->boxes.push_back(boxMessageText(version, box));
}

void ServerCore::roomState(const QString& room) {
    ++stats_.actions;
    if (RoomEntry* entry = entryOf(room); entry != nullptr && entry->room) broadcastState(*entry);
}

void ServerCore::broadcastState(RoomEntry& entry) {
    const Room& room = *entry.room;
    std::vector<QByteArray> boxes;
    boxes.swap(entry.boxes);
    if (entry.members.empty()) {
        // Nobody holds the text any more: the next to come is sent the whole state anyway.
        entry.stateText.reset();
        entry.stateSerial = -1;
        return;
    }
    entry.stateText = std::make_shared<const StateText>(stateTextWithMembers(room.game().state));
    entry.stateSerial = ++stateSerials_;
    MadeStates made{stateFields(room, entry.stateSerial)};
    bool heldBack = false;
    // A copy: a send may close a connection, which leaves the room (and forgets the connection).
    const std::vector<int> members = entry.members;
    for (const int id : members) {
        const auto it = connections_.find(id);
        if (it == connections_.end()) continue;
        Connection& c = it->second;
        c.waiting.insert(c.waiting.end(), boxes.begin(), boxes.end());
        if (hearsAtOnce(id, c, room)) {
            sendLatest(id, c, entry, made);
        } else {
            c.behind = true;
            heldBack = true;
        }
    }
    if (heldBack && !entry.catchUpScheduled) {
        entry.catchUpScheduled = true;
        transport_.scheduleCatchUp(room.code(), limits_.watchIntervalMs);
    }
}

bool ServerCore::hearsAtOnce(int id, const Connection& c, const Room& room) const {
    // A fast table makes several moves in the interval: a watcher is sent the last of them, folded
    // into one, instead of each. Whoever moved or moves next is never kept waiting.
    if (limits_.watchIntervalMs <= 0 || id == sender_ || !c.held || room.seatMayAct(c.seats)) return true;
    return !c.behind && nowMs_ - c.heldSinceMs >= limits_.watchIntervalMs;
}

void ServerCore::sendLatest(int id, Connection& c, RoomEntry& entry, MadeStates& made) {
    std::vector<QByteArray> out;
    out.swap(c.waiting);
    c.behind = false;
    if (entry.stateText && c.held != entry.stateText) {
        QByteArray* text = nullptr;
        if (c.changes && c.held) {
            const auto found = std::find_if(made.changes.begin(), made.changes.end(),
                                            [&](const auto& change) { return change.first == c.held.get(); });
            if (found != made.changes.end()) {
                text = &found->second;
            } else {
                const std::optional<QByteArray> patch = mergePatchText(*c.held, *entry.stateText);
                made.changes.emplace_back(c.held.get(),
                                          patch ? changeMessageText(made.fields, c.heldSerial, *patch)
                                                : QByteArray());
                text = &made.changes.back().second;
            }
        }
        if (text == nullptr || text->isEmpty()) {
            if (made.whole.isEmpty()) made.whole = stateMessageText(made.fields, entry.stateText->text);
            text = &made.whole;
        }
        out.push_back(*text);
        c.held = entry.stateText;
        c.heldSerial = entry.stateSerial;
        c.heldSinceMs = nowMs_;
    }
    // Nothing of `c` is touched from here: a send may close the connection.
    for (const QByteArray& text : out)
        transport_.send(id, text);
}

void ServerCore::deliver(int id, const QByteArray& text) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    if (it->second.behind) {
        if (RoomEntry* entry = entryOf(it->second.room); entry != nullptr && entry->room) {
            MadeStates made{stateFields(*entry->room, entry->stateSerial)};
            sendLatest(id, it->second, *entry, made);
        }
    }
    transport_.send(id, text);
}

void ServerCore::sendWholeState(int id, Connection& c, RoomEntry& entry) {
    const Room& room = *entry.room;
    // A connection coming in starts from the room's text when nothing has changed since; otherwise its
    // text is the room's new one (each connection is sent changes from the text it holds).
    auto text = std::make_shared<const StateText>(stateTextWithMembers(room.game().state));
    if (!entry.stateText || text->text != entry.stateText->text) {
        entry.stateText = std::move(text);
        entry.stateSerial = ++stateSerials_;
    }
    c.held = entry.stateText;
    c.heldSerial = entry.stateSerial;
    c.heldSinceMs = nowMs_;
    c.behind = false;
    c.waiting.clear();
    transport_.send(id, stateMessageText(stateFields(room, entry.stateSerial), entry.stateText->text));
}

StateFields ServerCore::stateFields(const Room& room, qint64 stateId) {
    // The typed money of an offer put to its partner: at one table everyone would see the fields.
    return {.version = room.version(),
            .stateId = stateId,
            .waitingFor = room.waitingFor(),
            .started = room.started(),
            .ended = room.ended(),
            .offer = room.offerOnTable()};
}

QJsonObject ServerCore::questionMessage(const Room& room, int id, const Box& box) const {
    QJsonObject fields{{"id", id}, {"box", boxToJson(box)}};
    if (const std::optional<Action> offer = room.offerOnTable())
        fields.insert(QLatin1String("offer"), offerToJson(*offer));
    return message(type::kQuestion, fields);
}

void ServerCore::roomQuestion(const QString& room, int id, const Box& box) {
    // A room still being made (its first events come from its constructor) has nobody in it.
    const RoomEntry* entry = entryOf(room);
    if (entry == nullptr || !entry->room) return;
    const QByteArray text = encode(questionMessage(*entry->room, id, box));
    for (const int connection : entry->members) {
        const auto it = connections_.find(connection);
        if (it != connections_.end() && it->second.seats.contains(box.seat)) deliver(connection, text);
    }
}

void ServerCore::roomSeats(const QString& room) {
    sendSeats(room);
}

void ServerCore::roomChat(const QString& room, const ChatLine& line) {
    broadcast(room, message(type::kChat, chatToJson(line)));
}

void ServerCore::roomEnded(const QString& room, int winner) {
    if (RoomEntry* entry = entryOf(room)) entry->endedMs = nowMs_;
    logLine(winner != 0 ? QStringLiteral("room %1: game over, player %2 wins").arg(room).arg(winner)
                        : QStringLiteral("room %1: game over, no player left").arg(room));
    broadcast(room, message(type::kRoomEnded, {{"winner", winner}}));
}

QByteArray ServerCore::stateMessage(const Room& room) const {
    const RoomEntry* entry = entryOf(room.code());
    const qint64 stateId = entry != nullptr && entry->room.get() == &room ? entry->stateSerial : -1;
    return stateMessageText(stateFields(room, stateId), stateObjectText(room.game().state));
}

// --- Sending ------------------------------------------------------------------------------------------

void ServerCore::send(int id, const QJsonObject& m) {
    deliver(id, encode(m));
}

void ServerCore::sendError(int id, ErrorCode code, const QString& sentence) {
    ++stats_.errors;
    send(id, errorMessage(code, sentence));
}

void ServerCore::breakOff(int id, ErrorCode code, const QString& sentence, int closeWith) {
    sendError(id, code, sentence);
    transport_.close(id, closeWith, sentence);
    connectionClosed(id);
}

void ServerCore::broadcast(const QString& room, const QJsonObject& m) {
    const RoomEntry* entry = entryOf(room);
    if (entry == nullptr || entry->members.empty()) return;
    broadcast(room, encode(m));
}

void ServerCore::broadcast(const QString& room, const QByteArray& text) {
    const RoomEntry* entry = entryOf(room);
    if (entry == nullptr || entry->members.empty()) return;
    // A copy: a send may close a connection, which leaves the room.
    const std::vector<int> members = entry->members;
    for (const int id : members)
        deliver(id, text);
}

std::vector<int> ServerCore::connectedPerSeat(const QString& room) const {
    std::vector<int> counts(kPlayerCount + 1, 0);
    const RoomEntry* entry = entryOf(room);
    if (entry == nullptr) return counts;
    for (const int id : entry->members) {
        const auto it = connections_.find(id);
        if (it == connections_.end()) continue;
        for (const int seat : it->second.seats)
            ++counts[static_cast<std::size_t>(seat)];
    }
    return counts;
}

void ServerCore::sendSeats(const QString& room) {
    const RoomEntry* entry = entryOf(room);
    if (entry == nullptr || !entry->room) return;
    broadcast(room,
              message(type::kSeats, {{"seats", seatsToJson(entry->room->seats(connectedPerSeat(room)))}}));
}

void ServerCore::afterRoomChange(const QString& code) {
    RoomEntry* entry = entryOf(code);
    if (entry == nullptr) return;
    if (journal_ != nullptr) journal_->roomChanged(*entry->room);
    if (!entry->stepScheduled && entry->room->computerDue()) {
        entry->stepScheduled = true;
        transport_.scheduleStep(code, limits_.computerDelayMs);
    }
}

void ServerCore::logLine(const QString& line) const {
    if (log_) log_(line);
}

} // namespace dealbrix::net
