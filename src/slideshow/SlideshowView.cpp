#include "SlideshowView.h"

#include "util/SlideImageLoader.h"

#include "SlideshowLog.h"
#include "platform/Log.h"

#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QVariantAnimation>

#include <algorithm>

namespace kivo {

namespace {

// One line of out = a * (256 - w) / 256 + b * w / 256 for 32-bit pixels, two
// 8-bit channels at a time in 16-bit lanes; written for the vectoriser, and
// optimised in every build type: a debug build would spend a frame on it.
__attribute__((target_clones("avx2", "default"), optimize("O2", "tree-vectorize"))) void
mixLine(const quint32 *__restrict a, const quint32 *__restrict b, quint32 *__restrict out,
        int count, quint32 w)
{
    const quint32 v = 256 - w;
    for (int x = 0; x < count; ++x) {
        const quint32 rb = (((a[x] & 0xff00ff) * v + (b[x] & 0xff00ff) * w) >> 8) & 0xff00ff;
        const quint32 ag =
            (((a[x] >> 8) & 0xff00ff) * v + ((b[x] >> 8) & 0xff00ff) * w) & 0xff00ff00;
        out[x] = rb | ag;
    }
}

quint32 mixWeight(qreal t)
{
    return quint32(std::clamp(qRound(t * 256), 0, 256));
}

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
        const int interval = frameIntervalMs();
        if (interval == 0 || !m_lastFrame.isValid() || m_lastFrame.elapsed() >= interval) {
            m_lastFrame.start();
            // A fade changes only where the slides lie; a move, everything.
            if (m_transition == Transition::Fade)
                update(QRegion(m_outgoing.rect) + m_incoming.rect);
            else
                update();
        }
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
        setOpaque(false);
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
    m_lastFrame.invalidate();
    setOpaque(bool(m_backdrop));
    m_animation->start();
    update();
}

// Opaque, Qt paints none of the window under the view: paintFrame paints
// every pixel of the area it is given.
void SlideshowView::setOpaque(bool opaque)
{
    if (testAttribute(Qt::WA_OpaquePaintEvent) != opaque)
        setAttribute(Qt::WA_OpaquePaintEvent, opaque);
}

// Frames of a view with more pixels than a 1080-line screen are spaced out:
// each costs more, and the eye does not ask for more of them on a slide.
int SlideshowView::frameIntervalMs() const
{
    constexpr qint64 kFullHdPixels = 1920 * 1080;
    const qreal dpr = devicePixelRatioF();
    const qint64 pixels = qint64(width() * dpr) * qint64(height() * dpr);
    return pixels > kFullHdPixels * 3 / 2 ? kLargeFrameMs : 0;
}

void SlideshowView::clearSlide()
{
    if (isTransitionRunning())
        m_animation->stop();
    setOpaque(false);
    m_outgoing = Slide();
    m_incoming = Slide();
    m_hidden = false;
    m_shownName.clear();
    m_progress = 1.0;
    update();
}

void SlideshowView::finishTransition()
{
    setOpaque(false);
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
            if (hide)
                setOpaque(false);
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

void SlideshowView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const qreal progress = isTransitionRunning() ? m_progress : 1.0;
    if (testAttribute(Qt::WA_OpaquePaintEvent))
        paintFrame(painter, progress, event->region());
    else
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
    // Two opaque slides in one place (the usual case): mixed in one pass.
    if (m_outgoing.rect == m_incoming.rect && !m_incoming.rect.isEmpty() &&
        m_outgoing.image.format() == QImage::Format_RGB32 &&
        m_incoming.image.format() == QImage::Format_RGB32 &&
        m_outgoing.image.size() == m_incoming.image.size() && mixOnDevice(painter, t))
        return;
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

// The fade of two slides of one place mixed straight into the pixels the
// painter paints on (a window's backing store), within the area it may paint:
// no frame-sized copy in between. False when the painter's device is not a
// 32-bit image painted without scaling.
bool SlideshowView::mixOnDevice(QPainter &painter, qreal t) const
{
    QPaintEngine *engine = painter.paintEngine();
    QPaintDevice *device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return false;
    auto *target = static_cast<QImage *>(device);
    // A shared image would be copied by the write below, away from the painter.
    if (!target->isDetached())
        return false;
    const QImage::Format format = target->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return false;
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxTranslate ||
        m_incoming.image.size() != m_incoming.rect.size())
        return false;
    const QPoint offset(qRound(transform.dx()), qRound(transform.dy()));
    const QRect slide = m_incoming.rect.translated(offset);
    QRegion area = QRegion(slide) & target->rect();
    if (!engine->systemClip().isEmpty())
        area &= engine->systemClip();
    if (painter.hasClipping())
        area &= transform.map(painter.clipRegion());
    uchar *bits = target->bits();
    const quint32 weight = mixWeight(t);
    for (const QRect &r : area)
        for (int y = r.top(); y <= r.bottom(); ++y) {
            const int sx = r.left() - slide.left();
            const int sy = y - slide.top();
            mixLine(reinterpret_cast<const quint32 *>(m_outgoing.image.constScanLine(sy)) + sx,
                    reinterpret_cast<const quint32 *>(m_incoming.image.constScanLine(sy)) + sx,
                    reinterpret_cast<quint32 *>(bits + y * target->bytesPerLine()) + r.left(),
                    r.width(), weight);
        }
    return true;
}

QRegion SlideshowView::opaqueRegion(qreal progress) const
{
    if (m_hidden)
        return {};
    auto cover = [](const Slide &slide, int dx = 0) {
        return slide.image.isNull() || slide.image.hasAlphaChannel()
                   ? QRegion()
                   : QRegion(slide.rect.translated(dx, 0));
    };
    const qreal t = std::clamp(progress, 0.0, 1.0);
    if (t >= 1.0 || m_transition == Transition::None)
        return cover(m_incoming);
    // As renderFrame draws them.
    const int w = width();
    const int in = qRound(w * t);
    switch (m_transition) {
    case Transition::None:
        break;
    case Transition::Fade:
        // Only where the old slide lies opaque under the new one.
        return cover(m_outgoing) & cover(m_incoming);
    case Transition::MoveIn:
        return (cover(m_outgoing) & QRect(in, 0, w - in, height())) + cover(m_incoming, in - w);
    case Transition::Push:
        return cover(m_outgoing, in) + cover(m_incoming, in - w);
    case Transition::Reveal:
        return (cover(m_incoming) & QRect(0, 0, in, height())) + cover(m_outgoing, in);
    }
    return {};
}

void SlideshowView::paintFrame(QPainter &painter, qreal progress, const QRegion &area) const
{
    if (m_backdrop)
        for (const QRect &r : area.subtracted(opaqueRegion(progress)))
            m_backdrop(painter, r);
    renderFrame(painter, progress);
}

} // namespace kivo
