#include "auction_window.h"
#include "boxes.h"
#include "rules_window.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

constexpr int kBaltic = 3;

/// The board with the Rules... item, as the program builds it.
struct RulesWindows : Windows {
    QAction* item = addRulesItem(board);

    RulesWindow* open() {
        menu("mnuFileRules");
        return board.findChild<RulesWindow*>(QStringLiteral("Rules"));
    }
    QLabel* label(const char* name) { return board.findChild<QLabel*>(QString::fromLatin1(name)); }
};

} // namespace

TEST(RulesWindow, TheItemFollowsTheFileItemsAfterASeparatorAndOpensATopLevelWindow) {
    RulesWindows w;
    const QList<QAction*> file = w.board.fileMenu()->actions();
    ASSERT_GE(file.size(), 5);
    EXPECT_EQ(file[0]->text(), "&Exit");
    EXPECT_EQ(file[2]->text(), "&Start");
    EXPECT_TRUE(file[file.size() - 2]->isSeparator());
    EXPECT_EQ(file.back()->text(), "&Rules...");
    RulesWindow* rules = w.open();
    ASSERT_NE(rules, nullptr);
    EXPECT_TRUE(rules->isWindow());
    EXPECT_TRUE(rules->isVisible());
    EXPECT_EQ(rules->windowTitle(), "Rules");
    EXPECT_EQ(rules->accessibleName(), "Rules");
    for (const HouseRuleInfo& info : houseRuleTable()) {
        QCheckBox* box = rules->ruleBox(info.rule);
        EXPECT_FALSE(box->isChecked()) << info.name << " is off unless chosen";
        EXPECT_FALSE(box->accessibleName().isEmpty()) << info.name;
        EXPECT_EQ(box->accessibleDescription().toStdString(), info.sentence);
    }
    EXPECT_EQ(rules->startingMoney()->value(), 1500);
    EXPECT_EQ(rules->startingMoney()->accessibleName(), "Starting money");
    EXPECT_EQ(w.open(), rules) << "a second click brings the same window forward";
}

TEST(RulesWindow, TicksAndStartingMoneyChooseTheRulesUntilStartThenShowThemReadOnly) {
    RulesWindows w;
    RulesWindow* rules = w.open();
    ASSERT_NE(rules, nullptr);
    rules->ruleBox(HouseRule::FreeParkingPot)->click();
    EXPECT_TRUE(w.s().rules.has(HouseRule::FreeParkingPot));
    rules->startingMoney()->setValue(2000);
    EXPECT_EQ(w.s().rules.startingMoney, 2000);
    EXPECT_EQ(w.board.findChild<QLabel*>(QStringLiteral("Label1(3)"))->text(), "2000");
    // A typed amount off the step is no choice: the window goes back to the game's.
    rules->startingMoney()->setValue(2050);
    EXPECT_EQ(w.s().rules.startingMoney, 2000);
    EXPECT_EQ(rules->startingMoney()->value(), 2000);
    w.start(2);
    EXPECT_FALSE(rules->ruleBox(HouseRule::Auction)->isEnabled());
    EXPECT_FALSE(rules->startingMoney()->isEnabled());
    EXPECT_TRUE(rules->ruleBox(HouseRule::FreeParkingPot)->isChecked());
    EXPECT_TRUE(w.label("lblRulesFixed")->isVisible());
}

TEST(RulesWindow, TheBoardShowsThePotAndTheBankOnlyWithTheirRules) {
    RulesWindows w;
    QLabel* pot = w.label("lblPot");
    QLabel* bank = w.label("lblBank");
    ASSERT_NE(pot, nullptr);
    ASSERT_NE(bank, nullptr);
    EXPECT_FALSE(pot->isVisible()) << "with the rules off the board looks as it always did";
    EXPECT_FALSE(bank->isVisible());
    HouseRules chosen;
    chosen.set(HouseRule::FreeParkingPot, true);
    chosen.set(HouseRule::LimitedHouses, true);
    w.board.act(Action::chooseRules(chosen));
    EXPECT_TRUE(pot->isVisible());
    EXPECT_EQ(pot->text(), "Free Parking pot: $0");
    EXPECT_EQ(bank->text(), "Houses left: 32, hotels left: 12");
    w.s().pot = 215;
    w.board.syncAll();
    EXPECT_EQ(pot->text(), "Free Parking pot: $215");
    EXPECT_EQ(pot->accessibleName(), "Free Parking pot: $215");
}

