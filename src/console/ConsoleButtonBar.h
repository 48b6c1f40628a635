#pragma once

#include <QWidget>

class QPushButton;

namespace kivo {

class ConsoleDelegate;

// The console's button bar: Reassign, Refresh, Preferences, Menu Bar,
// Relaunch and Return to Main. Preferences, Menu Bar and Relaunch go straight
// to the delegate (nothing without one); the others are reported.
class ConsoleButtonBar : public QWidget
{
    Q_OBJECT
public:
    explicit ConsoleButtonBar(ConsoleDelegate *delegate, QWidget *parent = nullptr);

    QPushButton *reassignButton() const { return m_reassignButton; }

signals:
    void reassignClicked();
    void refreshClicked();
    void returnToMainClicked();

private:
    QPushButton *m_reassignButton = nullptr;
};

} // namespace kivo
