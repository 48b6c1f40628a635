#include "SlideshowView.h"

#include "util/SlideImageLoader.h"

#include "SlideshowLog.h"
#include "platform/Log.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QVariantAnimation>

#include <algorithm>

namespace kivo {

namespace {
SlideshowView::Transition transitionForStyle(const QString &style)
{
    using T = SlideshowView::Transition;
    if (style.compare(QLatin1String("No Transition Effect"), Qt::CaseInsensitive) == 0)
        return T::None;
    if (style == QLatin1String("moveIn"))
        return T::MoveIn;
    if (style == QLatin1String("push"))
        return T::Push;
    if (style == QLatin1String("reveal"))
        return T::Reveal;
    // "fade", and any name the view does not know, cross-fades.
    return T::Fade;
}
} // namespace

SlideshowView::SlideshowView(QWidget *parent) : QWidget(parent)
{
    // Transparent: nothing is painted where there is no slide.
    setAutoFillBackground(false);
    m_animation = new QVariantAnimation(this);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setDuration(kTransitionMs);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_progress = value.toReal();
        update();
    });
    connect(m_animation, &QVariantAnimation::finished, this, &SlideshowView::finishTransition);
    resizeSelfToParent();
}

SlideshowView::~SlideshowView() = default;

void SlideshowView::updateSubviewsWithTransition(const QString &style)
{
    m_styleName = style;
    m_transition = transitionForStyle(style);
    if (m_transition == Transition::None) {
        logLine(lcSlideshow(),
                QStringLiteral("Inside SlideshowView - NO TRANSITION EFFECT SET..."));
        // Like removing the installed animation: a running swap ends now.
        if (isTransitionRunning())
            m_animation->stop();
    }
}

SlideshowView::Slide SlideshowView::prepareSlide(const QImage &source) const
{
    Slide slide;
    if (source.isNull())
        return slide;
    slide.source = source;
    slide.rect = SlideImageLoader::fittedRect(source.size(), size());
    if (slide.rect.isEmpty())
        return slide;
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(slide.rect.size()) * dpr).toSize();
    QImage scaled = source.size() == pixels
                        ? source
                        : source.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage::Format fast =
        scaled.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (scaled.format() != fast)
        scaled.convertTo(fast);
    scaled.setDevicePixelRatio(dpr);
    slide.image = std::move(scaled);
    return slide;
}

void SlideshowView::transitionToImage(const QImage &image, const QString &name)
{
    // A swap that is still running ends where it was going; its incoming
    // slide becomes the outgoing one.
    if (isTransitionRunning())
        m_animation->stop();
    m_outgoing = m_hidden ? Slide() : std::move(m_incoming);
    m_incoming = prepareSlide(image);
    m_hidden = false;
    m_shownName = m_incoming.image.isNull() ? QString() : name;

    if (m_transition == Transition::None ||
        (m_outgoing.image.isNull() && m_incoming.image.isNull())) {
        finishTransition();
        return;
    }
    m_progress = 0.0;
    m_animation->start();
    update();
}

void SlideshowView::clearSlide()
{
    if (isTransitionRunning())
        m_animation->stop();
    m_outgoing = Slide();
    m_incoming = Slide();
    m_hidden = false;
    m_shownName.clear();
    m_progress = 1.0;
    update();
}

void SlideshowView::finishTransition()
{
    m_outgoing = Slide();
    m_progress = 1.0;
    update();
    emit transitionFinished();
}

bool SlideshowView::isTransitionRunning() const
{
    return m_animation->state() == QAbstractAnimation::Running ||
           m_animation->state() == QAbstractAnimation::Paused;
}

void SlideshowView::doHide(bool hide)
{
    QMetaObject::invokeMethod(
        this,
        [this, hide] {
            if (m_incoming.image.isNull() || m_hidden == hide)
                return;
            m_hidden = hide;
            update();
        },
        Qt::QueuedConnection);
}

void SlideshowView::resizeSelfToParent()
{
    if (QWidget *parent = parentWidget())
        setGeometry(QRect(QPoint(0, 0), parent->size()));
}

void SlideshowView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_outgoing = prepareSlide(m_outgoing.source);
    m_incoming = prepareSlide(m_incoming.source);
}

void SlideshowView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const qreal progress = isTransitionRunning() ? m_progress : 1.0;
    renderFrame(painter, progress);
    // The first frame in which the new slide can be seen.
    if (!m_shownName.isEmpty() && !m_hidden &&
        (progress > 0.0 || m_transition == Transition::None)) {
        m_shownLog.log(
            lcSlideshow(),
            QStringLiteral("Inside SlideshowView => slideShown...[%1]").arg(m_shownName));
        m_shownName.clear();
    }
}

void SlideshowView::drawSlide(QPainter &painter, const Slide &slide, int dx, qreal opacity) const
{
    if (slide.image.isNull() || opacity <= 0.0)
        return;
    painter.setOpacity(opacity);
    painter.drawImage(slide.rect.topLeft() + QPoint(dx, 0), slide.image);
}

void SlideshowView::drawFade(QPainter &painter, qreal t) const
{
    // A true cross-fade: where both slides cover the view the old one is drawn
    // opaque under the new one, so the background never shows through there.
    const QRect both = m_outgoing.rect & m_incoming.rect;
    if (!m_outgoing.image.isNull()) {
        painter.save();
        painter.setClipRegion(QRegion(m_outgoing.rect).subtracted(QRegion(both)));
        drawSlide(painter, m_outgoing, 0, 1.0 - t);
        painter.restore();
        if (!both.isEmpty() && !m_incoming.image.isNull()) {
            painter.save();
            painter.setClipRect(both);
            drawSlide(painter, m_outgoing, 0, 1.0);
            painter.restore();
        }
    }
    drawSlide(painter, m_incoming, 0, t);
}

void SlideshowView::renderFrame(QPainter &painter, qreal progress) const
{
    if (m_hidden)
        return;
    painter.save();
    const qreal t = std::clamp(progress, 0.0, 1.0);
    const int w = width();
    if (t >= 1.0 || m_transition == Transition::None) {
        drawSlide(painter, m_incoming, 0, 1.0);
        painter.restore();
        return;
    }
    // Each slide moves as a whole view-sized layer; the layer that comes in
    // (or stays behind) is only visible where the other layer does not cover.
    const int in = qRound(w * t); // how far the moving edge has travelled from the left
    // A missing slide (the first one in, or a removal) is simply not drawn.
    switch (m_transition) {
    case Transition::None:
        break;
    case Transition::Fade:
        drawFade(painter, t);
        break;
    case Transition::MoveIn:
        painter.setClipRect(QRect(in, 0, w - in, height()));
        drawSlide(painter, m_outgoing, 0, 1.0);
        painter.setClipping(false);
        drawSlide(painter, m_incoming, in - w, 1.0);
        break;
    case Transition::Push:
        drawSlide(painter, m_outgoing, in, 1.0);
        drawSlide(painter, m_incoming, in - w, 1.0);
        break;
    case Transition::Reveal:
        painter.setClipRect(QRect(0, 0, in, height()));
        drawSlide(painter, m_incoming, 0, 1.0);
        painter.setClipping(false);
        drawSlide(painter, m_outgoing, in, 1.0);
        break;
    }
    painter.restore();
}

} // namespace kivo
