#pragma once
// The Past Games window: every finished game, best first, like a high-score table.

#include "past_games.h"

#include <QTableWidget>
#include <QWidget>

namespace dealbrix {

/// A top-level window titled "Past Games" listing the history file's games.
class PastGamesWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit PastGamesWindow(QWidget* parent = nullptr);

    /// Shows `games` in their order (best first).
    void show(const std::vector<PastGame>& games);
    QTableWidget* table() const { return table_; }

  private:
    QTableWidget* table_;
};

} // namespace dealbrix
