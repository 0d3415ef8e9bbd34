#pragma once
// Plain value types every rule uses: 16-bit game values, arrays indexed the way the game counts
// (players 1..4, squares 0..39), and the money helpers that keep 16-bit values from wrapping.

#include <array>
#include <cassert>
#include <cstdint>
#include <optional>
#include <string>

namespace dealbrix {

/// Every amount, counter and index of the game is a signed 16-bit value.
using i16 = std::int16_t;

inline constexpr int kSquareCount = 40;
inline constexpr int kPlayerCount = 4;
inline constexpr int kCardsPerDeck = 17;
inline constexpr i16 kStartingMoney = 1500;
inline constexpr i16 kGoSalary = 200;
inline constexpr i16 kJailSquare = 10;
inline constexpr i16 kTrue = -1; // the game's truth value (false is 0), as in a seat that is out
inline constexpr int kMin16 = -32768;
inline constexpr int kMax16 = 32767;

/// A fixed array indexed Lo..Hi inclusive, as the game's own tables count.
template <typename T, int Lo, int Hi> class Indexed {
  public:
    static constexpr int first = Lo;
    static constexpr int last = Hi;

    T& operator[](int i) {
        assert(i >= Lo && i <= Hi);
        return items_[static_cast<std::size_t>(i - Lo)];
    }
    const T& operator[](int i) const {
        assert(i >= Lo && i <= Hi);
        return items_[static_cast<std::size_t>(i - Lo)];
    }
    /// Sets every element to `value`.
    void fill(const T& value) { items_.fill(value); }
    bool operator==(const Indexed&) const = default;

  private:
    std::array<T, Hi - Lo + 1> items_{};
};

/// Arrays by player have four elements, 1..4, whatever the number of players.
template <typename T> using PlayerArray = Indexed<T, 1, kPlayerCount>;
/// Arrays by square have forty elements, 0..39.
template <typename T> using SquareArray = Indexed<T, 0, kSquareCount - 1>;

/// True when `square` is a board index 0..39.
constexpr bool isSquare(long long square) {
    return square >= 0 && square < kSquareCount;
}
/// True when `player` is a seat number 1..4.
constexpr bool isPlayer(long long player) {
    return player >= 1 && player <= kPlayerCount;
}

/// Owner codes as the game stores them: 0 the bank, 1..4 the player who owns the square outright,
/// 5..8 the same player once the square is mortgaged.
inline constexpr i16 kBank = 0;

/// The player 1..4 who holds a square of owner code `code`, mortgaged or not; 0 for the bank.
constexpr int ownerOf(int code) {
    return code > kPlayerCount ? code - kPlayerCount : code;
}
/// True for the owner code of a mortgaged square.
constexpr bool isMortgaged(int code) {
    return code > kPlayerCount;
}
/// The owner code of a square `player` holds mortgaged.
constexpr i16 mortgagedCode(int player) {
    return static_cast<i16>(player + kPlayerCount);
}

/// A forced change of a 16-bit value (salary, rent, tax, card): the result stops at -32768 or 32767.
i16 clampedAdd(i16 value, long long delta);

/// A chosen change (house sale, mortgage, trade): the result, or nothing when it would leave the range.
std::optional<i16> checkedAdd(i16 value, long long delta);

/// Rounds to the nearest whole number, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
double roundHalfEven(double value);

/// A whole number as the game writes it: plain decimal, "-" for negatives, no blank, no sign.
std::string num(long long value);

} // namespace dealbrix
