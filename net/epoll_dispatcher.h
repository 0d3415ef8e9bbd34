#pragma once
// An event loop for a process holding thousands of sockets (the server and the load tool). Qt's own
// loop on Linux calls poll() over every socket notifier on every turn, so a turn costs in proportion to
// all the connections even when one message arrived; epoll hands over only the sockets that are ready.

#include <QAbstractEventDispatcher>

#include <atomic>
#include <cstdint>
#include <set>
#include <unordered_map>
#include <vector>

class QSocketNotifier;

namespace dealbrix::net {

/// A Qt event dispatcher on Linux's epoll: posted events, socket notifiers and timers of one thread.
/// Install it before the thread's first event loop (QCoreApplication::setEventDispatcher before the
/// application exists, or QThread::setEventDispatcher before the thread starts).
class EpollEventDispatcher final : public QAbstractEventDispatcher {
    Q_OBJECT

  public:
    explicit EpollEventDispatcher(QObject* parent = nullptr);
    ~EpollEventDispatcher() override;

    /// True when the epoll and wake-up descriptors were made; a dispatcher that is not valid must not
    /// be installed (the caller keeps Qt's own).
    bool isValid() const { return epoll_ >= 0 && wake_ >= 0; }

    /// Sends the posted events, then waits (when `flags` allow it) for a socket, a timer or a wake-up
    /// and delivers what is ready. True when anything was delivered.
    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;

    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;

    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType, QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    /// Milliseconds until the timer is due (0 when it is overdue), -1 for a timer not registered here.
    int remainingTime(int timerId) override;

    /// Ends a wait from any thread.
    void wakeUp() override;
    /// Makes the current or next processEvents return at once.
    void interrupt() override;

  private:
    struct Timer {
        qint64 intervalMs = 0;
        Qt::TimerType type = Qt::CoarseTimer;
        QObject* object = nullptr;
        qint64 dueUs = 0;         // on the steady clock
        std::uint64_t serial = 0; // tells a timer from a later one given the same id
        bool firing = false;      // in its own timer event: not fired again from a nested loop
    };
    struct Watched {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
        QSocketNotifier* exception = nullptr;
        std::uint32_t registered = 0; // the epoll events the descriptor is registered for
        bool writeProven = false;     // it has been writable: a write notifier is presumed ready at once
        bool armWrite = false;        // the write notifier waits on epoll (not presumed, or presumed wrong)
        bool presumed = false;        // the write notifier is to be delivered in the next turn unasked
    };

    void updateEpoll(int fd, Watched& watched);
    /// Milliseconds the loop may wait for the next timer, -1 for none.
    int waitMs() const;
    int activateSockets();
    /// Puts on epoll the write notifiers delivered unasked that are still on.
    void waitForUnwritten();
    int activateTimers();
    void drainWakeUp();

    int epoll_ = -1;
    int wake_ = -1;
    std::atomic<bool> wakeUpPending_{false};
    std::atomic<bool> interrupted_{false};

    std::unordered_map<int, Watched> sockets_;
    std::vector<QSocketNotifier*> pending_; // to be activated in this turn; cleared when unregistered
    std::vector<int> presumedWritable_;     // descriptors whose write notifier goes out unasked next turn
    std::vector<int> triedWritable_;        // those delivered so in this turn: still enabled, they wait

    std::unordered_map<int, Timer> timers_;
    std::set<std::pair<qint64, int>> due_; // (due time in microseconds, id), soonest first
    std::uint64_t nextSerial_ = 1;
};

/// Makes an EpollEventDispatcher the main thread's, unless the environment's DEALBRIX_EVENT_LOOP is
/// "qt" (Qt's own loop, to compare) or epoll is not to be had. Call before the QCoreApplication is made.
bool installEpollEventLoop();

} // namespace dealbrix::net
