#include "geometry.h"

#include "values.h"

namespace dealbrix {

namespace {
constexpr int kBoardLeft = 165;
constexpr int kBoardTop = 405;
constexpr int kFarEdge = 7920; // Left of the right column, Top of the bottom row is 8160
constexpr int kBottomTop = 8160;
constexpr int kInnerStart = 1170; // first edge square after the top-left corner
constexpr int kRightColumnTop = 1410;
constexpr int kTokenGap = 240;
} // namespace

Rect squareRect(int square) {
    assert(isSquare(square));
    const int i = square;
    if (i == 0) return {kFarEdge, kBottomTop, kCornerSize, kCornerSize};
    if (i < 10) return {kFarEdge - kEdgeWidth * i, kBottomTop, kEdgeWidth, kCornerSize};
    if (i == 10) return {kBoardLeft, kBottomTop, kCornerSize, kCornerSize};
    if (i < 20) return {kBoardLeft, kBottomTop - kEdgeWidth * (i - 10), kCornerSize, kEdgeWidth};
    if (i == 20) return {kBoardLeft, kBoardTop, kCornerSize, kCornerSize};
    if (i < 30) return {kInnerStart + kEdgeWidth * (i - 21), kBoardTop, kEdgeWidth, kCornerSize};
    if (i == 30) return {kFarEdge, kBoardTop, kCornerSize, kCornerSize};
    return {kFarEdge, kRightColumnTop + kEdgeWidth * (i - 31), kCornerSize, kEdgeWidth};
}

Rect tokenStart(int player) {
    assert(isPlayer(player));
    return {kFarEdge + kTokenGap * (player - 1), kBottomTop, kTokenSize, kTokenSize};
}

Rect tokenPlace(int player, const TokenView& token) {
    if (!token.moved) return tokenStart(player);
    const Rect square = squareRect(token.square);
    return {square.left + token.stack * (kTokenSize + 1), square.top, kTokenSize, kTokenSize};
}

} // namespace dealbrix
