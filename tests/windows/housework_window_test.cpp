#include "boxes.h"
#include "house_options_window.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

QRect pixels(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

/// Clicks the picture of `square` on the board.
void clickSquare(Windows& w, int square) {
    auto* picture = w.board.findChild<QLabel*>(QStringLiteral("Square(%1)").arg(square));
    ASSERT_NE(picture, nullptr) << square;
    QTest::mouseClick(picture, Qt::LeftButton);
}

template <class T> T* part(Windows& w, const char* name) {
    HouseOptionsWindow* window = w.board.houseOptionsWindow();
    EXPECT_NE(window, nullptr) << "House Options is closed";
    T* found = window == nullptr ? nullptr : window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QPushButton* button(Windows& w, const char* name) {
    return part<QPushButton>(w, name);
}
QString title(Windows& w) {
    return part<QLabel>(w, "lblTitle")->text();
}

/// Whether the three buttons can be used, and the mortgage caption, as one text: "on Mortgage".
QString buttons(Windows& w) {
    const bool on = button(w, "cmdBuyHouse")->isEnabled();
    EXPECT_EQ(button(w, "cmdSellHouse")->isEnabled(), on);
    EXPECT_EQ(button(w, "cmdMortgage")->isEnabled(), on);
    return (on ? "on " : "off ") + button(w, "cmdMortgage")->text();
}

void closeHouseOptions(Windows& w) {
    ASSERT_NE(w.board.houseOptionsWindow(), nullptr);
    w.board.houseOptionsWindow()->close();
    QCoreApplication::processEvents();
    ASSERT_EQ(w.board.houseOptionsWindow(), nullptr);
}

} // namespace

TEST(HouseOptionsWindow, LayoutTitleFontAndTabOrder) {
    Windows w;
    w.start(2);
    clickSquare(w, 39);
    HouseOptionsWindow* window = w.board.houseOptionsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "House Options");
    EXPECT_EQ(window->size(), QSize(622, 310));
    EXPECT_TRUE(window->isVisible());
    auto* label = part<QLabel>(w, "lblTitle");
    EXPECT_EQ(label->geometry(), pixels(1080, 360, 6975, 855));
    EXPECT_EQ(label->font().family(), kFontFamily);
    EXPECT_EQ(label->font().pointSize(), 24);
    EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(button(w, "cmdBuyHouse")->geometry(), pixels(960, 1680, 7095, 735));
    EXPECT_EQ(button(w, "cmdSellHouse")->geometry(), pixels(960, 2520, 7095, 735));
    EXPECT_EQ(button(w, "cmdMortgage")->geometry(), pixels(960, 3360, 7095, 735));
    EXPECT_EQ(button(w, "cmdBuyHouse")->text(), "Buy House");
    EXPECT_EQ(button(w, "cmdSellHouse")->text(), "Sell House");
    EXPECT_EQ(tabOrder(button(w, "cmdBuyHouse")),
              (QStringList{"cmdBuyHouse", "cmdMortgage", "cmdSellHouse"}));
}

TEST(HouseOptionsWindow, SquaresThatCannotBeOwnedOpenNothing) {
    Windows w;
    w.start(2);
    for (int square : {0, 2, 4, 7, 10, 17, 20, 22, 30, 33, 36, 38})
        clickSquare(w, square);
    EXPECT_EQ(w.board.houseOptionsWindow(), nullptr);
    EXPECT_EQ(w.s().houseOptionsSquare, 0);
    clickSquare(w, 39);
    clickSquare(w, 30);
    EXPECT_EQ(w.s().houseOptionsSquare, 39);
    EXPECT_TRUE(w.boxes.shown().empty());
}

TEST(HouseOptionsWindow, ButtonsServeOnlyTheCurrentPlayersOwnSquares) {
    Windows w;
    w.start(2);
    own(w, 3, 1);
    own(w, 6, 1, true);
    own(w, 39, 2);
    const std::pair<int, const char*> cases[] = {
        {3, "on Mortgage"}, {6, "on Unmortgage"}, {39, "off Mortgage"}, {1, "off Mortgage"}};
    for (const auto& [square, expected] : cases) {
        clickSquare(w, square);
        EXPECT_EQ(buttons(w), expected) << square;
        closeHouseOptions(w);
    }
}

