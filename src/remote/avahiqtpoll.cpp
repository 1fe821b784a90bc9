#include "avahiqtpoll.h"

#include <QSocketNotifier>
#include <QTimer>
#include <avahi-common/timeval.h>
#include <cmath>
#include <memory>

// Avahi declares these two and leaves their contents to the poll implementation. A callback may free its own watch
// or timeout: the Qt objects then go away later, and the shared flag tells the running handler to touch nothing.
struct AvahiWatch
{
    int fd;
    AvahiWatchEvent happened = AvahiWatchEvent(0);
    AvahiWatchCallback callback;
    void* userdata;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
};

struct AvahiTimeout
{
    QTimer* timer;
};

static QSocketNotifier* notifier(AvahiWatch* watch, QSocketNotifier::Type type, AvahiWatchEvent event)
{
    auto* made = new QSocketNotifier(watch->fd, type);
    QObject::connect(made, &QSocketNotifier::activated, made, [watch, event, alive = watch->alive] {
        watch->happened = event;
        watch->callback(watch, watch->fd, event, watch->userdata);
        if (*alive)
            watch->happened = AvahiWatchEvent(0);
    });
    return made;
}

static void watchUpdate(AvahiWatch* watch, AvahiWatchEvent events)
{
    if ((events & AVAHI_WATCH_IN) && !watch->read)
        watch->read = notifier(watch, QSocketNotifier::Read, AVAHI_WATCH_IN);
    if ((events & AVAHI_WATCH_OUT) && !watch->write)
        watch->write = notifier(watch, QSocketNotifier::Write, AVAHI_WATCH_OUT);
    if (watch->read)
        watch->read->setEnabled(events & AVAHI_WATCH_IN);
    if (watch->write)
        watch->write->setEnabled(events & AVAHI_WATCH_OUT);
}

static AvahiWatch* watchNew(const AvahiPoll*, int fd, AvahiWatchEvent events, AvahiWatchCallback callback,
                            void* userdata)
{
    auto* watch = new AvahiWatch{fd, AvahiWatchEvent(0), callback, userdata};
    watchUpdate(watch, events);
    return watch;
}

static AvahiWatchEvent watchEvents(AvahiWatch* watch)
{
    return watch->happened;
}

static void release(QObject* object)
{
    if (!object)
        return;
    object->disconnect();
    object->deleteLater();
}

static void watchFree(AvahiWatch* watch)
{
    *watch->alive = false;
    for (QSocketNotifier* notifier : {watch->read, watch->write}) {
        if (notifier)
            notifier->setEnabled(false);
        release(notifier);
    }
    delete watch;
}

// Avahi gives wall-clock moments; a timer wants the wait from now.
static void timeoutUpdate(AvahiTimeout* timeout, const struct timeval* when)
{
    if (!when)
        return timeout->timer->stop();
    const double waitMs = std::ceil(-double(avahi_age(when)) / 1000.0);
    timeout->timer->start(int(std::clamp(waitMs, 0.0, 86'400'000.0)));
}

static AvahiTimeout* timeoutNew(const AvahiPoll*, const struct timeval* when, AvahiTimeoutCallback callback,
                                void* userdata)
{
    auto* timeout = new AvahiTimeout{new QTimer};
    timeout->timer->setSingleShot(true);
    QObject::connect(timeout->timer, &QTimer::timeout, timeout->timer,
                     [timeout, callback, userdata] { callback(timeout, userdata); });
    timeoutUpdate(timeout, when);
    return timeout;
}

static void timeoutFree(AvahiTimeout* timeout)
{
    timeout->timer->stop();
    release(timeout->timer);
    delete timeout;
}

AvahiQtPoll::AvahiQtPoll()
    : m_api{nullptr, watchNew, watchUpdate, watchEvents, watchFree, timeoutNew, timeoutUpdate, timeoutFree}
{
}
