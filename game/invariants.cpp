#include "invariants.h"

#include "board.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace dealbrix {

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

/// What the windows show agrees with the state: a saved file can hold any view, play only these.
void checkViews(const GameState& s, Report& r) {
    const BoardView& b = s.board;
    bool namesSeat = false;
    for (int p = 1; p <= kPlayerCount; ++p) {
        namesSeat = namesSeat || b.turnLabel == seatName(s, p) + "'s turn";
        const TokenView& t = b.tokens[p];
        if (t.square != s.positions[p] || !inRange(t.stack, 0, kPlayerCount - 1) ||
            (!t.moved && t.square != 0))
            r.fail("token of player ", p, " drawn on square ", t.square, " place ", t.stack, " for square ",
                   s.positions[p]);
    }
    if (!namesSeat) r.fail("turn label reads ", b.turnLabel);
    const NameCheck names = checkNames(s.names);
    if (!names.error.empty() || names.names != s.names) r.fail("names: ", names.error);
    for (int k = 1; k <= 2; ++k)
        if (!inRange(b.dice[k], 0, 6)) r.fail("die ", k, " shows ", b.dice[k]);
    if (!inRange(b.checkedPlayers, 2, kPlayerCount)) r.fail("Players item ", b.checkedPlayers, " ticked");
    if (s.purchaseAnswer != 0 && s.purchaseAnswer != kAnswerYes && s.purchaseAnswer != kAnswerNo)
        r.fail("purchase answer ", s.purchaseAnswer);
    if (!isSquare(s.houseOptionsSquare) || !isSquare(s.houseOptions.titleSquare))
        r.fail("House Options square ", s.houseOptionsSquare, " title ", s.houseOptions.titleSquare);
    if (s.trade.open && !isPlayer(s.tradePartner)) r.fail("trade window open without a partner");
    for (const auto& side : s.trade.squaresOffered)
        for (const OfferedSquare& label : side) {
            // A listed square was typed as a number that rounds onto the board and shows its title.
            const double square = roundHalfEven(label.typed);
            const bool onBoard = std::isfinite(label.typed) && square >= 0 && square < kSquareCount;
            if (label.text.empty() ? label.typed != 0
                                   : !onBoard || label.text != squareTitle(static_cast<int>(square)))
                r.fail("trade list label \"", label.text, "\" for typed ", label.typed);
        }
}

/// The house rules' own state: the pot, the bank's houses, the debts owed to landlords, the auction.
void checkHouseRules(const GameState& s, Report& r) {
    const HouseRules& rules = s.rules;
    if (!validStartingMoney(rules.startingMoney)) r.fail("starting money ", rules.startingMoney);
    if (s.pot < 0) r.fail("Free Parking pot of ", s.pot);
    if (s.pot != 0 && !rules.has(HouseRule::FreeParkingPot)) r.fail("a pot of ", s.pot, " without its rule");
    // Every house and hotel is either in the bank or on the board; with no limit the bank stays full.
    const BankCount board = buildingsOnBoard(s);
    const bool limited = rules.has(HouseRule::LimitedHouses);
    if (s.housesInBank < 0 || s.hotelsInBank < 0 ||
        s.housesInBank + (limited ? board.houses : 0) != kBankHouses ||
        s.hotelsInBank + (limited ? board.hotels : 0) != kBankHotels)
        r.fail("bank holds ", s.housesInBank, " houses and ", s.hotelsInBank, " hotels, board ", board.houses,
               " houses and ", board.hotels, " hotels");
    for (int p = 1; p <= kPlayerCount; ++p) {
        const int creditor = s.creditor[p];
        if (creditor == 0) continue;
        if (!rules.has(HouseRule::CreditorBankruptcy) || !isPlayer(creditor) || creditor == p ||
            s.money[p] >= 0)
            r.fail("player ", p, " owes player ", creditor, " with money ", s.money[p]);
    }
    const AuctionView& a = s.auction;
    if (!a.open) {
        if (!(a == AuctionView{})) r.fail("a closed auction still shows square ", a.square);
    } else if (!rules.has(HouseRule::Auction) || !isOwnable(a.square) || s.owners[a.square] != kBank ||
               !isPlayer(a.bidder) || a.highBid < 0 || (a.highBidder == 0) != (a.highBid == 0) ||
               !inRange(a.highBidder, 0, kPlayerCount)) {
        r.fail("auction of square ", a.square, " bidder ", a.bidder, " high bid ", a.highBid, " by ",
               a.highBidder);
    }
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
    checkViews(s, r);
    checkHouseRules(s, r);
    if (!isPlayer(s.turn)) r.fail("turn names seat ", s.turn);
    if (!inRange(s.debtor, 0, kPlayerCount)) r.fail("debtor ", s.debtor);
    if (!inRange(s.turnAfterDebt, 0, kPlayerCount)) r.fail("saved turn ", s.turnAfterDebt);
    if (s.playerCount != 0 && !inRange(s.playerCount, 2, kPlayerCount))
        r.fail("number of players ", s.playerCount);
    if (!inRange(s.tradePartner, 0, kPlayerCount)) r.fail("trade partner ", s.tradePartner);
    // A debt hold lasts while the debtor's money is not above zero, and remembers a seat to hand the
    // turn back to. The turn itself may have moved on: when two seats are held and the later one
    // gives up, End Turn holds the earlier one again and then hands the turn on past it.
    if (s.debtor != 0 && isPlayer(s.debtor) && (!isPlayer(s.turnAfterDebt) || s.money[s.debtor] > 0))
        r.fail("debt hold on player ", s.debtor, " with turn after the debt ", s.turnAfterDebt, ", money ",
               s.money[s.debtor]);
    // Start puts the seats beyond the player count out for good.
    if (s.playerCount != 0)
        for (int p = s.playerCount + 1; p <= kPlayerCount; ++p)
            if (s.seatOut[p] != kTrue)
                r.fail("player ", p, " of a ", s.playerCount, "-player game is in play");
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

} // namespace dealbrix
