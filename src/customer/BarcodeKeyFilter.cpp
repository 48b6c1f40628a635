#include "BarcodeKeyFilter.h"

#include "platform/NotificationCenter.h"
#include "station/NotificationNames.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QWidget>

namespace kivo {

bool BarcodeKeyFilter::isDisplayWindow(const QWidget *window)
{
    return window && (window->property("kivoDisplayWindow").toBool() ||
                      window->inherits("kivo::borderlessWindow"));
}

QString BarcodeKeyFilter::trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s.at(b) == u' ' || s.at(b) == u'\t'))
        ++b;
    while (e > b && (s.at(e - 1) == u' ' || s.at(e - 1) == u'\t'))
        --e;
    return s.mid(b, e - b);
}

bool BarcodeKeyFilter::handleKeyDown(QObject *receiver, QKeyEvent *event)
{
    if (!receiver || !receiver->isWindowType() || event->type() != QEvent::KeyPress)
        return false;
    constexpr Qt::KeyboardModifiers commandKeys =
        Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (event->modifiers() & commandKeys)
        return false;
    const QString characters = trimBlanks(event->text());
    if (!characters.isEmpty()) {
        const QVariantMap record{
            {notificationKey::newString, characters},
            {notificationKey::date, QDateTime::currentDateTime()},
            {notificationKey::NSEvent,
             QVariantMap{{QStringLiteral("key"), event->key()},
                         {QStringLiteral("timestamp"), qulonglong(event->timestamp())},
                         {QStringLiteral("modifiers"), int(event->modifiers().toInt())},
                         {QStringLiteral("text"), event->text()}}}};
        NotificationCenter::defaultCenter().post(notification::AddStringToBuffer, record);
    }
    return isDisplayWindow(QApplication::activeWindow());
}

} // namespace kivo
