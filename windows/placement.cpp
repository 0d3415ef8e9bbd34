#include "placement.h"

#include <algorithm>
#include <limits>

namespace dealbrix {

namespace {

// Covering the board hides its buttons, so a place over the board counts this many times its area
// against one over another window.
constexpr long long kBoardWeight = 16;

long long overlap(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : static_cast<long long>(common.width()) * common.height();
}

/// `place` moved just far enough for a window of `size` to lie inside `screen`; a window larger than
/// the screen keeps its top left corner on the screen.
QPoint clampInto(QPoint place, const QSize& size, const QRect& screen) {
    const int x = std::max(screen.left(), std::min(place.x(), screen.left() + screen.width() - size.width()));
    const int y = std::max(screen.top(), std::min(place.y(), screen.top() + screen.height() - size.height()));
    return {x, y};
}

} // namespace

QPoint placeBeside(const QRect& board, const std::vector<QRect>& others, const QSize& window,
                   const QRect& screen) {
    std::vector<QPoint> tries;
    for (const QRect& other : others) {
        if (other.isEmpty()) continue;
        tries.emplace_back(other.right() + 1, other.top());
        tries.emplace_back(other.left(), other.bottom() + 1);
    }
    tries.emplace_back(board.left(), board.bottom() + 1);
    tries.emplace_back(board.left() - window.width(), board.top());
    tries.emplace_back(board.right() + 1, board.top());
    tries.emplace_back(board.left(), board.top() - window.height());
    tries.push_back(screen.topLeft());
    tries.emplace_back(screen.right() + 1 - window.width(), screen.top());
    tries.emplace_back(screen.left(), screen.bottom() + 1 - window.height());
    tries.emplace_back(screen.right() + 1 - window.width(), screen.bottom() + 1 - window.height());

    QPoint best = clampInto(tries.front(), window, screen);
    long long bestCover = std::numeric_limits<long long>::max();
    for (const QPoint& place : tries) {
        const QPoint inside = clampInto(place, window, screen);
        const QRect frame(inside, window);
        long long cover = kBoardWeight * overlap(frame, board);
        for (const QRect& other : others)
            cover += overlap(frame, other);
        if (cover < bestCover) {
            best = inside;
            bestCover = cover;
            if (cover == 0) break;
        }
    }
    return best;
}

QPoint placeBoxClear(const QRect& board, const std::vector<QRect>& keepClear,
                     const std::vector<QRect>& others, const QSize& box, const QRect& screen) {
    QRect span;
    for (const QRect& r : keepClear)
        span = span.united(r);
    const int left = board.center().x() - box.width() / 2;
    // A small gap, so the box's shadow or border does not touch what it leaves clear.
    constexpr int kGap = 4;
    std::vector<QPoint> tries{{left, board.center().y() - box.height() / 2}};
    if (!span.isEmpty()) {
        tries.emplace_back(left, span.top() - kGap - box.height());
        tries.emplace_back(left, span.bottom() + 1 + kGap);
    }
    for (const QPoint& place : tries) {
        const QRect frame(clampInto(place, box, screen), box);
        const bool clear = std::none_of(keepClear.begin(), keepClear.end(),
                                        [&frame](const QRect& r) { return frame.intersects(r); });
        if (clear && board.contains(frame)) return frame.topLeft();
    }
    return placeBeside(board, others, box, screen);
}

} // namespace dealbrix
