#include "file_syncer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace dealbrix {

namespace {

/// fdatasync on the file, fsync on the folder: the folder's entry is what the rename changed.
void syncToDisk(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::close(fd);
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace

QString writeFileKeptOnKill(const QString& path, const QByteArray& bytes) {
    const QFileInfo target(path);
    // In the same folder, so that the rename stays on one file system and replaces the file at once.
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                             QStringLiteral(".XXXXXX"));
    temporary.setAutoRemove(true);
    if (!temporary.open()) return temporary.errorString();
    if (temporary.write(bytes) != bytes.size() || !temporary.flush()) return temporary.errorString();
    // The file takes the permissions the old one had, or the usual ones for a new file.
    temporary.setPermissions(target.exists() ? QFile::permissions(path)
                                             : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                   QFile::ReadOther);
    const QByteArray from = QFile::encodeName(temporary.fileName());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    // rename(2) replaces the old file in one step; QFile::rename would refuse an existing target.
    if (std::rename(from.constData(), to.constData()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    temporary.setAutoRemove(false);
    return {};
}

FileSyncer::FileSyncer() : thread_([this] { run(); }) {}

FileSyncer::~FileSyncer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void FileSyncer::sync(const QString& path) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        next_ = path;
    }
    wake_.notify_one();
}

void FileSyncer::waitUntilSynced() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return next_.isEmpty() && !syncing_; });
}

long long FileSyncer::syncs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return syncs_;
}

void FileSyncer::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !next_.isEmpty(); });
        // A file asked for before the stop is still synced.
        if (next_.isEmpty()) return;
        const QString path = std::exchange(next_, QString());
        syncing_ = true;
        lock.unlock();
        syncToDisk(path);
        lock.lock();
        syncing_ = false;
        ++syncs_;
        done_.notify_all();
    }
}

} // namespace dealbrix
