#include "borderlessWindow.h"

#include "BackgroundPicture.h"
#include "SlideshowLog.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace kivo {

borderlessWindow::borderlessWindow(QWidget *parent) : QWidget(parent, Qt::FramelessWindowHint)
{
    const Preferences &prefs = Preferences::standard();
    setUp(BackgroundPicture::load(prefs), prefs.boolean(QLatin1String(keys::prefDoShowMenuBar)));
}

borderlessWindow::borderlessWindow(const QImage &background, bool canDrag, QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint)
{
    setUp(background, canDrag);
}

void borderlessWindow::setUp(const QImage &background, bool canDrag)
{
    fCanDragWindow = canDrag;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // Mapping a display must not take the keyboard from the window that
    // receives scans; the station activates that one itself.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setBackgroundPicture(background);
}

void borderlessWindow::setBackgroundPicture(const QImage &picture)
{
    m_tile = picture.isNull() ? QPixmap() : QPixmap::fromImage(picture);
    m_backdrop = QImage();
    update();
}

void borderlessWindow::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    paintBackdrop(painter, event->rect());
}

void borderlessWindow::paintBackdrop(QPainter &painter, const QRect &area)
{
    if (m_tile.isNull()) {
        painter.fillRect(area, Qt::black);
        return;
    }
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (m_backdrop.size() != pixels) {
        m_backdrop = QImage(pixels, QImage::Format_RGB32);
        m_backdrop.setDevicePixelRatio(dpr);
        m_backdrop.fill(Qt::black);
        QPainter tiler(&m_backdrop);
        tiler.drawTiledPixmap(rect(), m_tile);
    }
    const QRectF from(area);
    painter.drawImage(from, m_backdrop, QRectF(from.topLeft() * dpr, from.size() * dpr));
}

QPoint borderlessWindow::dragOrigin(QPointF globalMouse) const
{
    QPointF origin = globalMouse - fInitialLocation;
    // Screen coordinates grow downwards here: the top edge may not go above
    // the primary screen's top.
    if (const QScreen *main = QGuiApplication::primaryScreen()) {
        const int top = main->geometry().top();
        if (origin.y() < top)
            origin.setY(top);
    }
    return origin.toPoint();
}

void borderlessWindow::mousePressEvent(QMouseEvent *event)
{
    fInitialLocation = event->globalPosition() - QPointF(pos());
    QWidget::mousePressEvent(event);
}

void borderlessWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (fCanDragWindow && (event->buttons() & Qt::LeftButton))
        move(dragOrigin(event->globalPosition()));
    QWidget::mouseMoveEvent(event);
}

void borderlessWindow::focusOutEvent(QFocusEvent *event)
{
    logLine(lcSlideshow(), QStringLiteral("borderlessWindow->windowDidResignKey..."));
    QWidget::focusOutEvent(event);
}

} // namespace kivo
