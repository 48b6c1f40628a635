#pragma once

#include <QWidget>

#include <optional>

class QComboBox;
class QSpinBox;

namespace kivo {

// The console's day selector: the day pop-up (today's folder, or another
// day's folder picked in a folder chooser), the days-back stepper counted from
// the business date, and the Today button. A choice is stored in the
// preferences (DaySelection); the console then lists the chosen day
// (dayChosen) or, when that day has no folder, shows an empty list
// (dayMissing). The selector jumps back to today whenever the station stops
// being the active application.
class DaySelector : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kTodayTag = 0;
    static constexpr int kOtherDayTag = 101;

    explicit DaySelector(QWidget *parent = nullptr);

    void ibClickOnTodayFolder();
    void ibClickedOnStepperForDate(std::optional<int> stepperValue);
    void ibHandleDailyFolderPopup(int tag);
    void handleApplicationDidResignActive();

signals:
    void dayChosen();
    void dayMissing();

private:
    void chooseOtherDayFolder(const QString &root);

    QComboBox *m_dayPopup = nullptr;
    QSpinBox *m_stepper = nullptr;
};

} // namespace kivo
