#include "BarcodeKeyFilter.h"

#include "platform/NotificationCenter.h"
#include "station/NotificationNames.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace kivo {

namespace {
bool g_keysFromDevice = false;
} // namespace

void BarcodeKeyFilter::setKeysFromDevice(bool on)
{
    g_keysFromDevice = on;
}

bool BarcodeKeyFilter::keysFromDevice()
{
    return g_keysFromDevice;
}

bool BarcodeKeyFilter::isDisplayWindow(const QWidget *window)
{
    return window && (window->property("kivoDisplayWindow").toBool() ||
                      window->inherits("kivo::borderlessWindow"));
}

bool BarcodeKeyFilter::isOperatorEntry(const QWidget *focus)
{
    if (!focus)
        return false;
    // A display window's field takes typing only while it is open for editing.
    const auto *line = qobject_cast<const QLineEdit *>(focus);
    if (line && !line->isReadOnly() && isDisplayWindow(focus->window()))
        return true;
    // The console's own fields (the day stepper) stay open to the scanner.
    if (!qobject_cast<const QDialog *>(focus->window()))
        return false;
    if (qobject_cast<const QLineEdit *>(focus) || qobject_cast<const QAbstractSpinBox *>(focus) ||
        qobject_cast<const QTextEdit *>(focus) || qobject_cast<const QPlainTextEdit *>(focus))
        return true;
    const auto *combo = qobject_cast<const QComboBox *>(focus);
    return combo && combo->isEditable();
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
    // What the operator types into the station's own fields (a password
    // among them) is never a code.
    if (isOperatorEntry(QApplication::focusWidget()))
        return false;
    const QString characters = trimBlanks(event->text());
    if (!characters.isEmpty() && !g_keysFromDevice) {
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
