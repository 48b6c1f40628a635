#include "WindowStacking.h"

#include "slideshow/CaptionStrip.h"
#include "slideshow/IdentifyOverlay.h"
#include "slideshow/borderlessWindow.h"

#include <QApplication>
#include <QDialog>

#include <algorithm>

namespace kivo {

namespace {
const QString kCustomerDisplayName = QStringLiteral("slideShowWindow2");

enum Rank
{
    Display,
    Caption,
    Console,
    Sheet,
    ModalSheet,
    Overlay
};

Rank rankOf(const QWidget *w)
{
    if (qobject_cast<const borderlessWindow *>(w))
        return Display;
    if (qobject_cast<const CaptionStrip *>(w))
        return Caption;
    if (qobject_cast<const IdentifyOverlay *>(w))
        return Overlay;
    if (qobject_cast<const QDialog *>(w))
        return w == QApplication::activeModalWidget() ? ModalSheet : Sheet;
    return Console;
}
} // namespace

QList<QWidget *> WindowStacking::stackingOrder()
{
    QList<QWidget *> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = w->windowType();
        if (w->isVisible() && type != Qt::Popup && type != Qt::ToolTip)
            windows << w;
    }
    // Display windows among themselves by name (slideShowWindow1, 2, ...).
    std::stable_sort(windows.begin(), windows.end(), [](const QWidget *a, const QWidget *b) {
        const Rank ra = rankOf(a), rb = rankOf(b);
        return ra != rb ? ra < rb : ra == Display && a->objectName() < b->objectName();
    });
    return windows;
}

void WindowStacking::restack()
{
    for (QWidget *w : stackingOrder())
        w->raise();
}

QWidget *WindowStacking::keyWindow()
{
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal->isVisible())
        return modal;
    const QList<QWidget *> windows = stackingOrder();
    QWidget *display = nullptr;
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        const Rank rank = rankOf(*it);
        if (rank == Console)
            return *it;
        // Without a console the customer display (the second) takes scans.
        if (rank == Display && (!display || (*it)->objectName() == kCustomerDisplayName))
            display = *it;
    }
    return display;
}

} // namespace kivo
