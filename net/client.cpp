#include "client.h"

#include <QWebSocket>

#include <algorithm>

namespace dealbrix::net {

namespace {
constexpr quint64 kMaxIncomingBytes = 4 * 1024 * 1024;
} // namespace

Client::Client(QString clientName, QObject* parent) : QObject(parent), clientName_(std::move(clientName)) {
    reconnectTimer_.setSingleShot(true);
    connect(&reconnectTimer_, &QTimer::timeout, this, &Client::open);
}

Client::~Client() {
    if (socket_ != nullptr) {
        socket_->disconnect(this);
        socket_->abort();
    }
}

void Client::connectTo(const QUrl& url, const QString& room) {
    serverUrl_ = url;
    url_ = roomUrl(url, room);
    closing_ = false;
    comingBack_ = false;
    reconnectTimer_.stop();
    open();
}

void Client::open() {
    if (socket_ != nullptr) {
        socket_->disconnect(this);
        socket_->abort();
        socket_->deleteLater();
    }
    ready_ = false;
    socket_ = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    QWebSocket* socket = socket_;
    // Far beyond any message a server sends (a history is the largest), so a hostile server cannot
    // make the client hold gigabytes.
    socket->setMaxAllowedIncomingMessageSize(kMaxIncomingBytes);
    socket->setMaxAllowedIncomingFrameSize(kMaxIncomingBytes);
    connect(socket, &QWebSocket::connected, this, [this, socket] {
        if (socket == socket_)
            sendNow(message(type::kHello, {{"protocol", kProtocolVersion}, {"client", clientName_}}));
    });
    connect(socket, &QWebSocket::textMessageReceived, this, [this, socket](const QString& text) {
        if (socket == socket_) received(text);
    });
    // A connection that never opened reports an error and may report no disconnection; either ends it once.
    auto ended = [this, socket] {
        if (socket != socket_) return;
        socket_ = nullptr;
        socket->disconnect(this);
        socket->deleteLater();
        socketClosed();
    };
    connect(socket, &QWebSocket::disconnected, this, ended);
    connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [socket, ended](QAbstractSocket::SocketError) {
                if (socket->state() == QAbstractSocket::UnconnectedState) ended();
            });
    socket->open(url_);
}

void Client::disconnectFromServer() {
    closing_ = true;
    comingBack_ = false;
    reconnectTimer_.stop();
    outbox_.clear();
    if (socket_ != nullptr)
        socket_->close(QWebSocketProtocol::CloseCodeNormal);
    else
        emit disconnected();
}

void Client::socketClosed() {
    ready_ = false;
    if (closing_) {
        emit disconnected();
        return;
    }
    const bool mayComeBack = autoReconnect_ && !room_.isEmpty() && (!token_.isEmpty() || watching_);
    if (!mayComeBack) {
        emit connectionLost();
        emit disconnected();
        return;
    }
    if (!comingBack_) {
        comingBack_ = true;
        attempts_ = 0;
        droppedFor_.start();
        emit connectionLost();
    }
    scheduleReconnect();
}

void Client::scheduleReconnect() {
    if (droppedFor_.elapsed() > kReconnectWindowMs) {
        comingBack_ = false;
        emit gaveUp();
        emit disconnected();
        return;
    }
    const int delay = std::min(kReconnectMaxDelayMs, kReconnectFirstDelayMs << std::min(attempts_, 6));
    ++attempts_;
    emit reconnecting(attempts_, delay);
    reconnectTimer_.start(delay);
}

void Client::sendNow(const QJsonObject& m) {
    if (socket_ != nullptr) socket_->sendTextMessage(QString::fromUtf8(encode(m)));
}

void Client::sendWhenReady(const QJsonObject& m) {
    if (ready_ && !comingBack_)
        sendNow(m);
    else
        outbox_.append(m);
}

void Client::createRoom(int players, const QList<int>& computerSeats, const QString& password,
                        const HouseRules& rules, const PlayerArray<ComputerLevel>& levels) {
    ComputerChoice computer{computerSeats, levels};
    QJsonObject fields{{"players", players}, {"computer", computerChoiceToJson(computer)}};
    if (!password.isEmpty()) fields.insert(QLatin1String("password"), password);
    if (!rules.plain()) insertRules(fields, rules);
    sendWhenReady(message(type::kCreateRoom, fields));
}

