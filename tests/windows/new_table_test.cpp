// A whole table from the New Game dialog on the program's own parts: the levels reach the Computer
// menu's seats, the house rules reach the game through its own action, both are remembered and only
// offered; How to Play tells the rules chosen; the computer's seat menus carry the seats' names.
#include "boxes.h"
#include "computer_driver.h"
#include "game_files.h"
#include "game_menus.h"
#include "help_windows.h"
#include "network_menu.h"
#include "network_session.h"
#include "remembered.h"
#include "widgets.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

// Long enough that the computer never takes a turn while a test looks at the table it was given.
constexpr int kComputerWaitsMs = 60000;

std::string_view sentenceOf(HouseRule rule) {
    for (const HouseRuleInfo& info : houseRuleTable())
        if (info.rule == rule) return info.sentence;
    return {};
}

/// The program as main() builds it, with a private settings and data folder; the New Game dialog is
/// the real one, filled in by `fill` and then accepted or cancelled without being shown.
struct TableProgram {
    QTemporaryDir dir;
    ScriptedRandom random = ScriptedRandom::withDecksInOrder();
    ScriptedBoxes boxes;
    QtUi ui{[] {}, boxes.runner()};
    ComputerPlayer player;
    SeatRouter seats{ui, player};
    GameLog log{seats};
    Game game{log, random};
    BoardWindow board{game, ui};
    ComputerDriver driver{board, ui, seats, player, log, kComputerWaitsMs};
    GameFiles* files =
        new GameFiles(board, ui, random, dir.filePath(QStringLiteral("data/autosave.dealbrix")));
    GameMenus menus{board, ui, dir.filePath(QStringLiteral("data/past-games.json")), QStringLiteral("9.9.9")};
    NetworkSession session{board, ui, log, driver, *files, 0};
    NetworkMenu network{board, session, ui};
    std::function<void(NewGameDialog&)> fill;
    bool cancel = false;

    TableProgram() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           dir.filePath(QStringLiteral("config")));
        files->buildGameFileMenu(board.fileMenu());
        files->setSeatSetter([this](const TableChoice& table) {
            driver.setLevels(table.levels);
            driver.setComputerSeats(table.computer);
        });
        files->setTableChooser([this](const TableChoice& offered) -> std::optional<TableChoice> {
            NewGameDialog dialog(offered, &board);
            if (fill) fill(dialog);
            if (cancel) return std::nullopt;
            dialog.accept();
            if (dialog.result() != QDialog::Accepted) return std::nullopt;
            return dialog.choice();
        });
        board.showWithGrid();
    }
    GameState& s() { return game.state; }
    void menu(const char* objectName) {
        // A fresh game deals its two decks afresh: in order, as the tests script them.
        if (std::string_view(objectName) == "mnuFileNewGame") {
            random.identityShuffle();
            random.identityShuffle();
        }
        auto* item = board.findChild<QAction*>(QString::fromLatin1(objectName));
        ASSERT_NE(item, nullptr) << objectName;
        item->trigger();
        QCoreApplication::processEvents();
    }
    bool logHas(const std::string& line) const {
        return std::find(log.lines().begin(), log.lines().end(), line) != log.lines().end();
    }
};

/// Three at the table: Ann, the computer at Hard, the computer at Easy; auction and double Go, $2500.
void hardAndEasyWithRules(NewGameDialog& d) {
    d.playerCount()->setValue(3);
    d.seatName(1)->setText(QStringLiteral("Ann"));
    d.seatKind(2)->setCurrentIndex(static_cast<int>(SeatKind::Computer));
    d.seatLevel(2)->setCurrentText(QStringLiteral("Hard"));
    d.seatKind(3)->setCurrentIndex(static_cast<int>(SeatKind::Computer));
    d.seatLevel(3)->setCurrentText(QStringLiteral("Easy"));
    d.ruleBox(HouseRule::Auction)->setChecked(true);
    d.ruleBox(HouseRule::DoubleGo)->setChecked(true);
    d.startingMoney()->setValue(2500);
}

HouseRules auctionAndDoubleGo(int money) {
    HouseRules rules;
    rules.set(HouseRule::Auction, true);
    rules.set(HouseRule::DoubleGo, true);
    rules.startingMoney = static_cast<i16>(money);
    return rules;
}

} // namespace

