// What happens when a token comes to rest: the landing message, taxes, jail, cards, rent and purchases.
#include "game.h"

#include <algorithm>
#include <limits>

namespace dealbrix {

void Game::landOn(int square) {
    if (!isSquare(square)) return;
    const SquareInfo& info = squareInfo(square);
    int& landings = state.history.landings[square];
    if (landings < std::numeric_limits<int>::max()) ++landings;
    tell({.kind = BoxKind::Landing,
          .seat = state.turn,
          .square = square,
          .text = seatName(state, state.turn) + " lands on " + std::string(info.landingText)});
    switch (info.kind) {
    case SquareKind::Go:
    case SquareKind::Jail:
        break;
    case SquareKind::FreeParking:
        collectPot();
        break;
    case SquareKind::Tax: {
        const i16 before = state.money[state.turn];
        state.money[state.turn] = clampedAdd(before, -taxAmount(square));
        owe(state.turn, kBank, before);
        intoPot(before - state.money[state.turn]);
        break;
    }
    case SquareKind::Chance:
        playChanceCard(state.decks[1][state.nextCard[1]]);
        break;
    case SquareKind::CommunityChest:
        playChestCard(state.decks[2][state.nextCard[2]]);
        break;
    case SquareKind::GoToJail:
        sendToJail();
        break;
    case SquareKind::Street:
    case SquareKind::Railroad:
    case SquareKind::Utility:
        state.rent = rentFor(state, square, state.diceRoll[2]);
        settleOwnedSquare(square, info.purchaseName, info.price);
        break;
    }
}

i16 rentFor(const Holdings& h, int square, int diceSum) {
    const SquareInfo& info = squareInfo(square);
    const auto sameOwner = [&](i16 other) { return h.owners[other] == h.owners[square]; };
    switch (info.kind) {
    case SquareKind::Street: {
        const ColourGroup& group = *colourGroupOf(square);
        const bool whole = std::all_of(group.squares.begin(), group.squares.begin() + group.size, sameOwner);
        const int houses = h.houses[square];
        const bool houseRent = houses >= 1 && houses <= 5;
        if (group.size == 2) {
            // The two-square groups have their own rent: the group rent, and house rents, only while
            // both match.
            if (!whole) return info.baseRent;
            return houseRent ? info.houseRents[static_cast<std::size_t>(houses - 1)] : info.groupRent;
        }
        // The three-square groups double the base rent while all three match; house rents apply
        // whoever owns the rest.
        if (houseRent) return info.houseRents[static_cast<std::size_t>(houses - 1)];
        return whole ? clampedAdd(info.baseRent, info.baseRent) : info.baseRent;
    }
    case SquareKind::Railroad:
        return railroadRent(static_cast<int>(std::count_if(kRailroads.begin(), kRailroads.end(), sameOwner)));
    case SquareKind::Utility:
        return clampedAdd(0, static_cast<long long>(diceSum) *
                                 utilityMultiplier(h.owners[kUtilities[0]] == h.owners[kUtilities[1]]));
    default:
        return 0;
    }
}

void Game::sendToJail() {
    state.jailTurns[state.turn] = 1;
    moveToken(kJailSquare);
}

bool Game::ownsWholeGroup(const ColourGroup& group) const {
    const i16 first = state.owners[group.squares[0]];
    for (int k = 1; k < group.size; ++k)
        if (state.owners[group.squares[static_cast<std::size_t>(k)]] != first) return false;
    return true;
}

void Game::settleOwnedSquare(int square, std::string_view name, i16 price) {
    const int owner = state.owners[square];
    const int t = state.turn;
    if (owner == kBank) {
        offerPurchase(square, name, price);
    } else if (owner == t) {
        tell({.kind = BoxKind::OwnSquare,
              .seat = t,
              .square = square,
              .text = "You landed on your own property"});
    } else if (isMortgaged(owner)) {
        tell({.kind = BoxKind::MortgagedSquare,
              .seat = t,
              .square = square,
              .text = "Property mortgaged, just visiting"});
    } else if (!collectsNoRent(owner)) {
        tell({.kind = BoxKind::Rent,
              .seat = t,
              .square = square,
              .amount = state.rent,
              .text = "You Owe $" + num(state.rent) + " to " + seatName(state, owner)});
        const i16 before = state.money[t];
        state.money[t] = clampedAdd(state.money[t], -state.rent);
        state.money[owner] = clampedAdd(state.money[owner], state.rent);
        owe(t, owner, before);
    }
}

MoneyFacts Game::purchaseFacts(int square, i16 price) const {
    const int t = state.turn;
    const SquareInfo& info = squareInfo(square);
    int rent = 0; // a utility's rent hangs on the dice
    if (info.kind == SquareKind::Railroad) {
        const auto held = std::count(kRailroads.begin(), kRailroads.end(), static_cast<i16>(t));
        rent = railroadRent(static_cast<int>(held) + 1);
    } else if (const ColourGroup* group = colourGroupOf(square)) {
        // Buying the last square of a group the buyer holds outright makes the group's rent.
        bool whole = true;
        for (int k = 0; k < group->size; ++k) {
            const int other = group->squares[static_cast<std::size_t>(k)];
            if (other != square && state.owners[other] != t) whole = false;
        }
        rent = !whole ? info.baseRent : group->size == 2 ? info.groupRent : 2 * info.baseRent;
    }
    return {.price = price, .rentNow = rent, .cashAfter = state.money[t] - price};
}

void Game::offerPurchase(int square, std::string_view name, i16 price) {
    const int t = state.turn;
    const bool yes = ask({.kind = BoxKind::PurchaseOffer,
                          .seat = t,
                          .square = square,
                          .amount = price,
                          .title = "Buy Property",
                          .text = "Buy " + std::string(name) + "?",
                          .facts = purchaseFacts(square, price)});
    state.purchaseAnswer = yes ? kAnswerYes : kAnswerNo;
    if (!yes) {
        tell(
            {.kind = BoxKind::PurchaseDeclined, .seat = t, .square = square, .text = "Property Turned Down"});
        if (state.rules.has(HouseRule::Auction)) runAuction(square, name);
        return;
    }
    const i16 before = state.money[t];
    if (!changeMoneyByChoice(t, -price)) return;
    owe(t, kBank, before);
    state.owners[square] = static_cast<i16>(t);
    state.grid.ticked[t][square] = true;
    state.pricePaid[square] = price;
    tell({.kind = BoxKind::PurchaseMade,
          .seat = t,
          .square = square,
          .amount = price,
          .text = std::string(name) + " Bought by " +
                  (state.names[t].empty() ? "player " + num(t) : state.names[t])});
}

} // namespace dealbrix
