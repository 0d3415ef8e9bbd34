// The trade window: composing an offer and carrying it out.
#include "game.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace dealbrix {

namespace {

constexpr int kSignificantDigits = 15;
constexpr long long kExponentCap = 1000000; // far beyond any double

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

/// Length of the run of digits at `text[from]`.
std::size_t digitsAt(std::string_view text, std::size_t from) {
    std::size_t n = 0;
    while (from + n < text.size() && isDigit(text[from + n]))
        ++n;
    return n;
}

/// The player who gives side 0 (the trader) or side 1 (the tradee).
int sidePlayer(const GameState& state, int side) {
    return side == 0 ? state.turn : state.tradeto;
}

/// Balance after adding a typed amount, rounded half to even, when it fits in 16 bits.
std::optional<i16> tradedBalance(i16 balance, double amount) {
    const double result = roundHalfEven(static_cast<double>(balance) + amount);
    if (!std::isfinite(result) || result < kMin16 || result > kMax16) return std::nullopt;
    return static_cast<i16>(result);
}

} // namespace

double Game::readNumber(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    std::size_t end = start;
    const bool negative = end < text.size() && text[end] == '-';
    if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
    const std::size_t wholeAt = end;
    const std::size_t whole = digitsAt(text, end);
    end += whole;
    std::size_t fraction = 0;
    if (end < text.size() && text[end] == '.') {
        fraction = digitsAt(text, end + 1);
        if (whole + fraction > 0) end += 1 + fraction;
    }
    if (whole + fraction == 0) return 0; // no digits: not a number
    long long exponent = 0;
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t at = end + 1;
        const bool down = at < text.size() && text[at] == '-';
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        const std::size_t digits = digitsAt(text, at);
        if (digits > 0) {
            for (std::size_t i = at; i < at + digits && exponent < kExponentCap; ++i)
                exponent = exponent * 10 + (text[i] - '0');
            if (down) exponent = -exponent;
            end = at + digits;
        }
    }
    double value = 0;
    // from_chars takes no leading '+' and never looks at the locale.
    const auto [ptr, ec] = std::from_chars(text.data() + wholeAt, text.data() + end, value);
    if (ec == std::errc::result_out_of_range) {
        // Beyond a double: the place of the first significant digit tells overflow from underflow.
        const std::string_view digits = text.substr(wholeAt, end - wholeAt);
        const std::size_t lead = digits.find_first_of("123456789");
        const std::size_t point = std::min(digits.find('.'), whole);
        const long long place = static_cast<long long>(point) - static_cast<long long>(lead) + exponent;
        value = place > 0 ? HUGE_VAL : 0.0;
    } else if (ec != std::errc{}) {
        value = 0;
    }
    return negative ? -value : value;
}

std::string Game::showNumber(double value) {
    if (value == 0) return "0"; // also for -0
    if (!std::isfinite(value)) return value > 0 ? "too large" : "too small";
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, kSignificantDigits);
    return std::string(buffer, result.ptr);
}

std::string Game::helpText() {
    std::string text;
    for (const i16 square : helpOrder()) {
        if (!text.empty()) text += "\r\n";
        text += num(square) + " = " + std::string(SquareTitle(square));
    }
    return text;
}

void Game::lblPlayer_Click(int player) {
    if (!isPlayer(player)) return;
    state.tradeto = static_cast<i16>(player);
    if (!state.trade.open) {
        state.trade.open = true;
        loadTrade();
    }
}

void Game::loadTrade() {
    TradeView& view = state.trade;
    view.lblTrader = "Player " + num(state.turn);
    view.lblTradee = "Player " + num(state.tradeto);
    view.moneyOff = {};
    view.propOff = {};
}

void Game::closeTrade() {
    state.trade = TradeView{};
}

void Game::txtMoney_KeyDown(int side, int key, std::string_view text) {
    if (!state.trade.open || (side != 0 && side != 1) || key != kEnterKey) return;
    std::string& sum = state.trade.moneyOff[static_cast<std::size_t>(side)];
    sum = showNumber(readNumber(text) + readNumber(sum));
}

