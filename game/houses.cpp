// Houses, mortgages and the House Options window.
#include "game.h"
#include "ownership.h"

#include <algorithm>

namespace dealbrix {

namespace {

/// The rent of a street of a whole group with `houses` (0..5) on it.
int groupStreetRent(int square, int houses) {
    const SquareInfo& info = squareInfo(square);
    if (houses >= 1 && houses <= kHotel) return info.houseRents[static_cast<std::size_t>(houses - 1)];
    return colourGroupOf(square)->size == 2 ? info.groupRent : 2 * info.baseRent;
}

} // namespace

MoneyFacts Game::houseFacts(int square, bool buying) const {
    const ColourGroup& group = *colourGroupOf(square);
    const int houses = state.houses[square];
    const int after = std::clamp(houses + (buying ? 1 : -1), 0, static_cast<int>(kHotel));
    const int refund = static_cast<int>(roundHalfEven(group.housePrice / 2.0));
    return {.price = group.housePrice,
            .rentNow = groupStreetRent(square, houses),
            .rentAfter = groupStreetRent(square, after),
            .houses = houses,
            .cashAfter = state.money[state.turn] + (buying ? -group.housePrice : refund)};
}

void Game::openHouseOptionsOn(int square) {
    state.houseOptionsSquare = static_cast<i16>(square);
    // An open window is only brought forward: its title and buttons stay as they were loaded.
    if (!state.houseOptions.open) {
        state.houseOptions.open = true;
        loadHouseOptions();
    }
}

void Game::loadHouseOptions() {
    HouseOptionsView& view = state.houseOptions;
    const int owner = state.owners[state.houseOptionsSquare];
    view.titleSquare = state.houseOptionsSquare;
    const bool mine = ownerOf(owner) == state.turn;
    view.buyEnabled = view.sellEnabled = view.mortgageEnabled = mine;
    view.mortgageCaption = mine && isMortgaged(owner) ? "Unmortgage" : "Mortgage";
}

bool Game::houseRequirementsMet(const ColourGroup& group) {
    const bool sameOwner = ownsWholeGroup(group);
    // The three-square test has always doubled the rent of the landing in progress as it looks; the
    // rent is set afresh at every landing, so this only keeps the stored value as it always was.
    if (sameOwner && group.size == 3) state.rent = clampedAdd(state.rent, state.rent);
    const int tested = state.owners[group.squares[0]];
    return sameOwner && state.money[state.turn] >= group.housePrice && tested != kBank &&
           !isMortgaged(tested);
}

void Game::buyHouseHere() {
    const int p = state.houseOptionsSquare;
    const int t = state.turn;
    const ColourGroup* group = colourGroupOf(p);
    auto refuse = [&](std::string text) {
        tell({.kind = BoxKind::HouseRefused, .seat = t, .square = p, .text = std::move(text)});
    };
    if (state.owners[p] != t) {
        refuse("You don't own this property");
    } else if (state.houses[p] > 4) {
        refuse("Already have a hotel!");
    } else if (group == nullptr) {
        refuse("Can't own houses here");
    } else if (!houseRequirementsMet(*group)) {
        refuse("Requirements not met");
    } else if (evenBuildingRefuses(p, true) || bankRefuses(p, true)) {
        // The house rule has said why.
    } else if (ask({.kind = BoxKind::HouseQuestion,
                    .seat = t,
                    .square = p,
                    .amount = group->housePrice,
                    .text = "Are you sure you want to buy a house here?",
                    .facts = houseFacts(p, true)})) {
        addHouse(p, group->housePrice);
    }
    refreshMoney();
}

void Game::sellHouseHere() {
    const int p = state.houseOptionsSquare;
    const int t = state.turn;
    const ColourGroup* group = colourGroupOf(p);
    auto refuse = [&](std::string text) {
        tell({.kind = BoxKind::HouseRefused, .seat = t, .square = p, .text = std::move(text)});
    };
    if (state.owners[p] != t) {
        // Not the player's own unmortgaged square: a sale is refused without a word.
    } else if (state.houses[p] < 1) {
        refuse("No houses to sell !");
    } else if (group == nullptr) {
        // No houses can stand here; nothing more to say.
    } else if (!houseRequirementsMet(*group)) {
        refuse("Requirements not met");
    } else if (evenBuildingRefuses(p, false) || bankRefuses(p, false)) {
        // The house rule has said why.
    } else if (ask({.kind = BoxKind::HouseQuestion,
                    .seat = t,
                    .square = p,
                    .amount = group->housePrice,
                    .text = "Are you sure you want to sell a house here?",
                    .facts = houseFacts(p, false)})) {
        removeHouse(p, group->housePrice);
    }
    refreshMoney();
}

void Game::addHouse(int square, i16 cost) {
    takeFromBank(square);
    ++state.houses[square];
    state.money[state.turn] = clampedAdd(state.money[state.turn], -cost);
    tell({.kind = BoxKind::HouseBought,
          .seat = state.turn,
          .square = square,
          .amount = cost,
          .text = "House successfully purchased. " + std::string(squareTitle(square)) + " now has " +
                  num(state.houses[square]) + " houses"});
}

void Game::removeHouse(int square, i16 cost) {
    const auto refund = static_cast<long long>(roundHalfEven(cost / 2.0));
    if (!changeMoneyByChoice(state.turn, refund)) return;
    giveToBank(square);
    --state.houses[square];
    tell({.kind = BoxKind::HouseSold,
          .seat = state.turn,
          .square = square,
          .amount = static_cast<int>(refund),
          .text = "House successfully sold. " + std::string(squareTitle(square)) + " now has " +
                  num(state.houses[square]) + " houses"});
}

void Game::toggleMortgageHere() {
    const int p = state.houseOptionsSquare;
    const int t = state.turn;
    const auto half = static_cast<long long>(roundHalfEven(state.pricePaid[p] / 2.0));
    if (state.owners[p] == t) {
        if (state.houses[p] != 0) {
            tell({.kind = BoxKind::HouseRefused,
                  .seat = t,
                  .square = p,
                  .text = "Cannot mortgage a property with houses on it, please sell houses first"});
        } else if (state.rules.has(HouseRule::EvenBuilding) && groupHasHouses(p)) {
            tell({.kind = BoxKind::HouseRefused,
                  .seat = t,
                  .square = p,
                  .text = "Cannot mortgage a property while its group has houses, please sell them first"});
        } else if (changeMoneyByChoice(t, half)) {
            state.owners[p] = mortgagedCode(t);
            state.houseOptions.mortgageCaption = "Unmortgage";
            note({.kind = BoxKind::Mortgaged,
                  .seat = t,
                  .text = seatName(state, t) + " mortgaged " + std::string(squareTitle(p)) + " for $" +
                          num(half) + "."});
        }
    } else if (state.owners[p] == mortgagedCode(t)) {
        const i16 before = state.money[t];
        if (changeMoneyByChoice(t, -half)) {
            owe(t, kBank, before);
            state.owners[p] = static_cast<i16>(t);
            state.houseOptions.mortgageCaption = "Mortgage";
            note({.kind = BoxKind::Redeemed,
                  .seat = t,
                  .text = seatName(state, t) + " paid off the mortgage on " + std::string(squareTitle(p)) +
                          " for $" + num(half) + "."});
        }
    }
    setMoneyLabel(t);
    refreshMoney();
}

} // namespace dealbrix
