#include "SheetPlacement.h"

#include <QScreen>
#include <QWidget>

namespace kivo {

void SheetPlacement::aboutToShow(QWidget *sheet)
{
    const QWidget *owner = sheet->parentWidget() ? sheet->parentWidget()->window() : sheet;
    const QScreen *screen = owner->screen();
    if (!screen || sheet->windowState() & Qt::WindowMaximized)
        return;
    const QRect area = screen->availableGeometry();
    if (sheet->width() >= area.width() && sheet->height() >= area.height())
        sheet->setWindowState(sheet->windowState() | Qt::WindowMaximized);
}

} // namespace kivo
