#include "invariants.h"

#include <algorithm>
#include <sstream>

namespace dealbrix::testing {

namespace {

struct Report {
    std::vector<std::string> lines;
    template <typename... Parts> void fail(const Parts&... parts) {
        std::ostringstream out;
        (out << ... << parts);
        lines.push_back(out.str());
    }
};

bool inRange(int value, int low, int high) {
    return value >= low && value <= high;
}

} // namespace

std::vector<std::string> brokenInvariants(const GameState& s, bool afterHandOver) {
    Report r;
    for (int sq = 0; sq < kSquareCount; ++sq) {
        const int owner = s.owners[sq];
        const int houses = s.houses[sq];
        if (!inRange(owner, 0, 2 * kPlayerCount)) r.fail("owner code ", owner, " on square ", sq);
        if (owner != 0 && !isOwnable(sq)) r.fail("square ", sq, " cannot be owned but has owner ", owner);
        if (!inRange(houses, 0, 5)) r.fail("square ", sq, " has ", houses, " houses");
        if (houses > 0 && colourGroupOf(sq) == nullptr)
            r.fail("houses on square ", sq, " outside a colour group");
        if (owner > kPlayerCount && houses != 0) r.fail("mortgaged square ", sq, " has houses");
        for (int p = 1; p <= kPlayerCount; ++p) {
            const bool owns = owner == p || owner == p + kPlayerCount;
            if (s.grid.ticked[p][sq] != owns)
                r.fail("grid box of player ", p, " for square ", sq, " is ",
                       s.grid.ticked[p][sq] ? "" : "not ", "ticked, owner code ", owner);
        }
    }
    for (int deck = 1; deck <= 2; ++deck) {
        std::vector<int> cards;
        for (int pos = 1; pos <= kCardsPerDeck; ++pos)
            cards.push_back(s.decks[deck][pos]);
        std::sort(cards.begin(), cards.end());
        for (int i = 0; i < kCardsPerDeck; ++i)
            if (cards[static_cast<std::size_t>(i)] != i + 1) {
                r.fail("deck ", deck, " is not a permutation of 1..17");
                break;
            }
        if (!inRange(s.nextCard[deck], 1, kCardsPerDeck))
            r.fail("deck ", deck, " draws from position ", s.nextCard[deck]);
    }
    for (int p = 1; p <= kPlayerCount; ++p) {
        if (!inRange(s.jailTurns[p], 0, 4)) r.fail("player ", p, " jail counter ", s.jailTurns[p]);
        if (s.jailCards[p] < 0) r.fail("player ", p, " holds ", s.jailCards[p], " jail cards");
        if (s.seatOut[p] != 0 && s.seatOut[p] != kTrue) r.fail("player ", p, " seat state ", s.seatOut[p]);
        if (!isSquare(s.positions[p])) r.fail("player ", p, " stands on square ", s.positions[p]);
        if (s.board.moneyLabels[p] != num(s.money[p]) && s.seatOut[p] == 0)
            r.fail("money label of player ", p, " reads ", s.board.moneyLabels[p], " for ", s.money[p]);
    }
    if (!isPlayer(s.turn)) r.fail("turn names seat ", s.turn);
    if (!inRange(s.debtor, 0, kPlayerCount)) r.fail("debtor ", s.debtor);
    if (!inRange(s.turnAfterDebt, 0, kPlayerCount)) r.fail("saved turn ", s.turnAfterDebt);
    if (s.playerCount != 0 && !inRange(s.playerCount, 2, kPlayerCount))
        r.fail("number of players ", s.playerCount);
    if (!inRange(s.tradePartner, 0, kPlayerCount)) r.fail("trade partner ", s.tradePartner);
    if (s.houseOptions.open && !isOwnable(s.houseOptionsSquare))
        r.fail("House Options open on square ", s.houseOptionsSquare);
    // Outside a debt hold, a hand-over leaves the turn with a seat in play.
    if (afterHandOver && s.debtor == 0 && s.playerCount != 0 &&
        (s.turn > s.playerCount || !isPlayer(s.turn) || s.seatOut[s.turn] == kTrue))
        r.fail("the hand-over left the turn with seat ", s.turn, ", which is not in play");
    const auto& d = s.diceRoll;
    if (d[2] != 0 && (!inRange(d[0], 1, 6) || !inRange(d[1], 1, 6) || d[2] != d[0] + d[1]))
        r.fail("dice ", d[0], " and ", d[1], " with total ", d[2]);
    return r.lines;
}

} // namespace dealbrix::testing
