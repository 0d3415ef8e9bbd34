// The autosave's writing: a temporary file renamed over the old one, its disk sync on a thread of its
// own, folded into one when asked for faster than the disk answers.

#include "file_syncer.h"
#include "random_player.h"
#include "saved_game.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

namespace dealbrix {
namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

TEST(FileKeptOnKill, ReplacesTheFileWholeAndLeavesNoTemporaryFileBehind) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("autosave.dealbrix"));
    ASSERT_TRUE(writeFileKeptOnKill(path, "first").isEmpty());
    EXPECT_EQ(contents(path), "first");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_TRUE(writeFileKeptOnKill(path, QByteArray(100000, 'x')).isEmpty());
    EXPECT_EQ(contents(path), QByteArray(100000, 'x'));
    EXPECT_EQ(QFile::permissions(path) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther),
              QFile::ReadOwner | QFile::WriteOwner)
        << "the new file keeps the old one's permissions";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("autosave.dealbrix")});
}

TEST(FileKeptOnKill, AFolderThatCannotTakeTheFileLeavesTheOldOneAndSaysWhy) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gone/autosave.dealbrix"));
    EXPECT_FALSE(writeFileKeptOnKill(path, "bytes").isEmpty());
    const QString kept = dir.filePath(QStringLiteral("autosave.dealbrix"));
    ASSERT_TRUE(writeFileKeptOnKill(kept, "old").isEmpty());
    // A folder of the same name stands where the file should go: rename refuses to replace it.
    const QString blocked = dir.filePath(QStringLiteral("taken"));
    ASSERT_TRUE(QDir().mkpath(blocked + QStringLiteral("/inside")));
    EXPECT_FALSE(writeFileKeptOnKill(blocked, "new").isEmpty());
    EXPECT_TRUE(QFileInfo(blocked).isDir());
    EXPECT_EQ(contents(kept), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("autosave.dealbrix")});
}

TEST(FileSyncer, FoldsRequestsIntoTheLatestAndFinishesBeforeItStops) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("autosave.dealbrix"));
    long long syncs = 0;
    {
        FileSyncer syncer;
        for (int i = 0; i < 200; ++i) {
            ASSERT_TRUE(writeFileKeptOnKill(path, QByteArray::number(i)).isEmpty());
            syncer.sync(path);
        }
        syncer.waitUntilSynced();
        syncs = syncer.syncs();
        EXPECT_GE(syncs, 1);
        EXPECT_LE(syncs, 200);
        syncer.sync(dir.filePath(QStringLiteral("removed meanwhile")));
    } // the last request is done before the syncer is gone; a missing file is no fault
    EXPECT_EQ(contents(path), "199");
}

TEST(FileKeptOnKill, TheAutosaveReadsBackAsTheGameSaved) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("autosave.dealbrix"));
    std::mt19937_64 rng(3);
    testing::SeededRandom random(rng);
    struct Silent final : Ui {
        void tell(const Box&) override {}
        bool ask(const Box&) override { return true; }
        void endProgram() override {}
    } ui;
    Game played(ui, random);
    played.start();
    for (int n = 0; n < 40; ++n)
        played.apply(testing::randomAvailableAction(played, rng));
    SavedGame game;
    game.state = played.state;
    game.actions = 42;
    game.log = {"Player 1 rolls 3 and 4"};
    ASSERT_TRUE(autosaveGameFile(path, game).isEmpty());
    const LoadResult back = loadGameFile(path);
    ASSERT_TRUE(back.game) << back.error.toStdString();
    EXPECT_EQ(*back.game, game);
    EXPECT_FALSE(autosaveGameFile(dir.filePath(QStringLiteral("no/such/folder/x")), game).isEmpty());
}

} // namespace
} // namespace dealbrix
