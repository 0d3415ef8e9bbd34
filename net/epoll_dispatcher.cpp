#include "epoll_dispatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimerEvent>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace dealbrix::net {

namespace {

/// Ready descriptors taken from the kernel in one turn; more wait for the next, still ready. Few
/// enough that the answers of a turn (and the server's commit before them) go out soon after their
/// messages came in: with 256, a burst made turns of 60 to 95 ms that every answer in it waited out.
constexpr int kEventsPerWait = 64;

constexpr qint64 kMicrosPerMs = 1000;

/// Timers are kept in microseconds: a timer due in 30 ms never fires after 29.4 by rounding.
qint64 nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

/// Whole milliseconds until `us` microseconds have passed, rounded up; never below 0.
int msUntil(qint64 us) {
    return static_cast<int>(std::clamp<qint64>((us + kMicrosPerMs - 1) / kMicrosPerMs, 0, INT_MAX));
}

std::uint32_t eventsOf(QSocketNotifier::Type type) {
    switch (type) {
    case QSocketNotifier::Read:
        return EPOLLIN;
    case QSocketNotifier::Write:
        return EPOLLOUT;
    case QSocketNotifier::Exception:
        return EPOLLPRI;
    }
    return 0;
}

} // namespace

EpollEventDispatcher::EpollEventDispatcher(QObject* parent) : QAbstractEventDispatcher(parent) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (epoll_ >= 0 && wake_ >= 0) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = wake_;
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event) != 0) {
            ::close(wake_);
            wake_ = -1;
        }
    }
}

EpollEventDispatcher::~EpollEventDispatcher() {
    if (wake_ >= 0) ::close(wake_);
    if (epoll_ >= 0) ::close(epoll_);
}

// --- Sockets ------------------------------------------------------------------------------------------

void EpollEventDispatcher::registerSocketNotifier(QSocketNotifier* notifier) {
    const int fd = static_cast<int>(notifier->socket());
    if (fd < 0 || fd == wake_) return;
    Watched& watched = sockets_[fd];
    switch (notifier->type()) {
    case QSocketNotifier::Read:
        watched.read = notifier;
        break;
    case QSocketNotifier::Write:
        watched.write = notifier;
        // A connected socket is nearly always writable: Qt turns its write notifier on for every
        // message and off once it is written, which on epoll would cost two system calls a message.
        // One that has been writable before is delivered at the next turn without asking; only if the
        // socket then could not take everything does the notifier wait on epoll.
        watched.armWrite = !watched.writeProven;
        if (!watched.armWrite && !watched.presumed) {
            watched.presumed = true;
            presumedWritable_.push_back(fd);
        }
        break;
    case QSocketNotifier::Exception:
        watched.exception = notifier;
        break;
    }
    updateEpoll(fd, watched);
}

void EpollEventDispatcher::unregisterSocketNotifier(QSocketNotifier* notifier) {
    // A notifier unregistered while this turn's ready ones are delivered is not delivered after it.
    std::replace(pending_.begin(), pending_.end(), notifier, static_cast<QSocketNotifier*>(nullptr));
    const int fd = static_cast<int>(notifier->socket());
    const auto it = sockets_.find(fd);
    if (it == sockets_.end()) return;
    Watched& watched = it->second;
    if (watched.read == notifier) watched.read = nullptr;
    if (watched.write == notifier) {
        watched.write = nullptr;
        watched.armWrite = false;
    }
    if (watched.exception == notifier) watched.exception = nullptr;
    updateEpoll(fd, watched);
    if (watched.read == nullptr && watched.write == nullptr && watched.exception == nullptr)
        sockets_.erase(it);
}

void EpollEventDispatcher::updateEpoll(int fd, Watched& watched) {
    std::uint32_t wanted = 0;
    if (watched.read != nullptr) wanted |= eventsOf(QSocketNotifier::Read);
    if (watched.write != nullptr && watched.armWrite) wanted |= eventsOf(QSocketNotifier::Write);
    if (watched.exception != nullptr) wanted |= eventsOf(QSocketNotifier::Exception);
    if (wanted == watched.registered) return;
    epoll_event event{};
    event.events = wanted;
    event.data.fd = fd;
    if (wanted == 0) {
        // The descriptor may be closed already, which took it out of the set: nothing to undo then.
        epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, &event);
    } else if (watched.registered == 0) {
        // A descriptor closed without its notifiers unregistered and then reused is still known here.
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0 && errno == EEXIST)
            epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event);
    } else if (epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event) != 0 && errno == ENOENT) {
        // Closed and reused: the kernel forgot the old one.
        epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    }
    watched.registered = wanted;
}

