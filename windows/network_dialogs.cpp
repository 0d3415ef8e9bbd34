#include "network_dialogs.h"

#include "widgets.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace dealbrix {

namespace {

constexpr int kMaxPasswordLength = 64;
constexpr int kMaxRoomLength = 16;
constexpr int kMaxAddressLength = 255;
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 65535;

/// A line edit named for tests and screen readers, with the label it stands beside.
QLineEdit* field(QWidget* parent, const char* objectName, const QString& caption, int maxLength) {
    auto* edit = new QLineEdit(parent);
    nameControl(edit, QString::fromLatin1(objectName), QString(caption).remove(QLatin1Char('&')));
    edit->setMaxLength(maxLength);
    return edit;
}

QCheckBox* checkBox(QWidget* parent, const QString& objectName, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    nameControl(box, objectName, QString(caption).remove(QLatin1Char('&')));
    return box;
}

QLabel* buddyLabel(const QString& caption, QWidget* buddy) {
    auto* label = new QLabel(caption);
    label->setBuddy(buddy);
    return label;
}

/// A row of seat check boxes, Player 1..4, named `<prefix><seat>`.
QHBoxLayout* seatRow(QWidget* parent, const char* prefix, int firstSeat,
                     std::array<QCheckBox*, kPlayerCount + 1>& boxes) {
    auto* row = new QHBoxLayout;
    for (int seat = firstSeat; seat <= kPlayerCount; ++seat) {
        QCheckBox* box = checkBox(parent, QString::fromLatin1(prefix) + QString::number(seat),
                                  QStringLiteral("Player %1").arg(seat));
        boxes[static_cast<std::size_t>(seat)] = box;
        row->addWidget(box);
    }
    row->addStretch();
    return row;
}

const QString kNotAnAddress =
    QStringLiteral("The server is not an address: type host:port, or a ws:// or wss:// address.");

/// The line under a window's fields saying why it cannot go on; hidden until there is something to say.
QLabel* problemLine(QWidget* parent) {
    auto* line = new QLabel(parent);
    nameControl(line, QStringLiteral("lblProblem"), QString());
    line->setWordWrap(true);
    line->hide();
    return line;
}

void showProblem(QLabel* line, const QString& problem) {
    setAnnounced(line, problem, problem);
    line->show();
}

QDialogButtonBox* buttons(QDialog* window, const QString& okCaption, const char* okName) {
    auto* box = new QDialogButtonBox(window);
    QPushButton* ok = box->addButton(okCaption, QDialogButtonBox::AcceptRole);
    nameControl(ok, QString::fromLatin1(okName), QString(okCaption).remove(QLatin1Char('&')));
    ok->setDefault(true);
    QPushButton* cancel = box->addButton(QDialogButtonBox::Cancel);
    nameControl(cancel, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"));
    QObject::connect(cancel, &QPushButton::clicked, window, &QDialog::reject);
    return box;
}

} // namespace

bool JoinSettings::watch() const {
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        if (seats[seat]) return false;
    return true;
}

/// The server typed into `field`, or nothing when it is not an address.
std::optional<QUrl> typedServer(const QLineEdit* field) {
    const QUrl url = net::serverUrl(field->text());
    if (!url.isValid()) return std::nullopt;
    return url;
}

HostGameWindow::HostGameWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Host Game"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("HostGame"));
    setAttribute(Qt::WA_DeleteOnClose);

    players_ = new QSpinBox(this);
    nameControl(players_, QStringLiteral("spnPlayers"), QStringLiteral("Players"));
    players_->setRange(2, kPlayerCount);
    players_->setValue(kPlayerCount);
    password_ = field(this, "txtPassword", QStringLiteral("&Password"), kMaxPasswordLength);
    password_->setEchoMode(QLineEdit::Password);
    password_->setPlaceholderText(QStringLiteral("none"));
    port_ = new QSpinBox(this);
    nameControl(port_, QStringLiteral("spnPort"), QStringLiteral("Port"));
    port_->setRange(kLowestPort, kHighestPort);
    port_->setValue(net::kDefaultPort);
    everyAddress_ = checkBox(this, QStringLiteral("chkEveryAddress"),
                             QStringLiteral("&Listen on every network address (off: this computer only)"));
    everyAddress_->setChecked(true);
    name_ = field(this, "txtName", QStringLiteral("Your &name"), kMaxNameLength);
    name_->setPlaceholderText(QStringLiteral("Player 1"));
    server_ = field(this, "txtServer", QStringLiteral("Game &server"), kMaxAddressLength);
    server_->setPlaceholderText(QStringLiteral("this computer"));
    problem_ = problemLine(this);

