// The command line of the computer seats: --computer LIST and --computer-delay MS.
#include "computer_options.h"

#include <QCommandLineParser>

#include <gtest/gtest.h>

using namespace dealbrix;

namespace {

/// Parses `arguments` (after the program name) as the program does; nothing when a value is wrong.
std::optional<ComputerOptions> parse(const QStringList& arguments, QString* error = nullptr) {
    QCommandLineParser parser;
    addComputerOptions(parser);
    if (!parser.parse(QStringList{QStringLiteral("dealbrix")} + arguments)) return std::nullopt;
    QString message;
    std::optional<ComputerOptions> options = readComputerOptions(parser, message);
    if (error != nullptr) *error = message;
    return options;
}

TEST(ComputerOptions, NoOptionsMeansNoComputerSeatAndTheDefaultPace) {
    const std::optional<ComputerOptions> options = parse({});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->seats, ComputerSeats{});
    EXPECT_EQ(options->delayMs, kDefaultComputerDelayMs);
}

TEST(ComputerOptions, AListTicksThoseSeats) {
    const std::optional<ComputerOptions> options = parse({"--computer", "2,4", "--computer-delay", "0"});
    ASSERT_TRUE(options);
    EXPECT_FALSE(options->seats[1]);
    EXPECT_TRUE(options->seats[2]);
    EXPECT_FALSE(options->seats[3]);
    EXPECT_TRUE(options->seats[4]);
    EXPECT_EQ(options->delayMs, 0);
    EXPECT_TRUE(parse({"--computer=1", "--computer", "3"})->seats[3]) << "the option may be repeated";
}

TEST(ComputerOptions, ASeatMayNameItsLevelAndOneWithoutPlaysNormal) {
    const std::optional<ComputerOptions> options = parse({"--computer", "2,3:hard,4:Easy"});
    ASSERT_TRUE(options);
    EXPECT_FALSE(options->seats[1]);
    EXPECT_TRUE(options->seats[2] && options->seats[3] && options->seats[4]);
    EXPECT_EQ(options->levels[2], ComputerLevel::Normal);
    EXPECT_EQ(options->levels[3], ComputerLevel::Hard);
    EXPECT_EQ(options->levels[4], ComputerLevel::Easy) << "the level's case does not matter";
    EXPECT_EQ(parse({"--computer", "1:normal", "--computer", "1:hard"})->levels[1], ComputerLevel::Hard)
        << "the last mention of a seat wins";
}

TEST(ComputerOptions, WrongValuesAreRefusedWithAMessage) {
    for (const QStringList& wrong :
         {QStringList{"--computer", "5"}, QStringList{"--computer", "0"}, QStringList{"--computer", "2,,3"},
          QStringList{"--computer", "two"}, QStringList{"--computer", ""},
          QStringList{"--computer-delay", "-1"}, QStringList{"--computer-delay", "fast"},
          QStringList{"--computer-delay", "99999999999"}, QStringList{"--computer", "2:expert"},
          QStringList{"--computer", "2:"}, QStringList{"--computer", ":hard"},
          QStringList{"--computer", "2:hard:easy"}}) {
        QString error;
        EXPECT_FALSE(parse(wrong, &error)) << wrong.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty()) << wrong.join(' ').toStdString();
    }
}

} // namespace
