#include "boxes.h"
#include "ownership_grid.h"
#include "trade_window.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

QRect pixels(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

/// Opens the trade window with `player` as the other party, by a click on the grid's heading.
TradeWindow* openTrade(Windows& w, int player) {
    auto* heading = w.board.grid()->findChild<QLabel*>(QStringLiteral("lblPlayer(%1)").arg(player));
    EXPECT_NE(heading, nullptr);
    if (heading != nullptr) QTest::mouseClick(heading, Qt::LeftButton);
    EXPECT_NE(w.board.tradeWindow(), nullptr);
    return w.board.tradeWindow();
}

template <class T = QWidget> T* part(TradeWindow* trade, const QString& name) {
    T* found = trade->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

QString text(TradeWindow* trade, const QString& label) {
    return part<QLabel>(trade, label)->text();
}

/// Types `typed` into a field of the trade window, replacing what stood there, and presses Enter.
void enter(TradeWindow* trade, const QString& field, const QString& typed) {
    auto* edit = part<QLineEdit>(trade, field);
    edit->clear();
    QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Return);
}

/// The texts of a side's seven list labels.
QStringList listed(TradeWindow* trade, int side) {
    QStringList texts;
    for (int k = 0; k < 7; ++k)
        texts << text(trade, QStringLiteral("PropOff%1(%2)").arg(side).arg(k));
    return texts;
}

QStringList listOf(QStringList head) {
    while (head.size() < 7)
        head << QString();
    return head;
}

const char* const kHelp = "1 = Mediteranean Avenue\r\n3 = Baltic Avenue\r\n5 = Reading Railroad\r\n"
                          "6 = Oriental Avenue\r\n8 = Vermont Avenue\r\n9 = Connecticut Avenue\r\n"
                          "11 = St. Charles Place\r\n13 = States Avenue\r\n14 = Virginia Avenue\r\n"
                          "15 = Pennsiilvania Avenue\r\n16 = St. James Place\r\n18 = Tennesse Avenue\r\n"
                          "19 = New York Avenue\r\n21 = Kentucky Avenue\r\n23 = Indiana Avenue\r\n"
                          "24 = Illinois Avenue\r\n25 = B && O Railroad\r\n26 = Atlantic Avenue\r\n"
                          "27 = Ventor Avenue\r\n29 = Marvin Gardens\r\n31 = Pacific Avenue\r\n"
                          "32 = North Carolina Avenue\r\n34 = Pennsilvania Avenue\r\n35 = Short Line\r\n"
                          "37 = Park Place\r\n39 = Boardwalk\r\n12 = Electric Company\r\n28 = Water Works";

} // namespace

TEST(TradeWindow, EveryElementStandsWhereTheLayoutPutsIt) {
    Windows w;
    w.start(2);
    TradeWindow* trade = openTrade(w, 2);
    ASSERT_NE(trade, nullptr);
    EXPECT_EQ(trade->windowTitle(), "Trade");
    EXPECT_EQ(trade->size(), QSize(539, 577));
    struct Place {
        QString name;
        QString text;
        QRect where;
    };
    std::vector<Place> places = {
        {"lblTrader", "Player 1", pixels(360, 240, 2535, 495)},
        {"lblTradee", "Player 2", pixels(4440, 240, 2535, 495)},
        {"Label4", "Money:", pixels(360, 3840, 855, 255)},
        {"Label5", "Money:", pixels(4440, 3840, 855, 255)},
        {"cmdOffer", "Finalize offer", pixels(2280, 7800, 2655, 615)},
    };
    for (int side = 0; side < 2; ++side) {
        auto at = [side](const char* name) { return QString::fromLatin1(name).arg(side); };
        const int shift = side == 0 ? 0 : 1;
        places.push_back({at("Label1(%1)"), "Add money:", pixels(240 + 4080 * shift, 1320, 975, 255)});
        places.push_back({at("txtMoney(%1)"), "", pixels(1440 + 3960 * shift, 1320, 1455, 285)});
        places.push_back({at("Label2(%1)"), "Add property:", pixels(240 + 4080 * shift, 1800, 1095, 255)});
        places.push_back({at("txtProperty(%1)"), "", pixels(1440 + 3960 * shift, 1800, 1455, 285)});
        places.push_back({at("cmdHelp(%1)"), "?", pixels(3000 + 3960 * shift, 1800, 375, 255)});
        places.push_back({at("Label3(%1)"), "Offer:", pixels(1080 + 4440 * shift, 3120, 735, 255)});
        places.push_back({at("lblMoneyOff(%1)"), "", pixels(1320 + 4080 * shift, 3840, 1695, 255)});
        for (int k = 0; k < 7; ++k)
            places.push_back({QStringLiteral("PropOff%1(%2)").arg(side).arg(k), "",
                              pixels(360 + 4200 * shift, 4320 + 480 * k, 2415, 255)});
    }
    for (const Place& p : places) {
        QWidget* widget = part(trade, p.name);
        if (widget == nullptr) continue;
        EXPECT_EQ(widget->geometry(), p.where) << p.name.toStdString();
        EXPECT_EQ(widget->property("text").toString(), p.text) << p.name.toStdString();
    }
}

