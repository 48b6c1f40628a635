#include "PreferencesWindow.h"

#include "ChooserCompletion.h"
#include "FolderChooser.h"
#include "MonitorChoice.h"
#include "PasswordSheet.h"
#include "StartupSequence.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/ScannerDevice.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kivo {

namespace {
QString displayKey(const char *base, int number)
{
    return QLatin1String(base) + QString::number(number);
}

QPushButton *button(const QString &text, const QString &accessibleName)
{
    auto *b = new QPushButton(text);
    b->setAccessibleName(accessibleName);
    return b;
}

QCheckBox *switchFor(const QString &text, const QString &key)
{
    auto *box = new QCheckBox(text);
    box->setAccessibleName(text);
    box->setChecked(Preferences::standard().boolean(key));
    QObject::connect(box, &QCheckBox::toggled,
                     [key](bool on) { Preferences::standard().setValue(key, on); });
    return box;
}

// The scanner device: the keyboard devices X knows, or any part of a name
// typed in; empty for none (scans come from the focused window).
QComboBox *scannerDeviceChoice()
{
    const QString key = QLatin1String(keys::prefScannerDevice);
    auto *combo = new QComboBox;
    combo->setAccessibleName(QStringLiteral("Scanner Device"));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(QStringList{QString()} + ScannerDevice::keyboardNames());
    combo->setCurrentText(Preferences::standard().string(key));
    auto store = [combo, key] {
        Preferences::standard().setValue(key, combo->currentText().trimmed());
    };
    QObject::connect(combo, &QComboBox::activated, combo, store);
    QObject::connect(combo->lineEdit(), &QLineEdit::editingFinished, combo, store);
    return combo;
}
} // namespace

PreferencesWindow::PreferencesWindow(QWidget *parent, PasswordGate gate)
    : QDialog(parent), m_tabs(new QTabWidget), m_password(new PasswordSheet(this, std::move(gate)))
{
    setWindowTitle(tr("Preferences"));
    setAccessibleName(QStringLiteral("Preferences"));
    m_tabs->setAccessibleName(QStringLiteral("Preference Tabs"));
    m_tabs->addTab(buildFoldersTab(), tr("Folders"));
    m_tabs->addTab(buildSlideshowTab(), tr("Slideshow"));
    m_tabs->addTab(buildDisplaysTab(), tr("Displays"));

    auto *buttons = new QDialogButtonBox;
    QPushButton *close = buttons->addButton(QDialogButtonBox::Close);
    close->setAccessibleName(QStringLiteral("Close Preferences"));
    connect(close, &QPushButton::clicked, this, &PreferencesWindow::closePrefs);
    connect(m_password, &QDialog::finished, this, &PreferencesWindow::passwordSheetDidEnd);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
}

QWidget *PreferencesWindow::buildFoldersTab()
{
    auto *tab = new QWidget;
    auto *grid = new QGridLayout(tab);
    m_mainFolder = new QLabel;
    m_mainFolder->setTextFormat(Qt::PlainText); // paths, never markup
    m_mainFolder->setAccessibleName(QStringLiteral("Main Images Folder"));
    m_mainFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton *chooseFolder =
        button(tr("Choose..."), QStringLiteral("Choose Main Images Folder"));
    connect(chooseFolder, &QPushButton::clicked, this, &PreferencesWindow::selectFolder);
    QPushButton *revealFolder = button(tr("Reveal"), QStringLiteral("Reveal Main Images Folder"));
    connect(revealFolder, &QPushButton::clicked, this, [this] { emit revealRequested(0); });

    m_movie = new QLabel;
    m_movie->setTextFormat(Qt::PlainText);
    m_movie->setAccessibleName(QStringLiteral("Movie"));
    QPushButton *chooseMovie = button(tr("Choose..."), QStringLiteral("Choose Movie"));
    connect(chooseMovie, &QPushButton::clicked, this, &PreferencesWindow::selectItem);
    QPushButton *revealTemp =
        button(tr("Reveal Working Folder"), QStringLiteral("Reveal Working Folder"));
    connect(revealTemp, &QPushButton::clicked, this,
            [this] { emit revealRequested(kRevealTempFolderTag); });

    grid->addWidget(new QLabel(tr("Main images folder:")), 0, 0);
    grid->addWidget(m_mainFolder, 0, 1);
    grid->addWidget(chooseFolder, 0, 2);
    grid->addWidget(revealFolder, 0, 3);
    grid->addWidget(new QLabel(tr("Movie:")), 1, 0);
    grid->addWidget(m_movie, 1, 1);
    grid->addWidget(chooseMovie, 1, 2);
    grid->addWidget(revealTemp, 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);
    refreshFromPreferences();
    return tab;
}

QWidget *PreferencesWindow::buildSlideshowTab()
{
    auto *tab = new QWidget;
    auto *form = new QFormLayout(tab);
    m_transition = new QComboBox;
    m_transition->setAccessibleName(QStringLiteral("Transition"));
    m_transition->setAccessibleDescription(QStringLiteral("Transition between slides"));
    const QStringList choices = transitionChoices();
    for (const QString &choice : choices) {
        if (choice.isEmpty())
            m_transition->insertSeparator(m_transition->count());
        else
            m_transition->addItem(choice);
    }
    const Preferences &prefs = Preferences::standard();
    const bool random = prefs.string(QLatin1String(keys::prefUseTransitionMode)) ==
                        QLatin1String(keys::transitionModeRandom);
    const int current =
        random ? 0 : m_transition->findText(prefs.string(QLatin1String(keys::prefTransitionStyle)));
    m_transition->setCurrentIndex(current < 0 ? 0 : current);
    connect(m_transition, &QComboBox::activated, this,
            [this](int i) { doChangeTransitionStyle(m_transition->itemText(i)); });
    form->addRow(tr("Transition:"), m_transition);
    m_caption = switchFor(tr("Show the file name with each photo"),
                          QLatin1String(keys::prefShowPhotoWithFilename));
    form->addRow(m_caption);
    form->addRow(switchFor(tr("Confirm the room before playing"),
                           QLatin1String(keys::prefConfirmRoomBeforeStartingSlideshow)));
    form->addRow(tr("Scanner device:"), scannerDeviceChoice());
    return tab;
}

