#include "house_rules.h"

#include <algorithm>

namespace dealbrix {

namespace {

constexpr std::array<HouseRuleInfo, kHouseRuleCount> kRules{{
    {HouseRule::Auction, "auction", "Auction",
     "A square turned down at the purchase question is auctioned to every player still in the game."},
    {HouseRule::EvenBuilding, "even-building", "Even building",
     "Houses go up on the square of a group with the fewest and come down from the one with the most; "
     "no square of a group with houses may be mortgaged."},
    {HouseRule::LimitedHouses, "limited-houses", "Limited houses",
     "The bank holds 32 houses and 12 hotels; when they are gone, nobody can build until some come back."},
    {HouseRule::CreditorBankruptcy, "creditor-bankruptcy", "Bankruptcy to the creditor",
     "A player who gives up while owing rent hands every square, house and jail card to the landlord; "
     "any other bankrupt's estate goes back to the bank."},
    {HouseRule::FreeParkingPot, "free-parking-pot", "Free Parking pot",
     "Taxes and card payments to the bank go into a pot that the next player landing on Free Parking "
     "takes."},
    {HouseRule::DoubleGo, "double-go", "Double salary on Go",
     "A roll that ends exactly on Go pays twice the salary."},
    {HouseRule::NoRentInJail, "no-rent-in-jail", "No rent in jail", "A player in jail collects no rent."},
}};

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

std::span<const HouseRuleInfo> houseRuleTable() {
    return kRules;
}

std::optional<HouseRule> houseRuleNamed(std::string_view name) {
    const auto found = std::find_if(kRules.begin(), kRules.end(),
                                    [name](const HouseRuleInfo& info) { return info.name == name; });
    if (found == kRules.end()) return std::nullopt;
    return found->rule;
}

std::string houseRuleNames() {
    std::string names;
    for (const HouseRuleInfo& info : kRules)
        names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
}

std::string readHouseRuleNames(std::string_view list, HouseRules& rules) {
    HouseRules read = rules;
    read.on = {};
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view item = trimmed(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        if (item.empty()) continue;
        const std::optional<HouseRule> rule = houseRuleNamed(item);
        if (!rule) return std::string(item);
        read.set(*rule, true);
    }
    rules = read;
    return {};
}

std::string houseRuleList(const HouseRules& rules) {
    std::string list;
    for (const HouseRuleInfo& info : kRules)
        if (rules.has(info.rule)) list += (list.empty() ? "" : ",") + std::string(info.name);
    return list;
}

std::string describeHouseRules(const HouseRules& rules) {
    std::string chosen;
    for (const HouseRuleInfo& info : kRules)
        if (rules.has(info.rule)) chosen += (chosen.empty() ? "" : ", ") + std::string(info.caption);
    return "House rules: " + (chosen.empty() ? std::string("none") : chosen) + "; starting money " +
           num(rules.startingMoney);
}

} // namespace dealbrix