void Client::join(const QString& room, const QList<int>& seats, const QString& password,
                  const QString& name) {
    QJsonArray wanted;
    for (const int seat : seats)
        wanted.append(seat);
    QJsonObject fields{{"room", room}, {"seats", wanted}};
    if (!password.isEmpty()) fields.insert(QLatin1String("password"), password);
    password_ = password;
    if (!name.isEmpty()) fields.insert(QLatin1String("name"), name.left(kDefaultNameLength));
    if (!hostToken_.isEmpty()) fields.insert(QLatin1String("hostToken"), hostToken_);
    sendWhenReady(message(type::kJoin, fields));
}

void Client::rejoin(const QString& room, const QString& token, const QString& hostToken) {
    if (!hostToken.isEmpty()) hostToken_ = hostToken;
    QJsonObject fields{{"room", room}, {"token", token}};
    if (!hostToken_.isEmpty()) fields.insert(QLatin1String("hostToken"), hostToken_);
    sendWhenReady(message(type::kJoin, fields));
}

void Client::requestRoomInfo(const QString& room) {
    sendWhenReady(message(type::kRoomInfo, {{"room", room}}));
}

void Client::leave() {
    if (ready_) sendNow(message(type::kLeave));
    room_.clear();
    seats_.clear();
    question_.reset();
    hasState_ = false;
}

void Client::sendAction(const Action& action) {
    // An action typed while the connection is away is dropped: the board follows the state that comes
    // back with it.
    if (ready_ && !comingBack_) sendNow(message(type::kAction, {{"action", actionToJson(action)}}));
}

bool Client::answer(bool yes) {
    if (!question_ || !ready_) return false;
    sendNow(message(type::kAnswer, {{"question", question_->id}, {"yes", yes}}));
    question_.reset();
    return true;
}

bool Client::answerAmount(int amount) {
    if (!question_ || !ready_) return false;
    sendNow(message(type::kAnswer, {{"question", question_->id}, {"yes", amount != 0}, {"amount", amount}}));
    question_.reset();
    return true;
}

void Client::sendChat(const QString& text) {
    QString line = text.left(kDefaultChatLength);
    for (QChar& c : line)
        if (!isPrintable(QString(c))) c = u' ';
    line = line.trimmed();
    if (!line.isEmpty() && ready_ && !comingBack_) sendNow(message(type::kChat, {{"text", line}}));
}

void Client::startRoom() {
    sendWhenReady(message(type::kStartRoom));
}

void Client::setComputer(int seat, bool computer) {
    sendWhenReady(message(type::kSetComputer, {{"seat", seat}, {"computer", computer}}));
}

int Client::actingSeat() const {
    return waitingFor_ != 0 ? waitingFor_ : state_.turn;
}

bool Client::mayAct() const {
    if (!hasState_ || !started_ || ended_) return false;
    const int seat = actingSeat();
    if (!seats_.contains(seat)) return false;
    const auto info = std::find_if(seatInfo_.begin(), seatInfo_.end(),
                                   [seat](const SeatInfo& s) { return s.seat == seat; });
    return info == seatInfo_.end() || !info->computer;
}

void Client::received(const QString& text) {
    const std::optional<QJsonObject> m = decode(text.toUtf8());
    if (!m) return;
    emit messageReceived(*m);
    handle(*m);
}

void Client::readState(const QJsonObject& m) {
    QString error;
    const std::optional<GameState> state = stateFromJson(m.value(QLatin1String("state")).toObject(), &error);
    if (!state) {
        emit errorReceived(errorCodeName(ErrorCode::Malformed), error);
        return;
    }
    state_ = *state;
    hasState_ = true;
    lastStateJson_ = m;
    version_ = static_cast<qint64>(m.value(QLatin1String("version")).toDouble());
    waitingFor_ = m.value(QLatin1String("waitingFor")).toInt();
    started_ = m.value(QLatin1String("started")).toBool();
    ended_ = m.value(QLatin1String("ended")).toBool();
    offer_ = offerFromJson(m.value(QLatin1String("offer")));
    if (question_ && waitingFor_ != question_->box.seat) question_.reset();
    emit stateChanged();
}

