#include "boxes.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

QString labelText(Windows& w, const char* name) {
    auto* label = w.board.findChild<QLabel*>(QString::fromLatin1(name));
    EXPECT_NE(label, nullptr) << name;
    return label == nullptr ? QString() : label->text();
}

/// Which of Roll, End Turn and Bankrupt can be pressed, as "REB" with "-" for a disabled one.
QString buttons(Windows& w) {
    QString state;
    for (const auto& [name, letter] :
         {std::pair{"cmdRoll", 'R'}, {"cmdEndTurn", 'E'}, {"cmdBankrupt", 'B'}}) {
        auto* button = w.board.findChild<QPushButton*>(QString::fromLatin1(name));
        state += button != nullptr && button->isEnabled() ? QChar(letter) : QChar('-');
    }
    return state;
}

/// Rolls `a` and `b` through the Roll button and answers the boxes that follow.
void roll(Windows& w, int a, int b, std::vector<ExpectedBox> boxes) {
    w.random.dice(a, b);
    w.boxes.expect(std::move(boxes));
    w.click(&w.board, "cmdRoll");
    EXPECT_TRUE(w.boxes.done()) << "roll " << a << "+" << b;
}

void endTurn(Windows& w, std::vector<ExpectedBox> boxes = {}) {
    w.boxes.expect(std::move(boxes));
    w.click(&w.board, "cmdEndTurn");
    EXPECT_TRUE(w.boxes.done());
}

} // namespace

TEST(WholeGame, TwoPlayersPlayUntilOneGivesUpAndTheOtherWins) {
    Windows w;
    w.start(2);
    EXPECT_EQ(buttons(w), "R--");

    // Player 1 buys Baltic Avenue.
    roll(w, 2, 1,
         {msg("Player 1 lands on Baltic Avenue $60"), ask("Buy Baltic Avenue?", true, "Buy Property"),
          msg("Baltic Avenue Bought by player 1")});
    EXPECT_EQ(buttons(w), "-E-");
    endTurn(w);
    EXPECT_EQ(labelText(w, "lblTurn"), "Player 2's turn");

    // Player 2 lands there too, stands beside player 1's token and pays rent.
    roll(w, 1, 2, {msg("Player 2 lands on Baltic Avenue $60"), msg("You Owe $4 to Player 1")});
    EXPECT_EQ(labelText(w, "Label1(1)"), "1444");
    EXPECT_EQ(labelText(w, "Label1(2)"), "1496");
    const QPoint first = w.board.findChild<QLabel*>("lbl(1)")->pos();
    EXPECT_EQ(w.board.findChild<QLabel*>("lbl(2)")->pos(), QPoint((5670 + 256) / 15, first.y()));
    endTurn(w);

    // Player 1 buys Electric Company.
    roll(w, 4, 5,
         {msg("Player 1 lands on Electric Company $150"), ask("Buy Electric Company?", true, "Buy Property"),
          msg("Electric Company Bought by player 1")});
    endTurn(w);

    // Player 2, short of cash, owes four times the dice on Electric Company and is held for the debt.
    w.s().money[2] = 20;
    const ExpectedBox debt = msg(debtText(2));
    roll(w, 4, 5,
         {msg("Player 2 lands on Electric Company $150"), msg("You Owe $36 to Player 1"), debt, debt});
    EXPECT_EQ(labelText(w, "Label1(2)"), "-16");
    EXPECT_EQ(labelText(w, "Label1(1)"), "1330");
    EXPECT_EQ(buttons(w), "--B");

    w.click(&w.board, "cmdBankrupt");
    EXPECT_EQ(buttons(w), "-E-");
    EXPECT_FALSE(w.board.findChild<QLabel*>("lbl(2)")->isVisible());
    EXPECT_FALSE(w.programEnded);

    endTurn(w, {msg("Player 1 WINS!!!")});
    EXPECT_TRUE(w.programEnded);
    EXPECT_TRUE(w.board.ended());
    // Nothing more happens once the program has ended.
    w.click(&w.board, "cmdEndTurn");
    w.click(&w.board, "cmdRoll");
    EXPECT_TRUE(w.boxes.done());
}
