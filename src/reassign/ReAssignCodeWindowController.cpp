#include "ReAssignCodeWindowController.h"

#include "PhotoReassignment.h"
#include "ReassignLog.h"
#include "RecordableName.h"
#include "browser/MyImageBrowserViewController.h"
#include "platform/Log.h"
#include "station/Clock.h"
#include "station/DailyFolders.h"
#include "station/NotificationNames.h"
#include "util/Async.h"
#include "util/WorkerPool.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSlider>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <algorithm>

namespace kivo {

const QString ReAssignCodeWindowController::kPromptName =
    QStringLiteral("< PLEASE Select New Party Name/Code >");
const QString ReAssignCodeWindowController::kAssignAlternateTitle = QStringLiteral("continue");

namespace {
const char kAlternateTitle[] = "alternateTitle";
const QString kCode = QStringLiteral("code");
const QString kName = QStringLiteral("name");
} // namespace

ReAssignCodeWindowController::ReAssignCodeWindowController(QWidget *parent)
    : QDialog(parent), m_codePath([](const QString &code) { return formPathForCodeNew(code); })
{
    setWindowTitle(tr("Re-Assign Photos"));
    setAccessibleName(QStringLiteral("Re-Assign Photos"));
    setWindowModality(Qt::WindowModal);
    connectWindow();
}

ReAssignCodeWindowController::~ReAssignCodeWindowController() = default;

ReAssignCodeWindowController *
ReAssignCodeWindowController::openSheet(QWidget *parent, const QVariantMap &setup,
                                        std::function<void(int)> sheetDidEnd)
{
    auto *sheet = new ReAssignCodeWindowController(parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setupWindow(setup);
    connect(sheet, &QDialog::finished, sheet, [done = std::move(sheetDidEnd)](int result) {
        if (done)
            done(result);
    });
    sheet->open();
    return sheet;
}

void ReAssignCodeWindowController::connectWindow()
{
    connect(m_ui.popup, &QComboBox::currentIndexChanged, this,
            &ReAssignCodeWindowController::ibClickedOnPopup);
    for (QSlider *slider : {m_ui.zoom1, m_ui.zoom2})
        connect(slider, &QSlider::valueChanged, this,
                [this, slider] { zoomSliderDidChange(slider); });
    connect(m_ui.revertButton, &QPushButton::clicked, this,
            &ReAssignCodeWindowController::revertAll);
    m_ui.assignButton->setProperty(kAlternateTitle, kAssignAlternateTitle);
    for (QPushButton *button : {m_ui.cancelButton, m_ui.assignButton})
        connect(button, &QPushButton::clicked, this, [this, button] { doEndSheet(button); });
    setCount(m_ui.value1, 0);
    setCount(m_ui.value2, 0);
}

void ReAssignCodeWindowController::setupWindow(const QVariant &setup)
{
    if (setup.typeId() != QMetaType::QVariantMap)
        return;
    const QVariantMap s = setup.toMap();
    m_oldCode = s.value(QStringLiteral("oldcode")).toString();
    m_oldInfo = s.value(QStringLiteral("currentinfo")).toMap();

    QVariantList entries;
    QVariantMap prompt;
    bool hasPrompt = false;
    for (const QVariant &entry : s.value(QStringLiteral("arraycontroller")).toList()) {
        const QVariantMap row = entry.toMap();
        if (!row.contains(kCode) ||
            row.value(kCode).toString().compare(m_oldCode, Qt::CaseInsensitive) != 0) {
            entries << row;
        } else {
            prompt = row;
            hasPrompt = true;
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const QVariant &a, const QVariant &b) {
        return a.toMap().value(kName).toString().compare(b.toMap().value(kName).toString(),
                                                         Qt::CaseSensitive) < 0;
    });
    if (hasPrompt) {
        prompt.insert(kName, kPromptName);
        entries.prepend(prompt);
    }
    m_arrangedEntries = entries;
    m_selectedInfo = entries.isEmpty() ? QVariantMap() : entries.first().toMap();
    m_originalImages = s.value(QStringLiteral("imageslist")).toStringList();
    // The console's folder of the row, whose name may differ in case from its code.
    m_oldFolder = s.value(QStringLiteral("oldfolder")).toString();
    if (m_oldFolder.isEmpty() && !m_oldCode.isEmpty())
        m_oldFolder = m_codePath(m_oldCode);
}

void ReAssignCodeWindowController::fillPopup()
{
    auto *model = static_cast<QStandardItemModel *>(m_ui.popup->model());
    const QSignalBlocker block(m_ui.popup);
    model->clear();
    for (const QVariant &entry : std::as_const(m_arrangedEntries)) {
        const QString code = entry.toMap().value(kCode).toString();
        auto *item = new QStandardItem(code);
        // A row without a code names no folder to move to.
        if (code.isEmpty() || code.compare(m_oldCode, Qt::CaseInsensitive) == 0)
            item->setEnabled(false);
        model->appendRow(item);
    }
    if (model->rowCount() > 0) {
        model->item(0)->setForeground(Qt::red);
        m_ui.popup->setCurrentIndex(0);
    }
}

MyImageBrowserViewController *ReAssignCodeWindowController::makeBrowser(QWidget *holder,
                                                                        const QString &name)
{
    auto *browser = new MyImageBrowserViewController(holder);
    holder->layout()->addWidget(browser);
    browser->setRowsAndColumns(0, 0);
    browser->setAllowsReordering(true);
    browser->setAllowDrop(true);
    browser->setZoomValue(0.5);
    browser->imageBrowser()->setAccessibleName(name);
    return browser;
}

void ReAssignCodeWindowController::awakeFromNib()
{
    if (m_awake)
        return;
    m_awake = true;
    fillPopup();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    m_dragObserver = NotificationCenter::defaultCenter().addObserver(
        notification::concludeDragOperation, this,
        [this](const Notification &n) { handleObjectDraggedNotification(n); });
    m_browser1 = makeBrowser(m_ui.browserViewHolder, QStringLiteral("Photos of the old code"));
    m_browser2 = makeBrowser(m_ui.browserViewHolder2, QStringLiteral("Photos to move"));
    const QList<const QObject *> grids{m_browser1->imageBrowser(), m_browser2->imageBrowser()};
    m_browser1->setDropSources(grids);
    m_browser2->setDropSources(grids);
    m_browser1->addImages(m_originalImages);
    m_ui.assignButton->setEnabled(false);
    if (!m_oldFolder.isEmpty())
        Async::run(
            WorkerPool::shared(), this,
            [folder = m_oldFolder] { return RecordableName::unrecordableIn(folder); },
            [this](const QStringList &names) { showUnrecordable(names); });
}

void ReAssignCodeWindowController::showUnrecordable(const QStringList &names)
{
    if (names.isEmpty())
        return;
    m_ui.notice->setText(tr("These photos of the old code have names that the change record cannot "
                            "carry; they stay where they are until renamed:\n%1")
                             .arg(PhotoReassignment::listing(names)));
    m_ui.notice->setAccessibleDescription(m_ui.notice->text());
    m_ui.notice->show();
}

QString ReAssignCodeWindowController::notice() const
{
    return m_ui.notice->isHidden() ? QString() : m_ui.notice->text();
}

void ReAssignCodeWindowController::showEvent(QShowEvent *event)
{
    awakeFromNib();
    QDialog::showEvent(event);
}

void ReAssignCodeWindowController::ibClickedOnPopup(int index)
{
    if (index >= 0 && index < m_arrangedEntries.size())
        m_selectedInfo = m_arrangedEntries.at(index).toMap();
    enableAssignButton();
}

void ReAssignCodeWindowController::enableAssignButton()
{
    const bool enable = m_ui.popup->currentIndex() >= 1 &&
                        !m_selectedInfo.value(kCode).toString().isEmpty() && m_browser2 &&
                        !m_browser2->images().isEmpty();
    m_ui.assignButton->setEnabled(enable);
}

void ReAssignCodeWindowController::setCount(QLabel *label, qsizetype count)
{
    label->setText(QString::number(count));
    label->setAccessibleDescription(label->text());
}

QString ReAssignCodeWindowController::fValue1() const
{
    return m_ui.value1->text();
}

QString ReAssignCodeWindowController::fValue2() const
{
    return m_ui.value2->text();
}

void ReAssignCodeWindowController::handleObjectDraggedNotification(const Notification &notification)
{
    const QObject *grid =
        notification.userInfo.value(notificationKey::imagebrowser).value<QObject *>();
    if (!grid)
        return;
    if (m_browser1 && grid == m_browser1->imageBrowser())
        setCount(m_ui.value1, m_browser1->images().size());
    else if (m_browser2 && grid == m_browser2->imageBrowser())
        setCount(m_ui.value2, m_browser2->images().size());
    else
        return;
    enableAssignButton();
}

void ReAssignCodeWindowController::zoomSliderDidChange(QSlider *slider)
{
    const int tag = slider ? slider->property(ReAssignCodeWindowLayout::kTag).toInt() : 0;
    MyImageBrowserViewController *browser = tag == 1 ? m_browser1 : tag == 2 ? m_browser2 : nullptr;
    if (browser)
        browser->setZoomValue(slider->value() / 100.0);
}

void ReAssignCodeWindowController::revertAll()
{
    if (!m_browser1 || !m_browser2)
        return;
    QList<MyImageBrowserObject> back;
    for (const MyImageBrowserObject &item : m_browser2->images()) {
        // Each photo goes back once, whatever the left lists already.
        if (!m_browser1->objectExistsAtPath(item.path))
            back << item;
    }
    m_browser1->model()->append(back);
    m_browser2->model()->clear();
    m_browser1->updateDatasource();
    m_browser2->updateDatasource();
}

QStringList ReAssignCodeWindowController::getChangedImageList() const
{
    QStringList paths;
    if (!m_browser2)
        return paths;
    for (const MyImageBrowserObject &item : m_browser2->images()) {
        if (!item.path.isEmpty())
            paths << item.path;
    }
    return paths;
}

int ReAssignCodeWindowController::showAlert(QWidget *parent, const AlertRequest &request)
{
    // On the heap: should its parent go while it is up, the box goes with it.
    const QPointer<QMessageBox> box = new QMessageBox(parent);
    box->setIcon(QMessageBox::Warning);
    box->setText(request.messageText);
    box->setInformativeText(request.informativeText);
    box->setTextFormat(Qt::PlainText); // both texts may carry codes and photo names
    box->setAccessibleName(request.messageText);
    box->setWindowModality(Qt::WindowModal);
    QList<QAbstractButton *> buttons;
    for (const QString &title : request.buttons) {
        QPushButton *button = box->addButton(title, QMessageBox::AcceptRole);
        button->setAccessibleName(title);
        buttons << button;
    }
    if (!buttons.isEmpty())
        box->setDefaultButton(static_cast<QPushButton *>(buttons.first()));
    box->exec();
    if (!box)
        return -1;
    const int pressed = int(buttons.indexOf(box->clickedButton()));
    delete box;
    return pressed;
}

int ReAssignCodeWindowController::alert(const QString &message, const QString &text,
                                        const QStringList &buttons)
{
    const AlertRequest request{message, text, buttons};
    // Assistive technology can press the sheet's own buttons while its alert
    // is up: they wait until it is answered (doEndSheet).
    const QScopedValueRollback<bool> alerting(m_alerting, true);
    return m_alertPresenter ? m_alertPresenter(this, request) : showAlert(this, request);
}

void ReAssignCodeWindowController::doEndSheet(QAbstractButton *button)
{
    if (m_alerting)
        return;
    const QString alternate = button ? button->property(kAlternateTitle).toString() : QString();
    if (alternate.compare(kAssignAlternateTitle, Qt::CaseInsensitive) != 0) {
        done(kStopResponse);
        return;
    }
    const QString newCode = m_selectedInfo.value(kCode).toString();
    if (newCode.isEmpty() || m_oldCode.toUpper() == newCode.toUpper()) {
        alert(QStringLiteral("PLEASE SELECT A NEW Party Room/Code !!"),
              QStringLiteral("You must pick a party room/code that is different from the "
                             "original!"),
              {QStringLiteral("OK")});
        return;
    }
    if (getChangedImageList().isEmpty()) {
        alert(QStringLiteral("NO IMAGES to RE-ASSIGN !!"),
              QStringLiteral("You did not add/move any images to be re-assigned.\nNothing "
                             "has been changed."),
              {QStringLiteral("OK")});
        return;
    }
    const QString text =
        QStringLiteral("Are you sure you want to re-assign photos\n\nFROM\nOld "
                       "Code:\t %1\n\t\t [%2]\nTO\nNew Code: %3\n\t\t [%4]\n\n")
            .arg(m_oldInfo.value(kName).toString(), m_oldInfo.value(kCode).toString(),
                 m_selectedInfo.value(kName).toString(), newCode);
    const int pressed = alert(QStringLiteral("ARE YOU SURE ???"), text,
                              {QStringLiteral("CANCEL"), QStringLiteral("YES - RE-ASSIGN")});
    // When nothing moved the sheet stays open: the operator has been told why.
    if (pressed == 1 && !doMoveImages().isEmpty())
        done(kReassigned);
}

QString ReAssignCodeWindowController::newCodeFolder(const QVariantMap &info) const
{
    // A code names one folder beside the old code's and never leads out of the
    // day: the folder its row was read from, else the code itself.
    const QString code = info.value(kCode).toString();
    if (m_oldFolder.isEmpty() || code.isEmpty() || code.contains(QLatin1Char('/')) ||
        code == QLatin1String(".") || code == QLatin1String(".."))
        return QString();
    const QString day = QFileInfo(m_oldFolder).path();
    const QFileInfo folder(info.value(QStringLiteral("folderPath")).toString());
    if (folder.path() == day && !folder.fileName().startsWith(QLatin1Char('.')))
        return folder.filePath();
    return QDir(day).filePath(code);
}

QStringList ReAssignCodeWindowController::doMoveImages()
{
    const QString newCode = m_selectedInfo.value(kCode).toString();
    if (newCode.isEmpty() || m_oldCode.compare(newCode, Qt::CaseInsensitive) == 0)
        return {};
    const QString newFolder = newCodeFolder(m_selectedInfo);
    if (newFolder.isEmpty()) {
        logLine(lcReassign(),
                QStringLiteral("ReAssignCodeWindowController->doMoveImages... no folder for "
                               "[%1] or [%2]")
                    .arg(m_oldCode, newCode));
        alert(QStringLiteral("NOTHING RE-ASSIGNED !!"),
              QStringLiteral("There is no folder for the code [%1] or [%2].\nNothing has been "
                             "changed.")
                  .arg(m_oldCode, newCode),
              {QStringLiteral("OK")});
        return {};
    }
    const QStringList photos = m_ui.browserViewHolder2 ? getChangedImageList() : m_originalImages;
    if (photos.isEmpty())
        return {};
    const PhotoReassignment::Result result =
        PhotoReassignment::run(m_oldFolder, newFolder, photos, Clock::now());
    m_lastRecordPath = result.recordPath;
    logLine(lcReassign(),
            QStringLiteral("ReAssignCodeWindowController->doMoveImages... moved %1 of %2 photo(s) "
                           "FROM [%3] TO [%4], record [%5]%6")
                .arg(result.moved.size())
                .arg(photos.size())
                .arg(m_oldCode, newCode, result.recordPath,
                     result.failure.isEmpty() ? QString() : QStringLiteral(": ") + result.failure));
    if (!result.headline().isEmpty())
        alert(result.headline(), result.text(), {QStringLiteral("OK")});
    return result.moved;
}

void ReAssignCodeWindowController::reject()
{
    if (m_alerting)
        return;
    done(kStopResponse);
}

} // namespace kivo
