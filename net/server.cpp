#include "server.h"

#include "build_info.h"

#include <QWebSocket>
#include <QWebSocketServer>

#include <chrono>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace dealbrix::net {

namespace {

constexpr int kSummaryMs = 60'000;
constexpr int kIdleSweepMs = 60'000;
constexpr int kMsPerSecond = 1000;
constexpr int kGoodbyeMs = 2000; // time for close frames to leave before the server stops
/// The ping sweep visits one of this many slices of the connections at a time.
constexpr int kPingSlices = 30;

QString serverName() {
    return QStringLiteral("%1 %2").arg(QLatin1String(kApplicationName), QLatin1String(kApplicationVersion));
}

} // namespace

GameServer::GameServer(ServerLimits limits, QString serverId, std::optional<QSslConfiguration> tls,
                       QObject* parent)
    : QObject(parent), limits_(limits),
      server_(new QWebSocketServer(
          serverName(), tls ? QWebSocketServer::SecureMode : QWebSocketServer::NonSecureMode, this)),
      core_(*this, limits, std::move(serverId), serverName()) {
    clock_.start();
    if (tls) server_->setSslConfiguration(*tls);
    server_->setHandshakeTimeout(std::chrono::milliseconds(limits_.handshakeSeconds * kMsPerSecond));
    connect(server_, &QWebSocketServer::newConnection, this, &GameServer::acceptConnection);
    setLog([](const QString& line) {
        std::fprintf(stderr, "dealbrix-server: %s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
    });
    pingTimer_.setInterval(std::max(1, limits_.pingSeconds * kMsPerSecond / kPingSlices));
    connect(&pingTimer_, &QTimer::timeout, this, &GameServer::sweep);
    summaryTimer_.setInterval(kSummaryMs);
    connect(&summaryTimer_, &QTimer::timeout, this, &GameServer::logSummary);
    catchUpTimer_.setSingleShot(true);
    connect(&catchUpTimer_, &QTimer::timeout, this, &GameServer::runCatchUps);
    idleTimer_.setInterval(kIdleSweepMs);
    connect(&idleTimer_, &QTimer::timeout, this, [this] { core_.closeIdleRooms(now()); });
}

GameServer::~GameServer() {
    if (journal_ != nullptr) journal_->commit();
    for (auto& [id, s] : sockets_) {
        s.socket->disconnect(this);
        s.socket->abort();
        s.socket->deleteLater();
    }
}

void GameServer::setLog(std::function<void(const QString&)> log) {
    log_ = log;
    core_.setLog(std::move(log));
}

bool GameServer::listen(const QHostAddress& address, quint16 port) {
    if (!server_->listen(address, port)) return false;
    // Connections accepted from the listening socket inherit its TCP_NODELAY. Without it a seat that
    // only listens acknowledges late, and each state after the first waits for that acknowledgement
    // (Nagle's algorithm meeting delayed ACKs: up to 40 ms a message).
    const int noDelay = 1;
    ::setsockopt(static_cast<int>(server_->socketDescriptor()), IPPROTO_TCP, TCP_NODELAY, &noDelay,
                 sizeof noDelay);
    pingTimer_.start();
    summaryTimer_.start();
    idleTimer_.start();
    summaryMs_ = now();
    return true;
}

quint16 GameServer::port() const {
    return server_->serverPort();
}

QString GameServer::errorString() const {
    return server_->errorString();
}

void GameServer::acceptConnection() {
    while (QWebSocket* socket = server_->nextPendingConnection()) {
        socket->setParent(this);
        socket->setMaxAllowedIncomingMessageSize(static_cast<quint64>(limits_.maxMessageBytes));
        socket->setMaxAllowedIncomingFrameSize(static_cast<quint64>(limits_.maxMessageBytes));
        const std::optional<int> id = core_.openConnection(socket->peerAddress().toString(), now());
        if (!id) {
            socket->sendTextMessage(encode(
                errorMessage(ErrorCode::Full, QStringLiteral("Too many connections from this address."))));
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                          QStringLiteral("too many connections"));
            connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        const int connection = *id;
        sockets_[connection] = {socket, now()};
        connect(socket, &QWebSocket::textMessageReceived, this, [this, connection](const QString& text) {
            const auto it = sockets_.find(connection);
            if (it == sockets_.end()) return;
            it->second.heardMs = now();
            core_.receive(connection, text.toUtf8(), now());
        });
        connect(socket, &QWebSocket::binaryMessageReceived, this,
                [this, connection](const QByteArray&) { core_.receiveBinary(connection); });
        connect(socket, &QWebSocket::pong, this, [this, connection](quint64, const QByteArray&) {
            const auto it = sockets_.find(connection);
            if (it != sockets_.end()) it->second.heardMs = now();
        });
        connect(socket, &QWebSocket::disconnected, this, [this, connection, socket] {
            core_.connectionClosed(connection);
            sockets_.erase(connection);
            socket->deleteLater();
        });
        // The handshake is done; hello must follow within what is left of the same limit.
        QTimer::singleShot(limits_.handshakeSeconds * kMsPerSecond, this, [this, connection] {
            if (sockets_.count(connection) != 0 && !core_.greeted(connection))
                close(connection, closeCode::kPolicyViolation, QStringLiteral("no hello in time"));
        });
    }
}

const QString& GameServer::textOf(const QByteArray& text) {
    // A broadcast hands the same bytes to every connection of a room: they are turned into the
    // socket's QString once, and every connection shares it.
    if (text.constData() != lastBytes_.constData() || text.size() != lastBytes_.size()) {
        lastBytes_ = text;
        lastText_ = QString::fromUtf8(text);
    }
    return lastText_;
}

void GameServer::send(int id, const QByteArray& text) {
    const auto it = sockets_.find(id);
    if (it == sockets_.end()) return;
    if (journal_ == nullptr) {
        it->second.socket->sendTextMessage(textOf(text));
        return;
    }
    outbox_.push_back({it->second.socket, textOf(text), 0, {}});
    scheduleFlush();
}

void GameServer::setJournal(RoomJournal* journal) {
    flush();
    journal_ = journal;
    core_.setJournal(journal != nullptr ? static_cast<RoomJournal*>(this) : nullptr);
}

bool GameServer::restoreRoom(const RoomSnapshot& snapshot, qint64 idleForMs, qint64 endedForMs) {
    return core_.restoreRoom(snapshot, now(), idleForMs, endedForMs);
}

void GameServer::roomChanged(const Room& room) {
    journal_->roomChanged(room);
    scheduleFlush(); // a change nobody is told of (a computer's move in an empty room) is kept too
}

void GameServer::roomClosed(const QString& code) {
    journal_->roomClosed(code);
    scheduleFlush();
}

void GameServer::scheduleFlush() {
    if (flushScheduled_) return;
    flushScheduled_ = true;
    // After everything the event loop has at hand now: one commit serves every room changed meanwhile.
    QTimer::singleShot(0, this, &GameServer::flush);
}

void GameServer::flush() {
    flushScheduled_ = false;
    // A failed commit is logged by the journal and tried again with the next batch; play goes on.
    if (journal_ != nullptr) journal_->commit();
    std::vector<Outgoing> out;
    out.swap(outbox_);
    for (const Outgoing& o : out) {
        if (o.socket.isNull()) continue;
        if (o.closeCode != 0)
            o.socket->close(static_cast<QWebSocketProtocol::CloseCode>(o.closeCode), o.reason);
        else
            o.socket->sendTextMessage(o.text);
    }
}

void GameServer::close(int id, int code, const QString& reason) {
    const auto it = sockets_.find(id);
    if (it == sockets_.end()) return;
    QWebSocket* socket = it->second.socket;
    sockets_.erase(it);
    core_.connectionClosed(id);
    socket->disconnect(this);
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    if (journal_ != nullptr) {
        // After the messages queued before it.
        outbox_.push_back({socket, {}, code, reason});
        scheduleFlush();
        return;
    }
    socket->close(static_cast<QWebSocketProtocol::CloseCode>(code), reason);
}

void GameServer::scheduleStep(const QString& room, int delayMs) {
    QTimer::singleShot(delayMs, this, [this, room] { core_.stepRoom(room, now()); });
}

void GameServer::scheduleCatchUp(const QString& room, int delayMs) {
    const qint64 due = now() + delayMs;
    catchUps_.emplace(due, room);
    if (!catchUpTimer_.isActive() || catchUps_.begin()->first == due) catchUpTimer_.start(delayMs);
}

void GameServer::runCatchUps() {
    const qint64 at = now();
    while (!catchUps_.empty() && catchUps_.begin()->first <= at) {
        const QString room = catchUps_.begin()->second;
        catchUps_.erase(catchUps_.begin());
        core_.catchUp(room, at);
    }
    if (!catchUps_.empty()) catchUpTimer_.start(static_cast<int>(catchUps_.begin()->first - at));
}

void GameServer::sweep() {
    // A slice of the connections at a time, each once a ping interval: pinging thousands at once
    // would bring all their pongs back at once, and every room would wait behind them.
    const int slice = pingSlice_;
    pingSlice_ = (pingSlice_ + 1) % kPingSlices;
    const qint64 silentMs = static_cast<qint64>(limits_.silentSeconds) * kMsPerSecond;
    QList<int> silent;
    for (auto& [id, s] : sockets_) {
        if (id % kPingSlices != slice) continue;
        if (now() - s.heardMs > silentMs)
            silent.append(id);
        else
            s.socket->ping();
    }
    for (const int id : silent)
        close(id, closeCode::kGoingAway, QStringLiteral("nothing heard for too long"));
}

void GameServer::logSummary() {
    const ServerStats& stats = core_.stats();
    const qint64 elapsed = std::max<qint64>(1, now() - summaryMs_);
    const double perSecond = static_cast<double>(stats.actions - summaryActions_) * kMsPerSecond / elapsed;
    log_(QStringLiteral("summary: %1 rooms, %2 connections, %3 actions per second, %4 errors")
             .arg(core_.roomCount())
             .arg(core_.connectionCount())
             .arg(perSecond, 0, 'f', 1)
             .arg(stats.errors - summaryErrors_));
    summaryActions_ = stats.actions;
    summaryErrors_ = stats.errors;
    summaryMs_ = now();
}

void GameServer::stop() {
    pingTimer_.stop();
    summaryTimer_.stop();
    idleTimer_.stop();
    catchUpTimer_.stop();
    server_->close();
    const std::map<int, Socket> open = sockets_;
    // Close frames go out on the event loop; the server is done once every client has answered its
    // close, or after a short wait for those that do not.
    auto pending = std::make_shared<int>(static_cast<int>(open.size()));
    auto done = std::make_shared<bool>(false);
    auto finish = [this, done] {
        if (*done) return;
        *done = true;
        emit stopped();
    };
    for (const auto& [id, s] : open) {
        close(id, closeCode::kGoingAway, QStringLiteral("the server is stopping"));
        connect(s.socket, &QWebSocket::disconnected, this, [pending, finish] {
            if (--*pending == 0) finish();
        });
    }
    flush(); // every room committed before the clients are told
    QTimer::singleShot(open.empty() ? 0 : kGoodbyeMs, this, finish);
}

} // namespace dealbrix::net
