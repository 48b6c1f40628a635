#include "CaptionStrip.h"

#include "platform/Preferences.h"
#include "station/PrefKeys.h"
#include "station/ShoutCopyName.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

namespace kivo {

CaptionStrip::CaptionStrip(QWidget *displayWindow)
    : QWidget(displayWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      m_displayWindow(displayWindow)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("ibChildPanel"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 0));
    pal.setColor(QPalette::WindowText, QColor(230, 230, 230));
    setPalette(pal);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("ibZoomedInTextField"));
    m_label->setTextFormat(Qt::PlainText); // a file name, never markup
    m_label->setAlignment(Qt::AlignCenter);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(m_label);
    setAccessibleName(QStringLiteral("Photo name"));
    setChildWindowPosition();
}

void CaptionStrip::setText(const QString &text)
{
    m_label->setText(text);
}

QString CaptionStrip::text() const
{
    return m_label->text();
}

QString CaptionStrip::captionForPath(const QString &path)
{
    const QFileInfo info(path);
    const Preferences &prefs = Preferences::standard();
    if (prefs.boolean(QLatin1String(keys::prefDoShoutMode))) {
        const QString workingFolder =
            expandTilde(prefs.string(QLatin1String(keys::prefTempFolderPath)));
        const QString entry = ShoutCopyName::entryOf(info.fileName());
        if (!entry.isEmpty() &&
            (workingFolder.isEmpty() || QDir(workingFolder) == QDir(info.absolutePath())))
            return QFileInfo(entry).completeBaseName();
    }
    QString name = info.completeBaseName();
    name.remove(QStringLiteral("_overlay"));
    return name;
}

int CaptionStrip::scaledFor(int screenHeight, int basePixels)
{
    return std::max(basePixels, screenHeight * basePixels / kBaseScreenHeight);
}

void CaptionStrip::setChildWindowPosition()
{
    const QRect frame = m_displayWindow->geometry();
    const int pixels = fontPixelsFor(frame.height());
    QFont font = m_label->font();
    if (font.pixelSize() != pixels) {
        font.setPixelSize(pixels);
        m_label->setFont(font);
    }
    const int height = kHeight * pixels / kFontPixels;
    setGeometry(frame.left(), frame.bottom() + 1 - height, frame.width(), height);
}

} // namespace kivo
