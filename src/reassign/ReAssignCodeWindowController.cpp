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
    : QDialog(parent), mCodePath([](const QString &code) { return formPathForCodeNew(code); })
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
    connect(mUi.popup, &QComboBox::currentIndexChanged, this,
            &ReAssignCodeWindowController::ibClickedOnPopup);
    for (QSlider *slider : {mUi.zoom1, mUi.zoom2})
        connect(slider, &QSlider::valueChanged, this,
                [this, slider] { zoomSliderDidChange(slider); });
    connect(mUi.revertButton, &QPushButton::clicked, this,
            &ReAssignCodeWindowController::revertAll);
    mUi.assignButton->setProperty(kAlternateTitle, kAssignAlternateTitle);
    for (QPushButton *button : {mUi.cancelButton, mUi.assignButton})
        connect(button, &QPushButton::clicked, this, [this, button] { doEndSheet(button); });
    setCount(mUi.value1, 0);
    setCount(mUi.value2, 0);
}

void ReAssignCodeWindowController::setupWindow(const QVariant &setup)
{
    if (setup.typeId() != QMetaType::QVariantMap)
        return;
    const QVariantMap s = setup.toMap();
    mOldCode = s.value(QStringLiteral("oldcode")).toString();
    mOldInfo = s.value(QStringLiteral("currentinfo")).toMap();

    QVariantList entries;
    QVariantMap prompt;
    bool hasPrompt = false;
    for (const QVariant &entry : s.value(QStringLiteral("arraycontroller")).toList()) {
        const QVariantMap row = entry.toMap();
        if (!row.contains(kCode) ||
            row.value(kCode).toString().compare(mOldCode, Qt::CaseInsensitive) != 0) {
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
    mArrangedEntries = entries;
    mSelectedInfo = entries.isEmpty() ? QVariantMap() : entries.first().toMap();
    mOriginalImages = s.value(QStringLiteral("imageslist")).toStringList();
    mOldFolder = mOldCode.isEmpty() ? QString() : mCodePath(mOldCode);
}

void ReAssignCodeWindowController::fillPopup()
{
    auto *model = static_cast<QStandardItemModel *>(mUi.popup->model());
    const QSignalBlocker block(mUi.popup);
    model->clear();
    for (const QVariant &entry : std::as_const(mArrangedEntries)) {
        const QString code = entry.toMap().value(kCode).toString();
        auto *item = new QStandardItem(code);
        // A row without a code names no folder to move to.
        if (code.isEmpty() || code.compare(mOldCode, Qt::CaseInsensitive) == 0)
            item->setEnabled(false);
        model->appendRow(item);
    }
    if (model->rowCount() > 0) {
        model->item(0)->setForeground(Qt::red);
        mUi.popup->setCurrentIndex(0);
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
    if (mAwake)
        return;
    mAwake = true;
    fillPopup();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    mDragObserver = NotificationCenter::defaultCenter().addObserver(
        notification::concludeDragOperation, this,
        [this](const Notification &n) { handleObjectDraggedNotification(n); });
    mBrowser1 = makeBrowser(mUi.browserViewHolder, QStringLiteral("Photos of the old code"));
    mBrowser2 = makeBrowser(mUi.browserViewHolder2, QStringLiteral("Photos to move"));
    const QList<const QObject *> grids{mBrowser1->imageBrowser(), mBrowser2->imageBrowser()};
    mBrowser1->setDropSources(grids);
    mBrowser2->setDropSources(grids);
    mBrowser1->addImages(mOriginalImages);
    mUi.assignButton->setEnabled(false);
    if (!mOldFolder.isEmpty())
        Async::run(
            WorkerPool::shared(), this,
            [folder = mOldFolder] { return RecordableName::unrecordableIn(folder); },
            [this](const QStringList &names) { showUnrecordable(names); });
}

void ReAssignCodeWindowController::showUnrecordable(const QStringList &names)
{
    if (names.isEmpty())
        return;
    mUi.notice->setText(tr("These photos of the old code have names that the change record cannot "
                           "carry; they stay where they are until renamed:\n%1")
                            .arg(PhotoReassignment::listing(names)));
    mUi.notice->setAccessibleDescription(mUi.notice->text());
    mUi.notice->show();
}

QString ReAssignCodeWindowController::notice() const
{
    return mUi.notice->isHidden() ? QString() : mUi.notice->text();
}

void ReAssignCodeWindowController::showEvent(QShowEvent *event)
{
    awakeFromNib();
    QDialog::showEvent(event);
}

void ReAssignCodeWindowController::ibClickedOnPopup(int index)
{
    if (index >= 0 && index < mArrangedEntries.size())
        mSelectedInfo = mArrangedEntries.at(index).toMap();
    enableAssignButton();
}

void ReAssignCodeWindowController::enableAssignButton()
{
    const bool enable = mUi.popup->currentIndex() >= 1 &&
                        !mSelectedInfo.value(kCode).toString().isEmpty() && mBrowser2 &&
                        !mBrowser2->images().isEmpty();
    mUi.assignButton->setEnabled(enable);
}

void ReAssignCodeWindowController::setCount(QLabel *label, qsizetype count)
{
    label->setText(QString::number(count));
    label->setAccessibleDescription(label->text());
}

QString ReAssignCodeWindowController::fValue1() const
{
    return mUi.value1->text();
}

QString ReAssignCodeWindowController::fValue2() const
{
    return mUi.value2->text();
}

void ReAssignCodeWindowController::handleObjectDraggedNotification(const Notification &notification)
{
    const QObject *grid =
        notification.userInfo.value(notificationKey::imagebrowser).value<QObject *>();
    if (!grid)
        return;
    if (mBrowser1 && grid == mBrowser1->imageBrowser())
        setCount(mUi.value1, mBrowser1->images().size());
    else if (mBrowser2 && grid == mBrowser2->imageBrowser())
        setCount(mUi.value2, mBrowser2->images().size());
    else
        return;
    enableAssignButton();
}

void ReAssignCodeWindowController::zoomSliderDidChange(QSlider *slider)
{
    const int tag = slider ? slider->property(ReAssignCodeWindowLayout::kTag).toInt() : 0;
    MyImageBrowserViewController *browser = tag == 1 ? mBrowser1 : tag == 2 ? mBrowser2 : nullptr;
    if (browser)
        browser->setZoomValue(slider->value() / 100.0);
}

void ReAssignCodeWindowController::revertAll()
{
    if (!mBrowser1 || !mBrowser2)
        return;
    QList<MyImageBrowserObject> back;
    for (const MyImageBrowserObject &item : mBrowser2->images()) {
        // Each photo goes back once, whatever the left lists already.
        if (!mBrowser1->objectExistsAtPath(item.path))
            back << item;
    }
    mBrowser1->model()->append(back);
    mBrowser2->model()->clear();
    mBrowser1->updateDatasource();
    mBrowser2->updateDatasource();
}

QStringList ReAssignCodeWindowController::getChangedImageList() const
{
    QStringList paths;
    if (!mBrowser2)
        return paths;
    for (const MyImageBrowserObject &item : mBrowser2->images()) {
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
    const QScopedValueRollback<bool> alerting(mAlerting, true);
    return mAlertPresenter ? mAlertPresenter(this, request) : showAlert(this, request);
}

void ReAssignCodeWindowController::doEndSheet(QAbstractButton *button)
{
    if (mAlerting)
        return;
    const QString alternate = button ? button->property(kAlternateTitle).toString() : QString();
    if (alternate.compare(kAssignAlternateTitle, Qt::CaseInsensitive) != 0) {
        done(kStopResponse);
        return;
    }
    const QString newCode = mSelectedInfo.value(kCode).toString();
    if (newCode.isEmpty() || mOldCode.toUpper() == newCode.toUpper()) {
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
            .arg(mOldInfo.value(kName).toString(), mOldInfo.value(kCode).toString(),
                 mSelectedInfo.value(kName).toString(), newCode);
    const int pressed = alert(QStringLiteral("ARE YOU SURE ???"), text,
                              {QStringLiteral("CANCEL"), QStringLiteral("YES - RE-ASSIGN")});
    // When nothing moved the sheet stays open: the operator has been told why.
    if (pressed == 1 && !doMoveImages().isEmpty())
        done(kReassigned);
}

QString ReAssignCodeWindowController::newCodeFolder(const QString &code) const
{
    // A code names one folder beside the old code's and never leads out of the day.
    if (mOldFolder.isEmpty() || code.isEmpty() || code.contains(QLatin1Char('/')) ||
        code == QLatin1String(".") || code == QLatin1String(".."))
        return QString();
    return QDir(QFileInfo(mOldFolder).path()).filePath(code);
}

QStringList ReAssignCodeWindowController::doMoveImages()
{
    const QString newCode = mSelectedInfo.value(kCode).toString();
    if (newCode.isEmpty() || mOldCode.compare(newCode, Qt::CaseInsensitive) == 0)
        return {};
    const QString newFolder = newCodeFolder(newCode);
    if (newFolder.isEmpty()) {
        logLine(lcReassign(),
                QStringLiteral("ReAssignCodeWindowController->doMoveImages... no folder for "
                               "[%1] or [%2]")
                    .arg(mOldCode, newCode));
        alert(QStringLiteral("NOTHING RE-ASSIGNED !!"),
              QStringLiteral("There is no folder for the code [%1] or [%2].\nNothing has been "
                             "changed.")
                  .arg(mOldCode, newCode),
              {QStringLiteral("OK")});
        return {};
    }
    const QStringList photos = mUi.browserViewHolder2 ? getChangedImageList() : mOriginalImages;
    if (photos.isEmpty())
        return {};
    const PhotoReassignment::Result result =
        PhotoReassignment::run(mOldFolder, newFolder, photos, Clock::now());
    mLastRecordPath = result.recordPath;
    logLine(lcReassign(),
            QStringLiteral("ReAssignCodeWindowController->doMoveImages... moved %1 of %2 photo(s) "
                           "FROM [%3] TO [%4], record [%5]%6")
                .arg(result.moved.size())
                .arg(photos.size())
                .arg(mOldCode, newCode, result.recordPath,
                     result.failure.isEmpty() ? QString() : QStringLiteral(": ") + result.failure));
    if (!result.headline().isEmpty())
        alert(result.headline(), result.text(), {QStringLiteral("OK")});
    return result.moved;
}

void ReAssignCodeWindowController::reject()
{
    if (mAlerting)
        return;
    done(kStopResponse);
}

} // namespace kivo
