#include "load_clients.h"

#include "protocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebSocket>

#include <algorithm>
#include <cmath>
#include <utility>

namespace dealbrix::load {

namespace {

// Connections being opened at once: each waits for the server's welcome before the next starts.
constexpr int kParallelOpen = 64;
// Refused moves in a row before a seat waits for the next state instead of trying again.
constexpr int kRetries = 3;
constexpr int kRetryDelayMs = 10;
constexpr qsizetype kErrorSamples = 5;
constexpr double kMsPerSecond = 1000.0;

/// The mirror game's screen and dice: it is only read, never played.
class Quiet final : public Ui, public RandomSource {
  public:
    void tell(const Box&) override {}
    bool ask(const Box&) override { return false; }
    void endProgram() override {}
    float next() override { return 0.0f; }
};

Quiet& quiet() {
    static Quiet q;
    return q;
}

/// True for a `box` message, which these clients do not read: the server writes its type first.
bool isBoxMessage(const QString& text) {
    static const QString boxStart = QStringLiteral("{\"type\":\"box\"");
    return text.startsWith(boxStart);
}

/// The `stateId` of a state or change message as the server writes it (near its start), without
/// reading the rest; -1 when it is not there.
qint64 peekStateId(const QString& text) {
    static const QString key = QStringLiteral("\"stateId\":");
    static const QString changeStart = QStringLiteral("{\"type\":\"change\"");
    static const QString stateStart = QStringLiteral("{\"type\":\"state\"");
    constexpr qsizetype kLookWithin = 80;
    if (!text.startsWith(changeStart) && !text.startsWith(stateStart)) return -1;
    const qsizetype at = QStringView(text).left(kLookWithin).indexOf(key);
    if (at < 0) return -1;
    qint64 id = 0;
    qsizetype i = at + key.size();
    const qsizetype start = i;
    for (; i < text.size() && text[i].isDigit() && i - start < 18; ++i)
        id = id * 10 + text[i].digitValue();
    return i > start ? id : -1;
}

QString typeOf(const QJsonObject& m) {
    return m.value(QLatin1String("type")).toString();
}

} // namespace

double percentile(std::vector<float>& values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

// --- The run --------------------------------------------------------------------------------------------

LoadRun::LoadRun(LoadOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), nextSeed_(options_.seed) {
    clock_.start();
}

LoadRun::~LoadRun() = default;

const QJsonObject* LoadRoom::heldState(qint64 stateId) const {
    for (const auto& [id, state] : held_)
        if (id == stateId) return &state;
    return nullptr;
}

void LoadRoom::hold(qint64 stateId, const QJsonObject& state) {
    if (stateId < 0) return;
    if (heldState(stateId) == nullptr) held_.emplace_back(stateId, state);
    forgetUnheld();
}

void LoadRoom::forgetUnheld() {
    std::erase_if(held_, [this](const auto& kept) {
        if (kept.first == stateId_) return false;
        return std::none_of(seats.begin(), seats.end(),
                            [&](const auto& c) { return c->seenStateId_ == kept.first; });
    });
}

LoadRoom& LoadRun::newRoom() {
    rooms_.push_back(std::make_unique<LoadRoom>());
    LoadRoom& room = *rooms_.back();
    room.computer_ = std::make_unique<ComputerPlayer>(ComputerWeights{}, nextSeed_++);
    room.mirror_ = std::make_unique<Game>(quiet(), quiet());
    room.paceTimer_.setSingleShot(true);
    connect(&room.paceTimer_, &QTimer::timeout, this, [this, &room] { consider(room); });
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        room.seats.push_back(std::make_unique<LoadConnection>(*this, room, seat));
    toOpen_.push_back(room.seats.front().get());
    return room;
}

void LoadRun::start() {
    for (int i = 0; i < options_.rooms; ++i)
        newRoom();
    openNext();
}

void LoadRun::openNext() {
    while (opening_ < kParallelOpen && !toOpen_.empty()) {
        LoadConnection* next = toOpen_.front();
        toOpen_.erase(toOpen_.begin());
        ++opening_;
        next->open();
    }
}

void LoadRun::setPaused(bool paused) {
    paused_ = paused;
    if (paused_) return;
    // At a pace the rooms go on spread over one interval, as a crowd of tables would, not all at once.
    const qint64 interval = options_.pace > 0 ? static_cast<qint64>(kMsPerSecond / options_.pace) : 0;
    const auto count = static_cast<qint64>(rooms_.size());
    for (qint64 i = 0; i < count; ++i) {
        LoadRoom& room = *rooms_[static_cast<std::size_t>(i)];
        if (interval > 0) room.nextActMs_ = now() + interval * i / count;
        consider(room);
    }
}

void LoadRun::reconnectAll() {
    const std::size_t count = rooms_.size();
    toOpen_.clear();
    opening_ = 0;
    for (std::size_t i = 0; i < count; ++i) {
        LoadRoom& room = *rooms_[i];
        if (room.abandoned || (room.finished && !options_.keepFinished)) continue;
        if (!room.ready) {
            // A seat whose joined message never came may be held on the server by a token nobody has.
            room.abandoned = true;
            for (const auto& c : room.seats)
                c->closeNow();
            if (!room.finished) newRoom();
            continue;
        }
        room.firstAfterRejoin = {};
        room.rejoinAwaited_ = true;
        room.held_.clear(); // the server numbers its states afresh when it starts again
        room.paceTimer_.stop();
        for (const auto& c : room.seats) {
            c->rejoining_ = true;
            c->questionId_ = 0;
            c->sentMs_ = -1;
            c->refusedInRow_ = 0;
            toOpen_.push_back(c.get());
        }
    }
    openNext();
}

bool LoadRun::allRejoined() const {
    return std::all_of(rooms_.begin(), rooms_.end(), [](const auto& room) {
        // A room opened since (in place of one whose setup was cut off) has nothing to come back to.
        return !room->ready || room->abandoned || !room->rejoinAwaited_ ||
               room->firstAfterRejoin.version >= 0;
    });
}

int LoadRun::roomsReady() const {
    return static_cast<int>(std::count_if(rooms_.begin(), rooms_.end(),
                                          [](const auto& room) { return room->ready && !room->abandoned; }));
}

int LoadRun::connectionsOpen() const {
    int open = 0;
    for (const auto& room : rooms_)
        for (const auto& c : room->seats)
            open += c->isOpen() ? 1 : 0;
    return open;
}

void LoadRun::noteError(const QString& what) {
    ++errors_;
    if (errorSamples_.size() < kErrorSamples) errorSamples_.append(what);
}

void LoadRun::roomFinished(LoadRoom& room) {
    if (room.finished) return;
    room.finished = true;
    room.paceTimer_.stop();
    ++games_;
    if (!options_.keepFinished)
        for (const auto& c : room.seats)
            c->closeNow();
    newRoom();
    openNext();
}

void LoadRun::consider(LoadRoom& room) {
    if (paused_ || room.finished || room.abandoned || !room.hasCurrent_) return;
    if (options_.pace > 0 && room.nextActMs_ >= 0) {
        const qint64 due = room.nextActMs_;
        if (now() < due) {
            if (!room.paceTimer_.isActive()) room.paceTimer_.start(static_cast<int>(due - now()));
            return;
        }
    }
    act(room);
}

void LoadRun::moved(LoadRoom& room) {
    if (options_.pace <= 0) return;
    // Each room keeps its own timetable, as a table of players would: a move is due one interval after
    // the last was due, however long its answer took. Counted from the last move instead, rooms slowed
    // by the same busy moment would all move at the same moment from then on, gathering into ever
    // larger bursts. A room already past its next move's time moves as soon as it can and counts from then.
    const qint64 interval = static_cast<qint64>(kMsPerSecond / options_.pace);
    const qint64 t = now();
    room.nextActMs_ = room.nextActMs_ < 0 ? t + interval : std::max(room.nextActMs_ + interval, t);
}

void LoadRun::act(LoadRoom& room) {
    // The seat asked a question answers it; otherwise the seat holding the turn acts, once per state.
    for (const auto& c : room.seats) {
        if (c->questionId_ == 0 || !c->isOpen() || c->sentMs_ >= 0) continue;
        int given = 0; // amount questions are passed
        if (!isAmountQuestion(c->question_)) {
            OfferedMoney offered;
            if (const std::optional<Action> offer = net::offerFromJson(c->offer_))
                offered = {Game::readNumber(offer->text), Game::readNumber(offer->otherText)};
            given = room.computer_->answer(room.current_, c->question_, offered) ? 1 : 0;
        }
        c->send(net::message(net::type::kAnswer,
                             {{"question", c->questionId_}, {"yes", given != 0}, {"amount", given}}));
        c->questionId_ = 0;
        c->sentMs_ = now();
        moved(room);
        return;
    }
    const GameState& s = room.current_;
    // A question waits for its own message before anyone acts.
    if (!isPlayer(s.turn) || room.last.waitingFor != 0) return;
    LoadConnection& c = *room.seats[static_cast<std::size_t>(s.turn - 1)];
    // A seat acts on a state it has been sent itself: the next state it is sent then answers its move.
    if (!c.isOpen() || c.sentMs_ >= 0 || !c.welcomed_ || c.token_.isEmpty() ||
        (room.stateId_ >= 0 ? c.seenStateId_ != room.stateId_ : c.seenText_ != room.currentText_))
        return;
    room.mirror_->restore(s);
    if (room.mirror_->openQuestion() != nullptr) return;
    const std::optional<Action> action = room.computer_->nextAction(*room.mirror_);
    if (!action) return;
    c.send(net::actionMessageText(*action));
    c.sentMs_ = now();
    moved(room);
}

// --- One connection -------------------------------------------------------------------------------------

LoadConnection::LoadConnection(LoadRun& run, LoadRoom& room, int seat)
    : run_(run), room_(room), seat_(seat) {}

LoadConnection::~LoadConnection() {
    if (socket_ != nullptr) {
        socket_->disconnect(this);
        socket_->abort();
        delete socket_;
    }
}

bool LoadConnection::isOpen() const {
    return socket_ != nullptr && socket_->state() == QAbstractSocket::ConnectedState;
}

void LoadConnection::closeNow() {
    if (socket_ == nullptr) return;
    QWebSocket* socket = std::exchange(socket_, nullptr);
    socket->disconnect(this);
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    socket->close();
    if (socket->state() == QAbstractSocket::UnconnectedState) socket->deleteLater();
}

void LoadConnection::open() {
    if (socket_ != nullptr) {
        QWebSocket* old = std::exchange(socket_, nullptr);
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    welcomed_ = false;
    socket_ = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    socket_->setMaxAllowedIncomingMessageSize(1 << 24);
    QWebSocket* socket = socket_;
    connect(socket, &QWebSocket::connected, this, [this] {
        send(net::message(net::type::kHello, {{"protocol", net::kProtocolVersion},
                                              {"client", QStringLiteral("dealbrix-loadtest")},
                                              {"changes", true}}));
    });
    connect(socket, &QWebSocket::textMessageReceived, this, &LoadConnection::received);
    auto ended = [this, socket] {
        if (socket != socket_) return;
        socket_ = nullptr;
        socket->disconnect(this);
        socket->deleteLater();
        if (!welcomed_) {
            // Never answered: the slot it held for opening is free again.
            --run_.opening_;
            run_.openNext();
        }
        if (!room_.finished && !room_.abandoned) run_.noteError(QStringLiteral("connection lost"));
    };
    connect(socket, &QWebSocket::disconnected, this, ended);
    connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [socket, ended](QAbstractSocket::SocketError) {
                if (socket->state() == QAbstractSocket::UnconnectedState) ended();
            });
    socket->open(run_.options_.server);
}

void LoadConnection::send(const QJsonObject& message) {
    send(net::encode(message));
}

void LoadConnection::send(const QByteArray& text) {
    lastSent_ = text;
    if (socket_ != nullptr) socket_->sendTextMessage(QString::fromUtf8(lastSent_));
}

void LoadConnection::joinRoom() {
    if (rejoining_ && !token_.isEmpty()) {
        send(net::message(net::type::kJoin, {{"room", room_.code}, {"token", token_}}));
        return;
    }
    QJsonObject fields{{"room", room_.code}, {"seats", QJsonArray{seat_}}};
    if (seat_ == 1) fields.insert(QLatin1String("hostToken"), room_.hostToken);
    send(net::message(net::type::kJoin, fields));
}

bool LoadConnection::readState(const QJsonObject& m, const QString& text) {
    LoadRoom& room = room_;
    seenText_ = text;
    seenStateId_ = m.value(QLatin1String("stateId")).toInteger(-1);
    SeenState seen;
    seen.version = m.value(QLatin1String("version")).toInteger();
    seen.state = m.value(QLatin1String("state")).toObject();
    seen.waitingFor = m.value(QLatin1String("waitingFor")).toInt();
    seen.ended = m.value(QLatin1String("ended")).toBool();
    // A seat slower than another may still deliver an older state: the newest is kept. The state the
    // room holds already, sent whole to a seat that came in, is not read again.
    if (seen.version >= room.last.version && (seenStateId_ < 0 || seenStateId_ != room.stateId_)) {
        QString error;
        const std::optional<GameState> state = net::stateFromJson(seen.state, &error);
        if (!state) {
            run_.noteError(QStringLiteral("a state the game cannot hold: ") + error);
            return false;
        }
        room.current_ = *state;
        room.hasCurrent_ = true;
        room.stateId_ = seenStateId_;
        room.currentText_ = text;
        room.last = seen;
    }
    room.hold(seenStateId_, seen.state);
    // The first state any seat is sent after coming back is the room as the server reopened it.
    if (room.firstAfterRejoin.version < 0 && rejoining_) room.firstAfterRejoin = seen;
    return true;
}

bool LoadConnection::readChange(const QJsonObject& m, const QString& text) {
    LoadRoom& room = room_;
    const qint64 stateId = m.value(QLatin1String("stateId")).toInteger();
    const qint64 from = m.value(QLatin1String("from")).toInteger();
    seenText_ = text;
    if (room.heldState(stateId) != nullptr) { // brought already by another seat
        seenStateId_ = stateId;
        room.forgetUnheld();
        return true;
    }
    // The server makes a change from the state it sent this seat last.
    const QJsonObject* base = from == seenStateId_ || from == room.stateId_ ? room.heldState(from) : nullptr;
    if (base == nullptr) {
        run_.noteError(QStringLiteral("a change from a state this seat does not hold"));
        return false;
    }
    const QJsonObject patch = m.value(QLatin1String("state")).toObject();
    QJsonObject merged = *base;
    net::applyMergePatch(merged, patch);
    seenStateId_ = stateId;
    if (stateId < room.stateId_) { // older than the room's: only kept, for this seat's next change
        room.hold(stateId, merged);
        return true;
    }
    QString error;
    // Made from the room's own state, only what the patch touches is read again; from an older one,
    // the whole game is.
    std::optional<GameState> whole;
    if (from != room.stateId_) whole = net::stateFromJson(merged, &error);
    if (from != room.stateId_ ? !whole : !net::applyStateChange(merged, patch, room.current_, &error)) {
        run_.noteError(QStringLiteral("a change the game cannot hold: ") + error);
        return false;
    }
    if (whole) room.current_ = std::move(*whole);
    room.last.state = merged;
    room.last.version = m.value(QLatin1String("version")).toInteger();
    room.last.waitingFor = m.value(QLatin1String("waitingFor")).toInt();
    room.last.ended = m.value(QLatin1String("ended")).toBool();
    room.stateId_ = stateId;
    room.currentText_ = text;
    room.hold(stateId, merged);
    return true;
}

void LoadConnection::received(const QString& text) {
    if (isBoxMessage(text)) return; // told, and the state after it says what changed
    LoadRoom& room = room_;
    // A state brought already by another seat is not read again: found by its number, or else by the
    // text (compared as it came, not turned into bytes again for every seat).
    const qint64 peeked = rejoining_ ? -1 : peekStateId(text);
    const bool known = peeked >= 0 && room.heldState(peeked) != nullptr;
    const bool sameState = known || (!room.currentText_.isEmpty() && text == room.currentText_);
    std::optional<QJsonObject> parsed;
    if (!sameState) {
        parsed = net::decode(text.toUtf8());
        if (!parsed) {
            run_.noteError(QStringLiteral("a message that is not JSON"));
            return;
        }
    }
    const QString kind = sameState ? QString::fromLatin1(net::type::kState) : typeOf(*parsed);
    const bool isChange = kind == QLatin1String(net::type::kChange);
    if (isChange || kind == QLatin1String(net::type::kState)) {
        if (sentMs_ >= 0) {
            run_.latencies_.push_back(static_cast<float>(run_.now() - sentMs_));
            sentMs_ = -1;
        }
        refusedInRow_ = 0;
        if (known) {
            seenText_ = text;
            seenStateId_ = peeked;
            room.forgetUnheld();
        } else if (sameState) {
            seenText_ = room.currentText_;
            seenStateId_ = room.stateId_;
            if (room.firstAfterRejoin.version < 0 && rejoining_) room.firstAfterRejoin = room.last;
        } else if (!(isChange ? readChange(*parsed, text) : readState(*parsed, text))) {
            return;
        }
        rejoining_ = false;
        run_.consider(room);
        return;
    }
    const QJsonObject& m = *parsed;
    if (kind == QLatin1String(net::type::kWelcome)) {
        welcomed_ = true;
        --run_.opening_;
        run_.openNext();
        if (seat_ == 1 && room.code.isEmpty())
            send(net::message(net::type::kCreateRoom, {{"players", kPlayerCount}}));
        else
            joinRoom();
    } else if (kind == QLatin1String(net::type::kRoomCreated)) {
        room.code = m.value(QLatin1String("room")).toString();
        room.hostToken = m.value(QLatin1String("hostToken")).toString();
        joinRoom();
    } else if (kind == QLatin1String(net::type::kJoined)) {
        const QString token = m.value(QLatin1String("token")).toString();
        if (!token.isEmpty()) token_ = token;
        if (!room.ready && seat_ == 1 && !rejoining_) {
            for (std::size_t i = 1; i < room.seats.size(); ++i)
                run_.toOpen_.push_back(room.seats[i].get());
            run_.openNext();
        }
        room.ready = std::all_of(room.seats.begin(), room.seats.end(),
                                 [](const auto& c) { return !c->token_.isEmpty(); });
    } else if (kind == QLatin1String(net::type::kQuestion)) {
        const std::optional<Box> box = net::boxFromJson(m.value(QLatin1String("box")));
        if (!box) return run_.noteError(QStringLiteral("a question of no known kind"));
        questionId_ = m.value(QLatin1String("id")).toInt();
        question_ = *box;
        offer_ = m.value(QLatin1String("offer")).toObject();
        run_.consider(room);
    } else if (kind == QLatin1String(net::type::kRoomEnded)) {
        run_.roomFinished(room);
    } else if (kind == QLatin1String(net::type::kError)) {
        run_.noteError(m.value(QLatin1String("code")).toString() + QStringLiteral(": ") +
                       m.value(QLatin1String("message")).toString() + QStringLiteral(" (after ") +
                       QString::fromUtf8(lastSent_) + u')');
        sentMs_ = -1;
        room.computer_->dropPlan();
        if (++refusedInRow_ <= kRetries)
            QTimer::singleShot(kRetryDelayMs, this, [this] { run_.consider(room_); });
    }
}

} // namespace dealbrix::load
