#pragma once
// Where a new window opens: beside the game board, clear of it and of the windows already open,
// inside the screen. Pure geometry, so it is the same with or without a window manager.

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

namespace dealbrix {

/// The top left of a window whose frame is `window` in size. It tries, in order, right of and below
/// each of `others` (the windows already beside the board), then below, left of, right of and above
/// `board`, then the screen's corners; each place is moved into `screen`. The first place that covers
/// neither `board` nor any of `others` wins; failing that, the one covering least of them, the board
/// counting most. Empty rectangles in `others` are left out.
QPoint placeBeside(const QRect& board, const std::vector<QRect>& others, const QSize& window,
                   const QRect& screen);

/// The top left of a message box whose frame is `box` in size, shown over `board` (its frame): centred
/// on the board if that covers none of `keepClear` (the dice, the money lines, the token that moved),
/// else centred across the board just above or just below all of them, else beside the board as
/// placeBeside puts it (clear of `others`). Always inside `screen`.
QPoint placeBoxClear(const QRect& board, const std::vector<QRect>& keepClear,
                     const std::vector<QRect>& others, const QSize& box, const QRect& screen);

} // namespace dealbrix
