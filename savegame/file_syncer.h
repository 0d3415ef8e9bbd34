#pragma once
// Writes a file so that a killed program keeps it, and leaves the disk sync to a thread of its own.
// Once writeFileKeptOnKill returns, the kernel holds the new file under its name (a temporary file
// renamed over the old one): a killed program loses nothing. Only a power cut needs the data on the
// disk, and that is what the FileSyncer does in the background, always for the latest file.

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace dealbrix {

/// Writes `bytes` to a temporary file beside `path` and renames it over `path`: the file holds the
/// old bytes or the new ones, never a mix, and nothing waits for the disk. Returns an empty string, or
/// what went wrong (the old file is then left as it was).
QString writeFileKeptOnKill(const QString& path, const QByteArray& bytes);

/// Syncs files to the disk on a thread of its own. Requests made while a sync runs are folded into
/// one: only the latest file asked for is synced next, with its folder.
class FileSyncer {
  public:
    FileSyncer();
    /// Finishes the sync asked for last, then stops.
    ~FileSyncer();
    FileSyncer(const FileSyncer&) = delete;
    FileSyncer& operator=(const FileSyncer&) = delete;

    /// Asks for `path` and its folder to reach the disk; returns at once.
    void sync(const QString& path);
    /// Waits until every sync asked for so far is done.
    void waitUntilSynced();
    /// Syncs done so far (a request folded into a later one is not counted).
    long long syncs() const;

  private:
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    QString next_; // the file to sync next; empty when none waits
    bool syncing_ = false;
    bool stopping_ = false;
    long long syncs_ = 0;
    std::thread thread_;
};

} // namespace dealbrix