int EpollEventDispatcher::activateSockets() {
    // Every notifier that is ready is noted first and then delivered: a delivery may unregister or
    // delete any other notifier, which takes it off the list.
    int delivered = 0;
    QEvent event(QEvent::SockAct);
    for (std::size_t k = 0; k < pending_.size(); ++k) {
        QSocketNotifier* notifier = pending_[k];
        if (notifier == nullptr) continue;
        pending_[k] = nullptr;
        QCoreApplication::sendEvent(notifier, &event);
        ++delivered;
    }
    pending_.clear();
    return delivered;
}

void EpollEventDispatcher::waitForUnwritten() {
    // A write notifier still on after its unasked delivery has more to write than the socket took
    // (or was turned on again meanwhile): from now on it waits for epoll to say the socket is writable.
    for (const int fd : triedWritable_) {
        const auto it = sockets_.find(fd);
        if (it == sockets_.end()) continue;
        Watched& watched = it->second;
        if (watched.write == nullptr || watched.presumed) continue;
        watched.armWrite = true;
        updateEpoll(fd, watched);
    }
    triedWritable_.clear();
}

// --- Timers -------------------------------------------------------------------------------------------

void EpollEventDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                                         QObject* object) {
    if (timerId <= 0 || object == nullptr) return;
    unregisterTimer(timerId);
    Timer timer;
    timer.intervalMs = std::clamp<qint64>(interval, 0, INT_MAX);
    timer.type = timerType;
    timer.object = object;
    timer.dueUs = nowUs() + timer.intervalMs * kMicrosPerMs;
    timer.serial = nextSerial_++;
    due_.insert({timer.dueUs, timerId});
    timers_.emplace(timerId, timer);
}

bool EpollEventDispatcher::unregisterTimer(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) return false;
    due_.erase({it->second.dueUs, timerId});
    timers_.erase(it);
    return true;
}

bool EpollEventDispatcher::unregisterTimers(QObject* object) {
    bool any = false;
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->second.object == object) {
            due_.erase({it->second.dueUs, it->first});
            it = timers_.erase(it);
            any = true;
        } else {
            ++it;
        }
    }
    return any;
}

QList<QAbstractEventDispatcher::TimerInfo> EpollEventDispatcher::registeredTimers(QObject* object) const {
    QList<TimerInfo> list;
    for (const auto& [id, timer] : timers_)
        if (timer.object == object)
            list.append(
                TimerInfo(id, static_cast<int>(std::min<qint64>(timer.intervalMs, INT_MAX)), timer.type));
    return list;
}

int EpollEventDispatcher::remainingTime(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) return -1;
    return msUntil(it->second.dueUs - nowUs());
}

int EpollEventDispatcher::waitMs() const {
    const qint64 now = nowUs();
    for (const auto& [due, id] : due_) {
        if (timers_.at(id).firing) continue; // waits for its own event to end
        return msUntil(due - now);
    }
    return -1;
}

int EpollEventDispatcher::activateTimers() {
    // The timers due now, each fired once in this turn: one that comes due again while the others fire
    // (an interval of 0 does at once) waits for the next turn, so sockets are never starved.
    const qint64 now = nowUs();
    std::vector<std::pair<int, std::uint64_t>> ready;
    for (const auto& [due, id] : due_) {
        if (due > now) break;
        const Timer& timer = timers_.at(id);
        if (!timer.firing) ready.emplace_back(id, timer.serial);
    }
    int fired = 0;
    for (const auto& [id, serial] : ready) {
        auto it = timers_.find(id);
        if (it == timers_.end() || it->second.serial != serial) continue; // gone, or a new one by that id
        Timer& timer = it->second;
        // The next time it is due counts from when it was due, as a clock would; a timer left far
        // behind (the process was stopped) starts again from now rather than firing to catch up.
        const qint64 intervalUs = timer.intervalMs * kMicrosPerMs;
        due_.erase({timer.dueUs, id});
        timer.dueUs += intervalUs;
        if (timer.dueUs <= now) timer.dueUs = now + intervalUs;
        due_.insert({timer.dueUs, id});
        timer.firing = true;
        QObject* object = timer.object;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(object, &event);
        ++fired;
        // The event may have stopped the timer, or replaced it with another of the same id.
        it = timers_.find(id);
        if (it != timers_.end() && it->second.serial == serial) it->second.firing = false;
    }
    return fired;
}

