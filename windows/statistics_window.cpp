#include "statistics_window.h"

#include "board.h"
#include "widgets.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QLineSeries>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace dealbrix {

namespace {
constexpr int kWidthPx = 720;
constexpr int kHeightPx = 760;
constexpr int kChartHeightPx = 260;

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QTableWidget* makeTable(QWidget* parent, const QString& objectName, const QString& accessibleName) {
    auto* table = new QTableWidget(parent);
    nameControl(table, objectName, accessibleName);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->verticalHeader()->setVisible(false);
    return table;
}

QChartView* makeView(QChart* chart, QWidget* parent, const QString& objectName,
                     const QString& accessibleName) {
    auto* view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(kChartHeightPx);
    nameControl(view, objectName, accessibleName);
    return view;
}

} // namespace

StatisticsWindow::StatisticsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Statistics"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("Statistics"));
    worthChart_ = new QChart;
    worthChart_->setTitle(QStringLiteral("Worth after each round"));
    landingsChart_ = new QChart;
    landingsChart_->setTitle(QStringLiteral("Landings on each square"));
    landingsChart_->legend()->hide();
    worthTable_ = makeTable(this, QStringLiteral("worthTable"), QStringLiteral("Worth after each round"));
    landingsTable_ =
        makeTable(this, QStringLiteral("landingsTable"), QStringLiteral("Landings on each square"));

    auto* tables = new QTabWidget(this);
    tables->setObjectName(QStringLiteral("figures"));
    tables->setAccessibleName(QStringLiteral("Figures"));
    tables->addTab(worthTable_, QStringLiteral("&Worth"));
    tables->addTab(landingsTable_, QStringLiteral("&Landings"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        makeView(worthChart_, this, QStringLiteral("worthChart"), QStringLiteral("Worth chart")));
    layout->addWidget(
        makeView(landingsChart_, this, QStringLiteral("landingsChart"), QStringLiteral("Landings chart")));
    layout->addWidget(tables);
    resize(kWidthPx, kHeightPx);
}

void StatisticsWindow::draw(const GameState& state) {
    if (state.history == drawn_ && state.names == drawnNames_ && state.playerCount == drawnPlayers_) return;
    drawn_ = state.history;
    drawnNames_ = state.names;
    drawnPlayers_ = state.playerCount;
    drawWorth(state);
    drawLandings(state);
}

void StatisticsWindow::drawWorth(const GameState& state) {
    const GameHistory& h = state.history;
    const int seats = state.playerCount;
    worthChart_->removeAllSeries();
    // A chart gives up an axis it removes without deleting it.
    for (QAbstractAxis* axis : worthChart_->axes()) {
        worthChart_->removeAxis(axis);
        delete axis;
    }
    auto* rounds = new QValueAxis;
    rounds->setTitleText(QStringLiteral("Round"));
    rounds->setLabelFormat(QStringLiteral("%d"));
    auto* worth = new QValueAxis;
    worth->setTitleText(QStringLiteral("Worth ($)"));
    worth->setLabelFormat(QStringLiteral("%d"));
    worthChart_->addAxis(rounds, Qt::AlignBottom);
    worthChart_->addAxis(worth, Qt::AlignLeft);
    int highest = 0;
    int lowest = 0;
    for (int seat = 1; seat <= seats; ++seat) {
        auto* line = new QLineSeries;
        line->setName(toQString(seatName(state, seat)));
        QPen pen(tokenColour(seat));
        pen.setWidth(2);
        line->setPen(pen);
        for (const RoundWorth& entry : h.worth) {
            line->append(entry.round, entry.worth[seat]);
            highest = std::max(highest, entry.worth[seat]);
            lowest = std::min(lowest, entry.worth[seat]);
        }
        worthChart_->addSeries(line);
        line->attachAxis(rounds);
        line->attachAxis(worth);
    }
    rounds->setRange(0, std::max(1, h.worth.empty() ? 1 : h.worth.back().round));
    worth->setRange(lowest, std::max(highest, 1));

    worthTable_->clear();
    worthTable_->setColumnCount(seats + 1);
    worthTable_->setRowCount(static_cast<int>(h.worth.size()));
    QStringList headings{QStringLiteral("Round")};
    for (int seat = 1; seat <= seats; ++seat)
        headings << toQString(seatName(state, seat));
    worthTable_->setHorizontalHeaderLabels(headings);
    for (int row = 0; row < static_cast<int>(h.worth.size()); ++row) {
        const RoundWorth& entry = h.worth[static_cast<std::size_t>(row)];
        worthTable_->setItem(row, 0, cell(QString::number(entry.round)));
        for (int seat = 1; seat <= seats; ++seat)
            worthTable_->setItem(row, seat, cell(QString::number(entry.worth[seat])));
    }
}

void StatisticsWindow::drawLandings(const GameState& state) {
    const GameHistory& h = state.history;
    landingsChart_->removeAllSeries();
    // A chart gives up an axis it removes without deleting it.
    for (QAbstractAxis* axis : landingsChart_->axes()) {
        landingsChart_->removeAxis(axis);
        delete axis;
    }
    auto* bars = new QBarSet(QStringLiteral("Landings"));
    QStringList squares;
    int most = 0;
    for (int sq = 0; sq < kSquareCount; ++sq) {
        *bars << h.landings[sq];
        squares << QString::number(sq);
        most = std::max(most, h.landings[sq]);
    }
    auto* series = new QBarSeries;
    series->append(bars);
    landingsChart_->addSeries(series);
    auto* squareAxis = new QBarCategoryAxis;
    squareAxis->append(squares);
    squareAxis->setTitleText(QStringLiteral("Square"));
    auto* countAxis = new QValueAxis;
    countAxis->setLabelFormat(QStringLiteral("%d"));
    countAxis->setRange(0, std::max(most, 1));
    landingsChart_->addAxis(squareAxis, Qt::AlignBottom);
    landingsChart_->addAxis(countAxis, Qt::AlignLeft);
    series->attachAxis(squareAxis);
    series->attachAxis(countAxis);

    landingsTable_->clear();
    landingsTable_->setColumnCount(3);
    landingsTable_->setRowCount(kSquareCount);
    landingsTable_->setHorizontalHeaderLabels(
        {QStringLiteral("Square"), QStringLiteral("Name"), QStringLiteral("Landings")});
    for (int sq = 0; sq < kSquareCount; ++sq) {
        landingsTable_->setItem(sq, 0, cell(QString::number(sq)));
        landingsTable_->setItem(sq, 1, cell(toQString(squareInfo(sq).landingText)));
        landingsTable_->setItem(sq, 2, cell(QString::number(h.landings[sq])));
    }
}

} // namespace dealbrix
