#include "IdentifyOverlay.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kivo {

IdentifyOverlay::IdentifyOverlay(QWidget *displayWindow)
    : QWidget(displayWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                                 Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("ibIdentifyWindow"));
    setWindowTitle(QStringLiteral("IdentifyWindow"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    mLabel = new QLabel(this);
    mLabel->setObjectName(QStringLiteral("ibIdentifyInfoTextField2"));
    mLabel->setAlignment(Qt::AlignCenter);
    QFont font = mLabel->font();
    font.setPointSize(96);
    font.setBold(true);
    mLabel->setFont(font);
    mLabel->setStyleSheet(QStringLiteral("color: white; background: rgba(0, 0, 0, 160);"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mLabel);

    mTimer.setInterval(kHalfPeriodMs);
    connect(&mTimer, &QTimer::timeout, this, &IdentifyOverlay::tick);
}

QString IdentifyOverlay::identifyText(const QString &name, int n, int screenCount)
{
    if (!name.trimmed().isEmpty())
        return name;
    return QStringLiteral("SCREEN\n%1 of %2").arg(n, 2).arg(screenCount, 2);
}

void IdentifyOverlay::setText(const QString &text)
{
    mLabel->setText(text);
}

QString IdentifyOverlay::text() const
{
    return mLabel->text();
}

bool IdentifyOverlay::isTextShown() const
{
    return isVisible() && !mLabel->isHidden();
}

void IdentifyOverlay::identify(const QRect &geometry, int seconds)
{
    setGeometry(geometry);
    mTicksLeft = 2 * qMax(0, seconds);
    if (mTicksLeft == 0) {
        hide();
        emit identifyFinished();
        return;
    }
    mLabel->show();
    show();
    raise();
    --mTicksLeft;
    mTimer.start();
}

void IdentifyOverlay::tick()
{
    if (mTicksLeft <= 0) {
        mTimer.stop();
        hide();
        emit identifyFinished();
        return;
    }
    // Odd ticks hide the text, even ticks show it: on 0.5 s, off 0.5 s.
    mLabel->setVisible(mTicksLeft % 2 == 0);
    --mTicksLeft;
}

} // namespace kivo
