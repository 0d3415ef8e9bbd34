#include "scripted.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace dealbrix;
using namespace dealbrix::testing;

namespace {

bool isUtility(int square) {
    return squareInfo(square).kind == SquareKind::Utility;
}

std::vector<int> squaresOfKind(SquareKind kind) {
    std::vector<int> found;
    for (int s = 0; s < kSquareCount; ++s)
        if (squareInfo(s).kind == kind) found.push_back(s);
    return found;
}

} // namespace

TEST(BoardTable, LandingTextsAndPurchaseNamesAreSeparateLists) {
    EXPECT_EQ(squareInfo(5).landingText, "Reading Railroad $200");
    EXPECT_EQ(squareInfo(5).purchaseName, "Reading Railread");
    EXPECT_EQ(squareInfo(14).landingText, "Virginia avenue $160");
    EXPECT_EQ(squareInfo(14).purchaseName, "Virginia Avenue");
    EXPECT_EQ(squareInfo(15).landingText, "Pensilvania Railroad $200");
    EXPECT_EQ(squareInfo(25).landingText, "B&O Railroad $200");
    EXPECT_EQ(squareInfo(30).landingText, "Go To Gail");
    EXPECT_EQ(squareInfo(3).landingText, "Baltic Avenue $60");
    EXPECT_EQ(squareInfo(38).landingText, "Luxury Tax");
}

TEST(BoardTable, ExactlyTwentyEightSquaresCanBeBought) {
    std::vector<int> ownable;
    for (int s = 0; s < kSquareCount; ++s) {
        const SquareInfo& info = squareInfo(s);
        if (isOwnable(s)) {
            ownable.push_back(s);
            EXPECT_GT(info.price, 0) << s;
            EXPECT_FALSE(info.purchaseName.empty()) << s;
        } else {
            EXPECT_EQ(info.price, 0) << s;
            EXPECT_TRUE(info.purchaseName.empty()) << s;
        }
    }
    EXPECT_EQ(ownable.size(), 28u);
    EXPECT_TRUE(std::ranges::equal(ownable, ownableSquares()));
    EXPECT_EQ(squaresOfKind(SquareKind::Street).size(), 22u);
    EXPECT_EQ(squaresOfKind(SquareKind::Railroad), (std::vector<int>{5, 15, 25, 35}));
    EXPECT_EQ(squaresOfKind(SquareKind::Utility), (std::vector<int>{12, 28}));
    EXPECT_EQ(squaresOfKind(SquareKind::Chance), (std::vector<int>{7, 22, 36}));
    EXPECT_EQ(squaresOfKind(SquareKind::CommunityChest), (std::vector<int>{2, 17, 33}));
    EXPECT_EQ(squaresOfKind(SquareKind::Tax), (std::vector<int>{4, 38}));
}

TEST(BoardTable, GroupRentIsAlwaysTwiceTheBaseRent) {
    for (const int s : squaresOfKind(SquareKind::Street))
        EXPECT_EQ(squareInfo(s).groupRent, 2 * squareInfo(s).baseRent) << s;
}

TEST(BoardTable, ColourGroupsHoldTheirStreetsInBoardOrder) {
    const std::vector<std::vector<int>> groups{{1, 3},       {6, 8, 9},    {11, 13, 14}, {16, 18, 19},
                                               {21, 23, 24}, {26, 27, 29}, {31, 32, 34}, {37, 39}};
    for (const auto& members : groups)
        for (const int s : members) {
            const ColourGroup* group = colourGroupOf(s);
            ASSERT_NE(group, nullptr) << s;
            ASSERT_EQ(group->size, static_cast<int>(members.size())) << s;
            for (std::size_t k = 0; k < members.size(); ++k)
                EXPECT_EQ(group->squares[k], members[k]) << s;
        }
    EXPECT_EQ(colourGroupOf(28), nullptr); // Water Works sits among the yellows but is no street
    EXPECT_EQ(colourGroupOf(5), nullptr);
    EXPECT_EQ(colourGroupOf(0), nullptr);
}

TEST(SquareTitles, OddSpellingsAreKept) {
    EXPECT_EQ(squareTitle(15), "Pennsiilvania Avenue");
    EXPECT_EQ(squareTitle(25), "B && O Railroad");
    EXPECT_EQ(squareTitle(34), "Pennsilvania Avenue");
    EXPECT_EQ(squareTitle(35), "Short Line");
    EXPECT_EQ(squareTitle(5), "Reading Railroad");
    EXPECT_EQ(squareTitle(1), "Mediteranean Avenue");
}

TEST(SquareTitles, OnlyTheTwelveSquaresThatCannotBeBoughtHaveNoTitle) {
    std::vector<int> untitled;
    for (int s = 0; s < kSquareCount; ++s) {
        if (squareTitle(s).empty()) untitled.push_back(s);
        EXPECT_EQ(squareTitle(s).empty(), !isOwnable(s)) << s;
    }
    EXPECT_EQ(untitled, (std::vector<int>{0, 2, 4, 7, 10, 17, 20, 22, 30, 33, 36, 38}));
}

TEST(GroupColours, EachGroupHasItsColourAndRailroadsAndUtilitiesAreGrey) {
    const Rgb grey{128, 128, 128};
    for (const int s : {5, 15, 25, 35, 12, 28})
        EXPECT_EQ(groupColour(s), grey) << s;
    const std::vector<std::pair<int, Rgb>> firsts{
        {1, {128, 0, 128}}, {6, {0, 255, 255}},  {11, {255, 0, 255}}, {16, {255, 128, 0}},
        {21, {255, 0, 0}},  {26, {255, 255, 0}}, {31, {0, 255, 0}},   {37, {0, 0, 255}}};
    for (const auto& [first, colour] : firsts) {
        const ColourGroup& group = *colourGroupOf(first);
        for (int k = 0; k < group.size; ++k)
            EXPECT_EQ(groupColour(group.squares[static_cast<std::size_t>(k)]), colour);
    }
}

TEST(GridRows, CaptionsAreTheGridsOwn) {
    auto caption = [](int square) {
        const auto rows = gridRows();
        return std::ranges::find(rows, square, &GridRow::square)->caption;
    };
    EXPECT_EQ(caption(15), "Pennsilvania Railroad");
    EXPECT_EQ(caption(25), "B && O Railroad");
    EXPECT_EQ(caption(34), "Pennsilvania Avenue");
    EXPECT_EQ(caption(35), "Short Line");
}

TEST(GridRows, StreetsByGroupThenRailroadsThenUtilities) {
    const auto rows = gridRows();
    ASSERT_EQ(rows.size(), 28u);
    std::vector<int> order;
    for (const GridRow& row : rows)
        order.push_back(row.square);
    EXPECT_EQ(order, (std::vector<int>{1,  3,  6,  8,  9,  11, 13, 14, 16, 18, 19, 21, 23, 24,
                                       26, 27, 29, 31, 32, 34, 37, 39, 5,  15, 25, 35, 12, 28}));
}

TEST(HelpList, StreetsAndRailroadsInBoardOrderThenTheUtilities) {
    std::vector<int> expected;
    for (const int s : ownableSquares())
        if (!isUtility(s)) expected.push_back(s);
    expected.push_back(12);
    expected.push_back(28);
    EXPECT_TRUE(std::ranges::equal(helpOrder(), expected));
}