TEST(AuctionWindow, EachPersonBidsInItsOwnWindowAndTheRaisesStopAtTheBiddersCash) {
    RulesWindows w;
    HouseRules chosen;
    chosen.set(HouseRule::Auction, true);
    w.board.act(Action::chooseRules(chosen));
    w.start(2);
    w.s().money[2] = 120;
    std::vector<QString> seen;
    int windows = 0;
    w.board.setAuctionRunner([&](AuctionWindow& window) {
        ++windows;
        EXPECT_TRUE(window.isModal());
        EXPECT_EQ(window.windowTitle(), "Auction");
        EXPECT_EQ(window.objectName(), "Auction");
        for (const char* name : {"lblAuctionSquare", "lblAuctionBidder", "lblAuctionHighBid"})
            seen.push_back(window.findChild<QLabel*>(QString::fromLatin1(name))->text());
        if (windows == 1) {
            // Player 2: +50, +100 (stops at the cash), then Bid, pressed in the real window.
            QTimer::singleShot(0, &window, [&window] {
                window.raiseButtons()[1]->click();
                EXPECT_EQ(window.amount(), 51);
                window.raiseButtons()[2]->click();
                EXPECT_EQ(window.amount(), 120);
                window.bidButton()->click();
            });
        } else {
            EXPECT_EQ(window.amountField()->minimum(), 121);
            QTimer::singleShot(0, &window, [&window] { window.passButton()->click(); });
        }
        return window.ask();
    });
    w.boxes.expect({landing(1, kBaltic), ask("Buy Baltic Avenue?", false, "Buy Property"),
                    msg("Property Turned Down"), msg("Baltic Avenue goes to Player 2 for $120")});
    w.random.dice(1, 2);
    w.click(&w.board, "cmdRoll");
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(windows, 2);
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[0], "Baltic Avenue");
    EXPECT_EQ(seen[1], "Player 2's bid");
    EXPECT_EQ(seen[2], "No bid yet");
    EXPECT_EQ(seen[4], "Player 1's bid");
    EXPECT_EQ(seen[5], "High bid: $120 by Player 2");
    EXPECT_EQ(w.s().owners[kBaltic], 2);
    EXPECT_EQ(w.s().money[2], 0);
}

TEST(AuctionWindow, ClosingTheWindowPasses) {
    GameState state;
    state.auction = {.open = true, .square = kBaltic, .bidder = 1};
    AuctionWindow window(
        state, {.kind = BoxKind::AuctionBid, .seat = 1, .square = kBaltic, .minimum = 1, .maximum = 500});
    QTimer::singleShot(0, &window, [&window] {
        window.amountField()->setValue(300);
        window.close();
    });
    EXPECT_EQ(window.ask(), 0);
}

TEST(AuctionWindow, AComputersBidShowsForTheDelayAndClosesItself) {
    RulesWindows w;
    HouseRules chosen;
    chosen.set(HouseRule::Auction, true);
    w.board.act(Action::chooseRules(chosen));
    w.start(2);
    QString status;
    bool pressable = true;
    QTimer::singleShot(5, &w.board, [&] {
        auto* shown = qobject_cast<AuctionWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        status = shown->findChild<QLabel*>(QStringLiteral("lblAuctionCash"))->text();
        pressable = shown->bidButton()->isEnabled() || shown->passButton()->isEnabled();
    });
    w.board.showComputerBid(
        {.kind = BoxKind::AuctionBid, .seat = 2, .square = kBaltic, .minimum = 1, .maximum = 1500}, 50, 60);
    EXPECT_EQ(status, "Bids $50");
    EXPECT_FALSE(pressable) << "the computer's bid is shown, not asked";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the window closed itself";
}
