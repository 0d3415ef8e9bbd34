#include "game.h"

#include <limits>

namespace dealbrix {

void GameHistory::addRound(const RoundWorth& entry) {
    // Kept rounds are evenly spaced from the start: after a thinning only every stride-th round joins.
    const int stride = worth.size() >= 2 ? worth[1].round - worth[0].round : 1;
    if (stride > 0 && entry.round % stride != 0) return;
    worth.push_back(entry);
    if (static_cast<int>(worth.size()) <= kMaxRoundsKept) return;
    std::vector<RoundWorth> kept;
    for (std::size_t k = 0; k < worth.size(); k += 2)
        kept.push_back(worth[k]);
    worth = std::move(kept);
}

int worthOf(const Holdings& holdings, int seat) {
    long long worth = holdings.money[seat];
    for (int square = 0; square < kSquareCount; ++square) {
        const int code = holdings.owners[square];
        if (ownerOf(code) != seat || code == kBank) continue;
        const SquareInfo& info = squareInfo(square);
        if (isMortgaged(code)) {
            worth += info.price / 2;
            continue;
        }
        worth += info.price;
        if (const ColourGroup* group = colourGroupOf(square))
            worth += 1LL * holdings.houses[square] * group->housePrice;
    }
    return static_cast<int>(worth);
}

void Game::recordRound(bool start) {
    GameHistory& history = state.history;
    if (start) {
        if (!history.worth.empty()) return; // a second Start goes on with the same game
    } else if (history.rounds < std::numeric_limits<int>::max()) {
        ++history.rounds;
    }
    RoundWorth entry{.round = history.rounds};
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        entry.worth[seat] = state.seatOut[seat] == kTrue ? 0 : worthOf(state, seat);
    history.addRound(entry);
}

} // namespace dealbrix
