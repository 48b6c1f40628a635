#include "MonitorChoice.h"

#include "platform/Preferences.h"
#include "station/DisplayOutputs.h"
#include "station/PrefKeys.h"

#include <QLineEdit>

namespace kivo {

MonitorChoice::MonitorChoice(int number, QWidget *parent)
    : QComboBox(parent), m_key(QLatin1String(keys::prefDisplayOutput) + QString::number(number))
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setAccessibleName(QStringLiteral("Monitor of Display %1").arg(number));
    setToolTip(tr("The monitor this display shows on; empty for the next free one"));
    listMonitors();
    connect(this, &QComboBox::activated, this, &MonitorChoice::store);
    connect(lineEdit(), &QLineEdit::editingFinished, this, &MonitorChoice::store);
}

void MonitorChoice::showPopup()
{
    store();
    listMonitors();
    QComboBox::showPopup();
}

void MonitorChoice::listMonitors()
{
    const QString current = Preferences::standard().string(m_key).trimmed();
    QStringList names = DisplayOutputs::screenNames();
    names.removeAll(QString());
    if (!current.isEmpty() && !names.contains(current))
        names.append(current);
    clear();
    addItem(QString());
    addItems(names);
    setCurrentText(current);
}

void MonitorChoice::store()
{
    const QString name = currentText().trimmed();
    if (name != Preferences::standard().string(m_key))
        Preferences::standard().setValue(m_key, name);
}

} // namespace kivo
