#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QWidget>

class QPainter;

namespace kivo {

// A display's frameless top-level window. Its background is a picture tiled
// as a pattern, or black; the slides are shown by child views on top of it.
// When fCanDragWindow is set the window moves with the mouse, its top edge
// never rising above the primary screen's top.
class borderlessWindow : public QWidget
{
    Q_OBJECT
public:
    // fCanDragWindow comes from prefDoShowMenuBar; the background picture is
    // searched for at once.
    explicit borderlessWindow(QWidget *parent = nullptr);
    borderlessWindow(const QImage &background, bool canDrag, QWidget *parent = nullptr);

    void setBackgroundPicture(const QImage &picture);
    // Paints the window's background over an area of the window.
    void paintBackdrop(QPainter &painter, const QRect &area);

    bool fCanDragWindow = false;
    QPointF fInitialLocation;

    // Where a drag to the global mouse position puts the window's origin.
    QPoint dragOrigin(QPointF globalMouse) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void setUp(const QImage &background, bool canDrag);

    QPixmap m_tile;
    // The tile laid over the whole window once: repaints behind the slides
    // (every frame of a transition) copy from it instead of tiling again,
    // which Qt spreads over its global thread pool and waits for.
    QImage m_backdrop;
};

} // namespace kivo
