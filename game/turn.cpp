// The roll, jail, moving tokens, passing Go and handing the turn on.
#include "game.h"

#include <algorithm>
#include <cmath>

namespace dealbrix {

namespace {
constexpr int kDieFaces = 6;
constexpr int kJailStayUsedUp = 4;
} // namespace

double Game::RandomValue(i16 low, i16 high) {
    // In double precision the product is exact, so a draw just below a face's boundary stays below it.
    const double r = random_.next();
    return r * (high - 1) + low;
}

void Game::die(int which) {
    // r * 6 + 1 lies in [1, 7); its whole part gives every face the same chance.
    const double drawn = RandomValue(1, kDieFaces + 1);
    const auto value = static_cast<i16>(std::clamp(static_cast<int>(std::floor(drawn)), 1, kDieFaces));
    state.DiceRoll[static_cast<std::size_t>(which - 1)] = value;
    state.board.dice[which] = value;
}

void Game::cmdRoll_Click() {
    if (!state.board.rollEnabled) return;
    state.board.rollEnabled = false;
    state.board.endTurnEnabled = true;
    die(1);
    die(2);
    state.DiceRoll[2] = static_cast<i16>(state.DiceRoll[0] + state.DiceRoll[1]);

    const int t = state.turn;
    const bool doubles = state.DiceRoll[0] == state.DiceRoll[1];
    if (!doubles && state.JailTurns[t] != 0 && state.JailTurns[t] != kJailStayUsedUp) {
        ui_.message(num(kJailStayUsedUp - state.JailTurns[t]) + "Turns left");
        bool freed = false;
        if (state.JailCards[t] > 0 && ui_.ask("Use Get out of jail free card?")) {
            // The card frees the player: the token stays on Jail now and the next roll moves normally.
            --state.JailCards[t];
            state.JailTurns[t] = 0;
            freed = true;
        }
        if (!freed) ++state.JailTurns[t];
    } else {
        int target = state.Position[t] + state.DiceRoll[2];
        if (target >= kSquareCount) {
            target -= kSquareCount;
            state.Position[t] = static_cast<i16>(target);
            PassGo();
        } else {
            state.Position[t] = static_cast<i16>(target);
        }
        state.JailTurns[t] = 0;
        MoveToken(target);
    }
    RefreshMoney();
}

void Game::PassGo() {
    const int t = state.turn;
    ui_.message("Player " + num(t) + " Passed GO");
    state.Money[t] = clampedAdd(state.Money[t], kGoSalary);
    setMoneyLabel(t);
}

void Game::MoveToken(int square) {
    if (!isSquare(square)) return;
    const int t = state.turn;
    TokenView& token = state.board.tokens[t];
    const Rect place = squareRect(square);
    token.left = place.left;
    token.top = place.top;
    state.Position[t] = static_cast<i16>(square);
    // One pass in seat order, hidden tokens included: each token found in the same place pushes
    // this one a token's width (and one twip) to the right. A seat already passed is not looked at again.
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        if (seat == t) continue;
        const TokenView& other = state.board.tokens[seat];
        if (other.left == token.left && other.top == token.top) token.left = kTokenSize + token.left + 1;
    }
    LandOn(square);
    RefreshMoney();
}

void Game::cmdEndTurn_Click() {
    if (!state.board.endTurnEnabled) return;
    NextTurn();
}

void Game::NextTurn() {
    RefreshMoney();
    if (state.DiceRoll[0] == state.DiceRoll[1]) {
        ui_.message("Doubles, Roll Again !!");
    } else {
        ++state.turn;
    }
    for (int player = 1; player <= kPlayerCount; ++player)
        setMoneyLabel(player);
    auto wrap = [this] {
        if (state.turn > state.NumPlayers || state.turn < 1) state.turn = 1;
    };
    wrap();
    // RefreshMoney has ended the game unless two seats are in play, so a seat in play is found
    // within one round; the bound keeps the loop finite whatever the state.
    for (int step = 0; step < kPlayerCount && state.Bankrupt[state.turn] == kTrue; ++step) {
        ++state.turn;
        wrap();
    }
    state.board.turnLabel = "Player " + num(state.turn) + "'s turn";
    state.board.rollEnabled = true;
    state.board.endTurnEnabled = false;
}

} // namespace dealbrix