TEST(NewGameDialog, ItsLevelsAndRulesReachTheGameAsTheComputerMenuAndRulesWindowWould) {
    TableProgram w;
    w.fill = hardAndEasyWithRules;
    w.menu("mnuFileNewGame");
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(w.s().playerCount, 3);
    EXPECT_EQ(w.s().rules, auctionAndDoubleGo(2500));
    for (int seat = 1; seat <= 3; ++seat)
        EXPECT_EQ(w.s().money[seat], 2500) << seat;
    EXPECT_FALSE(w.driver.computerSeats()[1]);
    EXPECT_TRUE(w.driver.computerSeats()[2]);
    EXPECT_TRUE(w.driver.computerSeats()[3]);
    EXPECT_EQ(w.driver.levels()[2], ComputerLevel::Hard);
    EXPECT_EQ(w.driver.levels()[3], ComputerLevel::Easy);
    EXPECT_TRUE(w.driver.levelItem(2, ComputerLevel::Hard)->isChecked());
    EXPECT_TRUE(w.driver.levelItem(3, ComputerLevel::Easy)->isChecked());
    EXPECT_TRUE(w.driver.personItem(1)->isChecked());
    // The log tells it as the game's own action and the Computer menu would.
    const std::string rulesLine = describeHouseRules(auctionAndDoubleGo(2500));
    EXPECT_TRUE(std::any_of(w.log.lines().begin(), w.log.lines().end(), [&](const std::string& line) {
        return line.ends_with(": " + rulesLine);
    })) << rulesLine;
    EXPECT_TRUE(w.logHas("Player 2 is played by the computer (Hard)"));
    EXPECT_TRUE(w.logHas("Player 3 is played by the computer (Easy)"));
}

TEST(NewGameDialog, EveryControlHasAnAccessibleNameAndALevelOnlyForAComputerSeat) {
    TableProgram w;
    TableChoice offered{.players = 2};
    offered.computer[2] = true;
    offered.levels[2] = ComputerLevel::Hard;
    offered.rules = auctionAndDoubleGo(800);
    NewGameDialog dialog(offered, &w.board);
    int controls = 0;
    for (QWidget* control : dialog.findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(control) == nullptr &&
            qobject_cast<QComboBox*>(control) == nullptr &&
            qobject_cast<QAbstractSpinBox*>(control) == nullptr &&
            qobject_cast<QLineEdit*>(control) == nullptr)
            continue;
        // A spin box's own line edit is spoken for by the spin box.
        if (qobject_cast<QAbstractSpinBox*>(control->parentWidget()) != nullptr) continue;
        ++controls;
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
    }
    EXPECT_GE(controls, 1 + 3 * kPlayerCount + kHouseRuleCount + 1 + 2);
    EXPECT_EQ(dialog.seatLevel(2)->accessibleName(), QStringLiteral("Player 2 level"));
    EXPECT_EQ(dialog.seatLevel(2)->currentText(), QStringLiteral("Hard"));
    EXPECT_TRUE(dialog.seatLevel(2)->isEnabled());
    EXPECT_FALSE(dialog.seatLevel(1)->isEnabled()) << "a person has no level";
    EXPECT_FALSE(dialog.seatLevel(3)->isEnabled()) << "a seat beyond the count";
    EXPECT_TRUE(dialog.ruleBox(HouseRule::Auction)->isChecked());
    EXPECT_FALSE(dialog.ruleBox(HouseRule::EvenBuilding)->isChecked());
    EXPECT_EQ(dialog.ruleBox(HouseRule::Auction)->accessibleDescription().toStdString(),
              sentenceOf(HouseRule::Auction));
    EXPECT_EQ(dialog.startingMoney()->value(), 800);
    EXPECT_EQ(dialog.startingMoney()->minimum(), kMinStartingMoney);
    EXPECT_EQ(dialog.startingMoney()->maximum(), kMaxStartingMoney);
    EXPECT_EQ(dialog.startingMoney()->singleStep(), kStartingMoneyStep);
    dialog.seatKind(1)->setCurrentIndex(static_cast<int>(SeatKind::Computer));
    EXPECT_TRUE(dialog.seatLevel(1)->isEnabled());
    EXPECT_EQ(dialog.choice().rules, auctionAndDoubleGo(800));
    EXPECT_EQ(dialog.choice().levels[2], ComputerLevel::Hard);
    EXPECT_EQ(dialog.choice().levels[1], ComputerLevel::Normal);
}

