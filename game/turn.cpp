// The roll, jail, moving tokens, passing Go and handing the turn on.
#include "game.h"

#include <algorithm>
#include <cmath>

namespace dealbrix {

namespace {
constexpr int kDieFaces = 6;
constexpr int kJailStayUsedUp = 4;

/// Where a token stands, comparable between seats: its square and place there, or its own starting
/// place. Player 1's starting place is the first place on Go; the others start beside it, in places
/// no move ever puts a token.
struct Spot {
    int square;
    int stack;
    bool operator==(const Spot&) const = default;
};

Spot spotOf(const TokenView& token, int seat) {
    if (token.moved) return {token.square, token.stack};
    return seat == 1 ? Spot{0, 0} : Spot{-seat, 0};
}
} // namespace

double Game::randomValue(i16 low, i16 high) {
    // In double precision the product is exact, so a draw just below a face's boundary stays below it.
    const double r = draw();
    return r * (high - 1) + low;
}

void Game::rollDie(int which) {
    // r * 6 + 1 lies in [1, 7); its whole part gives every face the same chance.
    const double drawn = randomValue(1, kDieFaces + 1);
    const auto value = static_cast<i16>(std::clamp(static_cast<int>(std::floor(drawn)), 1, kDieFaces));
    state.diceRoll[static_cast<std::size_t>(which - 1)] = value;
    state.board.dice[which] = value;
}

void Game::rollDice() {
    state.board.rollEnabled = false;
    state.board.endTurnEnabled = true;
    rollDie(1);
    rollDie(2);
    state.diceRoll[2] = static_cast<i16>(state.diceRoll[0] + state.diceRoll[1]);

    const int t = state.turn;
    const bool doubles = state.diceRoll[0] == state.diceRoll[1];
    if (!doubles && state.jailTurns[t] != 0 && state.jailTurns[t] != kJailStayUsedUp) {
        tell({.kind = BoxKind::JailTurnsLeft,
              .seat = t,
              .square = kJailSquare,
              .text = num(kJailStayUsedUp - state.jailTurns[t]) + "Turns left"});
        bool freed = false;
        if (state.jailCards[t] > 0 &&
            ask({.kind = BoxKind::JailCardQuestion, .seat = t, .text = "Use Get out of jail free card?"})) {
            // The card frees the player: the token stays on Jail now and the next roll moves normally.
            --state.jailCards[t];
            state.jailTurns[t] = 0;
            freed = true;
        }
        if (!freed) ++state.jailTurns[t];
    } else {
        int target = state.positions[t] + state.diceRoll[2];
        if (target >= kSquareCount) {
            target -= kSquareCount;
            state.positions[t] = static_cast<i16>(target);
            passGo();
            if (target == 0) goBonus();
        } else {
            state.positions[t] = static_cast<i16>(target);
        }
        state.jailTurns[t] = 0;
        moveToken(target);
    }
    refreshMoney();
}

void Game::passGo() {
    const int t = state.turn;
    tell({.kind = BoxKind::PassedGo,
          .seat = t,
          .square = 0,
          .amount = kGoSalary,
          .text = seatName(state, t) + " Passed GO"});
    state.money[t] = clampedAdd(state.money[t], kGoSalary);
    setMoneyLabel(t);
}

void Game::moveToken(int square) {
    if (!isSquare(square)) return;
    const int t = state.turn;
    TokenView& token = state.board.tokens[t];
    token.square = static_cast<i16>(square);
    token.stack = 0;
    token.moved = true;
    state.positions[t] = static_cast<i16>(square);
    // One pass in seat order, hidden tokens included: each token found in the same place moves this
    // one a place on. A seat already passed is not looked at again.
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        if (seat == t) continue;
        if (spotOf(state.board.tokens[seat], seat) == spotOf(token, t)) ++token.stack;
    }
    landOn(square);
    refreshMoney();
}

int Game::seatInPlayFrom(int seat) const {
    auto wrap = [this](int s) { return s > state.playerCount || s < 1 ? 1 : s; };
    seat = wrap(seat);
    // One round at most, so the search ends whatever the state; with no seat in play it stops on one out.
    for (int step = 0; step < kPlayerCount && state.seatOut[seat] == kTrue; ++step)
        seat = wrap(seat + 1);
    return seat;
}

void Game::handOverTurn() {
    refreshMoney();
    const int handing = state.turn;
    const bool doubles = state.diceRoll[0] == state.diceRoll[1];
    if (doubles) {
        tell({.kind = BoxKind::Doubles, .seat = state.turn, .text = "Doubles, Roll Again !!"});
    } else {
        ++state.turn;
    }
    for (int player = 1; player <= kPlayerCount; ++player)
        setMoneyLabel(player);
    // refreshMoney has ended the game unless two seats are in play, so a seat in play is found.
    state.turn = static_cast<i16>(seatInPlayFrom(state.turn));
    // The turn coming back round to an earlier seat (or the same one, without doubles) ends a round.
    if (!doubles && state.turn <= handing) recordRound(false);
    state.board.turnLabel = seatName(state, state.turn) + "'s turn";
    state.board.rollEnabled = true;
    state.board.endTurnEnabled = false;
}

} // namespace dealbrix
