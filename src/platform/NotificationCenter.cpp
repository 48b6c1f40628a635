#include "NotificationCenter.h"

#include <QPointer>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace kivo {

// One registered observer. `mutex` guards `active`, `handler` and the list of
// threads currently inside the handler; `idle` is signalled whenever a
// delivery ends, so an unregistering thread can wait for deliveries running
// on other threads.
struct ObserverToken::Entry : std::enable_shared_from_this<ObserverToken::Entry>
{
    std::weak_ptr<NotificationCenter::Private> center;
    QString name;
    QPointer<const QObject> context;

    std::mutex mutex;
    std::condition_variable idle;
    bool active = true;
    NotificationCenter::Handler handler;
    std::vector<std::thread::id> deliveringThreads;

    bool matches(const QString &posted) const { return name.isEmpty() || name == posted; }
    // Deliveries running on threads other than the caller's. Caller holds mutex.
    std::size_t deliveriesElsewhere() const
    {
        const auto self = std::this_thread::get_id();
        return std::size_t(std::count_if(deliveringThreads.begin(), deliveringThreads.end(),
                                         [self](std::thread::id id) { return id != self; }));
    }
};

struct NotificationCenter::Private
{
    std::mutex mutex;
    std::vector<std::shared_ptr<ObserverToken::Entry>> entries; // in registration order

    void remove(const ObserverToken::Entry *entry)
    {
        std::lock_guard lock(mutex);
        std::erase_if(entries, [entry](const auto &e) { return e.get() == entry; });
    }
};

namespace {

// Calls the entry's handler unless it was unregistered; the entry stays marked
// as busy on this thread until the handler returns.
void deliver(ObserverToken::Entry &entry, const Notification &notification)
{
    {
        std::lock_guard lock(entry.mutex);
        if (!entry.active)
            return;
        entry.deliveringThreads.push_back(std::this_thread::get_id());
    }
    struct Done
    {
        ObserverToken::Entry &entry;
        ~Done()
        {
            std::lock_guard lock(entry.mutex);
            auto &threads = entry.deliveringThreads;
            threads.erase(std::find(threads.begin(), threads.end(), std::this_thread::get_id()));
            entry.idle.notify_all();
        }
    } done{entry};
    // The token waits for this delivery, so the context outlives it.
    const QObject *context = entry.context.data();
    if (!context)
        return;
    if (context->thread() != QThread::currentThread()) {
        QMetaObject::invokeMethod(
            const_cast<QObject *>(context),
            [weak = std::weak_ptr<ObserverToken::Entry>(entry.shared_from_this()), notification] {
                if (const auto entry = weak.lock())
                    deliver(*entry, notification);
            },
            Qt::QueuedConnection);
        return;
    }
    // The handler is only replaced after the entry turned inactive and no other
    // thread delivers to it, so reading it here without the lock is safe.
    entry.handler(notification);
}

} // namespace

ObserverToken::ObserverToken(std::shared_ptr<Entry> entry) : m_entry(std::move(entry)) {}

ObserverToken::ObserverToken(ObserverToken &&other) noexcept : m_entry(std::move(other.m_entry)) {}

ObserverToken &ObserverToken::operator=(ObserverToken &&other) noexcept
{
    if (this != &other) {
        reset();
        m_entry = std::move(other.m_entry);
    }
    return *this;
}

ObserverToken::~ObserverToken()
{
    reset();
}

void ObserverToken::reset()
{
    const std::shared_ptr<Entry> entry = std::move(m_entry);
    if (!entry)
        return;
    if (const auto center = entry->center.lock())
        center->remove(entry.get());

    NotificationCenter::Handler released;
    {
        std::unique_lock lock(entry->mutex);
        entry->active = false;
        // Deliveries on this thread are the caller's own stack frames (a
        // handler dropping its token); waiting for them would never end.
        entry->idle.wait(lock, [&] { return entry->deliveriesElsewhere() == 0; });
        // The handler may be running on this thread right now: then it must
        // stay alive until it returns, and goes with the last reference.
        if (entry->deliveringThreads.empty())
            released = std::move(entry->handler);
    }
    // `released` is destroyed here, outside the lock, with whatever it captured.
}

bool ObserverToken::isActive() const
{
    if (!m_entry)
        return false;
    std::lock_guard lock(m_entry->mutex);
    return m_entry->active;
}

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::NotificationCenter() : d(std::make_shared<Private>()) {}

NotificationCenter::~NotificationCenter()
{
    // Tokens that outlive the centre only find their entry inactive.
    std::vector<std::shared_ptr<ObserverToken::Entry>> entries;
    {
        std::lock_guard lock(d->mutex);
        entries.swap(d->entries);
    }
    for (const auto &entry : entries) {
        std::lock_guard lock(entry->mutex);
        entry->active = false;
    }
}

ObserverToken NotificationCenter::addObserver(const QString &name, const QObject *context,
                                              Handler handler)
{
    if (!handler || !context)
        return {};
    auto entry = std::make_shared<ObserverToken::Entry>();
    entry->center = d;
    entry->name = name;
    entry->context = context;
    entry->handler = std::move(handler);
    {
        std::lock_guard lock(d->mutex);
        d->entries.push_back(entry);
    }
    return ObserverToken(std::move(entry));
}

void NotificationCenter::post(const Notification &notification)
{
    // Handlers run without the centre's lock, on a snapshot of the observers
    // registered when the post began, so they may post, register and
    // unregister freely.
    std::vector<std::shared_ptr<ObserverToken::Entry>> targets;
    {
        std::lock_guard lock(d->mutex);
        for (const auto &entry : d->entries) {
            if (entry->matches(notification.name))
                targets.push_back(entry);
        }
    }
    for (const auto &entry : targets)
        deliver(*entry, notification);
}

void NotificationCenter::post(const QString &name, const QVariant &object,
                              const QVariantMap &userInfo)
{
    post(Notification{name, object, userInfo});
}

} // namespace kivo
