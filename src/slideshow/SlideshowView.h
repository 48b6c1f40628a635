#pragma once

#include "LogRateLimit.h"

#include <QElapsedTimer>
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QRegion>
#include <QSizeF>
#include <QString>
#include <QWidget>

#include <functional>

class QPainter;
class QVariantAnimation;

namespace kivo {

// Shows one slide at a time, fitted into the view without distortion and
// centred, and swaps slides with a one-second animated transition. The view
// paints both slides itself from copies already scaled to their place, so a
// frame is a blit. It is transparent: the window's background shows around a
// letterboxed slide. Given a backdrop (the window's background) it turns
// opaque while a transition runs and paints the backdrop itself, only where
// no slide covers, so a frame is not painted twice; a frame of a view larger
// than a 1080-line screen is then painted at most every kLargeFrameMs.
class SlideshowView : public QWidget
{
    Q_OBJECT
public:
    enum class Transition
    {
        None,
        Fade,
        MoveIn,
        Push,
        Reveal
    };

    static constexpr int kTransitionMs = 1000;
    static constexpr int kLargeFrameMs = 30;

    // Paints the backdrop over an area of the view, in view coordinates.
    using Backdrop = std::function<void(QPainter &, const QRect &)>;

    explicit SlideshowView(QWidget *parent = nullptr);
    ~SlideshowView() override;

    // Sets the transition for the next swaps: "fade", "moveIn", "push",
    // "reveal" (from the left), or "No Transition Effect" in any letter case.
    void updateSubviewsWithTransition(const QString &style);
    QString transitionStyleName() const { return m_styleName; }
    Transition transition() const { return m_transition; }

    // Replaces the current slide by the image with the installed transition;
    // a null image removes the current slide. Main thread only. A non-empty
    // name is logged once, with the first painted frame that shows the slide.
    void transitionToImage(const QImage &image, const QString &name = QString());
    // Removes the slide at once, without a transition: the background shows.
    void clearSlide();

    // Hides or shows the current slide. Any thread: the work is handed to the
    // main thread.
    void doHide(bool hide);

    // Fills the parent widget (or keeps the size of a top-level view).
    void resizeSelfToParent();

    // Paints the view's content as it looks at the given transition progress
    // (0 = outgoing slide only, 1 = incoming slide only), onto whatever the
    // painter already holds. paintEvent uses it with the running progress.
    void renderFrame(QPainter &painter, qreal progress) const;
    // The part of the view renderFrame covers with opaque slide pixels.
    QRegion opaqueRegion(qreal progress) const;
    // The backdrop over the area outside opaqueRegion, then renderFrame: a
    // frame as the window shows it while a transition runs.
    void paintFrame(QPainter &painter, qreal progress, const QRegion &area) const;
    void setBackdrop(Backdrop backdrop) { m_backdrop = std::move(backdrop); }

    bool isTransitionRunning() const;
    bool isSlideHidden() const { return m_hidden; }
    bool hasSlide() const { return !m_incoming.image.isNull(); }
    // The running animation, for tests that step it by hand.
    QVariantAnimation *transitionAnimation() const { return m_animation; }

signals:
    void transitionFinished();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Slide
    {
        QImage source; // as given
        QImage image;  // scaled to rect, ready to blit
        QRect rect;    // in view coordinates
    };

    Slide prepareSlide(const QImage &source) const;
    void finishTransition();
    void drawSlide(QPainter &painter, const Slide &slide, int dx, qreal opacity) const;
    void drawFade(QPainter &painter, qreal t) const;
    bool mixOnDevice(QPainter &painter, qreal t) const;
    void setOpaque(bool opaque);
    int frameIntervalMs() const;

    QString m_styleName;
    Transition m_transition = Transition::None;
    Slide m_outgoing;
    Slide m_incoming;
    QVariantAnimation *m_animation = nullptr;
    qreal m_progress = 1.0;
    bool m_hidden = false;
    QString m_shownName; // logged by the next frame that shows the incoming slide
    LogRateLimit m_shownLog;
    Backdrop m_backdrop;
    QElapsedTimer m_lastFrame;
};

} // namespace kivo
