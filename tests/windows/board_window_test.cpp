#include "boxes.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {
QRect pixels(const Rect& twips) {
    return {twips.left / 15, twips.top / 15, twips.width / 15, twips.height / 15};
}
} // namespace

TEST(BoardWindow, RollMovesTheTokenAndNamesTheDice) {
    Windows w;
    w.start(2);
    w.random.dice(2, 1);
    w.boxes.expect({msg("Player 1 lands on Baltic Avenue $60"), ask("Buy Baltic Avenue?", true, "Buy Property"),
                    msg("Baltic Avenue Bought by player 1")});
    w.click(&w.board, "cmdRoll");
    EXPECT_TRUE(w.boxes.done());
    auto* token = w.board.findChild<QLabel*>("lbl(1)");
    EXPECT_EQ(token->pos(), pixels(squareRect(3)).topLeft());
    EXPECT_EQ(w.board.findChild<QLabel*>("Dice(1)")->accessibleName(), "Die showing 2");
    EXPECT_EQ(w.board.findChild<QLabel*>("Label1(1)")->text(), "1440");
}
