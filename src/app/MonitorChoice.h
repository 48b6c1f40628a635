#pragma once

#include <QComboBox>

namespace kivo {

// The preferences' monitor pop-up of one display: an editable combo box
// offering the names of the monitors attached now (listed again each time it
// opens), holding prefDisplayOutputN; empty leaves the display to the next
// free screen. A name typed in is kept, so a monitor can be chosen while it
// is unplugged.
class MonitorChoice : public QComboBox
{
    Q_OBJECT
public:
    // number: the display's number (display index + 1).
    explicit MonitorChoice(int number, QWidget *parent = nullptr);

    // Lists the monitors again, keeping what was typed.
    void showPopup() override;

private:
    void listMonitors();
    void store();

    QString m_key;
};

} // namespace kivo
