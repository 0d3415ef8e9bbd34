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
    const bool first = state.playerCount == 0;
    state.board.rollEnabled = true;
    state.playerCount = static_cast<i16>(state.board.checkedPlayers);
    // Seats beyond the count are out for good: a later Start with more players does not bring them back.
    for (int seat = state.playerCount + 1; seat <= kPlayerCount; ++seat)
        state.seatOut[seat] = kTrue;
    for (int seat = 1; seat <= state.playerCount; ++seat)
        state.board.tokens[seat].visible = true;
    passTurnFromSeatOut();
    recordRound(true);
    if (first && !state.rules.plain()) noteRules();
}

void Game::passTurnFromSeatOut() {
    if (state.seatOut[state.turn] != kTrue) return;
    const int next = seatInPlayFrom(state.turn + 1);
    // No seat is in play: there is no one to hand the turn to, so it stays where it is.
    if (state.seatOut[next] == kTrue) return;
    state.turn = static_cast<i16>(next);
    state.board.turnLabel = seatName(state, next) + "'s turn";
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
    box.turnName = seatName(state, state.turn);
    if (!inProgress_) {
        ui_.tell(box);
        return;
    }
    // A replayed action shows only the boxes its earlier runs had not shown yet.
    if (++boxesTold_ <= inProgress_->boxesShown) return;
    ui_.tell(box);
    inProgress_->boxesShown = boxesTold_;
}

bool Game::ask(Box box) {
    return nextAnswer(std::move(box)) != 0;
}

int Game::askAmount(Box box) {
    return nextAnswer(std::move(box));
}

int Game::nextAnswer(Box box) {
    box.turn = state.turn;
    box.turnName = seatName(state, state.turn);
    if (!inProgress_) {
        if (!isAmountQuestion(box)) return ui_.ask(box) ? 1 : 0;
        const int amount = ui_.askAmount(box);
        return answerFits(box, amount) ? amount : 0; // an amount out of range passes
    }
    const std::size_t index = answersUsed_++;
    if (index < inProgress_->answers.size()) {
        const int answer = inProgress_->answers[index];
        if (!answerFits(box, answer)) {
            // Only a damaged record can hold an answer its question does not allow.
            answersRejected_ = true;
            throw QuestionWaits{};
        }
        return answer;
    }
    inProgress_->question = box;
    if (questionsWait_) throw QuestionWaits{};
    int answer = isAmountQuestion(box) ? ui_.askAmount(box) : (ui_.ask(box) ? 1 : 0);
    if (!answerFits(box, answer)) answer = 0; // an amount out of range passes
    inProgress_->question.reset();
    inProgress_->answers.push_back(answer);
    return answer;
}

std::string Game::squareList(const std::vector<int>& squares) {
    std::string list;
    for (std::size_t k = 0; k < squares.size(); ++k) {
        if (k > 0) list += k + 1 == squares.size() ? " and " : ", ";
        list += squareTitle(squares[k]);
    }
    return list;
}

float Game::draw() {
    if (!inProgress_) return random_.next();
    const std::size_t index = drawsUsed_++;
    if (index < inProgress_->draws.size()) return inProgress_->draws[index];
    const float value = random_.next();
    inProgress_->draws.push_back(value);
    return value;
}

} // namespace dealbrix
