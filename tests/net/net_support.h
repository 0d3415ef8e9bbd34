#pragma once
// Shared by the network tests: bounded waits on the event loop, a server on 127.0.0.1, a raw
// WebSocket that sends whatever it is told, and a transport that records what the core sends.

#include "client.h"
#include "server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QWebSocket>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace dealbrix::net::testing {

/// Runs the event loop until `done` or `timeoutMs` has passed; returns `done()`.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

/// Runs the event loop for `ms`.
inline void spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

/// Limits for tests: no computer delay, and room for remote computer players that never pause (the
/// hostile tests keep the shipped rate).
inline ServerLimits testLimits() {
    ServerLimits limits;
    limits.computerDelayMs = 0;
    limits.messagesPerSecond = 2000;
    limits.burstMessages = 2000;
    return limits;
}

/// testLimits with every state sent to every connection at once, for tests that follow each state.
inline ServerLimits everyStateLimits() {
    ServerLimits limits = testLimits();
    limits.watchIntervalMs = 0;
    return limits;
}

/// A game server on 127.0.0.1 and a free port, stopped with the test.
struct LocalServer {
    explicit LocalServer(ServerLimits limits = testLimits(), QString serverId = {})
        : server(limits, std::move(serverId)) {
        server.setLog([this](const QString& line) { log.append(line); });
        listening = server.listen(QHostAddress::LocalHost, 0);
    }
    QUrl url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(server.port())); }
    GameServer server;
    QStringList log;
    bool listening = false;
};

/// A WebSocket that sends raw texts and records every message and its close code.
struct RawSocket {
    explicit RawSocket(const QUrl& url) {
        socket.setMaxAllowedIncomingMessageSize(1 << 24);
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            messages.append(decode(text.toUtf8()).value_or(QJsonObject{}));
        });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] {
            closed = true;
            closeCode = socket.closeCode();
        });
        socket.open(url);
    }
    bool open(int timeoutMs = 5000) {
        return waitUntil([this] { return socket.state() == QAbstractSocket::ConnectedState || closed; },
                         timeoutMs) &&
               !closed;
    }
    void send(const QByteArray& text) { socket.sendTextMessage(QString::fromUtf8(text)); }
    void send(const QJsonObject& m) { send(encode(m)); }
    void hello() { send(message(type::kHello, {{"protocol", kProtocolVersion}, {"client", "test"}})); }
    /// Waits for a message of `type` after the first `from` messages; returns it or an empty object.
    QJsonObject waitFor(const char* kind, qsizetype from = 0, int timeoutMs = 5000) {
        QJsonObject found;
        waitUntil(
            [&] {
                for (qsizetype i = from; i < messages.size(); ++i)
                    if (messages[i].value(QLatin1String("type")).toString() == QLatin1String(kind)) {
                        found = messages[i];
                        return true;
                    }
                return false;
            },
            timeoutMs);
        return found;
    }
    /// The code of the last error received, or "".
    QString lastError() const {
        for (qsizetype i = messages.size() - 1; i >= 0; --i)
            if (messages[i].value(QLatin1String("type")).toString() == QLatin1String(type::kError))
                return messages[i].value(QLatin1String("code")).toString();
        return {};
    }
    bool waitClosed(int timeoutMs = 5000) {
        return waitUntil([this] { return closed; }, timeoutMs);
    }
    QWebSocket socket;
    QList<QJsonObject> messages;
    bool closed = false;
    QWebSocketProtocol::CloseCode closeCode = QWebSocketProtocol::CloseCodeNormal;
};

/// A transport that keeps what the core sends, for tests without sockets.
struct RecordingTransport final : Transport {
    void send(int id, const QByteArray& text) override {
        sent[id].append(decode(text).value_or(QJsonObject{}));
    }
    void close(int id, int code, const QString&) override { closed[id] = code; }
    void scheduleStep(const QString& room, int) override { steps.push_back(room); }
    void scheduleCatchUp(const QString& room, int) override { catchUps.push_back(room); }
    /// Runs scheduled steps until none is left or `limit` have run, at `nowMs`.
    void runSteps(ServerCore& core, int limit = 100000, qint64 nowMs = 0) {
        for (int i = 0; i < limit && !steps.empty(); ++i) {
            const QString room = steps.front();
            steps.erase(steps.begin());
            core.stepRoom(room, nowMs);
        }
    }
    /// Runs the catch-ups scheduled so far, at `nowMs`.
    void runCatchUps(ServerCore& core, qint64 nowMs) {
        std::vector<QString> due;
        due.swap(catchUps);
        for (const QString& room : due)
            core.catchUp(room, nowMs);
    }
    /// The messages of `type` sent to `id`.
    QList<QJsonObject> of(int id, const char* kind) const {
        QList<QJsonObject> found;
        const auto it = sent.find(id);
        if (it == sent.end()) return found;
        for (const QJsonObject& m : it->second)
            if (m.value(QLatin1String("type")).toString() == QLatin1String(kind)) found.append(m);
        return found;
    }
    std::map<int, QList<QJsonObject>> sent;
    std::map<int, int> closed;
    std::vector<QString> steps;
    std::vector<QString> catchUps;
};

} // namespace dealbrix::net::testing