TEST(NewGameDialog, CancelKeepsTheLevelsRulesAndGameAsTheyWere) {
    TableProgram w;
    HouseRules rules;
    rules.set(HouseRule::EvenBuilding, true);
    ASSERT_EQ(w.board.act(Action::chooseRules(rules)), ActionResult::Done);
    ComputerLevels levels{};
    levels[4] = ComputerLevel::Easy;
    w.driver.setLevels(levels);
    const GameState before = w.s();
    const std::vector<std::string> logBefore = w.log.lines();
    w.files->setTableRemembered([](const TableChoice& t) { Remembered().setLastTable(t); });
    w.fill = hardAndEasyWithRules;
    w.cancel = true;
    w.menu("mnuFileNewGame");
    EXPECT_EQ(w.s(), before);
    EXPECT_EQ(w.driver.levels(), levels);
    EXPECT_EQ(w.driver.computerSeats(), ComputerSeats{});
    EXPECT_EQ(w.log.lines(), logBefore);
    EXPECT_FALSE(QSettings().contains(QStringLiteral("table/players"))) << "nothing remembered";
}

TEST(NewGameDialog, OffersTheBoardsRulesWhenTheLastTableBroughtNone) {
    TableProgram w;
    HouseRules rules;
    rules.set(HouseRule::NoRentInJail, true);
    rules.startingMoney = 3000;
    ASSERT_EQ(w.board.act(Action::chooseRules(rules)), ActionResult::Done);
    std::optional<TableChoice> offered;
    w.files->setTableChooser([&offered](const TableChoice& first) -> std::optional<TableChoice> {
        offered = first;
        return std::nullopt;
    });
    w.menu("mnuFileNewGame");
    ASSERT_TRUE(offered.has_value());
    EXPECT_EQ(offered->rules, rules);
}

TEST(Remembered, TheDialogsLevelsAndRulesAreOfferedNextTimeAndNeverApplied) {
    TableChoice remembered;
    {
        TableProgram first;
        Remembered settings;
        first.files->setTableRemembered([&settings](const TableChoice& t) { settings.setLastTable(t); });
        first.fill = hardAndEasyWithRules;
        first.menu("mnuFileNewGame");
        settings.flush();
        remembered = Remembered().lastTable();
        EXPECT_EQ(remembered.levels[2], ComputerLevel::Hard);
        EXPECT_EQ(remembered.levels[3], ComputerLevel::Easy);
        EXPECT_EQ(remembered.rules, auctionAndDoubleGo(2500));
        EXPECT_EQ(remembered.names[1], "Ann");
        // What the dialog offers next time is what was started.
        NewGameDialog again(remembered, &first.board);
        EXPECT_EQ(again.seatLevel(2)->currentText(), QStringLiteral("Hard"));
        EXPECT_EQ(again.seatLevel(3)->currentText(), QStringLiteral("Easy"));
        EXPECT_TRUE(again.ruleBox(HouseRule::Auction)->isChecked());
        EXPECT_TRUE(again.ruleBox(HouseRule::DoubleGo)->isChecked());
        EXPECT_FALSE(again.ruleBox(HouseRule::LimitedHouses)->isChecked());
        EXPECT_EQ(again.startingMoney()->value(), 2500);
        EXPECT_EQ(again.choice().rules, remembered.rules);
        EXPECT_EQ(again.choice().levels, remembered.levels);

        // A table only offered is not played: the fresh board keeps the game's own rules and seats.
        TableProgram next;
        next.files->setOfferedTable(remembered);
        EXPECT_TRUE(next.s().rules.plain());
        EXPECT_EQ(next.s().playerCount, 0);
        EXPECT_EQ(next.driver.levels(), ComputerLevels{});
        EXPECT_EQ(next.driver.computerSeats(), ComputerSeats{});
    }
}

TEST(Remembered, AnUnknownLevelOrRuleOrStartingMoneyGivesTheGamesOwn) {
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    {
        QSettings settings;
        settings.setValue(QStringLiteral("table/seat2/computer"), QStringLiteral("true"));
        settings.setValue(QStringLiteral("table/seat2/level"), QStringLiteral("grandmaster"));
        settings.setValue(QStringLiteral("table/seat3/level"), QStringLiteral("hard"));
        settings.setValue(QStringLiteral("table/rules"), QStringLiteral("auction,cheating"));
        settings.setValue(QStringLiteral("table/startingMoney"), 2000);
    }
    TableChoice table = Remembered().lastTable();
    EXPECT_EQ(table.levels[2], ComputerLevel::Normal);
    EXPECT_EQ(table.levels[3], ComputerLevel::Hard);
    EXPECT_EQ(table.rules, std::nullopt) << "a rule the game does not know";
    {
        QSettings settings;
        settings.setValue(QStringLiteral("table/rules"), QStringLiteral("auction"));
        settings.setValue(QStringLiteral("table/startingMoney"), 2050);
    }
    EXPECT_EQ(Remembered().lastTable().rules, std::nullopt) << "off the step";
    QSettings().setValue(QStringLiteral("table/startingMoney"), 5000);
    table = Remembered().lastTable();
    ASSERT_TRUE(table.rules.has_value());
    EXPECT_TRUE(table.rules->has(HouseRule::Auction));
    EXPECT_EQ(table.rules->startingMoney, 5000);
    // A table without rules of its own forgets the ones remembered before.
    TableChoice plain;
    Remembered().setLastTable(plain);
    EXPECT_EQ(Remembered().lastTable(), plain);
}

