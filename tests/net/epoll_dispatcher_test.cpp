// The epoll event loop the server and the load tool run on: timers, socket notifiers and wake-ups
// from other threads, each in a thread of its own with the loop installed.
#include "epoll_dispatcher.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace dealbrix::net {
namespace {

/// Runs `body` in a thread whose event loop is an EpollEventDispatcher.
class EpollThread final : public QThread {
  public:
    explicit EpollThread(std::function<void()> body) : body_(std::move(body)) {
        setEventDispatcher(new EpollEventDispatcher);
    }
    void run() override {
        usedEpoll = dynamic_cast<EpollEventDispatcher*>(QAbstractEventDispatcher::instance()) != nullptr;
        body_();
    }
    bool usedEpoll = false;

  private:
    std::function<void()> body_;
};

/// Runs `body` in an epoll thread and waits for it (at most 20 s).
void inEpollThread(const std::function<void()>& body) {
    EpollThread thread(body);
    thread.start();
    ASSERT_TRUE(thread.wait(20000)) << "the loop did not end";
    EXPECT_TRUE(thread.usedEpoll);
}

/// A pair of connected local sockets, closed at the end.
struct SocketPair {
    int fd[2] = {-1, -1};
    SocketPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fd), 0); }
    ~SocketPair() {
        for (const int f : fd)
            if (f >= 0) ::close(f);
    }
    void send(int end) const { EXPECT_EQ(::write(fd[end], "x", 1), 1); }
    void take(int end) const {
        char byte = 0;
        EXPECT_EQ(::read(fd[end], &byte, 1), 1);
    }
};

TEST(EpollEventLoop, TimersFireNoEarlierThanDueAndStopWhenStopped) {
    int repeats = 0, singleShots = 0, zeroRuns = 0;
    qint64 singleShotAtMs = -1;
    int remainingOfLongMs = -2;
    inEpollThread([&] {
        QEventLoop loop;
        QElapsedTimer clock;
        clock.start();
        QTimer repeating;
        repeating.setInterval(10);
        QObject::connect(&repeating, &QTimer::timeout, [&] {
            if (++repeats == 5) repeating.stop();
        });
        repeating.start();
        QTimer::singleShot(30, Qt::PreciseTimer, [&] {
            ++singleShots;
            singleShotAtMs = clock.elapsed();
        });
        // An interval of 0 comes due at once after each run and must leave the other timers their turn.
        QTimer zero;
        zero.setInterval(0);
        QObject::connect(&zero, &QTimer::timeout, [&] {
            if (++zeroRuns == 3) zero.stop();
        });
        zero.start();
        QTimer longOne;
        longOne.start(1000);
        QTimer::singleShot(150, [&] {
            remainingOfLongMs = longOne.remainingTime();
            loop.quit();
        });
        loop.exec();
    });
    EXPECT_EQ(repeats, 5) << "a stopped timer fired again";
    EXPECT_EQ(singleShots, 1);
    EXPECT_GE(singleShotAtMs, 30) << "fired before it was due";
    EXPECT_EQ(zeroRuns, 3);
    // Asked 150 ms after it started.
    EXPECT_GT(remainingOfLongMs, 0);
    EXPECT_LE(remainingOfLongMs, 850);
}

TEST(EpollEventLoop, ATimerStoppedByAnotherDueInTheSameTurnDoesNotFire) {
    int fired = 0;
    inEpollThread([&] {
        QEventLoop loop;
        auto first = std::make_unique<QTimer>();
        auto second = std::make_unique<QTimer>();
        // Whichever fires first deletes the other, which was due in the same turn.
        QObject::connect(first.get(), &QTimer::timeout, [&] {
            ++fired;
            second.reset();
        });
        QObject::connect(second.get(), &QTimer::timeout, [&] {
            ++fired;
            first.reset();
        });
        first->setSingleShot(true);
        second->setSingleShot(true);
        first->start(5);
        second->start(5);
        QThread::msleep(20); // both are overdue when the loop first looks
        QTimer::singleShot(60, &loop, &QEventLoop::quit);
        loop.exec();
    });
    EXPECT_EQ(fired, 1);
}

