#include "past_games_window.h"

#include "widgets.h"

#include <QHeaderView>
#include <QLocale>
#include <QVBoxLayout>

namespace dealbrix {

namespace {
constexpr int kWidthPx = 820;
constexpr int kHeightPx = 360;
constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;

QString playingTime(qint64 seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / kSecondsPerHour)
        .arg(seconds % kSecondsPerHour / kSecondsPerMinute, 2, 10, QLatin1Char('0'))
        .arg(seconds % kSecondsPerMinute, 2, 10, QLatin1Char('0'));
}
} // namespace

PastGamesWindow::PastGamesWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), table_(new QTableWidget(this)) {
    setWindowTitle(QStringLiteral("Past Games"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("PastGames"));
    nameControl(table_, QStringLiteral("pastGamesTable"), QStringLiteral("Past games, best first"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    resize(kWidthPx, kHeightPx);
}

void PastGamesWindow::show(const std::vector<PastGame>& games) {
    const QStringList headings{QStringLiteral("Rank"),    QStringLiteral("Date"),   QStringLiteral("Winner"),
                               QStringLiteral("Worth"),   QStringLiteral("Rounds"), QStringLiteral("Time"),
                               QStringLiteral("Players"), QStringLiteral("Rules")};
    table_->clear();
    table_->setColumnCount(static_cast<int>(headings.size()));
    table_->setHorizontalHeaderLabels(headings);
    table_->setRowCount(static_cast<int>(games.size()));
    for (int row = 0; row < static_cast<int>(games.size()); ++row) {
        const PastGame& g = games[static_cast<std::size_t>(row)];
        QStringList players;
        for (const PastSeat& seat : g.seats)
            players << QStringLiteral("%1 (%2)").arg(seat.name, seat.kind);
        const QStringList cells{QString::number(row + 1),
                                QLocale().toString(g.finished.toLocalTime(), QLocale::ShortFormat),
                                g.winner.isEmpty() ? QStringLiteral("nobody") : g.winner,
                                g.winner.isEmpty() ? QString() : QString::number(g.winnerWorth),
                                QString::number(g.rounds),
                                playingTime(g.seconds),
                                players.join(QStringLiteral(", ")),
                                g.rules.isEmpty() ? QStringLiteral("The game's own") : g.rules};
        for (int column = 0; column < static_cast<int>(cells.size()); ++column)
            table_->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    table_->resizeColumnsToContents();
}

} // namespace dealbrix