QWidget *PreferencesWindow::buildDisplaysTab()
{
    auto *tab = new QWidget;
    auto *grid = new QGridLayout(tab);
    grid->addWidget(new QLabel(tr("Room name")), 0, 1);
    grid->addWidget(new QLabel(tr("Delay (s)")), 0, 2);
    grid->addWidget(new QLabel(tr("Monitor")), 0, 4);
    Preferences &prefs = Preferences::standard();
    for (int n = 1; n <= kDisplayCount; ++n) {
        grid->addWidget(new QLabel(tr("Display %1").arg(n)), n, 0);
        auto *name = new QLineEdit(prefs.string(displayKey(keys::prefNameOfDisplay, n)));
        name->setAccessibleName(QStringLiteral("Room Name of Display %1").arg(n));
        const QString nameKey = displayKey(keys::prefNameOfDisplay, n);
        connect(name, &QLineEdit::editingFinished, this, [name, nameKey] {
            Preferences::standard().setValue(nameKey, name->text().trimmed());
        });
        auto *delay = new QSpinBox;
        delay->setRange(1, 3600);
        delay->setValue(
            int(std::max<qint64>(1, prefs.integer(displayKey(keys::prefSlideShowDelay, n)))));
        delay->setAccessibleName(QStringLiteral("Delay of Display %1").arg(n));
        const QString delayKey = displayKey(keys::prefSlideShowDelay, n);
        connect(delay, &QSpinBox::valueChanged, this, [delayKey](int value) {
            Preferences::standard().setValue(delayKey, qint64(value));
        });
        QCheckBox *slideshow =
            switchFor(tr("Slideshow on display %1").arg(n), displayKey(keys::prefDoSlideShow, n));
        grid->addWidget(name, n, 1);
        grid->addWidget(delay, n, 2);
        grid->addWidget(slideshow, n, 3);
        grid->addWidget(new MonitorChoice(n), n, 4);
    }
    grid->setRowStretch(kDisplayCount + 1, 1);
    return tab;
}

QStringList PreferencesWindow::transitionChoices()
{
    QStringList items = {QStringLiteral("Random"), QString()};
    QStringList styles =
        Preferences::standard().stringArray(QLatin1String(keys::prefAvailTransitionStyles));
    if (styles.isEmpty())
        styles = StartupSequence::transitionChoices();
    return items + styles;
}

void PreferencesWindow::doChangeTransitionStyle(const QString &title)
{
    Preferences &prefs = Preferences::standard();
    if (title.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0 ||
        title.compare(QLatin1String("no transition effect"), Qt::CaseInsensitive) == 0) {
        prefs.setValues(
            {{QLatin1String(keys::prefUseTransitionMode), QLatin1String(keys::transitionModeNone)},
             {QLatin1String(keys::prefTransitionStyle), title}});
    } else if (title.compare(QLatin1String("random"), Qt::CaseInsensitive) == 0) {
        prefs.setValue(QLatin1String(keys::prefUseTransitionMode),
                       QLatin1String(keys::transitionModeRandom));
    } else {
        prefs.setValues(
            {{QLatin1String(keys::prefUseTransitionMode), QLatin1String(keys::transitionModeFixed)},
             {QLatin1String(keys::prefTransitionStyle), title}});
    }
    prefs.synchronize();
    NotificationCenter::defaultCenter().post(notification::SlideShowChangeTransitionStyle);
}

void PreferencesWindow::refreshFromPreferences()
{
    const Preferences &prefs = Preferences::standard();
    m_mainFolder->setText(prefs.string(QLatin1String(keys::prefSlideShowPath)));
    m_movie->setText(prefs.string(QLatin1String(keys::prefMoviePath)));
}

void PreferencesWindow::openPrefs(QWidget *parentWindow)
{
    hide();
    if (parentWindow != parentWidget())
        setParent(parentWindow, windowFlags() | Qt::Dialog);
    setWindowModality(parentWindow ? Qt::WindowModal : Qt::NonModal);
    refreshFromPreferences();
    open();
}

void PreferencesWindow::closePrefs()
{
    done(QDialog::Accepted);
}

void PreferencesWindow::selectFolder()
{
    m_password->openSheet();
}

void PreferencesWindow::passwordSheetDidEnd(int returnCode)
{
    if (returnCode == PasswordSheet::kContinue)
        selectSlideShowFolder();
}

void PreferencesWindow::selectSlideShowFolder()
{
    QFileDialog *chooser = FolderChooser::doNSOpenPanelWithParameters(
        ChooserCompletion::slideShowFolderChooserParameters(), this);
    connect(chooser, &QDialog::finished, this, &PreferencesWindow::refreshFromPreferences);
}

void PreferencesWindow::selectItem()
{
    QFileDialog *chooser = FolderChooser::doNSOpenPanelWithParameters(
        ChooserCompletion::movieChooserParameters(), this);
    connect(chooser, &QDialog::finished, this, &PreferencesWindow::refreshFromPreferences);
}

} // namespace kivo
