// Where the windows put things: the board's square pictures and tokens, and the grid's rows.
#include "boxes.h"
#include "geometry.h"
#include "ownership_grid.h"

#include <QCheckBox>

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {
bool isRailroad(int square) {
    return squareInfo(square).kind == SquareKind::Railroad;
}
bool isUtility(int square) {
    return squareInfo(square).kind == SquareKind::Utility;
}
} // namespace

TEST(BoardLayout, SquarePicturesStandWhereTheLayoutPutsThem) {
    for (int i = 0; i < kSquareCount; ++i) {
        Rect expected{};
        if (i == 0)
            expected = {7920, 8160, 1005, 1005};
        else if (i < 10)
            expected = {7920 - 750 * i, 8160, 750, 1005};
        else if (i == 10)
            expected = {165, 8160, 1005, 1005};
        else if (i < 20)
            expected = {165, 8160 - 750 * (i - 10), 1005, 750};
        else if (i == 20)
            expected = {165, 405, 1005, 1005};
        else if (i < 30)
            expected = {1170 + 750 * (i - 21), 405, 750, 1005};
        else if (i == 30)
            expected = {7920, 405, 1005, 1005};
        else
            expected = {7920, 1410 + 750 * (i - 31), 1005, 750};
        EXPECT_EQ(squareRect(i), expected) << "square " << i;
    }
    EXPECT_EQ(squareRect(9).left, 1170);
    EXPECT_EQ(squareRect(19).top, 1410);
    EXPECT_EQ(squareRect(29).left, 7170);
    EXPECT_EQ(squareRect(39).top, 7410);
}

TEST(BoardLayout, PicturesTileEachSideWithoutGapsOrOverlaps) {
    for (int i = 1; i <= kSquareCount; ++i) {
        const Rect a = squareRect(i - 1), b = squareRect(i % kSquareCount);
        SCOPED_TRACE("squares " + std::to_string(i - 1) + " and " + std::to_string(i % kSquareCount));
        if (i <= 10) { // bottom row, right to left, flush with the bottom edge
            EXPECT_EQ(b.left + b.width, a.left);
            EXPECT_EQ(b.top + b.height, 9165);
        } else if (i <= 20) { // left column, bottom to top
            EXPECT_EQ(b.top + b.height, a.top);
            EXPECT_EQ(b.left, 165);
        } else if (i <= 30) { // top row, left to right
            EXPECT_EQ(a.left + a.width, b.left);
            EXPECT_EQ(b.top, 405);
        } else { // right column, top to bottom, back to Go
            EXPECT_EQ(a.top + a.height, b.top);
            EXPECT_EQ(b.left + b.width, 8925);
        }
    }
}

TEST(Tokens, StartSideBySideOnGo) {
    Table t;
    for (int p = 1; p <= kPlayerCount; ++p) {
        EXPECT_EQ(tokenStart(p), (Rect{7920 + 240 * (p - 1), 8160, 255, 255})) << p;
        EXPECT_EQ(tokenPlace(p, t.s().board.tokens[p]), tokenStart(p));
        EXPECT_EQ(t.s().positions[p], 0);
    }
}

TEST(Tokens, EachPlaceOnASquareIsOneTokenWidthAndATwipFurtherRight) {
    for (const int square : {0, 5, 10, 20, 39}) {
        const Rect corner = squareRect(square);
        for (int stack = 0; stack < kPlayerCount; ++stack) {
            const Rect place =
                tokenPlace(2, TokenView{static_cast<i16>(square), static_cast<i16>(stack), true, true});
            EXPECT_EQ(place, (Rect{corner.left + 256 * stack, corner.top, 255, 255}))
                << square << ' ' << stack;
        }
    }
}

TEST(Tokens, OnlyTheFirstSeatsStartIsAPlaceAMoveCanReach) {
    // The game treats player 1's starting place as the first place on Go and every other starting place
    // as one no move reaches; the pictures must agree.
    std::vector<Rect> reachable;
    for (int square = 0; square < kSquareCount; ++square)
        for (int stack = 0; stack < kPlayerCount; ++stack)
            reachable.push_back(
                tokenPlace(1, TokenView{static_cast<i16>(square), static_cast<i16>(stack), true, true}));
    for (int p = 1; p <= kPlayerCount; ++p) {
        const bool reached = std::ranges::find(reachable, tokenStart(p)) != reachable.end();
        EXPECT_EQ(reached, p == 1) << "player " << p;
    }
    EXPECT_EQ(tokenStart(1), tokenPlace(3, TokenView{0, 0, true, true}));
}

TEST(GridRows, StandInGroupsDownTheGrid) {
    Windows w;
    const auto rows = gridRows();
    auto top = [&](std::size_t k) {
        return w.board.grid()->box(1, rows[k].square)->geometry().top() * kTwipsPerPixel;
    };
    EXPECT_EQ(top(0), 480);
    for (std::size_t k = 1; k < rows.size(); ++k) {
        const int above = rows[k - 1].square, here = rows[k].square;
        int gap = 480; // a new colour group, or the utilities after the railroads
        if (colourGroupOf(here) && colourGroupOf(here) == colourGroupOf(above)) gap = 360;
        if ((isRailroad(here) && isRailroad(above)) || (isUtility(here) && isUtility(above))) gap = 360;
        if (isRailroad(here) && colourGroupOf(above)) gap = 600;
        if (here == 6) gap = 600; // the purple rows stand apart from the rest of the streets
        EXPECT_EQ(top(k) - top(k - 1), gap) << "row of square " << here;
    }
    EXPECT_EQ(top(rows.size() - 1), 11520);
}
