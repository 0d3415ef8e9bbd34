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
        const int owner = s.Owner[sq];
        const int houses = s.Houses[sq];
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
            cards.push_back(s.Decks[deck][pos]);
        std::sort(cards.begin(), cards.end());
        for (int i = 0; i < kCardsPerDeck; ++i)
            if (cards[static_cast<std::size_t>(i)] != i + 1) {
                r.fail("deck ", deck, " is not a permutation of 1..17");
                break;
            }
        if (!inRange(s.CardPos[deck], 1, kCardsPerDeck))
            r.fail("deck ", deck, " draws from position ", s.CardPos[deck]);
    }
    for (int p = 1; p <= kPlayerCount; ++p) {
        if (!inRange(s.JailTurns[p], 0, 4)) r.fail("player ", p, " jail counter ", s.JailTurns[p]);
        if (s.JailCards[p] < 0) r.fail("player ", p, " holds ", s.JailCards[p], " jail cards");
        if (s.Bankrupt[p] != 0 && s.Bankrupt[p] != kTrue) r.fail("player ", p, " seat state ", s.Bankrupt[p]);
        if (!isSquare(s.Position[p])) r.fail("player ", p, " stands on square ", s.Position[p]);
        if (s.board.moneyLabel[p] != num(s.Money[p]) && s.Bankrupt[p] == 0)
            r.fail("money label of player ", p, " reads ", s.board.moneyLabel[p], " for ", s.Money[p]);
    }
    if (!isPlayer(s.turn)) r.fail("turn names seat ", s.turn);
    if (!inRange(s.Debtor, 0, kPlayerCount)) r.fail("debtor ", s.Debtor);
    if (!inRange(s.SavedTurn, 0, kPlayerCount)) r.fail("saved turn ", s.SavedTurn);
    if (s.NumPlayers != 0 && !inRange(s.NumPlayers, 2, kPlayerCount))
        r.fail("number of players ", s.NumPlayers);
    if (!inRange(s.tradeto, 0, kPlayerCount)) r.fail("trade partner ", s.tradeto);
    if (s.houseWork.open && !isOwnable(s.PIndex)) r.fail("House Options open on square ", s.PIndex);
    // Outside a debt hold, a hand-over leaves the turn with a seat in play.
    if (afterHandOver && s.Debtor == 0 && s.NumPlayers != 0 &&
        (s.turn > s.NumPlayers || !isPlayer(s.turn) || s.Bankrupt[s.turn] == kTrue))
        r.fail("the hand-over left the turn with seat ", s.turn, ", which is not in play");
    const auto& d = s.DiceRoll;
    if (d[2] != 0 && (!inRange(d[0], 1, 6) || !inRange(d[1], 1, 6) || d[2] != d[0] + d[1]))
        r.fail("dice ", d[0], " and ", d[1], " with total ", d[2]);
    return r.lines;
}

} // namespace dealbrix::testing
