#include "DisplayNameField.h"

#include "CaptionStrip.h"
#include "SlideshowLog.h"
#include "platform/Log.h"
#include "platform/Preferences.h"

#include <QKeyEvent>

namespace kivo {

namespace {
// On a 1080-line display; a taller one scales them with its height.
constexpr int kMargin = 8;
constexpr int kWidth = 280;
constexpr int kFontPixels = 16;
} // namespace

DisplayNameField::DisplayNameField(const QString &preferenceKey, QWidget *displayWindow)
    : QLineEdit(displayWindow), m_key(preferenceKey)
{
    setObjectName(QStringLiteral("ibScreenInfoTextField"));
    setAccessibleName(QStringLiteral("Display Name"));
    setFrame(false);
    setReadOnly(true);
    setFocusPolicy(Qt::ClickFocus);
    setMaxLength(120);
    setStyleSheet(QStringLiteral("QLineEdit { background: rgba(0, 0, 0, 96); color: #d0d0d0; "
                                 "padding: 2px 6px; }"));
    Preferences &prefs = Preferences::standard();
    setText(prefs.string(m_key));
    connect(this, &QLineEdit::textEdited, this,
            [this](const QString &text) { Preferences::standard().setValue(m_key, text); });
    connect(&prefs, &Preferences::valueChanged, this, &DisplayNameField::preferenceChanged);
    placeInWindow();
}

void DisplayNameField::placeInWindow()
{
    const int height = parentWidget() ? parentWidget()->height() : 0;
    QFont text = font();
    text.setPixelSize(CaptionStrip::scaledFor(height, kFontPixels));
    setFont(text);
    const int margin = CaptionStrip::scaledFor(height, kMargin);
    setGeometry(margin, margin, CaptionStrip::scaledFor(height, kWidth), sizeHint().height());
    raise();
}

void DisplayNameField::preferenceChanged(const QString &key)
{
    if (key != m_key)
        return;
    const QString value = Preferences::standard().string(m_key);
    if (value != text())
        setText(value);
}

void DisplayNameField::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (isReadOnly()) {
        setReadOnly(false);
        logLine(lcSlideshow(),
                QStringLiteral("DisplayNameField... editing [%1] = [%2]").arg(m_key, text()));
    }
    QLineEdit::mouseDoubleClickEvent(event);
}

void DisplayNameField::keyPressEvent(QKeyEvent *event)
{
    if (!isReadOnly() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                          event->key() == Qt::Key_Escape)) {
        endEditing();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DisplayNameField::focusOutEvent(QFocusEvent *event)
{
    endEditing();
    QLineEdit::focusOutEvent(event);
}

void DisplayNameField::endEditing()
{
    if (isReadOnly())
        return;
    setReadOnly(true);
    deselect();
    logLine(lcSlideshow(), QStringLiteral("DisplayNameField... [%1] = [%2]").arg(m_key, text()));
}

} // namespace kivo
