// Random play through the real widgets: every click, key and menu command a user has, with every box
// answered at random, checking after each action that the rules' invariants hold and that the windows
// show exactly what the game holds.
#include "board_window.h"
#include "house_options_window.h"
#include "invariants.h"
#include "ownership_grid.h"
#include "qt_ui.h"
#include "random_player.h"
#include "trade_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <sstream>

using namespace dealbrix;
using dealbrix::brokenInvariants;
using dealbrix::testing::SeededRandom;

namespace {

/// One game on the real windows, with dice and answers from the shared generator.
struct RandomWindows {
    explicit RandomWindows(std::mt19937_64& rng)
        : random(rng),
          ui([this] { ended = true; },
             [&rng](QMessageBox&) { return (rng() & 3) != 0 ? QMessageBox::Yes : QMessageBox::No; }),
          game(ui, random), board(game, ui) {
        board.showWithGrid();
    }
    SeededRandom random;
    bool ended = false;
    QtUi ui;
    Game game;
    BoardWindow board;
};

const std::array<const char*, 12> kTyped{"1",  "3",   "5.4",  "12.5", "-50", "39",
                                         "40", "abc", "1e30", "",     " 6",  "nan"};

template <class T> T* child(QWidget* window, const QString& name) {
    return window != nullptr ? window->findChild<T*>(name) : nullptr;
}

/// Performs one random user action on the windows; returns its description.
std::string act(RandomWindows& w, std::mt19937_64& rng) {
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
    std::ostringstream did;
    const int choice = pick(100);
    if (choice < 45) {
        static const std::array<const char*, 3> buttons{"cmdRoll", "cmdEndTurn", "cmdBankrupt"};
        const char* name = buttons[static_cast<std::size_t>(pick(3))];
        QTest::mouseClick(child<QPushButton>(&w.board, QString::fromLatin1(name)), Qt::LeftButton);
        did << "click " << name;
    } else if (choice < 52) {
        static const std::array<const char*, 5> items{"mnuFilePlayers2Players", "mnuFilePlayers3Players",
                                                      "mnuFilePlayers4Players", "mnuFileStart",
                                                      "mnuFileExit"};
        // Exit ends the game; let it come now and then only.
        const char* name = items[static_cast<std::size_t>(pick(choice == 51 ? 5 : 4))];
        child<QAction>(&w.board, QString::fromLatin1(name))->trigger();
        QCoreApplication::processEvents();
        did << "menu " << name;
    } else if (choice < 64) {
        const int square = pick(kSquareCount);
        QTest::mouseClick(child<QWidget>(&w.board, QStringLiteral("Square(%1)").arg(square)), Qt::LeftButton);
        did << "click square " << square;
    } else if (choice < 76) {
        static const std::array<const char*, 3> buttons{"cmdBuyHouse", "cmdSellHouse", "cmdMortgage"};
        const char* name = buttons[static_cast<std::size_t>(pick(3))];
        if (auto* button = child<QPushButton>(w.board.houseOptionsWindow(), QString::fromLatin1(name)))
            QTest::mouseClick(button, Qt::LeftButton);
        did << "House Options " << name;
    } else if (choice < 80) {
        const int player = 1 + pick(kPlayerCount);
        QTest::mouseClick(child<QWidget>(w.board.grid(), QStringLiteral("lblPlayer(%1)").arg(player)),
                          Qt::LeftButton);
        did << "heading " << player;
    } else if (choice < 94) {
        static const std::array<const char*, 4> fields{"txtMoney(0)", "txtMoney(1)", "txtProperty(0)",
                                                       "txtProperty(1)"};
        const char* name = fields[static_cast<std::size_t>(pick(4))];
        if (auto* field = child<QLineEdit>(w.board.tradeWindow(), QString::fromLatin1(name))) {
            const char* text = kTyped[static_cast<std::size_t>(pick(static_cast<int>(kTyped.size())))];
            field->clear();
            QTest::keyClicks(field, QString::fromLatin1(text));
            QTest::keyClick(field, pick(4) == 0 ? Qt::Key_Tab : Qt::Key_Return);
            did << "type \"" << text << "\" in " << name;
        }
    } else if (choice < 97) {
        const char* name = pick(3) == 0 ? "cmdHelp(0)" : "cmdOffer";
        if (auto* button = child<QPushButton>(w.board.tradeWindow(), QString::fromLatin1(name)))
            QTest::mouseClick(button, Qt::LeftButton);
        did << "trade " << name;
    } else {
        QWidget* window =
            pick(2) == 0 ? static_cast<QWidget*>(w.board.houseOptionsWindow()) : w.board.tradeWindow();
        if (window != nullptr) window->close();
        did << "close a secondary window";
    }
    return did.str();
}

/// What the windows show that differs from what the game holds.
std::vector<std::string> windowsOutOfStep(RandomWindows& w) {
    std::vector<std::string> wrong;
    const GameState& s = w.game.state;
    for (int p = 1; p <= kPlayerCount; ++p) {
        if (child<QLabel>(&w.board, QStringLiteral("Label1(%1)").arg(p))->text().toStdString() !=
            s.board.moneyLabels[p])
            wrong.push_back("money line " + std::to_string(p));
        for (const GridRow& row : gridRows())
            if (w.board.grid()->box(p, row.square)->isChecked() != s.grid.ticked[p][row.square])
                wrong.push_back("grid box " + std::to_string(p) + "/" + std::to_string(row.square));
    }
    if (child<QPushButton>(&w.board, "cmdRoll")->isEnabled() != s.board.rollEnabled) wrong.push_back("Roll");
    if (child<QPushButton>(&w.board, "cmdEndTurn")->isEnabled() != s.board.endTurnEnabled)
        wrong.push_back("End Turn");
    if ((w.board.houseOptionsWindow() != nullptr) != s.houseOptions.open)
        wrong.push_back("House Options window");
    if ((w.board.tradeWindow() != nullptr) != s.trade.open) wrong.push_back("trade window");
    return wrong;
}

} // namespace

TEST(RandomPlayThroughWindows, KeepsTheInvariantsAndTheWindowsInStepWithTheGame) {
    constexpr std::uint64_t kSeed = 20261208;
    constexpr int kActions = 10000;
    std::mt19937_64 rng(kSeed);
    auto w = std::make_unique<RandomWindows>(rng);
    std::vector<std::string> log;
    int games = 1;
    for (int n = 0; n < kActions; ++n) {
        if (w->board.ended()) {
            w = std::make_unique<RandomWindows>(rng);
            log.clear();
            ++games;
        }
        log.push_back(act(*w, rng));
        std::vector<std::string> broken = brokenInvariants(w->game.state);
        for (const std::string& line : windowsOutOfStep(*w))
            broken.push_back("window out of step: " + line);
        if (!broken.empty()) {
            std::ostringstream report;
            report << "seed " << kSeed << ", game " << games << ", after \"" << log.back() << "\":";
            for (const auto& line : broken)
                report << "\n  " << line;
            report << "\nactions of this game:";
            for (const auto& line : log)
                report << "\n  " << line;
            FAIL() << report.str();
        }
    }
    RecordProperty("games", games);
}
