#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>

class QObject;

namespace kivo {

// One posted notification: a literal name, an optional sender object (a
// QObject pointer or a value such as a QVariantMap, as QVariant) and an
// optional user-info dictionary.
struct Notification
{
    QString name;
    QVariant object;
    QVariantMap userInfo;
};

class NotificationCenter;

// Keeps one observer registered; destroying (or reset()) unregisters it. After
// the token is gone the handler is never called again, and a delivery running
// on another thread has finished. A handler may drop its own token: that does
// not wait for the running call (the caller's own frame), which finishes
// normally. Two handlers on two threads that each drop the other's token wait
// for each other forever; do not do that.
class ObserverToken
{
public:
    ObserverToken() = default;
    ObserverToken(ObserverToken &&) noexcept;
    ObserverToken &operator=(ObserverToken &&) noexcept;
    ObserverToken(const ObserverToken &) = delete;
    ObserverToken &operator=(const ObserverToken &) = delete;
    ~ObserverToken();

    void reset();
    bool isActive() const;

    struct Entry; // opaque, shared with the centre

private:
    friend class NotificationCenter;
    explicit ObserverToken(std::shared_ptr<Entry> entry);
    std::shared_ptr<Entry> m_entry;
};

// In-process notification centre: observers in registration order, names
// compared exactly. Each observer names a context object and its handler runs
// on the context's thread: synchronously when the post comes on that thread,
// else queued to it (then dropped when the context or the token is gone
// first). Safe from any thread; an observer may post, register or unregister
// (itself included) from inside its handler.
class NotificationCenter
{
public:
    using Handler = std::function<void(const Notification &)>;

    static NotificationCenter &defaultCenter();

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    // Observes one name; an empty name observes every notification. The
    // token must go no later than context (a member of context does).
    [[nodiscard]] ObserverToken addObserver(const QString &name, const QObject *context,
                                            Handler handler);

    void post(const Notification &notification);
    void post(const QString &name, const QVariant &object = {}, const QVariantMap &userInfo = {});

    struct Private; // opaque

private:
    std::shared_ptr<Private> d;
};

} // namespace kivo
