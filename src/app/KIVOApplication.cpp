#include "KIVOApplication.h"

#include "AppLog.h"
#include "Relauncher.h"
#include "SheetPlacement.h"
#include "WindowStacking.h"
#include "customer/BarcodeKeyFilter.h"
#include "platform/AlertSound.h"
#include "platform/Log.h"
#include "station/OperatorKeys.h"

#include <QDialog>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace kivo {

KIVOApplication::KIVOApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    AlertSound::setPlayer([] { QApplication::beep(); });
}

KIVOApplication::~KIVOApplication()
{
    AlertSound::setPlayer({});
}

KIVOApplication *KIVOApplication::instance()
{
    return qobject_cast<KIVOApplication *>(QCoreApplication::instance());
}

bool KIVOApplication::notify(QObject *receiver, QEvent *event)
{
    if (event->type() == QEvent::KeyPress &&
        handleKeyDown(receiver, static_cast<QKeyEvent *>(event)))
        return true;
    const bool handled = QApplication::notify(receiver, event);
    // After the dialog's own show handling, before it is mapped.
    if (event->type() == QEvent::Show && receiver->isWidgetType()) {
        if (auto *dialog = qobject_cast<QDialog *>(receiver); dialog && dialog->isWindow())
            SheetPlacement::aboutToShow(dialog);
    }
    return handled;
}

bool KIVOApplication::handleKeyDown(QObject *receiver, QKeyEvent *event)
{
    if (receiver && receiver->isWindowType() &&
        event->keyCombination() == operatorKey::preferences) {
        QWidget *over = QApplication::activeWindow();
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->windowHandle() == receiver)
                over = w;
        }
        emit preferencesRequested(over);
        return true;
    }
    return BarcodeKeyFilter::handleKeyDown(receiver, event);
}

void KIVOApplication::activateIgnoringOtherApps()
{
    WindowStacking::restack();
    QWidget *key = WindowStacking::keyWindow();
    if (!key)
        return;
    // Deferred by Qt until the window is mapped; with a window manager it is
    // a request (_NET_ACTIVE_WINDOW), without one the input focus is set.
    key->activateWindow();
    logLine(lcApp(), QStringLiteral("KIVOApplication->activateIgnoringOtherApps... key window [%1]")
                         .arg(key->windowTitle()));
}

bool KIVOApplication::relaunch(const QVariant &request)
{
    return Relauncher::relaunch(
        request, [this](const QVariant &sender, int status) { terminate(sender, status); });
}

void KIVOApplication::terminate(const QVariant &, int exitStatus)
{
    logLine(lcApp(),
            QStringLiteral("KIVOApplication->terminate... exit status %1").arg(exitStatus));
    if (exitStatus == 0)
        quit();
    else
        exit(exitStatus);
}

} // namespace kivo
