#pragma once
// The New Game dialog: the whole table set in one place (how many play, who plays each seat and at
// which level, the seats' names, the house rules and the starting money) before a fresh game starts.

#include "game.h"
#include "seat_router.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <array>
#include <optional>

namespace dealbrix {

/// A table as the New Game dialog sets it.
struct TableChoice {
    int players = kPlayerCount;        // 2..4
    PlayerArray<bool> computer{};      // seats the computer plays
    ComputerLevels levels{};           // the level of each computer seat (Normal unless chosen)
    PlayerArray<std::string> names{};  // checked by checkNames; empty for "Player N"
    std::optional<HouseRules> rules{}; // the house rules and starting money; none keeps the board's
    bool operator==(const TableChoice&) const = default;
};

/// The seat kinds the dialog offers, in its order.
enum class SeatKind { Person, Computer };

/// The modal dialog "New Game". Start accepts it when the names pass checkNames; otherwise it says
/// why beside the buttons and puts the focus on the name refused.
class NewGameDialog final : public QDialog {
    Q_OBJECT
  public:
    /// Opens with `offered` (the last table) filled in.
    explicit NewGameDialog(const TableChoice& offered, QWidget* parent = nullptr);

    /// The table as the dialog holds it now, names trimmed (valid once the dialog is accepted).
    TableChoice choice() const;

    QSpinBox* playerCount() const { return count_; }
    QComboBox* seatKind(int seat) const { return kinds_[static_cast<std::size_t>(seat)]; }
    /// The level combo of `seat` (Easy, Normal, Hard), enabled while the computer plays the seat.
    QComboBox* seatLevel(int seat) const { return levels_[static_cast<std::size_t>(seat)]; }
    /// The tick box of a house rule.
    QCheckBox* ruleBox(HouseRule rule) const { return rules_[static_cast<std::size_t>(rule)]; }
    QSpinBox* startingMoney() const { return money_; }
    QLineEdit* seatName(int seat) const { return names_[static_cast<std::size_t>(seat)]; }
    /// The line that says why Start did not start, empty while all is well.
    QLabel* problem() const { return problem_; }

    /// Start: accepts when the names pass.
    void accept() override;

  private:
    void enableSeats();

    QSpinBox* count_ = nullptr;
    std::array<QComboBox*, kPlayerCount + 1> kinds_{};
    std::array<QComboBox*, kPlayerCount + 1> levels_{};
    std::array<QCheckBox*, kHouseRuleCount> rules_{};
    QSpinBox* money_ = nullptr;
    std::array<QLineEdit*, kPlayerCount + 1> names_{};
    QLabel* problem_ = nullptr;
};

} // namespace dealbrix