void Client::handle(const QJsonObject& m) {
    const QString kind = m.value(QLatin1String("type")).toString();
    if (kind == QLatin1String(type::kWelcome)) {
        ready_ = true;
        serverName_ = m.value(QLatin1String("server")).toString();
        if (comingBack_) {
            QJsonObject fields{{"room", room_}};
            if (!token_.isEmpty())
                fields.insert(QLatin1String("token"), token_);
            else
                fields.insert(QLatin1String("seats"), QJsonArray());
            if (token_.isEmpty() && !password_.isEmpty()) fields.insert(QLatin1String("password"), password_);
            if (!hostToken_.isEmpty()) fields.insert(QLatin1String("hostToken"), hostToken_);
            sendNow(message(type::kJoin, fields));
        } else {
            const QList<QJsonObject> waiting = std::exchange(outbox_, {});
            for (const QJsonObject& queued : waiting)
                sendNow(queued);
        }
        emit ready(serverName_);
    } else if (kind == QLatin1String(type::kRoomCreated)) {
        hostToken_ = m.value(QLatin1String("hostToken")).toString();
        emit roomCreated(m.value(QLatin1String("room")).toString(), hostToken_);
    } else if (kind == QLatin1String(type::kJoined)) {
        room_ = m.value(QLatin1String("room")).toString();
        // A drop from here on comes back through the room's path, as a join by code would: behind a
        // proxy the server's bare address may lead to another server.
        url_ = roomUrl(serverUrl_, room_);
        rules_ = {};
        readRules(m, rules_, nullptr);
        seats_.clear();
        for (const QJsonValue seat : m.value(QLatin1String("seats")).toArray())
            seats_.append(seat.toInt());
        const QString token = m.value(QLatin1String("token")).toString();
        if (!token.isEmpty()) token_ = token;
        if (seats_.isEmpty()) token_.clear();
        host_ = m.value(QLatin1String("host")).toBool();
        watching_ = seats_.isEmpty();
        question_.reset();
        if (comingBack_) {
            comingBack_ = false;
            const QList<QJsonObject> waiting = std::exchange(outbox_, {});
            for (const QJsonObject& queued : waiting)
                sendNow(queued);
            emit reconnected();
        }
        emit joined(room_, seats_, token_);
    } else if (kind == QLatin1String(type::kRoomInfo)) {
        RoomInfo info;
        info.room = m.value(QLatin1String("room")).toString();
        info.players = m.value(QLatin1String("players")).toInt();
        info.password = m.value(QLatin1String("password")).toBool();
        info.started = m.value(QLatin1String("started")).toBool();
        info.ended = m.value(QLatin1String("ended")).toBool();
        info.seats = seatsFromJson(m.value(QLatin1String("seats"))).value_or(QList<SeatInfo>{});
        readRules(m, info.rules, nullptr);
        emit roomInfoReceived(info);
    } else if (kind == QLatin1String(type::kHistory)) {
        QStringList log;
        for (const QJsonValue line : m.value(QLatin1String("log")).toArray())
            log.append(line.toString());
        QList<ChatLine> chat;
        for (const QJsonValue line : m.value(QLatin1String("chat")).toArray())
            if (const auto said = chatFromJson(line.toObject())) chat.append(*said);
        emit historyReceived(log, chat);
    } else if (kind == QLatin1String(type::kState)) {
        readState(m);
    } else if (kind == QLatin1String(type::kBox)) {
        if (const std::optional<Box> box = boxFromJson(m.value(QLatin1String("box"))))
            emit boxReceived(*box, static_cast<qint64>(m.value(QLatin1String("version")).toDouble()));
    } else if (kind == QLatin1String(type::kQuestion)) {
        const std::optional<Box> box = boxFromJson(m.value(QLatin1String("box")));
        if (!box) return;
        question_ = Question{m.value(QLatin1String("id")).toInt(), *box,
                             offerFromJson(m.value(QLatin1String("offer")))};
        emit questionAsked(question_->id, question_->box);
    } else if (kind == QLatin1String(type::kSeats)) {
        if (const auto seats = seatsFromJson(m.value(QLatin1String("seats")))) {
            seatInfo_ = *seats;
            emit seatsChanged();
        }
    } else if (kind == QLatin1String(type::kChat)) {
        if (const auto line = chatFromJson(m)) emit chatReceived(*line);
    } else if (kind == QLatin1String(type::kRoomEnded)) {
        ended_ = true;
        emit roomEnded(m.value(QLatin1String("winner")).toInt());
    } else if (kind == QLatin1String(type::kLeft)) {
        emit left(m.value(QLatin1String("room")).toString());
    } else if (kind == QLatin1String(type::kError)) {
        const QString code = m.value(QLatin1String("code")).toString();
        if (comingBack_ && code == errorCodeName(ErrorCode::BadToken)) {
            comingBack_ = false;
            room_.clear();
            emit errorReceived(code, m.value(QLatin1String("message")).toString());
            emit gaveUp();
            return;
        }
        emit errorReceived(code, m.value(QLatin1String("message")).toString());
    }
}

} // namespace dealbrix::net