    auto* form = new QFormLayout;
    form->addRow(buddyLabel(QStringLiteral("P&layers"), players_), players_);
    QHBoxLayout* computerRow = seatRow(this, "chkComputer", 2, computer_);
    auto* computerLabel = new QLabel(QStringLiteral("The computer plays"));
    form->addRow(computerLabel, computerRow);
    // Each computer seat's level, as the Computer menu offers them.
    auto* levelRow = new QHBoxLayout;
    for (int seat = 2; seat <= kPlayerCount; ++seat) {
        auto* level = new QComboBox(this);
        nameControl(level, QStringLiteral("cmbLevel%1").arg(seat),
                    QStringLiteral("Level of Player %1").arg(seat));
        for (const ComputerLevel each : kComputerLevels)
            level->addItem(toQString(levelTitle(each)), static_cast<int>(each));
        level->setCurrentIndex(level->findData(static_cast<int>(ComputerLevel::Normal)));
        levels_[static_cast<std::size_t>(seat)] = level;
        levelRow->addWidget(level);
        connect(computer_[static_cast<std::size_t>(seat)], &QCheckBox::toggled, this,
                &HostGameWindow::followChoices);
    }
    levelRow->addStretch();
    form->addRow(new QLabel(QStringLiteral("At the level")), levelRow);
    // The room's rules are the table's: chosen in the Rules window (or on the command line) first.
    rulesLine_ = new QLabel(this);
    rulesLine_->setWordWrap(true);
    form->addRow(new QLabel(QStringLiteral("Rules")), rulesLine_);
    form->addRow(buddyLabel(QStringLiteral("&Password"), password_), password_);
    form->addRow(buddyLabel(QStringLiteral("P&ort"), port_), port_);
    form->addRow(buddyLabel(QStringLiteral("Your &name"), name_), name_);
    form->addRow(everyAddress_);
    form->addRow(buddyLabel(QStringLiteral("Game &server"), server_), server_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("You take Player 1; the others join with the room code.")));
    layout->addLayout(form);
    layout->addWidget(problem_);
    QDialogButtonBox* box = buttons(this, QStringLiteral("&Host"), "cmdHost");
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &HostGameWindow::tryHost);
    connect(players_, &QSpinBox::valueChanged, this, &HostGameWindow::followChoices);
    connect(server_, &QLineEdit::textChanged, this, &HostGameWindow::followChoices);
    setChoices({}, {});
}

void HostGameWindow::setChoices(const HouseRules& rules, const ComputerLevels& levels) {
    rules_ = rules;
    const QString text = toQString(describeHouseRules(rules)) +
                         QStringLiteral(". They are chosen with File > Rules... before hosting, and fixed "
                                        "for the room.");
    nameControl(rulesLine_, QStringLiteral("lblHostRules"), toQString(describeHouseRules(rules)));
    rulesLine_->setText(text);
    for (int seat = 2; seat <= kPlayerCount; ++seat) {
        QComboBox* level = levels_[static_cast<std::size_t>(seat)];
        level->setCurrentIndex(level->findData(static_cast<int>(levels[seat])));
    }
    followChoices();
}

void HostGameWindow::followChoices() {
    // Seats beyond the player count are not at the table at all.
    for (int seat = 2; seat <= kPlayerCount; ++seat) {
        QCheckBox* computer = computer_[static_cast<std::size_t>(seat)];
        computer->setEnabled(seat <= players_->value());
        // A level matters only where the computer plays.
        levels_[static_cast<std::size_t>(seat)]->setEnabled(computer->isEnabled() && computer->isChecked());
    }
    // A server elsewhere listens where it listens.
    const bool here = server_->text().trimmed().isEmpty();
    port_->setEnabled(here);
    everyAddress_->setEnabled(here);
}

void HostGameWindow::tryHost() {
    const std::optional<HostSettings> chosen = settings();
    if (!chosen) {
        showProblem(problem_, kNotAnAddress);
        return;
    }
    emit hostRequested(*chosen);
    accept();
}

