#include "zoomedInNSImageView.h"

#include "SlideshowLog.h"
#include "platform/Log.h"
#include "util/SlideImageLoader.h"

#include <QPainter>

namespace kivo {

zoomedInNSImageView::zoomedInNSImageView(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(false);
}

void zoomedInNSImageView::setImage(const QImage &image, const QString &name)
{
    m_image = image;
    m_shownName = image.isNull() ? QString() : name;
    prepare();
    update();
}

void zoomedInNSImageView::prepare()
{
    m_scaled = QImage();
    if (m_image.isNull() || width() <= 0 || height() <= 0)
        return;
    const QRect fit = SlideImageLoader::fittedRect(m_image.size(), size());
    // An image decoded for this view already has the fitted size: no rescale.
    m_scaled = fit.size() == m_image.size()
                   ? m_image
                   : m_image.scaled(fit.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void zoomedInNSImageView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    prepare();
}

void zoomedInNSImageView::paintEvent(QPaintEvent *)
{
    if (m_scaled.isNull())
        return;
    QPainter painter(this);
    const QRect fit = SlideImageLoader::fittedRect(m_scaled.size(), size());
    painter.drawImage(fit.topLeft(), m_scaled);
    if (!m_shownName.isEmpty()) {
        m_shownLog.log(
            lcSlideshow(),
            QStringLiteral("Inside zoomedInNSImageView => slideShown...[%1]").arg(m_shownName));
        m_shownName.clear();
    }
}

} // namespace kivo
