// Money labels, the debt hold, giving up, and the end of the game.
#include "game.h"

namespace dealbrix {

void Game::RefreshMoney() {
    for (int seat = 1; seat <= kPlayerCount; ++seat) {
        setMoneyLabel(seat);
        if (state.Money[seat] < 0) HoldDebtor(seat);
        if (state.Debtor > 0 && state.Money[state.Debtor] > 0) {
            state.board.endTurnEnabled = true;
            state.Debtor = 0;
            state.turn = state.SavedTurn;
        }
    }
    int out = 0;
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        if (state.Bankrupt[seat] == kTrue) ++out;
    if (out == kPlayerCount - 1) {
        int winner = 1;
        while (state.Bankrupt[winner] == kTrue)
            ++winner;
        ui_.message("Player " + num(winner) + " WINS!!!");
        quit();
    }
    // Fewer players and Start again after bankruptcies can put every seat out; nobody is left to play.
    if (out == kPlayerCount) {
        ui_.message("No player is left in the game. The game is over.");
        quit();
    }
}

void Game::HoldDebtor(int player) {
    ui_.message("Player " + num(player) +
                " must acheive a positive money balance or declare bankruptcy before continuing");
    state.board.endTurnEnabled = false;
    state.board.rollEnabled = false;
    state.SavedTurn = state.turn;
    state.turn = static_cast<i16>(player);
    state.Debtor = static_cast<i16>(player);
    state.board.bankruptEnabled = true;
}

void Game::cmdBankrupt_Click() {
    if (!state.board.bankruptEnabled) return;
    const int d = state.turn;
    state.Bankrupt[d] = kTrue;
    state.board.endTurnEnabled = true;
    state.Debtor = 0;
    // Unmortgaged squares go back to the bank with their houses; mortgaged ones keep their code.
    for (int square = 0; square < kSquareCount; ++square) {
        if (state.Owner[square] == d) {
            state.Owner[square] = 0;
            state.grid.ticked[d][square] = false;
        }
    }
    state.Money[d] = 0;
    state.board.tokens[d].visible = false;
    state.turn = state.SavedTurn;
    state.board.bankruptEnabled = false;
}

bool Game::changeMoneyByChoice(int player, long long delta) {
    const std::optional<i16> result = checkedAdd(state.Money[player], delta);
    if (!result) {
        ui_.message("That would take Player " + num(player) + "'s money beyond what the bank can count (" +
                    num(kMin16) + " to " + num(kMax16) + "), so nothing was changed.");
        return false;
    }
    state.Money[player] = *result;
    return true;
}

} // namespace dealbrix
