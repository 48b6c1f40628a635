#pragma once

#include "LogRateLimit.h"

#include <QImage>
#include <QWidget>

namespace kivo {

// Shows one slide without a transition: an image already scaled to fit the
// view (decoded off the main thread), centred. Transparent around it.
class zoomedInNSImageView : public QWidget
{
    Q_OBJECT
public:
    explicit zoomedInNSImageView(QWidget *parent = nullptr);

    // Shows the image, centred; scaled down here only when it does not fit.
    // A non-empty name is logged once, with the first frame that shows it.
    void setImage(const QImage &image, const QString &name = QString());
    void clearImage() { setImage(QImage()); }
    const QImage &image() const { return mImage; }
    bool hasImage() const { return !mImage.isNull(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void prepare();

    QImage mImage;  // as given
    QImage mScaled; // fitted to the view
    QString mShownName;
    LogRateLimit mShownLog;
};

} // namespace kivo
