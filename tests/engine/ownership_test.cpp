#include "ownership.h"
#include "scripted.h"

#include <gtest/gtest.h>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

/// The facts' last line: the owner and what stands on the square now.
std::string holdingLine(Table& t, int square) {
    const std::string facts = squareFacts(t.s(), square);
    return facts.substr(facts.rfind('\n') + 1);
}

} // namespace

TEST(SquareDescription, OwnerAndHousesInTheBoardsWords) {
    Table t;
    EXPECT_EQ(ownershipDescription(t.s(), 39), "For sale");
    t.own(39, 2);
    EXPECT_EQ(ownershipDescription(t.s(), 39), "Owned by Player 2");
    t.s().houses[39] = 1;
    EXPECT_EQ(ownershipDescription(t.s(), 39), "Owned by Player 2, 1 house");
    t.s().houses[39] = 3;
    EXPECT_EQ(ownershipDescription(t.s(), 39), "Owned by Player 2, 3 houses");
    t.s().houses[39] = 5;
    EXPECT_EQ(ownershipDescription(t.s(), 39), "Owned by Player 2, a hotel");
    t.s().houses[39] = 0;
    t.s().owners[39] = mortgagedCode(2);
    EXPECT_EQ(ownershipDescription(t.s(), 39), "Mortgaged, owned by Player 2");
}

TEST(SquareDescription, SquaresThatCannotBeOwnedHaveNone) {
    Table t;
    for (const int square : {0, 2, 4, 7, 10, 20, 30, 38})
        EXPECT_EQ(ownershipDescription(t.s(), square), "") << square;
    EXPECT_EQ(ownershipDescription(t.s(), -1), "");
    EXPECT_EQ(ownershipDescription(t.s(), kSquareCount), "");
    EXPECT_EQ(squareFacts(t.s(), 30), "");
}

TEST(SquareDescription, AStoredCodeOfNoSeatReadsAsTheBanks) {
    Table t;
    t.s().owners[1] = 9;
    EXPECT_EQ(ownershipDescription(t.s(), 1), "For sale");
    t.s().owners[1] = -3;
    t.s().houses[1] = 300;
    EXPECT_EQ(holdingOf(t.s(), 1), (SquareHolding{.owner = 0, .houses = 0, .mortgaged = false}));
}

TEST(SquareFacts, StreetListsPriceRentsHousePriceMortgageAndHolding) {
    Table t;
    t.own(39, 3);
    t.s().houses[39] = 2;
    EXPECT_EQ(squareFacts(t.s(), 39), "Boardwalk\n"
                                      "Price $400\n"
                                      "Rent $50, with the whole group $100\n"
                                      "With 1, 2, 3, 4 houses: $200, $600, $1400, $1700\n"
                                      "With a hotel $2000\n"
                                      "House price $200\n"
                                      "Mortgage value $200\n"
                                      "Owned by Player 3, 2 houses");
}

TEST(SquareFacts, RailroadRentGoesByTheNumberOwnedAndUtilityRentByTheDice) {
    Table t;
    EXPECT_EQ(squareFacts(t.s(), 25), "B && O Railroad\n"
                                      "Price $200\n"
                                      "Rent with 1, 2, 3, 4 railroads: $25, $50, $100, $200\n"
                                      "Mortgage value $100\n"
                                      "For sale");
    EXPECT_EQ(squareFacts(t.s(), 28), "Water Works\n"
                                      "Price $150\n"
                                      "Rent: 4 times the dice, 10 times with both utilities\n"
                                      "Mortgage value $75\n"
                                      "For sale");
}

TEST(SquareFacts, MortgageValueIsHalfWhatTheBuyerPaidRoundedToEven) {
    Table t;
    t.own(1, 1);
    t.s().pricePaid[1] = 45; // half is 22.5
    EXPECT_NE(squareFacts(t.s(), 1).find("Mortgage value $22\n"), std::string::npos);
}

TEST(SquareFacts, HousesLeftOnASquareBackWithTheBankAreNamed) {
    Table t;
    t.s().houses[6] = 2; // a bankrupt's street goes back to the bank with its houses
    EXPECT_EQ(holdingLine(t, 6), "For sale, 2 houses");
}
