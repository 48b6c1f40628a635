#include "CaptionStrip.h"

#include <QHBoxLayout>
#include <QLabel>

namespace kivo {

CaptionStrip::CaptionStrip(QWidget *displayWindow)
    : QWidget(displayWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      mDisplayWindow(displayWindow)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("ibChildPanel"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 0));
    pal.setColor(QPalette::WindowText, QColor(230, 230, 230));
    setPalette(pal);

    mLabel = new QLabel(this);
    mLabel->setObjectName(QStringLiteral("ibZoomedInTextField"));
    mLabel->setAlignment(Qt::AlignCenter);
    QFont font = mLabel->font();
    font.setPointSize(16);
    mLabel->setFont(font);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(mLabel);
    setAccessibleName(QStringLiteral("Photo name"));
    setChildWindowPosition();
}

void CaptionStrip::setText(const QString &text)
{
    mLabel->setText(text);
}

QString CaptionStrip::text() const
{
    return mLabel->text();
}

void CaptionStrip::setChildWindowPosition()
{
    const QRect frame = mDisplayWindow->geometry();
    setGeometry(frame.left(), frame.bottom() + 1 - kHeight, frame.width(), kHeight);
}

} // namespace kivo