std::optional<HostSettings> HostGameWindow::settings() const {
    HostSettings chosen;
    if (!server_->text().trimmed().isEmpty()) {
        const std::optional<QUrl> server = typedServer(server_);
        if (!server) return std::nullopt;
        chosen.server = *server;
    }
    chosen.players = players_->value();
    for (int seat = 2; seat <= chosen.players; ++seat) {
        chosen.computer[seat] = computer_[static_cast<std::size_t>(seat)]->isChecked();
        if (chosen.computer[seat])
            chosen.levels[seat] =
                static_cast<ComputerLevel>(levels_[static_cast<std::size_t>(seat)]->currentData().toInt());
    }
    chosen.rules = rules_;
    chosen.password = password_->text();
    chosen.port = port_->value();
    chosen.everyAddress = everyAddress_->isChecked();
    chosen.name = name_->text().trimmed();
    return chosen;
}

JoinGameWindow::JoinGameWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Join Game"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("JoinGame"));
    setAttribute(Qt::WA_DeleteOnClose);

    server_ = field(this, "txtServer", QStringLiteral("&Server"), kMaxAddressLength);
    server_->setPlaceholderText(QStringLiteral("host:%1 or ws://host:%1").arg(net::kDefaultPort));
    room_ = field(this, "txtRoom", QStringLiteral("&Room code"), kMaxRoomLength);
    password_ = field(this, "txtPassword", QStringLiteral("&Password"), kMaxPasswordLength);
    password_->setEchoMode(QLineEdit::Password);
    password_->setPlaceholderText(QStringLiteral("if the room has one"));
    name_ = field(this, "txtName", QStringLiteral("Your &name"), kMaxNameLength);
    watch_ = checkBox(this, QStringLiteral("chkWatch"), QStringLiteral("&Watch"));
    problem_ = problemLine(this);

    auto* form = new QFormLayout;
    form->addRow(buddyLabel(QStringLiteral("&Server"), server_), server_);
    form->addRow(buddyLabel(QStringLiteral("&Room code"), room_), room_);
    form->addRow(buddyLabel(QStringLiteral("&Password"), password_), password_);
    QHBoxLayout* seatsRow = seatRow(this, "chkSeat", 1, seats_);
    seatsRow->insertWidget(kPlayerCount, watch_);
    form->addRow(new QLabel(QStringLiteral("Take")), seatsRow);
    form->addRow(buddyLabel(QStringLiteral("Your &name"), name_), name_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    QDialogButtonBox* box = buttons(this, QStringLiteral("&Join"), "cmdJoin");
    join_ = box->findChild<QPushButton*>(QStringLiteral("cmdJoin"));
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &JoinGameWindow::tryJoin);
    // Watching takes no seat; a seat ticked ends watching.
    connect(watch_, &QCheckBox::toggled, this, [this](bool watching) {
        if (!watching) return;
        for (int seat = 1; seat <= kPlayerCount; ++seat)
            seats_[static_cast<std::size_t>(seat)]->setChecked(false);
    });
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        connect(seats_[static_cast<std::size_t>(seat)], &QCheckBox::toggled, this, [this](bool taken) {
            if (taken) watch_->setChecked(false);
        });
}

std::optional<JoinSettings> JoinGameWindow::settings() const {
    const std::optional<QUrl> server = typedServer(server_);
    if (!server) return std::nullopt;
    JoinSettings chosen;
    chosen.server = *server;
    chosen.room = room_->text().trimmed();
    chosen.password = password_->text();
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        chosen.seats[seat] = seats_[static_cast<std::size_t>(seat)]->isChecked();
    chosen.name = name_->text().trimmed();
    return chosen;
}

void JoinGameWindow::setSettings(const JoinSettings& settings) {
    server_->setText(settings.server.toString());
    room_->setText(settings.room);
    password_->setText(settings.password);
    name_->setText(settings.name);
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        seats_[static_cast<std::size_t>(seat)]->setChecked(settings.seats[seat]);
    watch_->setChecked(settings.watch());
}

void JoinGameWindow::tryJoin() {
    const std::optional<JoinSettings> chosen = settings();
    QString problem;
    if (!chosen)
        problem =
            QStringLiteral("The server is not an address: type host:port, or a ws:// or wss:// address.");
    else if (chosen->room.isEmpty())
        problem = QStringLiteral("Type the room code the host was shown.");
    else if (chosen->watch() && !watch_->isChecked())
        problem = QStringLiteral("Tick the seats to take, or Watch.");
    if (!problem.isEmpty()) {
        showProblem(problem_, problem);
        return;
    }
    emit joinRequested(*chosen);
    accept();
}

} // namespace dealbrix
