#include "board.h"

namespace dealbrix {

namespace {

using K = SquareKind;

// Landing text, kind, purchase name, price, base rent, group rent, rents for 1-4 houses and a hotel.
constexpr std::array<SquareInfo, kSquareCount> kBoard{{
    {"Go", K::Go, "", 0, 0, 0, {}},
    {"Mediteranean Avenue $60", K::Street, "Mediteranean Avenue", 60, 2, 4, {10, 30, 90, 160, 250}},
    {"Community Chest", K::CommunityChest, "", 0, 0, 0, {}},
    {"Baltic Avenue $60", K::Street, "Baltic Avenue", 60, 4, 8, {20, 60, 180, 320, 450}},
    {"Income Tax", K::Tax, "", 0, 0, 0, {}},
    {"Reading Railroad $200", K::Railroad, "Reading Railread", 200, 0, 0, {}},
    {"Oriental Avenue $100", K::Street, "Oriental Avenue", 100, 6, 12, {30, 90, 270, 400, 550}},
    {"Chance", K::Chance, "", 0, 0, 0, {}},
    {"Vermont Avenue $100", K::Street, "Vermont Avenue", 100, 6, 12, {30, 90, 270, 400, 550}},
    {"Connecticut Avenue $120", K::Street, "Connecticut Avenue", 120, 8, 16, {40, 100, 300, 450, 600}},
    {"Jail", K::Jail, "", 0, 0, 0, {}},
    {"St. Charles Place $140", K::Street, "St. Charles Place", 140, 10, 20, {50, 150, 450, 625, 750}},
    {"Electric Company $150", K::Utility, "Electric Company", 150, 0, 0, {}},
    {"States Avenue $140", K::Street, "States Avenue", 140, 10, 20, {50, 150, 450, 625, 750}},
    {"Virginia avenue $160", K::Street, "Virginia Avenue", 160, 12, 24, {60, 180, 500, 700, 900}},
    {"Pensilvania Railroad $200", K::Railroad, "Pensilvania Railroad", 200, 0, 0, {}},
    {"St. James Place $180", K::Street, "St. James Place", 180, 14, 28, {70, 200, 550, 750, 950}},
    {"Community Chest", K::CommunityChest, "", 0, 0, 0, {}},
    {"Tennesse Avenue $180", K::Street, "Tennesse Avenue", 180, 14, 28, {70, 200, 550, 750, 950}},
    {"New York Avenue $200", K::Street, "New York Avenue", 200, 16, 32, {80, 220, 600, 800, 1000}},
    {"Free Parking", K::FreeParking, "", 0, 0, 0, {}},
    {"Kentucky Avenue $220", K::Street, "Kentucky Avenue", 220, 18, 36, {90, 250, 700, 875, 1050}},
    {"Chance", K::Chance, "", 0, 0, 0, {}},
    {"Indiana Avenue $220", K::Street, "Indiana Avenue", 220, 18, 36, {90, 250, 700, 875, 1050}},
    {"Illinois Avenue $240", K::Street, "Illinois Avenue", 240, 20, 40, {100, 300, 750, 925, 1100}},
    {"B&O Railroad $200", K::Railroad, "B&O Railroad", 200, 0, 0, {}},
    {"Atlantic Avenue $260", K::Street, "Atlantic Avenue", 260, 22, 44, {110, 330, 800, 975, 1150}},
    {"Ventor Avenue $260", K::Street, "Ventor Avenue", 260, 22, 44, {110, 330, 800, 975, 1150}},
    {"Water Works $150", K::Utility, "Water Works", 150, 0, 0, {}},
    {"Marvin Gardens $280", K::Street, "Marvin Gardens", 280, 24, 48, {120, 360, 850, 1025, 1200}},
    {"Go To Gail", K::GoToJail, "", 0, 0, 0, {}},
    {"Pacific Avenue $300", K::Street, "Pacific Avenue", 300, 26, 52, {130, 390, 900, 1100, 1275}},
    {"North Carolina Avenue $300",
     K::Street,
     "North Carolina Avenue",
     300,
     26,
     52,
     {130, 390, 900, 1100, 1275}},
    {"Community Chest", K::CommunityChest, "", 0, 0, 0, {}},
    {"Pennsylvania Avenue $320", K::Street, "Pennsylvania Avenue", 320, 28, 56, {150, 450, 1000, 1200, 1400}},
    {"Shortline Railroad $200", K::Railroad, "Shortline Railroad", 200, 0, 0, {}},
    {"Chance", K::Chance, "", 0, 0, 0, {}},
    {"Park Place $350", K::Street, "Park Place", 350, 35, 70, {175, 500, 1100, 1300, 1500}},
    {"Luxury Tax", K::Tax, "", 0, 0, 0, {}},
    {"Boardwalk $400", K::Street, "Boardwalk", 400, 50, 100, {200, 600, 1400, 1700, 2000}},
}};

constexpr std::array<ColourGroup, 8> kGroups{{
    {{1, 3, -1}, 2, 50},
    {{6, 8, 9}, 3, 50},
    {{11, 13, 14}, 3, 100},
    {{16, 18, 19}, 3, 100},
    {{21, 23, 24}, 3, 150},
    {{26, 27, 29}, 3, 150},
    {{31, 32, 34}, 3, 200},
    {{37, 39, -1}, 2, 200},
}};

constexpr std::array<Rgb, 8> kGroupColours{{
    {128, 0, 128}, // purple
    {0, 255, 255}, // cyan
    {255, 0, 255}, // magenta
    {255, 128, 0}, // orange
    {255, 0, 0},   // red
    {255, 255, 0}, // yellow
    {0, 255, 0},   // green
    {0, 0, 255},   // blue
}};
constexpr Rgb kGrey{128, 128, 128}; // railroads and utilities

constexpr std::array<std::string_view, kSquareCount> kTitles{
    "",
    "Mediteranean Avenue",
    "",
    "Baltic Avenue",
    "",
    "Reading Railroad",
    "Oriental Avenue",
    "",
    "Vermont Avenue",
    "Connecticut Avenue",
    "",
    "St. Charles Place",
    "Electric Company",
    "States Avenue",
    "Virginia Avenue",
    "Pennsiilvania Avenue",
    "St. James Place",
    "",
    "Tennesse Avenue",
    "New York Avenue",
    "",
    "Kentucky Avenue",
    "",
    "Indiana Avenue",
    "Illinois Avenue",
    "B && O Railroad",
    "Atlantic Avenue",
    "Ventor Avenue",
    "Water Works",
    "Marvin Gardens",
    "",
    "Pacific Avenue",
    "North Carolina Avenue",
    "",
    "Pennsilvania Avenue",
    "Short Line",
    "",
    "Park Place",
    "",
    "Boardwalk",
};

constexpr std::array<i16, 28> kOwnable{1,  3,  5,  6,  8,  9,  11, 12, 13, 14, 15, 16, 18, 19,
                                       21, 23, 24, 25, 26, 27, 28, 29, 31, 32, 34, 35, 37, 39};

constexpr std::array<GridRow, 28> kGridRows{{
    {1, "Mediteranean Avenue"},
    {3, "Baltic Avenue"},
    {6, "Oriental Avenue"},
    {8, "Vermont Avenue"},
    {9, "Connecticut Avenue"},
    {11, "St. Charles Place"},
    {13, "States Avenue"},
    {14, "Virginia Avenue"},
    {16, "St. James Place"},
    {18, "Tennesse Avenue"},
    {19, "New York Avenue"},
    {21, "Kentucky Avenue"},
    {23, "Indiana Avenue"},
    {24, "Illinois Avenue"},
    {26, "Atlantic Avenue"},
    {27, "Ventor Avenue"},
    {29, "Marvin Gardens"},
    {31, "Pacific Avenue"},
    {32, "North Carolina Avenue"},
    {34, "Pennsilvania Avenue"},
    {37, "Park Place"},
    {39, "Boardwalk"},
    {5, "Reading Railroad"},
    {15, "Pennsilvania Railroad"},
    {25, "B && O Railroad"},
    {35, "Short Line"},
    {12, "Electric Company"},
    {28, "Water Works"},
}};

constexpr std::array<i16, 28> kHelpOrder{1,  3,  5,  6,  8,  9,  11, 13, 14, 15, 16, 18, 19, 21,
                                         23, 24, 25, 26, 27, 29, 31, 32, 34, 35, 37, 39, 12, 28};

constexpr std::array<i16, 4> kRailroadRents{25, 50, 100, 200};
constexpr i16 kIncomeTax = 200;
constexpr i16 kLuxuryTax = 75;

int groupIndexOf(int square) {
    for (std::size_t g = 0; g < kGroups.size(); ++g)
        for (int k = 0; k < kGroups[g].size; ++k)
            if (kGroups[g].squares[static_cast<std::size_t>(k)] == square) return static_cast<int>(g);
    return -1;
}

} // namespace

const SquareInfo& squareInfo(int square) {
    assert(isSquare(square));
    return kBoard[static_cast<std::size_t>(square)];
}

bool isOwnable(int square) {
    if (!isSquare(square)) return false;
    const SquareKind kind = squareInfo(square).kind;
    return kind == K::Street || kind == K::Railroad || kind == K::Utility;
}

std::span<const i16> ownableSquares() {
    return kOwnable;
}

i16 railroadRent(int count) {
    assert(count >= 1 && count <= 4);
    return kRailroadRents[static_cast<std::size_t>(count - 1)];
}

i16 utilityMultiplier(bool sameOwner) {
    return sameOwner ? 10 : 4;
}

i16 taxAmount(int square) {
    if (square == 4) return kIncomeTax;
    if (square == 38) return kLuxuryTax;
    return 0;
}

const ColourGroup* colourGroupOf(int square) {
    const int g = groupIndexOf(square);
    return g < 0 ? nullptr : &kGroups[static_cast<std::size_t>(g)];
}

std::string_view squareTitle(int square) {
    assert(isSquare(square));
    return kTitles[static_cast<std::size_t>(square)];
}

Rgb groupColour(int square) {
    assert(isOwnable(square));
    const int g = groupIndexOf(square);
    return g < 0 ? kGrey : kGroupColours[static_cast<std::size_t>(g)];
}

std::span<const GridRow> gridRows() {
    return kGridRows;
}

std::span<const i16> helpOrder() {
    return kHelpOrder;
}

} // namespace dealbrix
