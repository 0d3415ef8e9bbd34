// Houses, mortgages and the House Options window.
#include "game.h"

namespace dealbrix {

void Game::Square_Click(int square) {
    if (!isOwnable(square)) return;
    state.PIndex = static_cast<i16>(square);
    // An open window is only brought forward: its title and buttons stay as they were loaded.
    if (!state.houseWork.open) {
        state.houseWork.open = true;
        loadHouseWork();
    }
}

void Game::loadHouseWork() {
    HouseWorkView& view = state.houseWork;
    const int owner = state.Owner[state.PIndex];
    view.titleSquare = state.PIndex;
    const bool mine = owner == state.turn || owner == state.turn + kPlayerCount;
    view.buyEnabled = view.sellEnabled = view.mortgageEnabled = mine;
    view.mortgageCaption = mine && owner > kPlayerCount ? "Unmortgage" : "Mortgage";
}

void Game::closeHouseWork() {
    state.houseWork = HouseWorkView{};
}

bool Game::houseRequirementsMet(const ColourGroup& group) {
    const auto& s = group.squares;
    const bool sameOwner =
        group.size == 2 ? state.Owner[s[0]] == state.Owner[s[1]] : ownall(s[0], s[1], s[2]);
    const int tested = state.Owner[s[0]];
    return sameOwner && state.Money[state.turn] >= group.housePrice && tested != 0 && tested <= kPlayerCount;
}

void Game::cmdBuyHouse_Click() {
    if (!state.houseWork.open || !state.houseWork.buyEnabled) return;
    const int p = state.PIndex;
    const ColourGroup* group = colourGroupOf(p);
    if (state.Owner[p] != state.turn) {
        ui_.message("You don't own this property");
    } else if (state.Houses[p] > 4) {
        ui_.message("Already have a hotel!");
    } else if (group == nullptr) {
        ui_.message("Can't own houses here");
    } else if (!houseRequirementsMet(*group)) {
        ui_.message("Requirements not met");
    } else if (ui_.ask("Are you sure you want to buy a house here?")) {
        BuyHouse(p, group->housePrice);
    }
    RefreshMoney();
}

void Game::cmdSellHouse_Click() {
    if (!state.houseWork.open || !state.houseWork.sellEnabled) return;
    const int p = state.PIndex;
    const ColourGroup* group = colourGroupOf(p);
    if (state.Owner[p] != state.turn) {
        // Not the player's own unmortgaged square: a sale is refused without a word.
    } else if (state.Houses[p] < 1) {
        ui_.message("No houses to sell !");
    } else if (group == nullptr) {
        // No houses can stand here; nothing more to say.
    } else if (!houseRequirementsMet(*group)) {
        ui_.message("Requirements not met");
    } else if (ui_.ask("Are you sure you want to sell a house here?")) {
        sellhouse(p, group->housePrice);
    }
    RefreshMoney();
}

void Game::BuyHouse(int Property, i16 cost) {
    ++state.Houses[Property];
    state.Money[state.turn] = clampedAdd(state.Money[state.turn], -cost);
    ui_.message("House successfully purchased. " + std::string(SquareTitle(Property)) + " now has " +
                num(state.Houses[Property]) + " houses");
}

void Game::sellhouse(int Property, i16 cost) {
    const auto refund = static_cast<long long>(roundHalfEven(cost / 2.0));
    if (!changeMoneyByChoice(state.turn, refund)) return;
    --state.Houses[Property];
    ui_.message("House successfully sold. " + std::string(SquareTitle(Property)) + " now has " +
                num(state.Houses[Property]) + " houses");
}

void Game::cmdMortgage_Click() {
    if (!state.houseWork.open || !state.houseWork.mortgageEnabled) return;
    const int p = state.PIndex;
    const int t = state.turn;
    const auto half = static_cast<long long>(roundHalfEven(state.PricePaid[p] / 2.0));
    if (state.Owner[p] == t) {
        if (state.Houses[p] != 0) {
            ui_.message("Cannot mortgage a property with houses on it, please sell houses first");
        } else if (changeMoneyByChoice(t, half)) {
            state.Owner[p] = static_cast<i16>(state.Owner[p] + kPlayerCount);
            state.houseWork.mortgageCaption = "Unmortgage";
        }
    } else if (state.Owner[p] == t + kPlayerCount) {
        if (changeMoneyByChoice(t, -half)) {
            state.Owner[p] = static_cast<i16>(state.Owner[p] - kPlayerCount);
            state.houseWork.mortgageCaption = "Mortgage";
        }
    }
    setMoneyLabel(t);
    RefreshMoney();
}

} // namespace dealbrix
