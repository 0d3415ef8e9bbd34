// The life of the game board window: its load, the Players menu, Start and Exit.
#include "game.h"

namespace dealbrix {

Game::Game(Ui& ui, RandomSource& random) : ui_(ui), random_(random) {
    for (int player = 1; player <= kPlayerCount; ++player) {
        state.Money[player] = kStartingMoney;
        setMoneyLabel(player);
        const Rect start = tokenStart(player);
        state.board.tokens[player] = {start.left, start.top, false};
    }
    state.turn = 1;
    ShuffleDeck(1);
    ShuffleDeck(2);
}

void Game::mnuFilePlayers_Click(int players) {
    if (players < 2 || players > kPlayerCount) return;
    state.board.checkedPlayers = players;
}

void Game::mnuFileStart_Click() {
    state.board.rollEnabled = true;
    state.NumPlayers = static_cast<i16>(state.board.checkedPlayers);
    // Seats beyond the count are out for good: a later Start with more players does not bring them back.
    for (int seat = state.NumPlayers + 1; seat <= kPlayerCount; ++seat)
        state.Bankrupt[seat] = kTrue;
    for (int seat = 1; seat <= state.NumPlayers; ++seat)
        state.board.tokens[seat].visible = true;
}

void Game::mnuFileExit_Click() {
    quit();
}

void Game::quit() {
    ui_.endProgram();
    throw ProgramEnded{};
}

void Game::setMoneyLabel(int player) {
    state.board.moneyLabel[player] = num(state.Money[player]);
}

} // namespace dealbrix
