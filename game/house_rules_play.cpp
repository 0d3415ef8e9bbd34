// The house rules in play: choosing them, the auction, even building, the bank's houses, the Free
// Parking pot, the Go bonus, rent in jail and the bankrupt's estate. Every step here does nothing while
// its rule is off, so a table without house rules plays exactly the game it always did.
#include "game.h"

#include <algorithm>

namespace dealbrix {

namespace {

std::span<const i16> squaresOf(const ColourGroup& group) {
    return {group.squares.data(), static_cast<std::size_t>(group.size)};
}

constexpr int kHotelHouses = kHousesPerHotel + 1; // the house count that stands for a hotel
constexpr int kLastJailTurn = 3;                  // jail turns 1..3 are spent in jail

} // namespace

BankCount buildingsOnBoard(const GameState& state) {
    BankCount count;
    for (int square = 0; square < kSquareCount; ++square) {
        const int houses = state.houses[square];
        if (houses >= kHotelHouses)
            ++count.hotels;
        else if (houses > 0)
            count.houses += houses;
    }
    return count;
}

void Game::applyRules(const Action& action) {
    // The Rules window sends only names it knows and money it allows; anything else is no choice.
    HouseRules chosen = state.rules;
    if (!readHouseRuleNames(action.text, chosen).empty() || !validStartingMoney(action.number)) return;
    chosen.startingMoney = static_cast<i16>(action.number);
    // The bank's houses are counted from the board as it stands; a board already holding more than
    // the bank ever had cannot be played with a limited bank.
    const BankCount onBoard = buildingsOnBoard(state);
    if (chosen.has(HouseRule::LimitedHouses) &&
        (onBoard.houses > kBankHouses || onBoard.hotels > kBankHotels))
        return;
    // Every seat was given the old starting money at the load; it gets the new one instead, and
    // anything traded away before Start stays traded.
    const int change = chosen.startingMoney - state.rules.startingMoney;
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        state.money[seat] = clampedAdd(state.money[seat], change);
        setMoneyLabel(seat);
    }
    state.rules = chosen;
    const bool limited = chosen.has(HouseRule::LimitedHouses);
    state.housesInBank = static_cast<i16>(kBankHouses - (limited ? onBoard.houses : 0));
    state.hotelsInBank = static_cast<i16>(kBankHotels - (limited ? onBoard.hotels : 0));
    if (!chosen.has(HouseRule::FreeParkingPot)) state.pot = 0;
    if (!chosen.has(HouseRule::CreditorBankruptcy)) state.creditor = {};
}

void Game::noteRules() {
    note({.kind = BoxKind::RulesChosen, .seat = state.turn, .text = describeHouseRules(state.rules)});
}

int Game::nextBidder(int from, const PlayerArray<bool>& passed) const {
    for (int step = 1; step <= kPlayerCount; ++step) {
        const int seat = (from - 1 + step) % kPlayerCount + 1;
        if (!passed[seat] && seat != state.auction.highBidder) return seat;
    }
    return 0;
}