TEST(TradeWindow, TabGoesDownTheTraderSideThenTheTradeeSideThenTheOffer) {
    Windows w;
    w.start(2);
    TradeWindow* trade = openTrade(w, 2);
    ASSERT_NE(trade, nullptr);
    EXPECT_EQ(tabOrder(part(trade, "txtMoney(0)")),
              (QStringList{"txtMoney(0)", "txtProperty(0)", "cmdHelp(0)", "txtMoney(1)", "txtProperty(1)",
                           "cmdHelp(1)", "cmdOffer"}));
}

TEST(TradeWindow, EnterAddsTheTypedAmountToTheRunningSum) {
    Windows w;
    w.start(2);
    TradeWindow* trade = openTrade(w, 2);
    ASSERT_NE(trade, nullptr);
    QTest::keyClicks(part(trade, "txtMoney(0)"), "100");
    EXPECT_EQ(text(trade, "lblMoneyOff(0)"), "");
    QTest::keyClick(part(trade, "txtMoney(0)"), Qt::Key_Return);
    EXPECT_EQ(text(trade, "lblMoneyOff(0)"), "100");
    QTest::keyClick(part(trade, "txtMoney(0)"), Qt::Key_Enter);
    EXPECT_EQ(text(trade, "lblMoneyOff(0)"), "200");
    EXPECT_EQ(part<QLineEdit>(trade, "txtMoney(0)")->text(), "100");
    enter(trade, "txtMoney(1)", "");
    EXPECT_EQ(text(trade, "lblMoneyOff(1)"), "0");
    enter(trade, "txtMoney(1)", "-50");
    enter(trade, "txtMoney(1)", "12.5");
    EXPECT_EQ(text(trade, "lblMoneyOff(1)"), "-37.5");
    EXPECT_EQ(text(trade, "lblMoneyOff(0)"), "200");
}

TEST(TradeWindow, EnterListsASquareOfTheSidesOwnPlayer) {
    Windows w;
    w.start(2);
    own(w, 25, 1);
    own(w, 3, 1);
    own(w, 39, 2);
    own(w, 5, 1);
    w.s().owners[5] = 5; // mortgaged
    TradeWindow* trade = openTrade(w, 2);
    ASSERT_NE(trade, nullptr);
    for (const char* typed : {"25", "39", "5", "7", "abc", "2.6"})
        enter(trade, "txtProperty(0)", typed);
    EXPECT_EQ(listed(trade, 0), listOf({"B & O Railroad", "Baltic Avenue"}));
    EXPECT_EQ(part(trade, "PropOff0(1)")->property("tag").toString(), "2.6");
    enter(trade, "txtProperty(1)", "3");
    enter(trade, "txtProperty(1)", "39");
    EXPECT_EQ(listed(trade, 1), listOf({"Boardwalk"}));
    EXPECT_TRUE(w.boxes.shown().empty());
}

TEST(TradeWindow, EitherHelpButtonListsTheSquareTitles) {
    Windows w;
    w.start(2);
    TradeWindow* trade = openTrade(w, 2);
    ASSERT_NE(trade, nullptr);
    w.boxes.expect({msg(kHelp), msg(kHelp)});
    w.click(trade, "cmdHelp(0)");
    w.click(trade, "cmdHelp(1)");
    EXPECT_TRUE(w.boxes.done());
}

