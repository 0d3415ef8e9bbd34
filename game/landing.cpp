// What happens when a token comes to rest: the landing message, taxes, jail, cards, rent and purchases.
#include "game.h"

#include <algorithm>

namespace dealbrix {

void Game::LandOn(int square) {
    if (!isSquare(square)) return;
    const SquareInfo& info = squareInfo(square);
    ui_.message("Player " + num(state.turn) + " lands on " + std::string(info.landingText));
    switch (info.kind) {
    case SquareKind::Go:
    case SquareKind::Jail:
    case SquareKind::FreeParking:
        break;
    case SquareKind::Tax:
        state.Money[state.turn] = clampedAdd(state.Money[state.turn], -taxAmount(square));
        break;
    case SquareKind::Chance:
        ChanceCard(state.Decks[1][state.CardPos[1]]);
        break;
    case SquareKind::CommunityChest:
        ChestCard(state.Decks[2][state.CardPos[2]]);
        break;
    case SquareKind::GoToJail:
        sendToJail();
        break;
    case SquareKind::Street: {
        state.Rent = info.baseRent;
        const ColourGroup& group = *colourGroupOf(square);
        const auto& s = group.squares;
        if (group.size == 2) {
            // The two-square groups have their own test: house rents only while both match.
            if (state.Owner[s[0]] == state.Owner[s[1]]) {
                state.Rent = info.groupRent;
                HouseRent(info.houseRents);
            }
        } else {
            ownall(s[0], s[1], s[2]);
            HouseRent(info.houseRents);
        }
        ResolveProperty(square, info.purchaseName, info.price);
        break;
    }
    case SquareKind::Railroad: {
        const auto count = std::count_if(kRailroads.begin(), kRailroads.end(),
                                         [&](i16 r) { return state.Owner[r] == state.Owner[square]; });
        state.Rent = railroadRent(static_cast<int>(count));
        ResolveProperty(square, info.purchaseName, info.price);
        break;
    }
    case SquareKind::Utility: {
        const bool same = state.Owner[kUtilities[0]] == state.Owner[kUtilities[1]];
        state.Rent = clampedAdd(0, static_cast<long long>(state.DiceRoll[2]) * utilityMultiplier(same));
        ResolveProperty(square, info.purchaseName, info.price);
        break;
    }
    }
}

void Game::sendToJail() {
    state.JailTurns[state.turn] = 1;
    MoveToken(kJailSquare);
}

void Game::HouseRent(const std::array<i16, 5>& rents) {
    const int houses = state.Houses[state.Position[state.turn]];
    if (houses >= 1 && houses <= 5) state.Rent = rents[static_cast<std::size_t>(houses - 1)];
}

bool Game::ownall(int num1, int num2, int num3) {
    if (state.Owner[num1] == state.Owner[num3] && state.Owner[num1] == state.Owner[num2]) {
        state.Rent = clampedAdd(state.Rent, state.Rent);
        return true;
    }
    return false;
}

void Game::ResolveProperty(int square, std::string_view name, i16 price) {
    const int owner = state.Owner[square];
    if (owner == 0) {
        OfferPurchase(square, name, price);
    } else if (owner == state.turn) {
        ui_.message("You landed on your own property");
    } else if (owner > kPlayerCount) {
        ui_.message("Property mortgaged, just visiting");
    } else {
        ui_.message("You Owe $" + num(state.Rent) + " to Player " + num(owner));
        state.Money[state.turn] = clampedAdd(state.Money[state.turn], -state.Rent);
        state.Money[owner] = clampedAdd(state.Money[owner], state.Rent);
    }
}

void Game::OfferPurchase(int square, std::string_view name, i16 price) {
    const bool yes = ui_.ask("Buy " + std::string(name) + "?", "Buy Property");
    state.Answer = yes ? kAnswerYes : kAnswerNo;
    if (!yes) {
        ui_.message("Property Turned Down");
        return;
    }
    const int t = state.turn;
    if (!changeMoneyByChoice(t, -price)) return;
    state.Owner[square] = static_cast<i16>(t);
    state.grid.ticked[t][square] = true;
    state.PricePaid[square] = price;
    ui_.message(std::string(name) + " Bought by player " + num(t));
}

} // namespace dealbrix
