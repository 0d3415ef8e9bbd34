// Money labels, the debt hold, giving up, and the end of the game.
#include "game.h"

namespace dealbrix {

void Game::refreshMoney() {
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        setMoneyLabel(seat);
        if (state.money[seat] >= 0) state.creditor[seat] = 0; // the debt is paid
        if (state.money[seat] < 0) holdDebtor(seat);
        if (state.debtor > 0 && state.money[state.debtor] > 0) {
            state.board.endTurnEnabled = true;
            state.debtor = 0;
            state.turn = state.turnAfterDebt;
        }
    }
    int out = 0;
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        if (state.seatOut[seat] == kTrue) ++out;
    if (out == kPlayerCount - 1) {
        int winner = 1;
        while (state.seatOut[winner] == kTrue)
            ++winner;
        tell({.kind = BoxKind::Winner, .seat = winner, .text = seatName(state, winner) + " WINS!!!"});
        quit();
    }
    // Fewer players and Start again after bankruptcies can put every seat out; nobody is left to play.
    if (out == kPlayerCount) {
        tell({.kind = BoxKind::NoPlayerLeft, .text = "No player is left in the game. The game is over."});
        quit();
    }
}

void Game::holdDebtor(int player) {
    tell({.kind = BoxKind::Debt,
          .seat = player,
          .amount = state.money[player],
          .text = seatName(state, player) +
                  " must acheive a positive money balance or declare bankruptcy before continuing"});
    state.board.endTurnEnabled = false;
    state.board.rollEnabled = false;
    state.turnAfterDebt = state.turn;
    state.turn = static_cast<i16>(player);
    state.debtor = static_cast<i16>(player);
    state.board.giveUpEnabled = true;
}

void Game::declareBankruptcy() {
    const int d = state.turn;
    state.seatOut[d] = kTrue;
    state.board.endTurnEnabled = true;
    state.debtor = 0;
    const SquareArray<i16> held = state.owners;
    if (state.rules.has(HouseRule::CreditorBankruptcy)) {
        settleEstate(d);
    } else {
        // Unmortgaged squares go back to the bank with their houses; mortgaged ones keep their code.
        for (int square = 0; square < kSquareCount; ++square) {
            if (state.owners[square] == d) {
                state.owners[square] = kBank;
                state.grid.ticked[d][square] = false;
            }
        }
    }
    // The log says where each of the seat's squares went.
    std::vector<int> returned;
    std::vector<int> kept;
    PlayerArray<std::vector<int>> passed;
    for (int square = 0; square < kSquareCount; ++square) {
        if (held[square] == kBank || ownerOf(held[square]) != d) continue;
        const int now = ownerOf(state.owners[square]);
        if (now == kBank)
            returned.push_back(square);
        else if (now == d)
            kept.push_back(square);
        else
            passed[now].push_back(square);
    }
    std::string text = seatName(state, d) + " gave up";
    if (!returned.empty()) text += "; back to the bank: " + squareList(returned);
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        if (!passed[seat].empty()) text += "; to " + seatName(state, seat) + ": " + squareList(passed[seat]);
    if (!kept.empty()) text += "; still mortgaged in the same name: " + squareList(kept);
    note({.kind = BoxKind::GaveUp, .seat = d, .text = text + "."});
    state.money[d] = 0;
    state.board.tokens[d].visible = false;
    state.turn = state.turnAfterDebt;
    state.board.giveUpEnabled = false;
}

bool Game::changeMoneyByChoice(int player, long long delta) {
    const std::optional<i16> result = checkedAdd(state.money[player], delta);
    if (!result) {
        tell({.kind = BoxKind::MoneyOutOfRange,
              .seat = player,
              .text = "That would take " + seatName(state, player) +
                      "'s money beyond what the bank can count (" + num(kMin16) + " to " + num(kMax16) +
                      "), so nothing was changed."});
        return false;
    }
    state.money[player] = *result;
    return true;
}

} // namespace dealbrix
