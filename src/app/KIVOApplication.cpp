#include "KIVOApplication.h"

#include "AppLog.h"
#include "Relauncher.h"
#include "customer/BarcodeKeyFilter.h"
#include "platform/AlertSound.h"
#include "platform/Log.h"

#include <QKeyEvent>
#include <QWidget>

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
    return QApplication::notify(receiver, event);
}

bool KIVOApplication::handleKeyDown(QObject *receiver, QKeyEvent *event)
{
    return BarcodeKeyFilter::handleKeyDown(receiver, event);
}

void KIVOApplication::activateIgnoringOtherApps()
{
    QWidget *first = nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (!w->isVisible())
            continue;
        w->raise();
        if (!first)
            first = w;
    }
    if (first)
        first->activateWindow();
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
