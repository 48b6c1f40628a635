#include "DaySelector.h"

#include "DaySelection.h"
#include "platform/Preferences.h"
#include "station/DailyFolders.h"
#include "station/PrefKeys.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>

namespace kivo {

DaySelector::DaySelector(QWidget *parent) : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    m_dayPopup = new QComboBox;
    m_dayPopup->addItem(tr("Today's Folder"), kTodayTag);
    m_dayPopup->addItem(tr("Another Day's Folder..."), kOtherDayTag);
    m_dayPopup->setAccessibleName(QStringLiteral("Day Folder"));
    m_dayPopup->setAccessibleDescription(QStringLiteral("Day folder to list"));
    connect(m_dayPopup, &QComboBox::activated, this,
            [this](int i) { ibHandleDailyFolderPopup(m_dayPopup->itemData(i).toInt()); });

    m_stepper = new QSpinBox;
    m_stepper->setRange(0, int(DaySelection::kMaxDaysBack));
    m_stepper->setSuffix(tr(" days back"));
    m_stepper->setAccessibleName(QStringLiteral("Days Back"));
    connect(m_stepper, &QSpinBox::valueChanged, this,
            [this](int value) { ibClickedOnStepperForDate(value); });

    auto *today = new QPushButton(tr("Today"));
    today->setAccessibleName(QStringLiteral("Today"));
    // A click leaves the keyboard focus where it was (on the code list).
    today->setFocusPolicy(Qt::TabFocus);
    connect(today, &QPushButton::clicked, this, &DaySelector::ibClickOnTodayFolder);

    row->addWidget(m_dayPopup);
    row->addWidget(m_stepper);
    row->addWidget(today);

    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationInactive)
                    handleApplicationDidResignActive();
            });
}

void DaySelector::ibClickOnTodayFolder()
{
    DaySelection::resetToToday(Preferences::standard());
    {
        const QSignalBlocker blocker(m_stepper);
        m_stepper->setValue(0);
    }
    m_dayPopup->setCurrentIndex(0);
    ibClickedOnStepperForDate(std::nullopt);
}

void DaySelector::ibClickedOnStepperForDate(std::optional<int> stepperValue)
{
    Preferences &prefs = Preferences::standard();
    const qint64 daysBack = stepperValue ? qint64(*stepperValue)
                                         : prefs.integer(QLatin1String(keys::prefDayStepperValue));
    prefs.setValue(QLatin1String(keys::prefDayStepperValue), DaySelection::clampDaysBack(daysBack));
    const DaySelection::Choice choice = DaySelection::stepTo(daysBack, businessInstant(), prefs);
    switch (choice.outcome) {
    case DaySelection::Outcome::Today:
    case DaySelection::Outcome::OtherDay:
        emit dayChosen();
        break;
    case DaySelection::Outcome::OtherMissing:
        QApplication::beep();
        emit dayMissing();
        break;
    case DaySelection::Outcome::TodayMissing:
        emit dayMissing();
        break;
    }
}

void DaySelector::ibHandleDailyFolderPopup(int tag)
{
    Preferences &prefs = Preferences::standard();
    prefs.setValue(QLatin1String(keys::prefSelectedTagForDateFolder), qint64(tag));
    if (tag == kTodayTag) {
        prefs.remove(QLatin1String(keys::prefPathToAlternateDateFolder));
        emit dayChosen();
        return;
    }
    const QString root = mainImagesFolder();
    if (tag == kOtherDayTag && !root.isEmpty())
        chooseOtherDayFolder(root);
}

void DaySelector::chooseOtherDayFolder(const QString &root)
{
    auto *chooser =
        new QFileDialog(window(), QStringLiteral("Please Select Another Day's Folder"), root);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setWindowModality(Qt::WindowModal);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    chooser->setOption(QFileDialog::DontUseNativeDialog);
    chooser->setOption(QFileDialog::ReadOnly); // chooses only: no delete or rename
    chooser->setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
    chooser->setAccessibleName(QStringLiteral("Please Select Another Day's Folder"));
    connect(chooser, &QFileDialog::fileSelected, this, [this](const QString &folder) {
        if (folder.isEmpty())
            return;
        Preferences::standard().setValue(QLatin1String(keys::prefPathToAlternateDateFolder),
                                         folder);
        emit dayChosen();
    });
    chooser->open();
}

void DaySelector::handleApplicationDidResignActive()
{
    ibClickOnTodayFolder();
}

} // namespace kivo
