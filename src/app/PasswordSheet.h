#pragma once

#include "PasswordGate.h"

#include <QDialog>

class QLineEdit;

namespace kivo {

// The password sheet that guards the choice of the main images folder.
// Window-modal on the preferences window; ends with -1002 when the right
// password was entered and -1000 when cancelled. A wrong password empties
// the field, beeps twice and keeps the sheet open, any number of times.
class PasswordSheet : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kContinue = -1002;
    static constexpr int kCancel = -1000;

    explicit PasswordSheet(QWidget *parent = nullptr, PasswordGate gate = PasswordGate());

    // Empties the field and opens the sheet.
    void openSheet();
    void continuePasswordWindow();
    void cancelPasswordWindow();
    void reject() override { cancelPasswordWindow(); }

    QLineEdit *passwordField() const { return m_field; }

signals:
    void wrongPassword();

private:
    PasswordGate m_gate;
    QLineEdit *m_field;
};

} // namespace kivo
