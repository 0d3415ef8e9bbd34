#include "seat_router.h"

namespace dealbrix {

SeatRouter::SeatRouter(Ui& inner, ComputerPlayer& computer) : inner_(inner), computer_(computer) {}

void SeatRouter::setComputer(int seat, bool computer) {
    if (isPlayer(seat)) seats_[seat] = computer;
}

void SeatRouter::noteAction(const Action& action) {
    if (action.kind == ActionKind::FinalizeOffer)
        offered_ = {Game::readNumber(action.text), Game::readNumber(action.otherText)};
}

void SeatRouter::tell(const Box& box) {
    inner_.tell(box);
}

bool SeatRouter::ask(const Box& question) {
    if (game_ == nullptr || !isComputer(question.seat)) return inner_.ask(question);
    return computer_.answer(game_->state, question, offered_);
}

int SeatRouter::askAmount(const Box& question) {
    if (game_ == nullptr || !isComputer(question.seat)) return inner_.askAmount(question);
    const int amount = computer_.bid(game_->state, question);
    if (computerBid_) computerBid_(question, amount);
    return amount;
}

void SeatRouter::note(const Box& line) {
    inner_.note(line);
}

void SeatRouter::endProgram() {
    inner_.endProgram();
}

bool SeatRouter::computerStarts(const GameState& state) const {
    if (state.playerCount != 0) return false;
    for (int seat = 1; seat <= state.board.checkedPlayers; ++seat)
        if (!isComputer(seat)) return false;
    return true;
}

} // namespace dealbrix
