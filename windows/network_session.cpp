#include "network_session.h"

#include "board_window.h"
#include "client.h"
#include "computer_driver.h"
#include "game_files.h"
#include "game_log.h"
#include "game_log_window.h"
#include "qt_ui.h"
#include "server.h"
#include "trade_window.h"
#include "widgets.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkInterface>
#include <QStatusBar>

namespace dealbrix {

namespace {

/// The decks never leave the server; the board's copy of the game holds them in order, which every
/// check of a sound game accepts.
void fillDecks(GameState& state) {
    for (int deck = 1; deck <= 2; ++deck) {
        for (int position = 1; position <= kCardsPerDeck; ++position)
            state.decks[deck][position] = static_cast<i16>(position);
        state.nextCard[deck] = 1;
    }
}

QString seatName(int seat) {
    return QStringLiteral("Player %1").arg(seat);
}

/// One line of the Game Log for a status line: the log's own words.
QString logLine(const Box& box) {
    return toQString(GameLog::lineFor(box));
}

} // namespace

QStringList reachableAddresses(bool everyAddress) {
    QStringList v4;
    QStringList v6;
    if (everyAddress) {
        for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
            if (address.isLoopback() || address.isLinkLocal() || address.isMulticast()) continue;
            if (address.protocol() == QAbstractSocket::IPv4Protocol)
                v4 << address.toString();
            else if (address.protocol() == QAbstractSocket::IPv6Protocol)
                v6 << QStringLiteral("[%1]").arg(address.toString());
        }
    }
    QStringList all = v4 + v6;
    if (all.isEmpty()) all << QStringLiteral("127.0.0.1");
    return all;
}

NetworkSession::NetworkSession(BoardWindow& board, QtUi& ui, GameLog& log, ComputerDriver& driver,
                               GameFiles& files, int computerDelayMs)
    : QObject(&board), board_(board), ui_(ui), log_(log), driver_(driver), files_(files),
      computerDelayMs_(computerDelayMs) {
    // Exit leaves the room at once: the server hears the connection close rather than time out.
    // Nothing of the room is heard after that: the program ends without another box.
    connect(&board_, &BoardWindow::acting, this, [this](const Action& action) {
        if (action.kind != ActionKind::Exit || client_ == nullptr) return;
        client_->disconnect(this);
        client_->disconnectFromServer();
    });
}

NetworkSession::~NetworkSession() = default;

quint16 NetworkSession::serverPort() const {
    return server_ ? server_->port() : 0;
}

ComputerLevels NetworkSession::computerLevels() const {
    return driver_.levels();
}

bool NetworkSession::isHost() const {
    return client_ != nullptr && client_->isHost();
}

QString NetworkSession::host(const HostSettings& settings) {
    if (active()) leave();
    goal_ = Goal::Host;
    hostSettings_ = settings;
    hostedBoxShown_ = false;
    if (!settings.server.isEmpty()) {
        open(settings.server);
        return {};
    }
    // A server from an earlier hosted game stops only now: Leave let it go on serving the others.
    if (server_) server_->stop();
    server_.reset();
    net::ServerLimits limits;
    limits.computerDelayMs = computerDelayMs_;
    auto server = std::make_unique<net::GameServer>(limits);
    server->setLog([](const QString&) {}); // the program has no console to write to
    const QHostAddress where =
        settings.everyAddress ? QHostAddress(QHostAddress::Any) : QHostAddress(QHostAddress::LocalHost);
    if (!server->listen(where, static_cast<quint16>(settings.port)))
        return QStringLiteral("The game cannot be hosted on port %1.\n\n%2")
            .arg(settings.port)
            .arg(server->errorString());
    server_ = std::move(server);
    open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(server_->port())));
    return {};
}

void NetworkSession::join(const JoinSettings& settings) {
    if (active()) leave();
    goal_ = Goal::Join;
    joinSettings_ = settings;
    open(settings.server);
}

void NetworkSession::open(const QUrl& server) {
    client_ = new net::Client(
        QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion(), this);
    wireClient();
    enterGame();
    serverShown_ = server.toString();
    setStatus(QStringLiteral("Connecting to %1").arg(serverShown_));
    // A join by code goes to the room's own path, which a proxy in front of several servers routes
    // to the one holding the room; a new room may open on any of them.
    client_->connectTo(server, goal_ == Goal::Join ? joinSettings_.room : QString());
    // Sent as soon as the server has welcomed the client.
    if (goal_ == Goal::Host) {
        QList<int> computer;
        for (int seat = 2; seat <= hostSettings_.players; ++seat)
            if (hostSettings_.computer[seat]) computer << seat;
        client_->createRoom(hostSettings_.players, computer, hostSettings_.password, hostSettings_.rules,
                            hostSettings_.levels);
    } else {
        QList<int> seats;
        for (int seat = 1; seat <= kPlayerCount; ++seat)
            if (joinSettings_.seats[seat]) seats << seat;
        client_->join(joinSettings_.room, seats, joinSettings_.password, joinSettings_.name);
    }
}