// --- The loop -----------------------------------------------------------------------------------------

void EpollEventDispatcher::wakeUp() {
    // One write for any number of wake-ups until the loop has read it.
    if (wakeUpPending_.exchange(true)) return;
    const std::uint64_t one = 1;
    while (::write(wake_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void EpollEventDispatcher::interrupt() {
    interrupted_.store(true);
    wakeUp();
}

void EpollEventDispatcher::drainWakeUp() {
    std::uint64_t count = 0;
    while (::read(wake_, &count, sizeof count) < 0 && errno == EINTR) {
    }
    // Cleared after the read: a wake-up between the two is answered by the posted events being sent at
    // the start of the next turn.
    wakeUpPending_.store(false);
}

bool EpollEventDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags) {
    interrupted_.store(false);
    emit awake();
    QCoreApplication::sendPostedEvents();

    const bool withTimers = !(flags & QEventLoop::X11ExcludeTimers);
    const bool withSockets = !(flags & QEventLoop::ExcludeSocketNotifiers);
    const bool mayWait = (flags & QEventLoop::WaitForMoreEvents) && !interrupted_.load();
    if (mayWait) emit aboutToBlock();
    if (interrupted_.load()) return false;

    // Without a timer to wait for, only a socket or a wake-up ends the wait; a write notifier presumed
    // ready is ready now.
    const bool presumedReady = withSockets && !presumedWritable_.empty();
    const int timeout = !mayWait || presumedReady ? 0 : withTimers ? waitMs() : -1;

    std::array<epoll_event, kEventsPerWait> events{};
    int ready = epoll_wait(epoll_, events.data(), kEventsPerWait, timeout);
    if (ready < 0) ready = 0; // EINTR: a signal; the caller's loop comes round again
    int delivered = 0;
    for (int k = 0; k < ready; ++k) {
        const int fd = events[static_cast<std::size_t>(k)].data.fd;
        const std::uint32_t got = events[static_cast<std::size_t>(k)].events;
        if (fd == wake_) {
            drainWakeUp();
            ++delivered;
            continue;
        }
        if (!withSockets) continue; // still ready: level-triggered, they come back next turn
        const auto it = sockets_.find(fd);
        if (it == sockets_.end()) continue;
        Watched& watched = it->second;
        if ((got & EPOLLOUT) != 0) watched.writeProven = true;
        // As Qt's own loop does: a hang-up or an error is news to a reader and to a writer.
        if (watched.read != nullptr && (got & (EPOLLIN | EPOLLHUP | EPOLLERR)) != 0)
            pending_.push_back(watched.read);
        if (watched.write != nullptr && (got & (EPOLLOUT | EPOLLHUP | EPOLLERR)) != 0)
            pending_.push_back(watched.write);
        if (watched.exception != nullptr && (got & EPOLLPRI) != 0) pending_.push_back(watched.exception);
    }
    if (withSockets) {
        for (const int fd : presumedWritable_) {
            const auto it = sockets_.find(fd);
            if (it == sockets_.end() || !it->second.presumed) continue;
            Watched& watched = it->second;
            watched.presumed = false;
            // Reported by epoll as well (it was armed meanwhile): it is on the list already.
            if (watched.write == nullptr || watched.armWrite) continue;
            pending_.push_back(watched.write);
            triedWritable_.push_back(fd);
        }
        presumedWritable_.clear();
        delivered += activateSockets();
        waitForUnwritten();
    }
    if (withTimers) delivered += activateTimers();
    return delivered > 0;
}

bool installEpollEventLoop() {
    if (qEnvironmentVariable("DEALBRIX_EVENT_LOOP") == QLatin1String("qt")) return false;
    auto* dispatcher = new EpollEventDispatcher;
    if (!dispatcher->isValid()) {
        delete dispatcher;
        return false;
    }
    QCoreApplication::setEventDispatcher(dispatcher);
    return true;
}

} // namespace dealbrix::net
