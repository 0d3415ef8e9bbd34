// The single way into the rules: which actions are available, and carrying one out.
#include "game.h"

#include <algorithm>
#include <array>
#include <sstream>

namespace dealbrix {

bool Game::isAvailable(const Action& action) const {
    // While a question waits for its answer, the answer is the only thing that can happen.
    if (const Box* question = openQuestion())
        return action.kind == ActionKind::Answer && answerFits(*question, action.number);
    const bool tradeSide = action.number == 0 || action.number == 1;
    switch (action.kind) {
    case ActionKind::ChoosePlayers:
        return action.number >= 2 && action.number <= kPlayerCount;
    case ActionKind::Start:
    case ActionKind::Exit:
        return true;
    case ActionKind::Roll:
        return state.board.rollEnabled;
    case ActionKind::EndTurn:
        return state.board.endTurnEnabled;
    case ActionKind::GiveUp:
        return state.board.giveUpEnabled;
    case ActionKind::OpenHouseOptions:
        return isOwnable(action.number);
    case ActionKind::BuyHouse:
        return state.houseOptions.open && state.houseOptions.buyEnabled;
    case ActionKind::SellHouse:
        return state.houseOptions.open && state.houseOptions.sellEnabled;
    case ActionKind::ToggleMortgage:
        return state.houseOptions.open && state.houseOptions.mortgageEnabled;
    case ActionKind::CloseHouseOptions:
        return state.houseOptions.open;
    case ActionKind::ChooseTradePartner:
        return isPlayer(action.number);
    case ActionKind::EnterMoney:
    case ActionKind::EnterSquare:
        return state.trade.open && tradeSide;
    case ActionKind::TradeHelp:
    case ActionKind::CloseTrade:
        return state.trade.open;
    case ActionKind::FinalizeOffer:
        return state.trade.open && isPlayer(state.tradePartner);
    case ActionKind::Answer:
        return false; // no question is open
    case ActionKind::ChooseRules:
        return state.playerCount == 0; // the rules are fixed at Start
    }
    return false;
}

bool Game::answerFits(const Box& question, int answer) const {
    if (!isAmountQuestion(question)) return answer == 0 || answer == 1;
    return answer == 0 || (answer >= question.minimum && answer <= question.maximum);
}

const Box* Game::openQuestion() const {
    if (!questionsWait_ || !inProgress_ || !inProgress_->question) return nullptr;
    return &*inProgress_->question;
}

std::vector<Action> Game::availableActions() const {
    if (const Box* question = openQuestion()) {
        // Yes and No, or passing and the whole range of amounts: the smallest and the largest bid stand
        // for the rest.
        if (!isAmountQuestion(*question)) return {Action::answer(true), Action::answer(false)};
        std::vector<Action> answers{Action::answerAmount(0), Action::answerAmount(question->minimum)};
        if (question->maximum != question->minimum)
            answers.push_back(Action::answerAmount(question->maximum));
        return answers;
    }
    std::vector<Action> candidates{Action::start(),
                                   Action::exit(),
                                   Action::roll(),
                                   Action::endTurn(),
                                   Action::giveUp(),
                                   Action::buyHouse(),
                                   Action::sellHouse(),
                                   Action::toggleMortgage(),
                                   Action::closeHouseOptions(),
                                   Action::tradeHelp(),
                                   Action::finalizeOffer({}, {}),
                                   Action::closeTrade(),
                                   Action::chooseRules(state.rules)};
    for (int players = 2; players <= kPlayerCount; ++players)
        candidates.push_back(Action::choosePlayers(players));
    for (const i16 square : ownableSquares())
        candidates.push_back(Action::openHouseOptions(square));
    for (int player = 1; player <= kPlayerCount; ++player)
        candidates.push_back(Action::chooseTradePartner(player));
    for (int side = 0; side < 2; ++side) {
        candidates.push_back(Action::enterMoney(side, {}));
        candidates.push_back(Action::enterSquare(side, {}));
    }
    std::vector<Action> available;
    for (Action& action : candidates)
        if (isAvailable(action)) available.push_back(std::move(action));
    return available;
}

ActionResult Game::apply(const Action& action) {
    if (!isAvailable(action)) return ActionResult::Refused;
    if (action.kind == ActionKind::Answer) return answerQuestion(action.number);
    if (!recording_) {
        try {
            carryOut(action);
        } catch (const ProgramEnded&) {
            return ActionResult::Ended;
        }
        return ActionResult::Done;
    }
    inProgress_.emplace();
    inProgress_->before = state;
    inProgress_->action = action;
    return runInProgress();
}

ActionResult Game::runInProgress() {
    state = inProgress_->before;
    drawsUsed_ = 0;
    answersUsed_ = 0;
    boxesTold_ = 0;
    try {
        carryOut(inProgress_->action);
    } catch (const ProgramEnded&) {
        inProgress_.reset();
        return ActionResult::Ended;
    } catch (const QuestionWaits&) {
        // The state stays as the rules left it at the question, so everyone sees what led up to it.
        return ActionResult::Waiting;
    }
    inProgress_.reset();
    return ActionResult::Done;
}

ActionResult Game::answerQuestion(int answer) {
    inProgress_->question.reset();
    inProgress_->answers.push_back(answer);
    return runInProgress();
}

ActionResult Game::resume(const ActionInProgress& record) {
    // Everything is judged on a copy first, so a record that does not fit leaves this game as it was.
    const GameState current = state;
    auto saved = std::move(inProgress_);
    const bool recording = recording_;
    state = record.before;
    inProgress_.reset();
    const bool fits =
        isAvailable(record.action) && record.action.kind != ActionKind::Answer && record.boxesShown >= 0 &&
        std::all_of(record.draws.begin(), record.draws.end(), [](float d) { return d >= 0.0f && d < 1.0f; });
    if (!fits) {
        state = current;
        inProgress_ = std::move(saved);
        return ActionResult::Refused;
    }
    recording_ = true;
    inProgress_ = record;
    inProgress_->question.reset();
    // A record whose answers the rules never ask for, or whose answer does not fit its question,
    // was not made by this game.
    const ActionResult result = runInProgress();
    const bool consistent = answersUsed_ >= record.answers.size() && drawsUsed_ >= record.draws.size() &&
                            boxesTold_ >= record.boxesShown;
    recording_ = recording || questionsWait_;
    if (!consistent || answersRejected_) {
        answersRejected_ = false;
        state = current;
        inProgress_ = std::move(saved);
        return ActionResult::Refused;
    }
    return result;
}

void Game::carryOut(const Action& action) {
    switch (action.kind) {
    case ActionKind::ChoosePlayers:
        state.board.checkedPlayers = action.number;
        break;
    case ActionKind::Start:
        startGame();
        break;
    case ActionKind::Exit:
        quit();
    case ActionKind::Roll:
        rollDice();
        break;
    case ActionKind::EndTurn:
        handOverTurn();
        break;
    case ActionKind::GiveUp:
        declareBankruptcy();
        break;
    case ActionKind::OpenHouseOptions:
        openHouseOptionsOn(action.number);
        break;
    case ActionKind::BuyHouse:
        buyHouseHere();
        break;
    case ActionKind::SellHouse:
        sellHouseHere();
        break;
    case ActionKind::ToggleMortgage:
        toggleMortgageHere();
        break;
    case ActionKind::CloseHouseOptions:
        state.houseOptions = HouseOptionsView{};
        break;
    case ActionKind::ChooseTradePartner:
        openTradeWith(action.number);
        break;
    case ActionKind::EnterMoney:
        addMoneyToOffer(action.number, action.text);
        break;
    case ActionKind::EnterSquare:
        addSquareToOffer(action.number, action.text);
        break;
    case ActionKind::TradeHelp:
        tell({.kind = BoxKind::TradeHelp, .seat = state.turn, .text = helpText()});
        break;
    case ActionKind::FinalizeOffer:
        putOffer(action.text, action.otherText);
        break;
    case ActionKind::CloseTrade:
        state.trade = TradeView{};
        break;
    case ActionKind::Answer:
        break; // answers are taken by apply before any rule runs
    case ActionKind::ChooseRules:
        applyRules(action);
        break;
    }
}

namespace {

constexpr std::array<std::string_view, kActionKindCount> kActionKindNames{"ChoosePlayers",
                                                                          "Start",
                                                                          "Exit",
                                                                          "Roll",
                                                                          "EndTurn",
                                                                          "GiveUp",
                                                                          "OpenHouseOptions",
                                                                          "BuyHouse",
                                                                          "SellHouse",
                                                                          "ToggleMortgage",
                                                                          "CloseHouseOptions",
                                                                          "ChooseTradePartner",
                                                                          "EnterMoney",
                                                                          "EnterSquare",
                                                                          "TradeHelp",
                                                                          "FinalizeOffer",
                                                                          "CloseTrade",
                                                                          "Answer",
                                                                          "ChooseRules"};

} // namespace

std::string_view actionKindName(ActionKind kind) {
    return kActionKindNames[static_cast<std::size_t>(kind)];
}

std::optional<ActionKind> actionKindNamed(std::string_view name) {
    for (std::size_t k = 0; k < kActionKindNames.size(); ++k)
        if (kActionKindNames[k] == name) return static_cast<ActionKind>(k);
    return std::nullopt;
}

std::string Action::describe() const {
    std::ostringstream out;
    out << actionKindName(kind);
    const bool numbered = kind == ActionKind::ChoosePlayers || kind == ActionKind::OpenHouseOptions ||
                          kind == ActionKind::ChooseTradePartner || kind == ActionKind::EnterMoney ||
                          kind == ActionKind::EnterSquare || kind == ActionKind::Answer ||
                          kind == ActionKind::ChooseRules;
    if (numbered) out << '(' << number << ')';
    if (kind == ActionKind::EnterMoney || kind == ActionKind::EnterSquare || kind == ActionKind::ChooseRules)
        out << " \"" << text << '"';
    if (kind == ActionKind::FinalizeOffer) out << " \"" << text << "\" \"" << otherText << '"';
    return out.str();
}

} // namespace dealbrix
