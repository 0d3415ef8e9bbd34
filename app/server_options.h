// dealbrix-server's command line: where to listen, TLS, the room codes' prefix and every limit.
#pragma once

#include "room_store.h"
#include "server_core.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace dealbrix {

/// What dealbrix-server's command line asks.
struct ServerOptions {
    bool quit = false; // print output and error, then end with exitCode
    int exitCode = 0;
    QString output;
    QString error;
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = net::kDefaultPort;
    QString tlsCert; // both set for wss
    QString tlsKey;
    QString serverId;
    net::ServerLimits limits;
    QString dataDir; // empty: rooms in memory only
    net::RoomRetention retention;
};

/// Reads the arguments, the program's own name first.
ServerOptions parseServerCommandLine(const QStringList& arguments);

/// Reads "ADDRESS:PORT", "[v6]:PORT" or "ADDRESS" (the default port); false when it is neither.
bool readListenAddress(const QString& text, QHostAddress& address, quint16& port);

} // namespace dealbrix
