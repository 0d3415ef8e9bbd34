#pragma once
// The game server on its sockets: a QWebSocketServer in front of ServerCore. It accepts WebSocket
// connections on any request path (a proxy may route /room/CODE), keeps every limit that needs a
// clock or a socket (handshake time, pings, silent connections, message size) and steps the rooms'
// computer seats on the event loop, never waiting for anyone.

#include "server_core.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QTimer>

#include <map>
#include <vector>

class QWebSocket;
class QWebSocketServer;

namespace dealbrix::net {

/// The server: rooms, connections and the summary line.
class GameServer final : public QObject, private Transport, private RoomJournal {
    Q_OBJECT
  public:
    /// A server with `limits`; `serverId` starts every room code; `tls`, when given, makes it wss.
    GameServer(ServerLimits limits, QString serverId = {}, std::optional<QSslConfiguration> tls = {},
               QObject* parent = nullptr);
    ~GameServer() override;

    /// Listens on `address`:`port` (0 picks a free port); false, with `errorString`, when it cannot.
    bool listen(const QHostAddress& address, quint16 port);
    /// The port listened on.
    quint16 port() const;
    QString errorString() const;
    /// Closes every connection with 1001 (going away) and stops listening.
    void stop();

    /// The message handling, for tests and the store.
    ServerCore& core() { return core_; }
    /// Keeps the rooms through `journal` (nullptr: in memory only). From then on every message waits
    /// until the journal has committed the changes made before it, once per turn of the event loop,
    /// so no client ever sees a state a killed server would not come back with.
    void setJournal(RoomJournal* journal);
    /// Opens a room read back from a store, nobody having touched it for `idleForMs` and its game over
    /// for `endedForMs`; false when its code is in use or the server is full.
    bool restoreRoom(const RoomSnapshot& snapshot, qint64 idleForMs, qint64 endedForMs);
    /// Where log lines go; the default writes them to standard error.
    void setLog(std::function<void(const QString&)> log);
    /// Writes the summary line now (rooms, connections, actions per second, errors).
    void logSummary();

  signals:
    /// Emitted after stop() has closed everything.
    void stopped();

  private:
    void send(int id, const QByteArray& text) override;
    /// `text` as the QString a socket sends, converted once for every connection it goes to.
    const QString& textOf(const QByteArray& text);
    void close(int id, int code, const QString& reason) override;
    void scheduleStep(const QString& room, int delayMs) override;
    void scheduleCatchUp(const QString& room, int delayMs) override;
    void roomChanged(const Room& room) override;
    void roomClosed(const QString& code) override;
    /// Commits the journal, then sends what waited for it.
    void flush();
    void scheduleFlush();
    void acceptConnection();
    void sweep();
    qint64 now() const { return clock_.elapsed(); }

    struct Socket {
        QWebSocket* socket = nullptr;
        qint64 heardMs = 0;
    };

    /// A message, or a close when `closeCode` is set, waiting for the journal's commit.
    struct Outgoing {
        QPointer<QWebSocket> socket;
        QString text;
        int closeCode = 0;
        QString reason;
    };

    ServerLimits limits_;
    RoomJournal* journal_ = nullptr;
    std::vector<Outgoing> outbox_;
    QByteArray lastBytes_; // the last text sent, and that text as a QString
    QString lastText_;
    bool flushScheduled_ = false;
    QWebSocketServer* server_;
    ServerCore core_;
    std::map<int, Socket> sockets_;
    QElapsedTimer clock_;
    QTimer pingTimer_;
    int pingSlice_ = 0; // the connections swept next: those whose id leaves this remainder
    QTimer summaryTimer_;
    QTimer idleTimer_;
    // Catch-ups by when they are due: one timer for all of them, rather than one for each.
    std::multimap<qint64, QString> catchUps_;
    QTimer catchUpTimer_;
    void runCatchUps();
    std::function<void(const QString&)> log_;
    qint64 summaryActions_ = 0;
    qint64 summaryErrors_ = 0;
    qint64 summaryMs_ = 0;
};

} // namespace dealbrix::net
