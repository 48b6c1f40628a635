#include "PasswordSheet.h"

#include "AppLog.h"
#include "platform/Log.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kivo {

PasswordSheet::PasswordSheet(QWidget *parent, PasswordGate gate)
    : QDialog(parent), m_gate(std::move(gate)), m_field(new QLineEdit)
{
    setWindowTitle(tr("Password"));
    setAccessibleName(QStringLiteral("Password Required"));
    setWindowModality(Qt::WindowModal);
    m_field->setEchoMode(QLineEdit::Password);
    m_field->setAccessibleName(QStringLiteral("Password"));

    auto *buttons = new QDialogButtonBox;
    QPushButton *ok = buttons->addButton(tr("Continue"), QDialogButtonBox::AcceptRole);
    ok->setAccessibleName(QStringLiteral("Continue"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    connect(ok, &QPushButton::clicked, this, &PasswordSheet::continuePasswordWindow);
    connect(cancel, &QPushButton::clicked, this, &PasswordSheet::cancelPasswordWindow);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Enter the password to change the main images folder:")));
    layout->addWidget(m_field);
    layout->addWidget(buttons);
}

void PasswordSheet::openSheet()
{
    m_field->clear();
    open();
    m_field->setFocus();
}

void PasswordSheet::continuePasswordWindow()
{
    if (m_gate.isPasswordCorrect(m_field->text())) {
        done(kContinue);
        return;
    }
    logLine(lcApp(), QStringLiteral("PasswordSheet->continuePasswordWindow... wrong password"));
    m_field->clear();
    QApplication::beep();
    QTimer::singleShot(150, this, [] { QApplication::beep(); });
    emit wrongPassword();
}

void PasswordSheet::cancelPasswordWindow()
{
    done(kCancel);
}

} // namespace kivo
