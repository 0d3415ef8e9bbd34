#include "command_line.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace dealbrix {
namespace {

Options parse(QStringList arguments) {
    arguments.prepend(QStringLiteral("dealbrix"));
    return parseCommandLine(arguments);
}

TEST(CommandLine, NoArgumentsOpensTheGame) {
    const Options options = parse({});
    EXPECT_FALSE(options.quit);
    EXPECT_TRUE(options.output.isEmpty());
    EXPECT_TRUE(options.error.isEmpty());
}

TEST(CommandLine, VersionPrintsNameAndProjectVersion) {
    for (const QString& option : {QStringLiteral("--version"), QStringLiteral("-v")}) {
        const Options options = parse({option});
        EXPECT_TRUE(options.quit) << option.toStdString();
        EXPECT_EQ(options.exitCode, 0);
        EXPECT_EQ(options.output.toStdString(), "Dealbrix " DEALBRIX_EXPECTED_VERSION "\n");
        EXPECT_TRUE(options.error.isEmpty());
    }
}

TEST(CommandLine, HelpListsTheOptionsAndSucceeds) {
    for (const QString& option :
         {QStringLiteral("--help"), QStringLiteral("-h"), QStringLiteral("--help-all")}) {
        const Options options = parse({option});
        EXPECT_TRUE(options.quit) << option.toStdString();
        EXPECT_EQ(options.exitCode, 0);
        EXPECT_TRUE(options.output.startsWith(QStringLiteral("Usage: "))) << options.output.toStdString();
        EXPECT_TRUE(options.output.contains(QStringLiteral("--version")));
        EXPECT_TRUE(options.output.contains(QStringLiteral("--help")));
        EXPECT_TRUE(options.error.isEmpty());
    }
}

TEST(CommandLine, HelpDescribesTheLevelsAndTheSpeed) {
    const QString help = parse({QStringLiteral("--help")}).output.simplified();
    EXPECT_TRUE(help.contains(QStringLiteral("easy, normal or hard"))) << help.toStdString();
    EXPECT_TRUE(help.contains(QStringLiteral("2,3:hard,4:easy"))) << help.toStdString();
    EXPECT_TRUE(help.contains(QStringLiteral("Computer > Speed"))) << help.toStdString();
}

TEST(CommandLine, ALevelReachesTheProgramsOptions) {
    const Options options = parse({QStringLiteral("--computer"), QStringLiteral("2:hard,3")});
    EXPECT_FALSE(options.quit) << options.error.toStdString();
    EXPECT_TRUE(options.computer.seats[2]);
    EXPECT_EQ(options.computer.levels[2], ComputerLevel::Hard);
    EXPECT_EQ(options.computer.levels[3], ComputerLevel::Normal);
    const Options wrong = parse({QStringLiteral("--computer"), QStringLiteral("2:grandmaster")});
    EXPECT_TRUE(wrong.quit);
    EXPECT_NE(wrong.exitCode, 0);
    EXPECT_TRUE(wrong.error.contains(QStringLiteral("grandmaster"))) << wrong.error.toStdString();
}

TEST(CommandLine, HelpWinsOverVersion) {
    const Options options = parse({QStringLiteral("--version"), QStringLiteral("--help")});
    EXPECT_TRUE(options.output.startsWith(QStringLiteral("Usage: ")));
}

TEST(CommandLine, UnknownOptionIsAnErrorThatNamesIt) {
    for (const QString& option :
         {QStringLiteral("--bogus"), QStringLiteral("-x"), QStringLiteral("--versions")}) {
        const Options options = parse({option});
        EXPECT_TRUE(options.quit) << option.toStdString();
        EXPECT_EQ(options.exitCode, kUsageError);
        EXPECT_NE(options.exitCode, 0);
        EXPECT_TRUE(options.output.isEmpty());
        EXPECT_TRUE(options.error.contains(option.mid(option.lastIndexOf(u'-') + 1)))
            << options.error.toStdString();
    }
}

TEST(CommandLine, UnknownOptionIsNotHiddenByVersionOrHelp) {
    for (const QString& option : {QStringLiteral("--version"), QStringLiteral("--help")}) {
        const Options options = parse({option, QStringLiteral("--bogus")});
        EXPECT_EQ(options.exitCode, kUsageError) << option.toStdString();
        EXPECT_TRUE(options.output.isEmpty());
    }
}

TEST(CommandLine, ValueGivenToAFlagIsAnError) {
    const Options options = parse({QStringLiteral("--version=2")});
    EXPECT_EQ(options.exitCode, kUsageError);
    EXPECT_TRUE(options.output.isEmpty());
}

TEST(CommandLine, OneArgumentIsASavedGameToOpen) {
    const Options options = parse({QStringLiteral("evening.dealbrix")});
    EXPECT_FALSE(options.quit);
    EXPECT_EQ(options.savedGame, QStringLiteral("evening.dealbrix"));
}

TEST(CommandLine, ASecondArgumentIsAnError) {
    const Options options = parse({QStringLiteral("a.dealbrix"), QStringLiteral("somewhere.txt")});
    EXPECT_TRUE(options.quit);
    EXPECT_EQ(options.exitCode, kUsageError);
    EXPECT_TRUE(options.error.contains(QStringLiteral("somewhere.txt")));
}

TEST(CommandLine, DoubleDashEndsTheOptions) {
    // After "--" a word that looks like an option is the name of a saved game.
    const Options options = parse({QStringLiteral("--"), QStringLiteral("--version")});
    EXPECT_FALSE(options.quit);
    EXPECT_EQ(options.savedGame, QStringLiteral("--version"));
}

} // namespace
} // namespace dealbrix

int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    // The help's usage line names the program through the running application.
    const QCoreApplication app(argc, argv);
    dealbrix::describeApplication();
    return RUN_ALL_TESTS();
}

TEST(CommandLine, NamesAreCheckedAsTheNewGameDialogChecksThem) {
    const dealbrix::Options named = dealbrix::parseCommandLine(
        {QStringLiteral("dealbrix"), QStringLiteral("--names"), QStringLiteral(" Ann,,Cy")});
    EXPECT_FALSE(named.quit) << named.error.toStdString();
    EXPECT_EQ(named.names[1], "Ann");
    EXPECT_EQ(named.names[2], "");
    EXPECT_EQ(named.names[3], "Cy");
    const dealbrix::Options twice =
        dealbrix::parseCommandLine({QStringLiteral("dealbrix"), QStringLiteral("--names=Bo,bo")});
    EXPECT_EQ(twice.exitCode, dealbrix::kUsageError);
    EXPECT_TRUE(
        twice.error.startsWith(QStringLiteral("--names: The name of Player 2 is already taken by Player 1.")))
        << twice.error.toStdString();
    const dealbrix::Options five =
        dealbrix::parseCommandLine({QStringLiteral("dealbrix"), QStringLiteral("--names=a,b,c,d,e")});
    EXPECT_EQ(five.exitCode, dealbrix::kUsageError);
}
