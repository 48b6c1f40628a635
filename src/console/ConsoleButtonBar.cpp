#include "ConsoleButtonBar.h"

#include "ConsoleDelegate.h"
#include "station/OperatorKeys.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>

namespace kivo {

namespace {
QPushButton *barButton(const QString &text, const QString &accessibleName)
{
    auto *button = new QPushButton(text);
    button->setAccessibleName(accessibleName);
    // A click leaves the keyboard focus where it was (on the code list).
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}
} // namespace

ConsoleButtonBar::ConsoleButtonBar(ConsoleDelegate *delegate, QWidget *parent) : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    m_reassignButton = barButton(tr("Reassign..."), QStringLiteral("Reassign"));
    connect(m_reassignButton, &QPushButton::clicked, this, &ConsoleButtonBar::reassignClicked);
    QPushButton *refresh = barButton(tr("Refresh"), QStringLiteral("Refresh"));
    connect(refresh, &QPushButton::clicked, this, &ConsoleButtonBar::refreshClicked);
    QPushButton *prefs = barButton(tr("Preferences..."), QStringLiteral("Preferences"));
    // The station takes the key itself, on the console and on every display.
    prefs->setToolTip(
        tr("Preferences (%1)")
            .arg(QKeySequence(operatorKey::preferences).toString(QKeySequence::NativeText)));
    QPushButton *menu = barButton(tr("Menu Bar"), QStringLiteral("Menu Bar"));
    QPushButton *relaunch = barButton(tr("Relaunch"), QStringLiteral("Relaunch"));
    if (delegate) {
        connect(prefs, &QPushButton::clicked, this, [delegate] { delegate->openPrefs(); });
        connect(menu, &QPushButton::clicked, this, [delegate] { delegate->showMenu(); });
        connect(relaunch, &QPushButton::clicked, this, [delegate] { delegate->relaunchApp(); });
    }
    QPushButton *back = barButton(tr("Return to Main"), QStringLiteral("Return to Main"));
    connect(back, &QPushButton::clicked, this, &ConsoleButtonBar::returnToMainClicked);
    for (QPushButton *button : {m_reassignButton, refresh, prefs, menu, relaunch, back})
        row->addWidget(button);
    row->addStretch();
}

} // namespace kivo
