#pragma once
// Everything a user can do to a game, as plain values: the windows, the computer player, the tests,
// the fuzzers and the benchmarks all drive the game with these.

#include "house_rules.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dealbrix {

enum class ActionKind : std::uint8_t {
    ChoosePlayers,      // number: 2, 3 or 4
    Start,              //
    Exit,               //
    Roll,               //
    EndTurn,            //
    GiveUp,             // "Bankrupt (Give up)"
    OpenHouseOptions,   // number: the square clicked
    BuyHouse,           //
    SellHouse,          //
    ToggleMortgage,     // Mortgage or Unmortgage
    CloseHouseOptions,  //
    ChooseTradePartner, // number: the grid heading's player
    EnterMoney,         // number: side 0 or 1; text: the field's text
    EnterSquare,        // number: side 0 or 1; text: the field's text
    TradeHelp,          // either "?" button
    FinalizeOffer,      // text: side 0's money field; otherText: side 1's
    CloseTrade,         //
    Answer,             // number: 1 Yes, 0 No; for an amount question the amount, 0 passes
    ChooseRules,        // number: the starting money; text: the rules' names, comma-separated
};

inline constexpr int kActionKindCount = static_cast<int>(ActionKind::ChooseRules) + 1;

/// One thing a user does.
struct Action {
    ActionKind kind = ActionKind::Roll;
    int number = 0; // players, square, player or trade side, as the kind says
    std::string text;
    std::string otherText;

    bool operator==(const Action&) const = default;

    static Action choosePlayers(int players) { return {ActionKind::ChoosePlayers, players, {}, {}}; }
    static Action start() { return {ActionKind::Start, 0, {}, {}}; }
    static Action exit() { return {ActionKind::Exit, 0, {}, {}}; }
    static Action roll() { return {ActionKind::Roll, 0, {}, {}}; }
    static Action endTurn() { return {ActionKind::EndTurn, 0, {}, {}}; }
    static Action giveUp() { return {ActionKind::GiveUp, 0, {}, {}}; }
    static Action openHouseOptions(int square) { return {ActionKind::OpenHouseOptions, square, {}, {}}; }
    static Action buyHouse() { return {ActionKind::BuyHouse, 0, {}, {}}; }
    static Action sellHouse() { return {ActionKind::SellHouse, 0, {}, {}}; }
    static Action toggleMortgage() { return {ActionKind::ToggleMortgage, 0, {}, {}}; }
    static Action closeHouseOptions() { return {ActionKind::CloseHouseOptions, 0, {}, {}}; }
    static Action chooseTradePartner(int player) { return {ActionKind::ChooseTradePartner, player, {}, {}}; }
    static Action enterMoney(int side, std::string text) {
        return {ActionKind::EnterMoney, side, std::move(text), {}};
    }
    static Action enterSquare(int side, std::string text) {
        return {ActionKind::EnterSquare, side, std::move(text), {}};
    }
    static Action tradeHelp() { return {ActionKind::TradeHelp, 0, {}, {}}; }
    static Action finalizeOffer(std::string money0, std::string money1) {
        return {ActionKind::FinalizeOffer, 0, std::move(money0), std::move(money1)};
    }
    static Action closeTrade() { return {ActionKind::CloseTrade, 0, {}, {}}; }
    /// The answer to the open Yes/No question.
    static Action answer(bool yes) { return {ActionKind::Answer, yes ? 1 : 0, {}, {}}; }
    /// The answer to the open amount question: an amount within its bounds, or 0 to pass.
    static Action answerAmount(int amount) { return {ActionKind::Answer, amount, {}, {}}; }
    /// The Rules window's choice: `rules` for the table, before Start.
    static Action chooseRules(const HouseRules& rules) {
        return {ActionKind::ChooseRules, rules.startingMoney, houseRuleList(rules), {}};
    }

    /// How the action reads in a log or a failure report, e.g. `EnterMoney(1) "250"`.
    std::string describe() const;
};

/// The kind's name as it reads in a saved game, a log or a network message: "Roll", "EndTurn", ...
std::string_view actionKindName(ActionKind kind);
/// The kind named `name` (exactly as actionKindName spells it), or nothing.
std::optional<ActionKind> actionKindNamed(std::string_view name);

/// What became of an action handed to the game.
enum class ActionResult {
    Done,    // carried out
    Refused, // not available now (a disabled button, a closed window): nothing happened
    Ended,   // carried out, and it ended the program
    Waiting, // carried out up to a question that waits for its answer (an Answer action)
};

} // namespace dealbrix
