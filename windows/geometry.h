#pragma once
// Where things stand on the game board window, in twips (1/1440 inch; 15 twips make one pixel at
// 96 dots per inch).

#include "game.h"

namespace dealbrix {

inline constexpr int kTwipsPerPixel = 15;

/// A rectangle in twips.
struct Rect {
    int left, top, width, height;
    bool operator==(const Rect&) const = default;
};

/// Converts twips to pixels at 96 dots per inch.
constexpr int toPixels(int twips) {
    return twips / kTwipsPerPixel;
}

inline constexpr int kCornerSize = 1005;
inline constexpr int kEdgeWidth = 750;
inline constexpr int kTokenSize = 255;
inline constexpr int kBoardClientWidth = 9735;
inline constexpr int kBoardClientHeight = 9705;

/// The picture of square 0..39: corners 1005 x 1005, the others 750 along the edge and 1005 deep.
Rect squareRect(int square);

/// The starting place of player 1..4's token: side by side on square 0.
Rect tokenStart(int player);

/// Where player 1..4's token is drawn: its starting place until it first moves, then the top left
/// of its square, one token's width and a twip further right for each token it was set beside.
Rect tokenPlace(int player, const TokenView& token);

} // namespace dealbrix