void NetworkSession::enterGame() {
    // The board's copy of the game only follows the room from here on; nothing plays it locally.
    driver_.setComputerSeats({});
    if (QMenu* computer = board_.menuBar()->findChild<QMenu*>(QStringLiteral("mnuComputer")))
        computer->menuAction()->setEnabled(false);
    files_.setItemsEnabled(false);
    board_.setActionSink([this](const Action& action) {
        if (client_ != nullptr) client_->sendAction(action);
    });
    driver_.setChat([this](const QString& text) { sendChat(text); });
    if (status_ == nullptr) {
        status_ = new QLabel(&board_);
        nameControl(status_, QStringLiteral("lblNetworkStatus"), QString());
        status_->setAccessibleDescription(QStringLiteral("Network status"));
        board_.statusBar()->addWidget(status_, 1);
    }
    board_.statusBar()->show();
    joined_ = false;
    connected_ = true;
    started_ = false;
    room_.clear();
    mine_ = {};
    seatInfo_.clear();
    waitingFor_ = 0;
    boxes_.clear();
    // Nothing of the local game stays on the board while the room's state is on its way.
    files_.resetGame();
    updateControls();
    emit changed();
}

void NetworkSession::leave() {
    if (!active()) return;
    net::Client* client = client_;
    client_ = nullptr;
    client->disconnect(this);
    client->disconnectFromServer();
    client->deleteLater();
    steps_.clear();
    boxes_.clear();
    joined_ = false;
    mine_ = {};
    seatInfo_.clear();
    waitingFor_ = 0;
    room_.clear();
    board_.setActionSink({});
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        board_.setSeatAway(seat, false);
    driver_.setChat({});
    if (QMenu* computer = board_.menuBar()->findChild<QMenu*>(QStringLiteral("mnuComputer")))
        computer->menuAction()->setEnabled(true);
    files_.setItemsEnabled(true);
    board_.statusBar()->hide();
    board_.setControlsEnabled(true);
    files_.resetGame();
    emit changed();
}

void NetworkSession::wireClient() {
    using net::Client;
    net::Client* client = client_;
    // Everything the room tells is taken as it stands when it arrives and handled in order.
    connect(client, &Client::roomCreated, this,
            [this](const QString& room, const QString&) { later([this, room] { onRoomCreated(room); }); });
    connect(client, &Client::joined, this,
            [this](const QString& room, const QList<int>& seats, const QString&) {
                later([this, room, seats] { onJoined(room, seats); });
            });
    connect(client, &Client::historyReceived, this,
            [this](const QStringList& log, const QList<net::ChatLine>& chat) {
                later([this, log, chat] { onHistory(log, chat); });
            });
    connect(client, &Client::stateChanged, this, [this, client] {
        const GameState state = client->state();
        const int waiting = client->waitingFor();
        const bool started = client->started();
        later([this, state, waiting, started] { onState(state, waiting, started); });
    });
    connect(client, &Client::boxReceived, this,
            [this](const Box& box, qint64) { later([this, box] { boxes_.push_back(box); }); });
    connect(client, &Client::questionAsked, this,
            [this](int id, const Box& box) { later([this, id, box] { onQuestion(id, box); }); });
    connect(client, &Client::seatsChanged, this, [this, client] {
        const QList<net::SeatInfo> seats = client->seatInfo();
        later([this, seats] { onSeats(seats); });
    });
    connect(client, &Client::chatReceived, this,
            [this](const net::ChatLine& line) { later([this, line] { onChat(line); }); });
    connect(client, &Client::roomEnded, this,
            [this](int winner) { later([this, winner] { onEnded(winner); }); });
    connect(client, &Client::errorReceived, this, [this](const QString& code, const QString& message) {
        later([this, code, message] { onError(code, message); });
    });
    // The connection's ups and downs are shown at once: the controls must not wait behind a box.
    connect(client, &Client::connectionLost, this, [this] {
        connected_ = false;
        updateControls();
        setStatus(QStringLiteral("Connection lost"));
    });
    connect(client, &Client::reconnecting, this, [this](int, int delayMs) {
        setStatus(QStringLiteral("Connection lost; trying again in %1 s").arg((delayMs + 999) / 1000));
    });
    connect(client, &Client::reconnected, this, [this] {
        connected_ = true;
        updateControls();
        setStatus(QStringLiteral("Back in room %1").arg(room_));
    });
    // The end for good: the server never answered, refused the seats' token, or stayed away for the
    // whole time the client tries to come back.
    connect(client, &Client::disconnected, this, [this] {
        later([this] {
            shutOut(joined_ ? QStringLiteral("The connection to the game server is lost.")
                            : QStringLiteral("The game server at %1 cannot be reached.").arg(serverShown_));
        });
    });
}

