// The life of the game board window: its load, the Players menu, Start and Exit.
#include "game.h"

namespace dealbrix {

Game::Game(Ui& ui, RandomSource& random) : ui_(ui), random_(random) {
    for (int player = 1; player <= kPlayerCount; ++player) {
        state.money[player] = kStartingMoney;
        setMoneyLabel(player);
    }
    state.turn = 1;
    shuffleDeck(1);
    shuffleDeck(2);
}

void Game::startGame() {
    state.board.rollEnabled = true;
    state.playerCount = static_cast<i16>(state.board.checkedPlayers);
    // Seats beyond the count are out for good: a later Start with more players does not bring them back.
    for (int seat = state.playerCount + 1; seat <= kPlayerCount; ++seat)
        state.seatOut[seat] = kTrue;
    for (int seat = 1; seat <= state.playerCount; ++seat)
        state.board.tokens[seat].visible = true;
    passTurnFromSeatOut();
}

void Game::passTurnFromSeatOut() {
    if (state.seatOut[state.turn] != kTrue) return;
    const int next = seatInPlayFrom(state.turn + 1);
    // No seat is in play: there is no one to hand the turn to, so it stays where it is.
    if (state.seatOut[next] == kTrue) return;
    state.turn = static_cast<i16>(next);
    state.board.turnLabel = "Player " + num(next) + "'s turn";
}

void Game::quit() {
    ui_.endProgram();
    throw ProgramEnded{};
}

void Game::setMoneyLabel(int player) {
    state.board.moneyLabels[player] = num(state.money[player]);
}

void Game::tell(Box box) {
    box.turn = state.turn;
    ui_.tell(box);
}

bool Game::ask(Box box) {
    box.turn = state.turn;
    return ui_.ask(box);
}

} // namespace dealbrix