void Game::runAuction(int square, std::string_view name) {
    AuctionView& auction = state.auction;
    auction = {.open = true, .square = static_cast<i16>(square)};
    // Seats out of the game take no part; the others bid in turn order from the seat after the
    // decliner, who bids last. A seat that passes is out of this auction.
    PlayerArray<bool> passed{};
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        passed[seat] = seat > state.playerCount || state.seatOut[seat] == kTrue;
    const std::string title(name);
    int at = state.turn;
    while (const int bidder = nextBidder(at, passed)) {
        at = bidder;
        auction.bidder = static_cast<i16>(bidder);
        const int minimum = auction.highBid + 1;
        const int cash = state.money[bidder];
        const std::string high = auction.highBidder == 0 ? "no bid yet"
                                                         : "high bid $" + num(auction.highBid) +
                                                               " by Player " + num(auction.highBidder);
        if (cash < minimum) {
            note({.kind = BoxKind::AuctionCannotBid,
                  .seat = bidder,
                  .square = square,
                  .amount = auction.highBid,
                  .text = "Auction of " + title + ": Player " + num(bidder) + " has $" + num(cash) +
                          " and cannot beat the " + high + ", and passes"});
            passed[bidder] = true;
            continue;
        }
        const int bid =
            askAmount({.kind = BoxKind::AuctionBid,
                       .seat = bidder,
                       .square = square,
                       .amount = auction.highBid,
                       .minimum = minimum,
                       .maximum = cash,
                       .title = "Auction",
                       .text = "Auction of " + title + ": Player " + num(bidder) + " to bid, " + high});
        if (bid == 0) {
            passed[bidder] = true;
        } else {
            auction.highBid = static_cast<i16>(bid);
            auction.highBidder = static_cast<i16>(bidder);
        }
    }
    const int winner = auction.highBidder;
    const i16 price = auction.highBid;
    auction = AuctionView{};
    if (winner == 0) {
        tell({.kind = BoxKind::AuctionUnsold,
              .seat = state.turn,
              .square = square,
              .text = "Nobody bid: " + title + " stays with the bank"});
        return;
    }
    // The bid never exceeds the winner's cash, so the payment always fits.
    if (!changeMoneyByChoice(winner, -price)) return;
    state.owners[square] = static_cast<i16>(winner);
    state.grid.ticked[winner][square] = true;
    state.pricePaid[square] = price;
    tell({.kind = BoxKind::AuctionWon,
          .seat = winner,
          .square = square,
          .amount = price,
          .text = title + " goes to Player " + num(winner) + " for $" + num(price)});
}

bool Game::evenBuildingRefuses(int square, bool buying) {
    if (!state.rules.has(HouseRule::EvenBuilding)) return false;
    const ColourGroup* group = colourGroupOf(square);
    if (group == nullptr) return false;
    int fewest = state.houses[square];
    int most = fewest;
    for (const i16 other : squaresOf(*group)) {
        fewest = std::min<int>(fewest, state.houses[other]);
        most = std::max<int>(most, state.houses[other]);
    }
    const int here = state.houses[square];
    std::string why;
    if (buying && here > fewest) why = "Build evenly: another square of this group has fewer houses";
    if (!buying && here < most) why = "Sell evenly: another square of this group has more houses";
    if (why.empty()) return false;
    tell({.kind = BoxKind::HouseRefused, .seat = state.turn, .square = square, .text = why});
    return true;
}

bool Game::bankRefuses(int square, bool buying) {
    if (!state.rules.has(HouseRule::LimitedHouses)) return false;
    const int here = state.houses[square];
    std::string why;
    if (buying && here < kHousesPerHotel && state.housesInBank < 1) why = "The bank has no houses left";
    if (buying && here == kHousesPerHotel && state.hotelsInBank < 1) why = "The bank has no hotels left";
    if (!buying && here == kHotelHouses && state.housesInBank < kHousesPerHotel)
        why = "The bank needs " + num(kHousesPerHotel) + " houses to take a hotel back and has " +
              num(state.housesInBank);
    if (why.empty()) return false;
    tell({.kind = BoxKind::HouseRefused, .seat = state.turn, .square = square, .text = why});
    return true;
}

void Game::takeFromBank(int square) {
    if (!state.rules.has(HouseRule::LimitedHouses)) return;
    // A hotel replaces the four houses under it, which go back to the bank.
    if (state.houses[square] < kHousesPerHotel) {
        --state.housesInBank;
    } else {
        --state.hotelsInBank;
        state.housesInBank = static_cast<i16>(state.housesInBank + kHousesPerHotel);
    }
}

void Game::giveToBank(int square) {
    if (!state.rules.has(HouseRule::LimitedHouses)) return;
    const int here = state.houses[square];
    if (here == kHotelHouses) {
        ++state.hotelsInBank;
        state.housesInBank = static_cast<i16>(state.housesInBank - kHousesPerHotel);
    } else if (here > 0) {
        ++state.housesInBank;
    }
}

bool Game::groupHasHouses(int square) const {
    const ColourGroup* group = colourGroupOf(square);
    if (group == nullptr) return false;
    return std::ranges::any_of(squaresOf(*group), [this](i16 s) { return state.houses[s] != 0; });
}

