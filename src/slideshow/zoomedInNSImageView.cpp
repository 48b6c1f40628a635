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
    mImage = image;
    mShownName = image.isNull() ? QString() : name;
    prepare();
    update();
}

void zoomedInNSImageView::prepare()
{
    mScaled = QImage();
    if (mImage.isNull() || width() <= 0 || height() <= 0)
        return;
    const QRect fit = SlideImageLoader::fittedRect(mImage.size(), size());
    // An image decoded for this view already has the fitted size: no rescale.
    mScaled = fit.size() == mImage.size()
                  ? mImage
                  : mImage.scaled(fit.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void zoomedInNSImageView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    prepare();
}

void zoomedInNSImageView::paintEvent(QPaintEvent *)
{
    if (mScaled.isNull())
        return;
    QPainter painter(this);
    const QRect fit = SlideImageLoader::fittedRect(mScaled.size(), size());
    painter.drawImage(fit.topLeft(), mScaled);
    if (!mShownName.isEmpty()) {
        mShownLog.log(
            lcSlideshow(),
            QStringLiteral("Inside zoomedInNSImageView => slideShown...[%1]").arg(mShownName));
        mShownName.clear();
    }
}

} // namespace kivo
