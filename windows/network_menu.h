#pragma once
// The Network menu of the board: Host Game..., Join Game..., Leave Game, and the host's items.

#include "network_dialogs.h"
#include "values.h"

#include <QAction>
#include <QObject>
#include <QPointer>

#include <array>
#include <optional>

class QMenu;

namespace dealbrix {

class BoardWindow;
class NetworkSession;
class QtUi;

/// Adds the Network menu after the board's menus and runs its items through `session`.
class NetworkMenu final : public QObject {
    Q_OBJECT
  public:
    /// Builds the menu on `board`; boxes of the menu's own (a port that cannot be used) go to `ui`.
    NetworkMenu(BoardWindow& board, NetworkSession& session, QtUi& ui);

    /// Opens the Host Game window, or brings it forward.
    void openHostWindow();
    /// Opens the Join Game window, or brings it forward.
    void openJoinWindow();
    /// The Host Game window, or nullptr while it is closed.
    HostGameWindow* hostWindow() const { return hostWindow_; }
    /// The Join Game window, or nullptr while it is closed.
    JoinGameWindow* joinWindow() const { return joinWindow_; }

    QMenu* menu() const { return menu_; }
    QAction* hostItem() const { return host_; }
    QAction* joinItem() const { return join_; }
    QAction* leaveItem() const { return leave_; }
    QAction* startNowItem() const { return startNow_; }
    /// The host's item handing `seat` 1..4 to the computer and back.
    QAction* computerItem(int seat) const { return computer_[static_cast<std::size_t>(seat)]; }

  private:
    void update();
    void host(const HostSettings& settings);

    BoardWindow& board_;
    NetworkSession& session_;
    QtUi& ui_;
    QMenu* menu_ = nullptr;
    QAction* host_ = nullptr;
    QAction* join_ = nullptr;
    QAction* leave_ = nullptr;
    QAction* startNow_ = nullptr;
    std::array<QAction*, kPlayerCount + 1> computer_{}; // 1..4
    QPointer<HostGameWindow> hostWindow_;
    QPointer<JoinGameWindow> joinWindow_;
    std::optional<JoinSettings> lastJoin_; // the window opens with it again
};

} // namespace dealbrix