void NetworkSession::later(std::function<void()> step) {
    steps_.push_back(std::move(step));
    runSteps();
}

void NetworkSession::runSteps() {
    // A box opens its own event loop; what arrives meanwhile waits its turn, so the board never runs
    // ahead of the box that is up.
    if (running_) return;
    running_ = true;
    while (!steps_.empty() && client_ != nullptr) {
        std::function<void()> step = std::move(steps_.front());
        steps_.pop_front();
        step();
    }
    running_ = false;
}

void NetworkSession::onRoomCreated(const QString& room) {
    room_ = room;
    client_->join(room, {1}, hostSettings_.password, hostSettings_.name);
}

void NetworkSession::onJoined(const QString& room, const QList<int>& seats) {
    joined_ = true;
    room_ = room;
    mine_ = {};
    for (const int seat : seats)
        if (isPlayer(seat)) mine_[seat] = true;
    setStatus(seats.isEmpty() ? QStringLiteral("Watching room %1").arg(room_)
                              : QStringLiteral("In room %1").arg(room_));
    updateControls();
    emit changed();
    if (goal_ == Goal::Host && !hostedBoxShown_) {
        hostedBoxShown_ = true;
        showHostedBox();
    }
}

void NetworkSession::showHostedBox() {
    QString where;
    if (server_) {
        const QStringList addresses = reachableAddresses(hostSettings_.everyAddress);
        where = QStringLiteral("Address: %1\nPort: %2\n")
                    .arg(addresses.join(QStringLiteral(", ")))
                    .arg(serverPort());
        where += QStringLiteral("Room code: %1\n\nThey choose Network > Join Game..., type the address "
                                "and port (%2:%3) and the room code.")
                     .arg(room_, addresses.constFirst())
                     .arg(serverPort());
    } else {
        where = QStringLiteral("Server: %1\nRoom code: %2\n\nThey choose Network > Join Game..., type the "
                               "server and the room code.")
                    .arg(hostSettings_.server.toString(), room_);
    }
    ui_.inform(QStringLiteral("Your game is open. Tell the others:\n\n") + where);
}

void NetworkSession::onState(const GameState& received, int waitingFor, bool started) {
    GameState state = received;
    fillDecks(state);
    board_.game().restore(state);
    waitingFor_ = waitingFor;
    started_ = started;
    board_.syncAll();
    updateControls();
    if (!started_)
        setStatus(QStringLiteral("Room %1: waiting for the players to join").arg(room_));
    else if (waitingFor_ != 0 && !playsSeat(waitingFor_))
        setStatus(QStringLiteral("Waiting for %1").arg(seatName(waitingFor_)));
    else if (waitingFor_ == 0)
        setStatus(board_.controlsEnabled() ? QStringLiteral("Your move, %1").arg(seatName(state.turn))
                                           : QStringLiteral("%1 to play").arg(seatName(state.turn)));
    emit changed();
    // The boxes of the action come after the board shows what the action did.
    showBoxes();
}

void NetworkSession::showBoxes() {
    std::vector<Box> boxes;
    boxes.swap(boxes_);
    for (const Box& box : boxes) {
        log_.note(GameLog::lineFor(box));
        // The usual OK box where the seat whose turn it is plays; elsewhere the log and the status line.
        if (playsSeat(box.turn))
            ui_.tell(box);
        else
            setStatus(logLine(box));
        if (client_ == nullptr) return; // left while the box was up
    }
}