TEST(EpollEventLoop, SocketNotifiersReportReadyDataAndStopWhenDisabled) {
    SocketPair pair;
    int reads = 0;
    inEpollThread([&] {
        QEventLoop loop;
        QSocketNotifier reader(pair.fd[0], QSocketNotifier::Read);
        QObject::connect(&reader, &QSocketNotifier::activated, [&] {
            pair.take(0);
            if (++reads == 2) {
                reader.setEnabled(false);
                pair.send(1); // ready again, but no longer watched
            } else {
                pair.send(1);
            }
        });
        pair.send(1);
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
    });
    EXPECT_EQ(reads, 2);
}

TEST(EpollEventLoop, ANotifierDeletedByAnotherReadyInTheSameTurnIsNotDelivered) {
    SocketPair pair;
    int delivered = 0;
    inEpollThread([&] {
        QEventLoop loop;
        pair.send(1); // the first end is readable, and writable as every socket is
        auto reader = std::make_unique<QSocketNotifier>(pair.fd[0], QSocketNotifier::Read);
        auto writer = std::make_unique<QSocketNotifier>(pair.fd[0], QSocketNotifier::Write);
        // Each stops itself after it is delivered once, and deletes the other.
        QObject::connect(reader.get(), &QSocketNotifier::activated, [&] {
            ++delivered;
            reader->setEnabled(false);
            writer.reset();
        });
        QObject::connect(writer.get(), &QSocketNotifier::activated, [&] {
            ++delivered;
            writer->setEnabled(false);
            reader.reset();
        });
        QTimer::singleShot(60, &loop, &QEventLoop::quit);
        loop.exec();
    });
    EXPECT_EQ(delivered, 1);
}

TEST(EpollEventLoop, AWriteNotifierTurnedOnAgainGoesOutAtOnceAndWaitsForEpollOnlyWhenTheSocketIsFull) {
    SocketPair pair;
    int deliveries = 0;
    int atPause = -1;
    inEpollThread([&] {
        QEventLoop loop;
        // A socket's reader stays on throughout (nothing comes to read here), its writer goes on and off.
        QSocketNotifier reader(pair.fd[0], QSocketNotifier::Read);
        QSocketNotifier writer(pair.fd[0], QSocketNotifier::Write);
        const auto fill = [&] {
            const char block[4096] = {};
            while (::write(pair.fd[0], block, sizeof block) > 0) {
            }
        };
        QObject::connect(&writer, &QSocketNotifier::activated, [&] {
            ++deliveries;
            if (deliveries == 1) {
                // As a socket does after writing a message and queueing the next: off, then on.
                fill();
                writer.setEnabled(false);
                writer.setEnabled(true);
            } else if (deliveries >= 3) {
                writer.setEnabled(false);
                loop.quit();
            }
            // The second, unasked while the socket is full, leaves it on: it must wait now.
        });
        QTimer::singleShot(50, [&] {
            atPause = deliveries;
            char drain[65536];
            while (::read(pair.fd[1], drain, sizeof drain) > 0) {
            }
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    });
    EXPECT_EQ(atPause, 2) << "delivered unasked once, then not again while the socket was full";
    EXPECT_EQ(deliveries, 3) << "delivered by epoll once the socket could take more";
}

TEST(EpollEventLoop, AWaitWithNothingDueEndsWhenAnotherThreadPostsWork) {
    std::atomic<QObject*> inLoop{nullptr};
    std::atomic<bool> ran{false};
    bool guardFired = false;
    EpollThread thread([&] {
        QEventLoop loop;
        inLoop = &loop;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            guardFired = true;
            loop.quit();
        });
        guard.start(10000);
        loop.exec();
        inLoop = nullptr;
    });
    thread.start();
    QElapsedTimer waited;
    waited.start();
    while (inLoop.load() == nullptr && waited.elapsed() < 5000)
        QThread::msleep(1);
    ASSERT_NE(inLoop.load(), nullptr);
    QThread::msleep(50); // the loop is asleep in its wait by now
    auto* loop = static_cast<QEventLoop*>(inLoop.load());
    QMetaObject::invokeMethod(
        loop,
        [&ran, loop] {
            ran = true;
            loop->quit();
        },
        Qt::QueuedConnection);
    ASSERT_TRUE(thread.wait(20000));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(guardFired) << "the posted call waited for the guard timer";
}

} // namespace
} // namespace dealbrix::net