TEST(HouseOptionsWindow, TitleNamesTheSquareInItsGroupColour) {
    Windows w;
    w.start(2);
    const std::tuple<int, const char*, QColor> cases[] = {{25, "B & O Railroad", QColor(128, 128, 128)},
                                                          {39, "Boardwalk", QColor(0, 0, 255)},
                                                          {8, "Vermont Avenue", QColor(0, 255, 255)}};
    for (const auto& [square, name, colour] : cases) {
        clickSquare(w, square);
        EXPECT_EQ(title(w), name);
        const QImage picture = part<QLabel>(w, "lblTitle")->grab().toImage();
        EXPECT_EQ(picture.pixelColor(2, 2).rgb(), colour.rgb()) << square;
        closeHouseOptions(w);
    }
}

TEST(HouseOptionsWindow, ASecondSquareClickKeepsTheLoadedTitleAndButtons) {
    Windows w;
    w.start(2);
    own(w, 1, 1);
    own(w, 39, 2);
    clickSquare(w, 1);
    HouseOptionsWindow* window = w.board.houseOptionsWindow();
    clickSquare(w, 39);
    EXPECT_EQ(w.board.houseOptionsWindow(), window);
    EXPECT_EQ(w.s().houseOptionsSquare, 39);
    EXPECT_EQ(title(w), "Mediteranean Avenue");
    EXPECT_EQ(buttons(w), "on Mortgage");
    // Judged for square 39, which is not player 1's.
    w.boxes.expect({msg("You don't own this property")});
    w.click(window, "cmdBuyHouse");
    w.click(window, "cmdMortgage");
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(w.s().owners[39], 2);
    EXPECT_EQ(w.s().money[1], 1500);
}

TEST(HouseOptionsWindow, ClosingDiscardsTheWindowAndTheNextClickLoadsAfresh) {
    Windows w;
    w.start(2);
    own(w, 1, 1);
    clickSquare(w, 1);
    EXPECT_EQ(buttons(w), "on Mortgage");
    closeHouseOptions(w);
    clickSquare(w, 39);
    ASSERT_NE(w.board.houseOptionsWindow(), nullptr);
    EXPECT_TRUE(w.board.houseOptionsWindow()->isVisible());
    EXPECT_EQ(title(w), "Boardwalk");
    EXPECT_EQ(buttons(w), "off Mortgage");
}

TEST(HouseOptionsWindow, BuyHouseAddsAHouseAndChargesThePlayer) {
    Windows w;
    w.start(2);
    own(w, 1, 1);
    own(w, 3, 1);
    clickSquare(w, 1);
    w.boxes.expect({ask("Are you sure you want to buy a house here?", true),
                    msg("House successfully purchased. Mediteranean Avenue now has 1 houses")});
    w.click(w.board.houseOptionsWindow(), "cmdBuyHouse");
    EXPECT_TRUE(w.boxes.done());
    EXPECT_EQ(w.s().houses[1], 1);
    EXPECT_EQ(w.board.findChild<QLabel*>("Label1(1)")->text(), "1450");
}

TEST(HouseOptionsWindow, MortgageTogglesTheCaptionAndPaysHalfThePrice) {
    Windows w;
    w.start(2);
    own(w, 37, 1);
    clickSquare(w, 37);
    QLabel* money = w.board.findChild<QLabel*>("Label1(1)");
    w.click(w.board.houseOptionsWindow(), "cmdMortgage");
    EXPECT_EQ(w.s().owners[37], 5);
    EXPECT_EQ(money->text(), "1675");
    EXPECT_EQ(button(w, "cmdMortgage")->text(), "Unmortgage");
    w.click(w.board.houseOptionsWindow(), "cmdMortgage");
    EXPECT_EQ(w.s().owners[37], 1);
    EXPECT_EQ(money->text(), "1500");
    EXPECT_EQ(button(w, "cmdMortgage")->text(), "Mortgage");
    EXPECT_TRUE(w.boxes.shown().empty());
}