void NetworkSession::onQuestion(int id, const Box& box) {
    showBoxes();
    if (!playsSeat(box.seat) || client_ == nullptr) return;
    waitingFor_ = box.seat;
    updateControls();
    setStatus(QStringLiteral("%1, your answer").arg(seatName(box.seat)));
    const std::optional<net::Question>& asked = client_->openQuestion();
    if (box.kind == BoxKind::TradeQuestion && asked && asked->offer && board_.tradeWindow() != nullptr) {
        // The trader's fields as typed, as the partner would read them at one screen.
        board_.tradeWindow()->showTyped(Action::enterMoney(0, asked->offer->text));
        board_.tradeWindow()->showTyped(Action::enterMoney(1, asked->offer->otherText));
    }
    const bool amount = isAmountQuestion(box);
    int answer = 0;
    if (amount)
        answer = ui_.askAmount(box);
    else
        answer = ui_.ask(box) ? 1 : 0;
    // The question may have gone meanwhile (the seat handed to the computer, the connection lost).
    if (client_ == nullptr || !client_->openQuestion() || client_->openQuestion()->id != id) return;
    const bool yes = answer != 0;
    if (!amount) log_.note(GameLog::lineFor(box, &yes));
    if (amount)
        client_->answerAmount(answer);
    else
        client_->answer(yes);
}

void NetworkSession::onSeats(const QList<net::SeatInfo>& seats) {
    seatInfo_ = seats;
    for (const net::SeatInfo& seat : seats)
        if (isPlayer(seat.seat))
            board_.setSeatAway(seat.seat, seat.taken && !seat.connected && !seat.computer);
    updateControls();
    emit changed();
}

QString NetworkSession::chatLine(const net::ChatLine& line) {
    QString who = line.name;
    if (isPlayer(line.seat)) {
        who = line.name.isEmpty() || line.name == seatName(line.seat)
                  ? seatName(line.seat)
                  : QStringLiteral("%1 (%2)").arg(line.name, seatName(line.seat));
    } else if (who.isEmpty()) {
        who = QStringLiteral("A watcher");
    }
    return QStringLiteral("Chat, %1: %2").arg(who, line.text);
}

void NetworkSession::onChat(const net::ChatLine& line) {
    log_.note(chatLine(line).toStdString());
}

void NetworkSession::onHistory(const QStringList& lines, const QList<net::ChatLine>& chat) {
    // The room's own log replaces whatever this program showed before.
    std::vector<std::string> all;
    all.reserve(static_cast<std::size_t>(lines.size() + chat.size()));
    for (const QString& line : lines)
        all.push_back(line.toStdString());
    for (const net::ChatLine& line : chat)
        all.push_back(chatLine(line).toStdString());
    log_.setLines(std::move(all));
    if (GameLogWindow* window = driver_.logWindow()) window->setLines(log_.lines());
}

void NetworkSession::onEnded(int winner) {
    showBoxes();
    setStatus(winner != 0 ? QStringLiteral("The game is over: %1 wins").arg(seatName(winner))
                          : QStringLiteral("The game is over"));
}

void NetworkSession::onError(const QString& code, const QString& message) {
    using net::ErrorCode;
    const std::optional<ErrorCode> known = net::errorCodeFromName(code);
    // An action the room turned down changes nothing: the status line says why. Anything that keeps
    // this program out of the room gets a box and the local board back.
    const bool out = !joined_ || !known || *known == ErrorCode::Protocol || *known == ErrorCode::BadToken ||
                     *known == ErrorCode::UnknownRoom || *known == ErrorCode::Full;
    if (!out) {
        setStatus(message);
        return;
    }
    shutOut(QStringLiteral("The network game cannot go on.\n\n%1").arg(message));
}

void NetworkSession::shutOut(const QString& text) {
    leave();
    ui_.inform(text);
}

void NetworkSession::setSeatComputer(int seat, bool computer) {
    if (isHost() && isPlayer(seat)) client_->setComputer(seat, computer);
}

void NetworkSession::startNow() {
    if (isHost()) client_->startRoom();
}

void NetworkSession::sendChat(const QString& text) {
    if (client_ != nullptr) client_->sendChat(text);
}

void NetworkSession::updateControls() {
    if (!active()) return;
    const GameState& s = board_.game().state;
    // Before the start nobody plays; afterwards the seat holding the turn, unless a question waits or
    // the host has handed the seat to the computer.
    bool computerPlays = false;
    for (const net::SeatInfo& seat : seatInfo_)
        if (seat.seat == s.turn && seat.computer) computerPlays = true;
    const bool mayPlay = connected_ && joined_ && started_ && s.playerCount != 0 && waitingFor_ == 0 &&
                         playsSeat(s.turn) && !computerPlays;
    board_.setControlsEnabled(mayPlay);
}

void NetworkSession::setStatus(const QString& text) {
    if (status_ != nullptr) setAnnounced(status_, text, text);
}

} // namespace dealbrix