TEST(TradeWindow, AcceptedOfferMovesMoneyAndSquares) {
    Windows w;
    w.start(2);
    w.random.dice(2, 1);
    w.boxes.expect({msg("Player 1 lands on Baltic Avenue $60"),
                    ask("Buy Baltic Avenue?", true, "Buy Property"),
                    msg("Baltic Avenue Bought by player 1")});
    w.click(&w.board, "cmdRoll");
    TradeWindow* trade = openTrade(w, 2);
    ASSERT_NE(trade, nullptr);
    QTest::keyClicks(part(trade, "txtMoney(1)"), "100"); // never confirmed with Enter, still offered
    enter(trade, "txtProperty(0)", "3");
    QCheckBox* mine = w.board.grid()->box(1, 3);
    QCheckBox* theirs = w.board.grid()->box(2, 3);

    w.boxes.expect({ask("Player 2, do you accept this offer?", false)});
    w.click(trade, "cmdOffer");
    EXPECT_EQ(w.s().owners[3], 1);
    EXPECT_EQ(w.s().money[1], 1440);
    EXPECT_TRUE(mine->isChecked());

    w.boxes.expect({ask("Player 2, do you accept this offer?", true)});
    w.click(trade, "cmdOffer");
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(w.s().owners[3], 2);
    EXPECT_FALSE(mine->isChecked());
    EXPECT_TRUE(theirs->isChecked());
    EXPECT_EQ(w.board.findChild<QLabel*>("Label1(1)")->text(), "1540");
    EXPECT_EQ(w.board.findChild<QLabel*>("Label1(2)")->text(), "1400");
    EXPECT_EQ(w.board.tradeWindow(), trade);
    EXPECT_EQ(listed(trade, 0), listOf({"Baltic Avenue"}));
    EXPECT_EQ(part<QLineEdit>(trade, "txtMoney(1)")->text(), "100");
}

TEST(TradeWindow, ClosingDiscardsTheOfferAndTheNextHeadingStartsAfresh) {
    Windows w;
    w.start(4);
    own(w, 3, 1);
    TradeWindow* trade = openTrade(w, 2);
    ASSERT_NE(trade, nullptr);
    enter(trade, "txtMoney(0)", "75");
    enter(trade, "txtProperty(0)", "3");
    trade->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.board.tradeWindow(), nullptr);
    w.s().turn = 3; // the turn has moved on meanwhile
    trade = openTrade(w, 4);
    ASSERT_NE(trade, nullptr);
    EXPECT_TRUE(trade->isVisible());
    EXPECT_EQ(text(trade, "lblTrader"), "Player 3");
    EXPECT_EQ(text(trade, "lblTradee"), "Player 4");
    EXPECT_EQ(part<QLineEdit>(trade, "txtMoney(0)")->text(), "");
    EXPECT_EQ(text(trade, "lblMoneyOff(0)"), "");
    EXPECT_EQ(listed(trade, 0), listOf({}));
}

TEST(TradeWindow, GarbageTypedInTheFieldsIsReadWithoutHarm) {
    Windows w;
    w.start(2);
    TradeWindow* trade = openTrade(w, 2);
    ASSERT_NE(trade, nullptr);
    const char* const garbage[] = {"abc",
                                   "-",
                                   ".",
                                   "1e",
                                   "--5",
                                   "3.5.5",
                                   "  12abc",
                                   "0x1F",
                                   "nan",
                                   "inf",
                                   "1e999",
                                   "-1e999",
                                   "99999999999999999999",
                                   "39.6",
                                   "-0.6",
                                   "40",
                                   "\t"};
    for (const char* typed : garbage) {
        for (int side = 0; side < 2; ++side) {
            enter(trade, QStringLiteral("txtMoney(%1)").arg(side), typed);
            enter(trade, QStringLiteral("txtProperty(%1)").arg(side), typed);
        }
    }
    EXPECT_EQ(listed(trade, 0), listOf({}));
    EXPECT_EQ(listed(trade, 1), listOf({}));
    enter(trade, "txtMoney(0)", "abc");
    enter(trade, "txtMoney(1)", "");
    w.boxes.expect({ask("Player 2, do you accept this offer?", true)});
    w.click(trade, "cmdOffer");
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(w.s().money[1], 1500);
    EXPECT_EQ(w.s().money[2], 1500);
    EXPECT_EQ(w.board.tradeWindow(), trade);
}