TEST(HowToPlay, ShowsTheHouseRulesOfThisGameOrSaysThereAreNone) {
    TableProgram w;
    w.menu("mnuHelpHowToPlay");
    ASSERT_NE(w.menus.howToPlayWindow(), nullptr);
    auto text = [&w] { return w.menus.howToPlayWindow()->text()->toPlainText(); };
    EXPECT_TRUE(text().contains(QStringLiteral("No house rules are chosen for this game")))
        << text().toStdString();
    // Chosen in the Rules window (the game's own action) while How to Play is open.
    ASSERT_EQ(w.board.act(Action::chooseRules(auctionAndDoubleGo(kStartingMoney))), ActionResult::Done);
    EXPECT_FALSE(text().contains(QStringLiteral("No house rules are chosen")));
    EXPECT_TRUE(text().contains(toQString(sentenceOf(HouseRule::Auction))));
    EXPECT_TRUE(text().contains(toQString(sentenceOf(HouseRule::DoubleGo))));
    EXPECT_FALSE(text().contains(toQString(sentenceOf(HouseRule::EvenBuilding))));
    EXPECT_FALSE(text().contains(QStringLiteral("instead of $1500")));
    // Chosen in the New Game dialog: the window follows the game started.
    w.fill = [](NewGameDialog& d) {
        d.ruleBox(HouseRule::Auction)->setChecked(false);
        d.ruleBox(HouseRule::DoubleGo)->setChecked(false);
        d.ruleBox(HouseRule::NoRentInJail)->setChecked(true);
        d.startingMoney()->setValue(700);
    };
    w.menu("mnuFileNewGame");
    EXPECT_TRUE(text().contains(toQString(sentenceOf(HouseRule::NoRentInJail))));
    EXPECT_FALSE(text().contains(toQString(sentenceOf(HouseRule::Auction))));
    EXPECT_TRUE(text().contains(QStringLiteral("everyone starts with $700 instead of $1500")));
    EXPECT_EQ(houseRuleSentences(HouseRules{}), QStringList{});
}

TEST(ComputerMenu, SeatSubmenusAreTitledByTheSeatsNames) {
    TableProgram w;
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        EXPECT_EQ(w.driver.seatMenu(seat)->title(), QStringLiteral("Player %1").arg(seat));
    w.fill = [](NewGameDialog& d) {
        d.playerCount()->setValue(3);
        d.seatName(1)->setText(QStringLiteral("Ann"));
        d.seatName(3)->setText(QStringLiteral("R&B"));
    };
    w.menu("mnuFileNewGame");
    EXPECT_EQ(w.driver.seatMenu(1)->title(), QStringLiteral("Ann"));
    EXPECT_EQ(w.driver.seatMenu(2)->title(), QStringLiteral("Player 2"));
    EXPECT_EQ(w.driver.seatMenu(3)->title(), QStringLiteral("R&&B")) << "the ampersand is a letter";
    EXPECT_EQ(w.driver.seatMenu(4)->title(), QStringLiteral("Player 4"));
    // The Network menu's computer items are the same seats.
    auto* networkMenu = w.board.findChild<QMenu*>(QStringLiteral("mnuNetwork"));
    ASSERT_NE(networkMenu, nullptr);
    emit networkMenu->aboutToShow();
    auto item = [&w](int seat) {
        return w.board.findChild<QAction*>(QStringLiteral("mnuNetworkComputerPlayer%1").arg(seat))->text();
    };
    EXPECT_EQ(item(1), QStringLiteral("Ann"));
    EXPECT_EQ(item(2), QStringLiteral("Player 2"));
    // A game opened or started afresh without names gives the menus their numbers back.
    w.boxes.expect({ask("Abandon the game in progress?", true)});
    w.fill = [](NewGameDialog& d) {
        for (int seat = 1; seat <= kPlayerCount; ++seat)
            d.seatName(seat)->clear();
    };
    w.menu("mnuFileNewGame");
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(w.driver.seatMenu(1)->title(), QStringLiteral("Player 1"));
    EXPECT_EQ(w.driver.seatMenu(3)->title(), QStringLiteral("Player 3"));
}
