#pragma once
// The house rules a table may choose before Start: each one is off unless chosen, and with every one
// off the game is played exactly as it always was.

#include "values.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace dealbrix {

/// One optional rule.
enum class HouseRule : std::uint8_t {
    Auction,            // a declined square goes to auction
    EvenBuilding,       // houses go up and come down evenly across a group
    LimitedHouses,      // the bank holds 32 houses and 12 hotels
    CreditorBankruptcy, // a player ruined by rent hands everything to the landlord
    FreeParkingPot,     // taxes and card payments to the bank wait on Free Parking
    DoubleGo,           // landing exactly on Go pays twice the salary
    NoRentInJail,       // a player in jail collects no rent
};

inline constexpr int kHouseRuleCount = static_cast<int>(HouseRule::NoRentInJail) + 1;

/// The starting money a table may choose: 500 to 5000 in steps of 100.
inline constexpr int kMinStartingMoney = 500;
inline constexpr int kMaxStartingMoney = 5000;
inline constexpr int kStartingMoneyStep = 100;

/// What the bank holds under the limited-houses rule.
inline constexpr int kBankHouses = 32;
inline constexpr int kBankHotels = 12;
/// A hotel stands for this many houses: building one gives them back, selling one takes them.
inline constexpr int kHousesPerHotel = 4;

/// The rules a table plays by: which house rules are on, and the starting money.
struct HouseRules {
    std::array<bool, kHouseRuleCount> on{};
    i16 startingMoney = kStartingMoney;

    /// True when `rule` is chosen.
    bool has(HouseRule rule) const { return on[static_cast<std::size_t>(rule)]; }
    /// Chooses `rule` or leaves it out.
    void set(HouseRule rule, bool chosen) { on[static_cast<std::size_t>(rule)] = chosen; }
    /// True when nothing differs from the game as it always was.
    bool plain() const { return *this == HouseRules{}; }
    bool operator==(const HouseRules&) const = default;
};

/// A rule's name on the command line and its sentence in the Rules window.
struct HouseRuleInfo {
    HouseRule rule;
    std::string_view name;     // e.g. "even-building"
    std::string_view caption;  // the tick box, e.g. "Even building"
    std::string_view sentence; // what it does, one sentence
};

/// Every house rule, in the order the Rules window lists them.
std::span<const HouseRuleInfo> houseRuleTable();
/// The rule called `name` on the command line, or nothing.
std::optional<HouseRule> houseRuleNamed(std::string_view name);
/// Every command-line name, comma-separated: "auction, even-building, ...".
std::string houseRuleNames();

/// True for a starting money a table may choose.
constexpr bool validStartingMoney(long long money) {
    return money >= kMinStartingMoney && money <= kMaxStartingMoney && money % kStartingMoneyStep == 0;
}

/// Reads a comma-separated list of rule names into `rules` (the starting money is left alone). Blank
/// items are skipped. Returns an empty string, or the first name that is no rule's.
std::string readHouseRuleNames(std::string_view list, HouseRules& rules);
/// The chosen rules' names, comma-separated, as `readHouseRuleNames` reads them; empty for none.
std::string houseRuleList(const HouseRules& rules);
/// The line the game log writes at Start: "House rules: Auction, Even building; starting money 2000".
std::string describeHouseRules(const HouseRules& rules);

} // namespace dealbrix
