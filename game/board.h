#pragma once
// The fixed tables of the board: what each of the 40 squares is, its texts, prices and rents, the
// titles and group colours of the ownable squares, the ownership grid's captions and the colour groups.

#include "values.h"

#include <array>
#include <span>
#include <string_view>

namespace dealbrix {

enum class SquareKind {
    Go,
    Street,
    CommunityChest,
    Tax,
    Railroad,
    Chance,
    Jail,
    Utility,
    FreeParking,
    GoToJail
};

/// One square of the board table. Fields that do not apply to the kind are empty or 0.
struct SquareInfo {
    std::string_view landingText; // ends "Player N lands on ..."
    SquareKind kind;
    std::string_view purchaseName; // "Buy <name>?" and "<name> Bought by player N"
    i16 price;
    i16 baseRent;
    i16 groupRent;
    std::array<i16, 5> houseRents; // 1, 2, 3, 4 houses and the hotel
};

/// A red, green, blue colour, 0..255 each.
struct Rgb {
    int red, green, blue;
    bool operator==(const Rgb&) const = default;
};

/// A colour group of streets: its squares in ascending order and the price of one house there.
struct ColourGroup {
    std::array<i16, 3> squares; // the third is -1 for the two-square groups
    int size;
    i16 housePrice;
};

/// The board table record of a square 0..39.
const SquareInfo& squareInfo(int square);

/// True for the 28 squares that can be bought: streets, railroads and utilities.
bool isOwnable(int square);

/// The 28 ownable squares in board order.
std::span<const i16> ownableSquares();

/// The four railroads, 5, 15, 25 and 35.
inline constexpr std::array<i16, 4> kRailroads{5, 15, 25, 35};
/// The two utilities, 12 and 28.
inline constexpr std::array<i16, 2> kUtilities{12, 28};

/// Railroad rent when `count` (1..4) railroads carry the owner code of the square landed on.
i16 railroadRent(int count);

/// Utility multiplier: 10 when both utilities carry the same owner code, else 4.
i16 utilityMultiplier(bool sameOwner);

/// Tax charged on square 4 (200) or 38 (75); 0 elsewhere.
i16 taxAmount(int square);

/// The colour group of a street, or nullptr for any other square.
const ColourGroup* colourGroupOf(int square);

/// The title of an ownable square as the house messages and trade lists write it; empty elsewhere.
/// Square 25 holds "B && O Railroad": message boxes show both ampersands, labels show one.
std::string_view squareTitle(int square);

/// The colour of an ownable square's group (grey for railroads and utilities).
Rgb groupColour(int square);

/// A check box row of the ownership grid: the square and its caption as the grid writes it.
struct GridRow {
    i16 square;
    std::string_view caption;
};

/// The 28 rows of the ownership grid, in the grid's own order.
std::span<const GridRow> gridRows();

/// The order of squares in the trade window's help list: streets and railroads, then the utilities.
std::span<const i16> helpOrder();

} // namespace dealbrix
