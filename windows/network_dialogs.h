#pragma once
// The two windows of the Network menu that ask before anything happens: Host Game and Join Game.

#include "protocol.h"
#include "seat_router.h"
#include "values.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <QUrl>

#include <array>
#include <optional>

namespace dealbrix {

/// What the host chose in the Host Game window.
struct HostSettings {
    int players = kPlayerCount;
    PlayerArray<bool> computer{}; // seats the computer plays (never seat 1, the host's)
    QString password;             // empty for a room anyone with its code may join
    int port = net::kDefaultPort;
    bool everyAddress = true; // listen on all the machine's addresses; off, on 127.0.0.1 only
    QString name;             // the host's name at the table; empty for the seat's own
    QUrl server;              // a game server elsewhere to open the room on; empty to run one here
    HouseRules rules;         // the house rules and starting money the room plays by
    ComputerLevels levels{};  // the level of each computer seat
};

/// What the player chose in the Join Game window.
struct JoinSettings {
    QUrl server;
    QString room;
    QString password;
    PlayerArray<bool> seats{}; // the seats to take; none to watch
    QString name;
    bool watch() const;
};

/// The window "Host Game": player count, the computer's seats, an optional password, the port and
/// where to listen, or instead a game server elsewhere to open the room on. Host emits
/// `hostRequested` and closes (a server address that cannot be read gets a line saying so and the
/// window stays); Cancel closes.
class HostGameWindow final : public QDialog {
    Q_OBJECT
  public:
    explicit HostGameWindow(QWidget* parent = nullptr);

    /// The settings as the window shows them now; nothing while the server address cannot be read.
    std::optional<HostSettings> settings() const;
    /// Offers the room `rules` (the table's, from the Rules window or the command line), shown
    /// read-only, and starts each seat's level at its level in `levels` (the Computer menu's).
    void setChoices(const HouseRules& rules, const ComputerLevels& levels);

    QSpinBox* playersBox() const { return players_; }
    QCheckBox* computerBox(int seat) const { return computer_[static_cast<std::size_t>(seat)]; }
    /// The level the computer plays `seat` 2..4 at, as a list of Easy, Normal and Hard.
    QComboBox* levelBox(int seat) const { return levels_[static_cast<std::size_t>(seat)]; }
    /// The line naming the rules the room will play by.
    QLabel* rulesLine() const { return rulesLine_; }
    QLineEdit* passwordField() const { return password_; }
    QSpinBox* portBox() const { return port_; }
    QCheckBox* everyAddressBox() const { return everyAddress_; }
    QLineEdit* nameField() const { return name_; }
    QLineEdit* serverField() const { return server_; }

  signals:
    void hostRequested(const dealbrix::HostSettings& settings);

  private:
    void followChoices();
    void tryHost();

    QSpinBox* players_;
    std::array<QCheckBox*, kPlayerCount + 1> computer_{}; // 2..4
    std::array<QComboBox*, kPlayerCount + 1> levels_{};   // 2..4
    HouseRules rules_;
    QLabel* rulesLine_;
    QLineEdit* password_;
    QSpinBox* port_;
    QCheckBox* everyAddress_;
    QLineEdit* name_;
    QLineEdit* server_;
    QLabel* problem_;
};

/// The window "Join Game": the server, the room code, the password, the seats to take or Watch,
/// and a name. Join emits `joinRequested` with a readable address and closes; a wrong address gets
/// a line saying so and the window stays.
class JoinGameWindow final : public QDialog {
    Q_OBJECT
  public:
    explicit JoinGameWindow(QWidget* parent = nullptr);

    /// The settings as the window shows them now; nothing while the address cannot be read.
    std::optional<JoinSettings> settings() const;
    /// Fills the fields as `settings` had them (the last join, tried again after a refusal).
    void setSettings(const JoinSettings& settings);

    QLineEdit* serverField() const { return server_; }
    QLineEdit* roomField() const { return room_; }
    QLineEdit* passwordField() const { return password_; }
    QCheckBox* seatBox(int seat) const { return seats_[static_cast<std::size_t>(seat)]; }
    QCheckBox* watchBox() const { return watch_; }
    QLineEdit* nameField() const { return name_; }

  signals:
    void joinRequested(const dealbrix::JoinSettings& settings);

  private:
    void tryJoin();

    QLineEdit* server_;
    QLineEdit* room_;
    QLineEdit* password_;
    std::array<QCheckBox*, kPlayerCount + 1> seats_{}; // 1..4
    QCheckBox* watch_;
    QLineEdit* name_;
    QLabel* problem_;
    QPushButton* join_;
};

} // namespace dealbrix
