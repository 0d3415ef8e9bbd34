// The single way into the rules: which actions are available, and carrying one out.
#include "game.h"

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
constexpr std::array<std::int8_t, 1 + 3 + 28 + 4 + 2> kNumbers{
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
// kind of action adds its run here and its case to openKinds and validNumber.
constexpr std::array<CandidateRun, 19> kRuns{{
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
    return validNumber(action.kind, action.number) && (openKinds(state) & bit(action.kind)) != 0;
}

void Game::listAvailable(ActionChoices& out) const {
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

std::vector<Action> Game::availableActions() const {
    ActionChoices choices;
    listAvailable(choices);
    std::vector<Action> available;
    available.reserve(static_cast<std::size_t>(choices.size()));
    for (const ActionChoice& choice : choices)
        available.push_back(choice.action());
    return available;
}

ActionResult Game::apply(const Action& action) {
    if (!isAvailable(action)) return ActionResult::Refused;
    try {
        carryOut(action);
    } catch (const ProgramEnded&) {
        return ActionResult::Ended;
    }
    return ActionResult::Done;
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
    }
}

std::string Action::describe() const {
    static constexpr std::array<const char*, kActionKindCount> names{"ChoosePlayers",
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
                                                                     "CloseTrade"};
    std::ostringstream out;
    out << names[static_cast<std::size_t>(kind)];
    const bool numbered = kind == ActionKind::ChoosePlayers || kind == ActionKind::OpenHouseOptions ||
                          kind == ActionKind::ChooseTradePartner || kind == ActionKind::EnterMoney ||
                          kind == ActionKind::EnterSquare;
    if (numbered) out << '(' << number << ')';
    if (kind == ActionKind::EnterMoney || kind == ActionKind::EnterSquare) out << " \"" << text << '"';
    if (kind == ActionKind::FinalizeOffer) out << " \"" << text << "\" \"" << otherText << '"';
    return out.str();
}

} // namespace dealbrix
