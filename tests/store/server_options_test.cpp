// dealbrix-server's store options: --data turns the retention options into the server's own limits;
// without --data they are refused rather than ignored.

#include "server_options.h"

#include <gtest/gtest.h>

namespace dealbrix {
namespace {

ServerOptions parse(QStringList arguments) {
    arguments.prepend(QStringLiteral("dealbrix-server"));
    return parseServerCommandLine(arguments);
}

TEST(StoreOptions, DataKeepsFinishedRoomsADayAndIdleRoomsAWeekUnlessTold) {
    const ServerOptions memory = parse({});
    EXPECT_FALSE(memory.quit);
    EXPECT_TRUE(memory.dataDir.isEmpty());
    EXPECT_EQ(memory.limits.finishedRoomMinutes, 0) << "without a store a finished room closes once empty";

    const ServerOptions kept = parse({QStringLiteral("--data"), QStringLiteral("/tmp/rooms")});
    ASSERT_FALSE(kept.quit) << kept.error.toStdString();
    EXPECT_EQ(kept.dataDir, QStringLiteral("/tmp/rooms"));
    EXPECT_EQ(kept.limits.finishedRoomMinutes, 24 * 60);
    EXPECT_EQ(kept.limits.roomIdleMinutes, 7 * 24 * 60);

    const ServerOptions told =
        parse({QStringLiteral("--data"), QStringLiteral("d"), QStringLiteral("--finished-room-hours"),
               QStringLiteral("0"), QStringLiteral("--idle-room-days"), QStringLiteral("2")});
    ASSERT_FALSE(told.quit) << told.error.toStdString();
    EXPECT_EQ(told.retention.finishedRoomHours, 0);
    EXPECT_EQ(told.limits.finishedRoomMinutes, 0);
    EXPECT_EQ(told.limits.roomIdleMinutes, 2 * 24 * 60);
}

TEST(StoreOptions, RetentionWithoutDataOrOutOfRangeIsRefused) {
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("--idle-room-days"), QStringLiteral("3")},
          QStringList{QStringLiteral("--finished-room-hours"), QStringLiteral("3")},
          QStringList{QStringLiteral("--data"), QStringLiteral("d"), QStringLiteral("--idle-room-days"),
                      QStringLiteral("0")},
          QStringList{QStringLiteral("--data"), QStringLiteral("d"), QStringLiteral("--idle-room-days"),
                      QStringLiteral("100000")},
          QStringList{QStringLiteral("--data"), QStringLiteral("d"), QStringLiteral("--finished-room-hours"),
                      QStringLiteral("-1")},
          QStringList{QStringLiteral("--data"), QStringLiteral("")}}) {
        const ServerOptions options = parse(arguments);
        EXPECT_TRUE(options.quit) << arguments.join(u' ').toStdString();
        EXPECT_NE(options.exitCode, 0);
        EXPECT_FALSE(options.error.isEmpty());
    }
}

} // namespace
} // namespace dealbrix
