// The single way into the rules: which actions are available, and carrying one out.
#include "game.h"

#include <array>
#include <sstream>

namespace dealbrix {

bool Game::isAvailable(const Action& action) const {
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
    }
    return false;
}

std::vector<Action> Game::availableActions() const {
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
                                   Action::closeTrade()};
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