void Game::owe(int player, int creditor, i16 before) {
    // The charge that last took a player deeper below zero decides who the debt is owed to.
    if (!state.rules.has(HouseRule::CreditorBankruptcy)) return;
    if (state.money[player] < 0 && state.money[player] < before)
        state.creditor[player] = static_cast<i16>(creditor);
}

void Game::intoPot(long long amount) {
    if (!state.rules.has(HouseRule::FreeParkingPot) || amount <= 0) return;
    state.pot = clampedAdd(state.pot, amount);
}

void Game::collectPot() {
    if (!state.rules.has(HouseRule::FreeParkingPot) || state.pot <= 0) return;
    const int t = state.turn;
    // What the bank cannot count for the player stays in the pot for the next one.
    const int taken = std::min<int>(state.pot, kMax16 - state.money[t]);
    if (taken <= 0) return;
    tell({.kind = BoxKind::PotCollected,
          .seat = t,
          .square = 20,
          .amount = taken,
          .text = "Player " + num(t) + " collects the Free Parking pot of $" + num(taken)});
    state.money[t] = static_cast<i16>(state.money[t] + taken);
    state.pot = static_cast<i16>(state.pot - taken);
}

void Game::goBonus() {
    if (!state.rules.has(HouseRule::DoubleGo)) return;
    const int t = state.turn;
    tell({.kind = BoxKind::PassedGo,
          .seat = t,
          .square = 0,
          .amount = kGoSalary,
          .text = "Player " + num(t) + " lands exactly on GO and collects another $" + num(kGoSalary)});
    state.money[t] = clampedAdd(state.money[t], kGoSalary);
    setMoneyLabel(t);
}

bool Game::collectsNoRent(int owner) {
    if (!state.rules.has(HouseRule::NoRentInJail) || !isPlayer(owner)) return false;
    if (state.jailTurns[owner] < 1 || state.jailTurns[owner] > kLastJailTurn) return false;
    tell({.kind = BoxKind::NoRentInJail,
          .seat = state.turn,
          .square = state.positions[state.turn],
          .text = "Player " + num(owner) + " is in jail and collects no rent"});
    return true;
}

void Game::settleEstate(int debtor) {
    const int creditor = state.creditor[debtor];
    const bool toCreditor = state.money[debtor] < 0 && isPlayer(creditor) && creditor != debtor &&
                            state.seatOut[creditor] != kTrue;
    tell({.kind = BoxKind::EstateHandedOver,
          .seat = debtor,
          .text = toCreditor ? "Player " + num(debtor) + "'s estate goes to Player " + num(creditor)
                             : "Player " + num(debtor) + "'s estate goes back to the bank"});
    for (int square = 0; square < kSquareCount; ++square) {
        const int code = state.owners[square];
        if (code == kBank || ownerOf(code) != debtor) continue;
        state.grid.ticked[debtor][square] = false;
        if (toCreditor) {
            // Mortgaged squares stay mortgaged, houses stay standing.
            state.owners[square] = isMortgaged(code) ? mortgagedCode(creditor) : static_cast<i16>(creditor);
            state.grid.ticked[creditor][square] = true;
            continue;
        }
        // Back with the bank the square is for sale again: no mortgage, no houses.
        while (state.houses[square] > 0) {
            giveToBank(square);
            --state.houses[square];
        }
        state.owners[square] = kBank;
    }
    if (toCreditor)
        state.jailCards[creditor] = clampedAdd(state.jailCards[creditor], state.jailCards[debtor]);
    state.jailCards[debtor] = 0;
    state.creditor[debtor] = 0;
}

void Game::note(Box box) {
    box.turn = state.turn;
    box.turnName = seatName(state, state.turn);
    // Like a box, a replayed action writes only the lines its earlier runs had not written yet.
    if (inProgress_ && ++boxesTold_ <= inProgress_->boxesShown) return;
    ui_.note(box);
    if (inProgress_) inProgress_->boxesShown = boxesTold_;
}

} // namespace dealbrix
