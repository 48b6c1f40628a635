#include "AlertSound.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>

namespace kivo {

namespace {
QMutex playerMutex;
std::function<void()> &player()
{
    static std::function<void()> p;
    return p;
}
} // namespace

void AlertSound::setPlayer(std::function<void()> p)
{
    QMutexLocker lock(&playerMutex);
    player() = std::move(p);
}

void AlertSound::play()
{
    std::function<void()> p;
    {
        QMutexLocker lock(&playerMutex);
        p = player();
    }
    if (p && QCoreApplication::instance())
        QMetaObject::invokeMethod(QCoreApplication::instance(), p, Qt::QueuedConnection);
}

} // namespace kivo