void Game::txtProperty_KeyDown(int side, int key, std::string_view text) {
    if (!state.trade.open || (side != 0 && side != 1) || key != kEnterKey) return;
    const double typed = readNumber(text);
    const double rounded = roundHalfEven(typed);
    if (!(rounded >= 0 && rounded < kSquareCount)) return; // never an index off the board
    const int square = static_cast<int>(rounded);
    if (state.Owner[square] != sidePlayer(state, side)) return;
    for (OfferedSquare& label : state.trade.propOff[static_cast<std::size_t>(side)]) {
        if (label.text.empty()) {
            label.text = SquareTitle(square);
            label.tag = typed;
            return;
        }
    }
}

void Game::cmdHelp_Click() {
    if (!state.trade.open) return;
    ui_.message(helpText());
}

bool Game::offerCanBeMade(double amount0, double amount1) {
    // Every listed square must still be its side's outright, as the players stand now.
    for (int side = 0; side < 2; ++side) {
        const int player = sidePlayer(state, side);
        for (const OfferedSquare& label : state.trade.propOff[static_cast<std::size_t>(side)]) {
            if (label.text.empty()) continue;
            const auto square = static_cast<int>(roundHalfEven(label.tag));
            if (!isSquare(square) || state.Owner[square] != player) {
                const std::string name = isSquare(square) ? std::string(SquareTitle(square)) : num(square);
                ui_.message(
                    name + " is no longer Player " + num(player) +
                    "'s to trade (sold, traded or mortgaged since it was listed). The offer was not made.");
                return false;
            }
        }
    }
    // The four money steps, played out on a copy: no partial exchange ever.
    PlayerArray<i16> money = state.Money;
    const int t = state.turn;
    const int o = state.tradeto;
    const std::array<std::pair<int, double>, 4> steps{
        {{t, amount1}, {t, -amount0}, {o, amount0}, {o, -amount1}}};
    for (const auto& [player, amount] : steps) {
        const std::optional<i16> balance = tradedBalance(money[player], amount);
        if (!balance) {
            ui_.message(
                "This offer cannot be carried out: a balance would go beyond what the bank can count (" +
                num(kMin16) + " to " + num(kMax16) + "). The offer was not made.");
            return false;
        }
        money[player] = *balance;
    }
    return true;
}

void Game::cmdOffer_Click(std::string_view money0, std::string_view money1) {
    if (!state.trade.open || !isPlayer(state.tradeto)) return;
    const double amount0 = readNumber(money0);
    const double amount1 = readNumber(money1);
    if (!offerCanBeMade(amount0, amount1)) return;
    if (ui_.ask("Player " + num(state.tradeto) + ", do you accept this offer?")) {
        const int t = state.turn;
        const int o = state.tradeto;
        // Checked above, so every step fits.
        state.Money[t] = *tradedBalance(state.Money[t], amount1);
        state.Money[t] = *tradedBalance(state.Money[t], -amount0);
        state.Money[o] = *tradedBalance(state.Money[o], amount0);
        state.Money[o] = *tradedBalance(state.Money[o], -amount1);
        for (std::size_t k = 0; k < 7; ++k) {
            const OfferedSquare& given = state.trade.propOff[0][k];
            if (!given.text.empty()) giveSquare(static_cast<int>(roundHalfEven(given.tag)), o);
            const OfferedSquare& taken = state.trade.propOff[1][k];
            if (!taken.text.empty()) giveSquare(static_cast<int>(roundHalfEven(taken.tag)), t);
        }
    }
    RefreshMoney();
}

void Game::giveSquare(int square, int player) {
    state.Owner[square] = static_cast<i16>(player);
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        state.grid.ticked[seat][square] = false;
    state.grid.ticked[player][square] = true;
}

} // namespace dealbrix
