#pragma once
// The Statistics window: how the game went. Each seat's worth after each round as a line chart in
// the token colours, how often each square was landed on as a bar chart, and both as tables for
// screen readers and copying.

#include "game.h"

#include <QTableWidget>
#include <QWidget>

class QChart;
class QChartView;

namespace dealbrix {

/// A top-level window titled "Statistics" that redraws from a game state.
class StatisticsWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit StatisticsWindow(QWidget* parent = nullptr);

    /// Redraws everything from `state`'s history (only when it changed since the last draw).
    void draw(const GameState& state);

    /// The worth by round: a row per kept round, a column per seat at the table.
    QTableWidget* worthTable() const { return worthTable_; }
    /// Landings: a row per square, its title and count.
    QTableWidget* landingsTable() const { return landingsTable_; }
    QChart* worthChart() const { return worthChart_; }
    QChart* landingsChart() const { return landingsChart_; }

  private:
    void drawWorth(const GameState& state);
    void drawLandings(const GameState& state);

    QChart* worthChart_ = nullptr;
    QChart* landingsChart_ = nullptr;
    QTableWidget* worthTable_ = nullptr;
    QTableWidget* landingsTable_ = nullptr;
    GameHistory drawn_;
    PlayerArray<std::string> drawnNames_{};
    int drawnPlayers_ = -1;
};

} // namespace dealbrix
