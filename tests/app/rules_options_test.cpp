#include "command_line.h"

#include <gtest/gtest.h>

namespace dealbrix {
namespace {

Options parse(QStringList arguments) {
    arguments.prepend(QStringLiteral("dealbrix"));
    return parseCommandLine(arguments);
}

TEST(RulesOptions, WithoutThemEveryRuleIsOffAndTheMoneyAsAlways) {
    const Options options = parse({});
    EXPECT_TRUE(options.rules.plain());
    EXPECT_EQ(options.rules.startingMoney, 1500);
}

TEST(RulesOptions, ChooseRulesAndStartingMoney) {
    const Options options = parse({QStringLiteral("--rules"), QStringLiteral("auction,even-building"),
                                   QStringLiteral("--rules=double-go"), QStringLiteral("--starting-money"),
                                   QStringLiteral("2500")});
    EXPECT_FALSE(options.quit) << options.error.toStdString();
    EXPECT_TRUE(options.rules.has(HouseRule::Auction));
    EXPECT_TRUE(options.rules.has(HouseRule::EvenBuilding));
    EXPECT_TRUE(options.rules.has(HouseRule::DoubleGo));
    EXPECT_FALSE(options.rules.has(HouseRule::LimitedHouses));
    EXPECT_EQ(options.rules.startingMoney, 2500);
}

TEST(RulesOptions, AWrongNameEndsWithStatusTwoAndListsTheNames) {
    const Options options = parse({QStringLiteral("--rules"), QStringLiteral("auction,free-parking")});
    EXPECT_TRUE(options.quit);
    EXPECT_EQ(options.exitCode, kUsageError);
    const std::string error = options.error.toStdString();
    EXPECT_NE(error.find("'free-parking'"), std::string::npos) << error;
    for (const HouseRuleInfo& info : houseRuleTable())
        EXPECT_NE(error.find(std::string(info.name)), std::string::npos) << info.name;
}

TEST(RulesOptions, StartingMoneyOutsideTheRangeOrStepIsAnError) {
    for (const char* money : {"400", "5100", "1550", "abc", "", "-1500"}) {
        const Options options = parse({QStringLiteral("--starting-money"), QString::fromLatin1(money)});
        EXPECT_TRUE(options.quit) << money;
        EXPECT_EQ(options.exitCode, kUsageError) << money;
        EXPECT_TRUE(options.error.contains(QStringLiteral("--starting-money"))) << money;
    }
    EXPECT_FALSE(parse({QStringLiteral("--starting-money"), QStringLiteral("500")}).quit);
    EXPECT_FALSE(parse({QStringLiteral("--starting-money"), QStringLiteral("5000")}).quit);
}

} // namespace
} // namespace dealbrix
