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
    const QImage &image() const { return m_image; }
    bool hasImage() const { return !m_image.isNull(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void prepare();

    QImage m_image;  // as given
    QImage m_scaled; // fitted to the view
    QString m_shownName;
    LogRateLimit m_shownLog;
};

} // namespace kivo
