#include "IdentifyOverlay.h"

#include "CaptionStrip.h"

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
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("ibIdentifyInfoTextField2"));
    m_label->setTextFormat(Qt::PlainText); // a room name, never markup
    m_label->setAlignment(Qt::AlignCenter);
    QFont font = m_label->font();
    font.setBold(true);
    m_label->setFont(font);
    m_label->setStyleSheet(QStringLiteral("color: white; background: rgba(0, 0, 0, 160);"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);

    m_timer.setInterval(kHalfPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &IdentifyOverlay::tick);
}

QString IdentifyOverlay::identifyText(const QString &name, int n, int screenCount)
{
    if (!name.trimmed().isEmpty())
        return name;
    return QStringLiteral("SCREEN\n%1 of %2").arg(n, 2).arg(screenCount, 2);
}

void IdentifyOverlay::setText(const QString &text)
{
    m_label->setText(text);
}

QString IdentifyOverlay::text() const
{
    return m_label->text();
}

bool IdentifyOverlay::isTextShown() const
{
    return isVisible() && !m_label->isHidden();
}

void IdentifyOverlay::identify(const QRect &geometry, int seconds)
{
    setGeometry(geometry);
    // The caption's scale: 128 pixels high on a 1080-line display.
    QFont font = m_label->font();
    font.setPixelSize(CaptionStrip::scaledFor(geometry.height(), kFontPixels));
    m_label->setFont(font);
    m_ticksLeft = 2 * qMax(0, seconds);
    if (m_ticksLeft == 0) {
        hide();
        emit identifyFinished();
        return;
    }
    m_label->show();
    show();
    raise();
    --m_ticksLeft;
    m_timer.start();
}

void IdentifyOverlay::tick()
{
    if (m_ticksLeft <= 0) {
        m_timer.stop();
        hide();
        emit identifyFinished();
        return;
    }
    // Odd ticks hide the text, even ticks show it: on 0.5 s, off 0.5 s.
    m_label->setVisible(m_ticksLeft % 2 == 0);
    --m_ticksLeft;
}

} // namespace kivo
