#pragma once
// The Rules window: a tick box for each house rule and the starting money, changeable until Start and
// shown read-only afterwards; and the File menu's Rules... item that opens it.

#include "game.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>
#include <QWidget>

#include <array>
#include <functional>

class QAction;

namespace dealbrix {

class BoardWindow;

/// A top-level window titled "Rules". It draws the rules of the game and hands each change on as an
/// action; it decides nothing.
class RulesWindow final : public QWidget {
    Q_OBJECT
  public:
    /// Hands each change to `act` (the board's).
    explicit RulesWindow(std::function<void(const Action&)> act, QWidget* parent = nullptr);

    /// Shows the rules of `state`; they can be changed only before Start, and never while `room`
    /// (a network room's rules, fixed when it was opened).
    void draw(const GameState& state, bool room = false);

    /// The tick box of `rule`.
    QCheckBox* ruleBox(HouseRule rule) const { return boxes_[static_cast<std::size_t>(rule)]; }
    QSpinBox* startingMoney() const { return money_; }

  private:
    void changed();

    std::function<void(const Action&)> act_;
    std::array<QCheckBox*, kHouseRuleCount> boxes_{};
    QSpinBox* money_;
    QLabel* fixed_;
    bool drawing_ = false;
};

/// Adds "Rules..." after a separator at the end of `board`'s File menu; it opens the Rules window
/// beside the board, or brings it forward. The window follows the game after every action.
QAction* addRulesItem(BoardWindow& board);

} // namespace dealbrix
