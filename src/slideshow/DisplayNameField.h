#pragma once

#include <QLineEdit>

namespace kivo {

// A display window's name field: shows the display's name and is bound both
// ways to its preference (prefNameOfDisplay<n>). Each edit writes the
// preference at once; a change of the preference, from anywhere, shows here.
// The field is read-only until double-clicked, so a scan typed while it has
// the focus goes to the barcode entry and never renames the display; Return,
// Escape or leaving the field ends the edit.
class DisplayNameField : public QLineEdit
{
    Q_OBJECT
public:
    DisplayNameField(const QString &preferenceKey, QWidget *displayWindow);

    const QString &preferenceKey() const { return m_key; }
    // Puts the field in the top left corner of the window, above the slides.
    void placeInWindow();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void preferenceChanged(const QString &key);
    void endEditing();

    QString m_key;
};

} // namespace kivo
