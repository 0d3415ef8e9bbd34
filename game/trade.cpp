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
    return side == 0 ? state.turn : state.tradePartner;
}

/// The square a list label stands for: its typed number, rounded.
int offeredSquare(const OfferedSquare& label) {
    return static_cast<int>(roundHalfEven(label.typed));
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
        text += num(square) + " = " + std::string(squareTitle(square));
    }
    return text;
}

void Game::openTradeWith(int player) {
    state.tradePartner = static_cast<i16>(player);
    if (!state.trade.open) {
        state.trade.open = true;
        loadTrade();
    }
}

void Game::loadTrade() {
    TradeView& view = state.trade;
    view.traderName = seatName(state, state.turn);
    view.partnerName = seatName(state, state.tradePartner);
    view.moneyOffered = {};
    view.squaresOffered = {};
}

void Game::addMoneyToOffer(int side, std::string_view text) {
    std::string& sum = state.trade.moneyOffered[static_cast<std::size_t>(side)];
    sum = showNumber(readNumber(text) + readNumber(sum));
}

void Game::addSquareToOffer(int side, std::string_view text) {
    const double typed = readNumber(text);
    const double rounded = roundHalfEven(typed);
    if (!(rounded >= 0 && rounded < kSquareCount)) return; // never an index off the board
    const int square = static_cast<int>(rounded);
    if (state.owners[square] != sidePlayer(state, side)) return;
    for (OfferedSquare& label : state.trade.squaresOffered[static_cast<std::size_t>(side)]) {
        if (label.text.empty()) {
            label.text = squareTitle(square);
            label.typed = typed;
            return;
        }
    }
}

void Game::putOffer(std::string_view money0, std::string_view money1) {
    const int t = state.turn;
    const int o = state.tradePartner;
    auto refuse = [&](std::string text) {
        tell({.kind = BoxKind::TradeRefused, .seat = t, .text = std::move(text)});
    };
    // A seat that is out (bankrupt, or not seated at Start) holds nothing it could give or accept.
    if (isPlayer(o) && state.seatOut[o] == kTrue) {
        refuse(seatName(state, o) + " is not in the game, so the offer was not made.");
        return;
    }
    // Every listed square must still be its side's outright, as the players stand now.
    for (int side = 0; side < 2; ++side) {
        const int player = sidePlayer(state, side);
        for (const OfferedSquare& label : state.trade.squaresOffered[static_cast<std::size_t>(side)]) {
            if (label.text.empty()) continue;
            const int square = offeredSquare(label);
            if (!isSquare(square) || state.owners[square] != player) {
                const std::string name = isSquare(square) ? std::string(squareTitle(square)) : num(square);
                refuse(
                    name + " is no longer " + seatName(state, player) +
                    "'s to trade (sold, traded or mortgaged since it was listed). The offer was not made.");
                return;
            }
        }
    }
    // The four money steps are worked out once, on a copy, and committed only if every one fits: no
    // partial exchange ever.
    const double amount0 = readNumber(money0);
    const double amount1 = readNumber(money1);
    PlayerArray<i16> money = state.money;
    const std::array<std::pair<int, double>, 4> steps{
        {{t, amount1}, {t, -amount0}, {o, amount0}, {o, -amount1}}};
    for (const auto& [player, amount] : steps) {
        const std::optional<i16> balance = tradedBalance(money[player], amount);
        if (!balance) {
            refuse("This offer cannot be carried out: a balance would go beyond what the bank can count (" +
                   num(kMin16) + " to " + num(kMax16) + "). The offer was not made.");
            return;
        }
        money[player] = *balance;
    }
    if (ask({.kind = BoxKind::TradeQuestion,
             .seat = o,
             .text = seatName(state, o) + ", do you accept this offer?"})) {
        const PlayerArray<i16> before = state.money;
        state.money = money;
        owe(t, kBank, before[t]);
        owe(o, kBank, before[o]);
        std::array<std::vector<int>, 2> moved;
        for (std::size_t k = 0; k < kOfferedSquaresPerSide; ++k) {
            const OfferedSquare& given = state.trade.squaresOffered[0][k];
            if (!given.text.empty()) {
                giveSquare(offeredSquare(given), o);
                moved[0].push_back(offeredSquare(given));
            }
            const OfferedSquare& taken = state.trade.squaresOffered[1][k];
            if (!taken.text.empty()) {
                giveSquare(offeredSquare(taken), t);
                moved[1].push_back(offeredSquare(taken));
            }
        }
        std::string text = seatName(state, t) + " traded with " + seatName(state, o) + ": ";
        // Each side's squares and the money typed for it, as the offer read them.
        auto half = [](const std::vector<int>& squares, double amount) {
            std::string part = squareList(squares);
            if (amount != 0) part += (part.empty() ? "$" : " and $") + showNumber(amount);
            return part.empty() ? std::string("nothing") : part;
        };
        text += seatName(state, t) + " gave " + half(moved[0], readNumber(money0)) + ", " +
                seatName(state, o) + " gave " + half(moved[1], readNumber(money1)) + ".";
        note({.kind = BoxKind::Traded, .seat = o, .text = text});
    }
    refreshMoney();
}

void Game::giveSquare(int square, int player) {
    state.owners[square] = static_cast<i16>(player);
    for (int seat = 1; seat <= kPlayerCount; ++seat)
        state.grid.ticked[seat][square] = false;
    state.grid.ticked[player][square] = true;
}

} // namespace dealbrix
