#include "ownership.h"

#include <algorithm>

namespace dealbrix {

namespace {

std::string dollars(long long amount) {
    return "$" + num(amount);
}

std::string housesText(int houses) {
    if (houses >= kHotel) return "a hotel";
    return num(houses) + (houses == 1 ? " house" : " houses");
}

std::string rentLines(int square) {
    const SquareInfo& info = squareInfo(square);
    if (info.kind == SquareKind::Railroad) {
        std::string line = "Rent with 1, 2, 3, 4 railroads:";
        for (int count = 1; count <= static_cast<int>(kRailroads.size()); ++count)
            line += (count == 1 ? " " : ", ") + dollars(railroadRent(count));
        return line + "\n";
    }
    if (info.kind == SquareKind::Utility)
        return "Rent: " + num(utilityMultiplier(false)) + " times the dice, " + num(utilityMultiplier(true)) +
               " times with both utilities\n";
    std::string lines =
        "Rent " + dollars(info.baseRent) + ", with the whole group " + dollars(info.groupRent) + "\n";
    lines += "With 1, 2, 3, 4 houses:";
    for (int h = 1; h < kHotel; ++h)
        lines += (h == 1 ? " " : ", ") + dollars(info.houseRents[static_cast<std::size_t>(h - 1)]);
    lines += "\nWith a hotel " + dollars(info.houseRents[kHotel - 1]) + "\n";
    if (const ColourGroup* group = colourGroupOf(square))
        lines += "House price " + dollars(group->housePrice) + "\n";
    return lines;
}

} // namespace

SquareHolding holdingOf(const GameState& state, int square) {
    if (!isSquare(square) || !isOwnable(square)) return {};
    const int code = state.owners[square];
    // A stored code outside 0..8 is no player's; it reads as the bank's rather than as a seat that
    // does not exist.
    if (code < kBank || code > mortgagedCode(kPlayerCount)) return {};
    return {.owner = ownerOf(code),
            .houses = std::clamp<int>(state.houses[square], 0, kHotel),
            .mortgaged = isMortgaged(code)};
}

std::string ownershipDescription(const GameState& state, int square) {
    if (!isSquare(square) || !isOwnable(square)) return {};
    const SquareHolding holding = holdingOf(state, square);
    if (holding.owner == kBank) return "For sale";
    const std::string owner = seatName(state, holding.owner);
    if (holding.mortgaged) return "Mortgaged, owned by " + owner;
    if (holding.houses == 0) return "Owned by " + owner;
    return "Owned by " + owner + ", " + housesText(holding.houses);
}

std::string squareFacts(const GameState& state, int square) {
    if (!isSquare(square) || !isOwnable(square)) return {};
    const SquareInfo& info = squareInfo(square);
    const i16 paid = state.pricePaid[square];
    const long long mortgage = static_cast<long long>(roundHalfEven((paid != 0 ? paid : info.price) / 2.0));
    std::string facts = std::string(squareTitle(square)) + "\n";
    facts += "Price " + dollars(info.price) + "\n";
    facts += rentLines(square);
    facts += "Mortgage value " + dollars(mortgage) + "\n";
    const SquareHolding holding = holdingOf(state, square);
    facts += ownershipDescription(state, square);
    // Houses left on a square that went back to the bank still count for the rent once it is bought
    // again; the description leaves them out, so the facts name them.
    if (holding.owner == kBank && holding.houses > 0) facts += ", " + housesText(holding.houses);
    return facts;
}

} // namespace dealbrix
