// The single way into the rules: which actions are available, and carrying one out.
#include "game.h"

#include <algorithm>
#include <array>
#include <sstream>

namespace dealbrix {

namespace {

/// True when `number` names something an action of `kind` can be about: a player count, an
/// ownable square, a player, a trade side. Kinds without a number take any.
bool validNumber(ActionKind kind, int number) {
    switch (kind) {
    case ActionKind::ChoosePlayers:
        return number >= 2 && number <= kPlayerCount;
    case ActionKind::OpenHouseOptions:
        return isOwnable(number);
    case ActionKind::ChooseTradePartner:
        return isPlayer(number);
    case ActionKind::EnterMoney:
    case ActionKind::EnterSquare:
        return number == 0 || number == 1;
    default:
        return true;
    }
}

constexpr std::uint32_t bit(ActionKind kind) {
    return std::uint32_t{1} << static_cast<int>(kind);
}

/// The kinds whose button, window or field takes a click now (for any valid number), one bit each.
std::uint32_t openKinds(const GameState& state) {
    std::uint32_t open = bit(ActionKind::ChoosePlayers) | bit(ActionKind::Start) | bit(ActionKind::Exit) |
                         bit(ActionKind::OpenHouseOptions) | bit(ActionKind::ChooseTradePartner);
    if (state.board.rollEnabled) open |= bit(ActionKind::Roll);
    if (state.board.endTurnEnabled) open |= bit(ActionKind::EndTurn);
    if (state.board.giveUpEnabled) open |= bit(ActionKind::GiveUp);
    const HouseOptionsView& house = state.houseOptions;
    if (house.open) {
        open |= bit(ActionKind::CloseHouseOptions);
        if (house.buyEnabled) open |= bit(ActionKind::BuyHouse);
        if (house.sellEnabled) open |= bit(ActionKind::SellHouse);
        if (house.mortgageEnabled) open |= bit(ActionKind::ToggleMortgage);
    }
    if (state.playerCount == 0) open |= bit(ActionKind::ChooseRules); // the rules are fixed at Start
    if (state.trade.open) {
        open |= bit(ActionKind::EnterMoney) | bit(ActionKind::EnterSquare) | bit(ActionKind::TradeHelp) |
                bit(ActionKind::CloseTrade);
        if (isPlayer(state.tradePartner)) open |= bit(ActionKind::FinalizeOffer);
    }
    return open;
}

/// A run of listed actions of one kind: its numbers are a slice of kNumbers.
struct CandidateRun {
    ActionKind kind;
    std::uint8_t first; // index into kNumbers
    std::uint8_t count;
};

// The numbers the runs list: none (0), the player counts, the ownable squares, the players, the sides.
// Yes then No, as the answers of a Yes/No question are listed.
constexpr std::array<std::int16_t, 2> kYesNo{1, 0};

constexpr std::array<std::int16_t, 1 + 3 + 28 + 4 + 2> kNumbers{
    0,  2,  3,  4,  1,  3,  5,  6,  8,  9,  11, 12, 13, 14, 15, 16, 18, 19, 21,
    23, 24, 25, 26, 27, 28, 29, 31, 32, 34, 35, 37, 39, 1,  2,  3,  4,  0,  1};
constexpr std::uint8_t kNone = 0;
constexpr std::uint8_t kCounts = 1;
constexpr std::uint8_t kSquares = 4;
constexpr std::uint8_t kPlayers = 32;
constexpr std::uint8_t kSide0 = 36;
constexpr std::uint8_t kSide1 = 37;

// Every candidate action, in the order availableActions has always listed them: the buttons and
// windows, the player counts, the squares, the headings, then the fields of side 0 and side 1. A new
// kind of action adds its run here and its case to openKinds and validNumber. Answers are listed
// apart: while a question is open they are all there is.
constexpr std::array<CandidateRun, 20> kRuns{{
    {ActionKind::Start, kNone, 1},
    {ActionKind::Exit, kNone, 1},
    {ActionKind::Roll, kNone, 1},
    {ActionKind::EndTurn, kNone, 1},
    {ActionKind::GiveUp, kNone, 1},
    {ActionKind::BuyHouse, kNone, 1},
    {ActionKind::SellHouse, kNone, 1},
    {ActionKind::ToggleMortgage, kNone, 1},
    {ActionKind::CloseHouseOptions, kNone, 1},
    {ActionKind::TradeHelp, kNone, 1},
    {ActionKind::FinalizeOffer, kNone, 1},
    {ActionKind::CloseTrade, kNone, 1},
    {ActionKind::ChooseRules, kNone, 1},
    {ActionKind::ChoosePlayers, kCounts, 3},
    {ActionKind::OpenHouseOptions, kSquares, 28},
    {ActionKind::ChooseTradePartner, kPlayers, kPlayerCount},
    {ActionKind::EnterMoney, kSide0, 1},
    {ActionKind::EnterSquare, kSide0, 1},
    {ActionKind::EnterMoney, kSide1, 1},
    {ActionKind::EnterSquare, kSide1, 1},
}};

} // namespace

static_assert(kRuns.size() <= static_cast<std::size_t>(kMostActionRuns));

bool Game::isAvailable(const Action& action) const {
    // While a question waits for its answer, the answer is the only thing that can happen.
    if (const Box* question = openQuestion())
        return action.kind == ActionKind::Answer && answerFits(*question, action.number);
    return validNumber(action.kind, action.number) && (openKinds(state) & bit(action.kind)) != 0;
}

void Game::listAvailable(ActionChoices& out) const {
    if (const Box* question = openQuestion()) {
        // Yes and No, or passing and the whole range of amounts: the smallest and the largest bid stand
        // for the rest.
        out.runCount = 1;
        if (!isAmountQuestion(*question)) {
            out.runs[0] = {ActionKind::Answer, kYesNo.data(), 2};
            out.count = 2;
            return;
        }
        out.amounts = {0, static_cast<std::int16_t>(question->minimum),
                       static_cast<std::int16_t>(question->maximum)};
        out.count = question->maximum != question->minimum ? 3 : 2;
        out.runs[0] = {ActionKind::Answer, out.amounts.data(), out.count};
        return;
    }
    const std::uint32_t open = openKinds(state);
    // Every run is written and only the open ones kept: no branch to mispredict. The counts stay in
    // locals so the stores into the list cannot hold them up.
    int runs = 0;
    int count = 0;
    for (const CandidateRun& run : kRuns) {
        const int isOpen = static_cast<int>((open >> static_cast<int>(run.kind)) & 1);
        out.runs[static_cast<std::size_t>(runs)] = {run.kind, kNumbers.data() + run.first, run.count};
        runs += isOpen;
        count += isOpen * run.count;
    }
    out.runCount = runs;
    out.count = count;
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
    ActionChoices choices;
    listAvailable(choices);
    std::vector<Action> available;
    available.reserve(static_cast<std::size_t>(choices.size()));
    // The Rules window's choice is listed as the rules now chosen.
    for (const ActionChoice& choice : choices)
        available.push_back(choice.kind == ActionKind::ChooseRules ? Action::chooseRules(state.rules)
                                                                   : choice.action());
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
