#include "ReAssignCodeWindowController.h"

#include "ChangeRecord.h"
#include "ReassignLog.h"
#include "ReassignmentMover.h"
#include "browser/MyImageBrowserViewController.h"
#include "platform/Log.h"
#include "station/Clock.h"
#include "station/DailyFolders.h"
#include "station/NotificationNames.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
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
const char kTag[] = "tag";
const QString kCode = QStringLiteral("code");
const QString kName = QStringLiteral("name");
} // namespace

ReAssignCodeWindowController::ReAssignCodeWindowController(QWidget *parent)
    : QDialog(parent), mCodePath([](const QString &code) { return formPathForCodeNew(code); })
{
    setWindowTitle(tr("Re-Assign Photos"));
    setAccessibleName(QStringLiteral("Re-Assign Photos"));
    setWindowModality(Qt::WindowModal);
    buildWindow();
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

void ReAssignCodeWindowController::buildWindow()
{
    mPopup = new QComboBox(this);
    mPopup->setAccessibleName(QStringLiteral("New Code"));
    mPopup->setAccessibleDescription(QStringLiteral("New Code"));
    mPopup->setModel(new QStandardItemModel(mPopup));
    connect(mPopup, &QComboBox::currentIndexChanged, this,
            &ReAssignCodeWindowController::ibClickedOnPopup);

    mBrowserViewHolder = new QWidget(this);
    mBrowserViewHolder2 = new QWidget(this);
    mValue1 = new QLabel(this);
    mValue2 = new QLabel(this);
    mValue1->setAccessibleName(QStringLiteral("Photos of the old code count"));
    mValue2->setAccessibleName(QStringLiteral("Photos to move count"));
    setCount(mValue1, 0);
    setCount(mValue2, 0);
    mZoom1 = new QSlider(Qt::Horizontal, this);
    mZoom2 = new QSlider(Qt::Horizontal, this);
    int tag = 1;
    for (QSlider *slider : {mZoom1, mZoom2}) {
        slider->setRange(0, 100);
        slider->setValue(50);
        slider->setProperty(kTag, tag);
        slider->setAccessibleName(tag == 1 ? QStringLiteral("Zoom old code photos")
                                           : QStringLiteral("Zoom photos to move"));
        connect(slider, &QSlider::valueChanged, this,
                [this, slider] { zoomSliderDidChange(slider); });
        ++tag;
    }

    buildButtons();

    auto *browsers = new QHBoxLayout;
    browsers->addWidget(
        buildBrowserColumn(tr("Photos of the old code"), mBrowserViewHolder, mValue1, mZoom1), 1);
    browsers->addWidget(buildBrowserColumn(tr("Photos to move to the new code"),
                                           mBrowserViewHolder2, mValue2, mZoom2),
                        1);
    auto *codeRow = new QHBoxLayout;
    auto *codeLabel = new QLabel(tr("New code:"), this);
    codeLabel->setBuddy(mPopup);
    codeRow->addWidget(codeLabel);
    codeRow->addWidget(mPopup, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(mRevertButton);
    buttons->addStretch(1);
    buttons->addWidget(mCancelButton);
    buttons->addWidget(mAssignButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(browsers, 1);
    layout->addLayout(codeRow);
    layout->addLayout(buttons);
}

void ReAssignCodeWindowController::buildButtons()
{
    mRevertButton = new QPushButton(tr("Revert All"), this);
    mRevertButton->setAccessibleName(QStringLiteral("Revert All"));
    connect(mRevertButton, &QPushButton::clicked, this, &ReAssignCodeWindowController::revertAll);
    mCancelButton = new QPushButton(tr("Cancel"), this);
    mCancelButton->setAccessibleName(QStringLiteral("Cancel"));
    mCancelButton->setAutoDefault(false);
    mAssignButton = new QPushButton(tr("Re-Assign"), this);
    mAssignButton->setAccessibleName(QStringLiteral("Re-Assign"));
    mAssignButton->setProperty(kAlternateTitle, kAssignAlternateTitle);
    mAssignButton->setAutoDefault(false);
    mAssignButton->setEnabled(false);
    for (QPushButton *button : {mCancelButton, mAssignButton})
        connect(button, &QPushButton::clicked, this, [this, button] { doEndSheet(button); });
}

QWidget *ReAssignCodeWindowController::buildBrowserColumn(const QString &title, QWidget *holder,
                                                          QLabel *count, QSlider *zoom)
{
    auto *column = new QWidget(this);
    auto *heading = new QHBoxLayout;
    heading->addWidget(new QLabel(title, column));
    heading->addStretch(1);
    heading->addWidget(count);
    auto *holderLayout = new QVBoxLayout(holder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    holder->setMinimumSize(320, 240);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(heading);
    layout->addWidget(holder, 1);
    layout->addWidget(zoom);
    return column;
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
}

void ReAssignCodeWindowController::fillPopup()
{
    auto *model = static_cast<QStandardItemModel *>(mPopup->model());
    const QSignalBlocker block(mPopup);
    model->clear();
    for (const QVariant &entry : std::as_const(mArrangedEntries)) {
        const QString code = entry.toMap().value(kCode).toString();
        auto *item = new QStandardItem(code);
        if (code.compare(mOldCode, Qt::CaseInsensitive) == 0)
            item->setEnabled(false);
        model->appendRow(item);
    }
    if (model->rowCount() > 0) {
        model->item(0)->setForeground(Qt::red);
        mPopup->setCurrentIndex(0);
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
        notification::concludeDragOperation,
        [this](const Notification &n) { handleObjectDraggedNotification(n); });
    mBrowser1 = makeBrowser(mBrowserViewHolder, QStringLiteral("Photos of the old code"));
    mBrowser2 = makeBrowser(mBrowserViewHolder2, QStringLiteral("Photos to move"));
    mBrowser1->addImages(mOriginalImages);
    mAssignButton->setEnabled(false);
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
    const bool enable = mPopup->currentIndex() >= 1 && mBrowser2 && !mBrowser2->images().isEmpty();
    mAssignButton->setEnabled(enable);
}

void ReAssignCodeWindowController::setCount(QLabel *label, qsizetype count)
{
    label->setText(QString::number(count));
    label->setAccessibleDescription(label->text());
}

QString ReAssignCodeWindowController::fValue1() const
{
    return mValue1->text();
}

QString ReAssignCodeWindowController::fValue2() const
{
    return mValue2->text();
}

void ReAssignCodeWindowController::handleObjectDraggedNotification(const Notification &notification)
{
    const QObject *grid =
        notification.userInfo.value(notificationKey::imagebrowser).value<QObject *>();
    if (!grid)
        return;
    if (mBrowser1 && grid == mBrowser1->imageBrowser())
        setCount(mValue1, mBrowser1->images().size());
    else if (mBrowser2 && grid == mBrowser2->imageBrowser())
        setCount(mValue2, mBrowser2->images().size());
    else
        return;
    enableAssignButton();
}

void ReAssignCodeWindowController::zoomSliderDidChange(QSlider *slider)
{
    const int tag = slider ? slider->property(kTag).toInt() : 0;
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
        // A photo dropped from the file manager may be listed on the left already.
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
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setText(request.messageText);
    box.setInformativeText(request.informativeText);
    box.setAccessibleName(request.messageText);
    box.setWindowModality(Qt::WindowModal);
    QList<QAbstractButton *> buttons;
    for (const QString &title : request.buttons) {
        QPushButton *button = box.addButton(title, QMessageBox::AcceptRole);
        button->setAccessibleName(title);
        buttons << button;
    }
    if (!buttons.isEmpty())
        box.setDefaultButton(static_cast<QPushButton *>(buttons.first()));
    box.exec();
    return int(buttons.indexOf(box.clickedButton()));
}

int ReAssignCodeWindowController::alert(const QString &message, const QString &text,
                                        const QStringList &buttons)
{
    const AlertRequest request{message, text, buttons};
    return mAlertPresenter ? mAlertPresenter(this, request) : showAlert(this, request);
}

void ReAssignCodeWindowController::doEndSheet(QAbstractButton *button)
{
    const QString alternate = button ? button->property(kAlternateTitle).toString() : QString();
    if (alternate.compare(kAssignAlternateTitle, Qt::CaseInsensitive) != 0) {
        done(kStopResponse);
        return;
    }
    const QString newCode = mSelectedInfo.value(kCode).toString();
    if (!mOldCode.isEmpty() && !newCode.isEmpty()) {
        if (mOldCode.toUpper() == newCode.toUpper()) {
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
    }
    const QString text =
        QStringLiteral("Are you sure you want to re-assign photos\n\nFROM\nOld "
                       "Code:\t %1\n\t\t [%2]\nTO\nNew Code: %3\n\t\t [%4]\n\n")
            .arg(mOldInfo.value(kName).toString(), mOldInfo.value(kCode).toString(),
                 mSelectedInfo.value(kName).toString(), newCode);
    const int pressed = alert(QStringLiteral("ARE YOU SURE ???"), text,
                              {QStringLiteral("CANCEL"), QStringLiteral("YES - RE-ASSIGN")});
    if (pressed != 1)
        return;
    doMoveImages();
    done(kReassigned);
}

QStringList ReAssignCodeWindowController::doMoveImages()
{
    const QString newCode = mSelectedInfo.value(kCode).toString();
    if (mOldCode.isEmpty() || newCode.isEmpty() ||
        mOldCode.compare(newCode, Qt::CaseInsensitive) == 0)
        return {};
    const QString oldFolder = mCodePath(mOldCode);
    const QString newFolder = mCodePath(newCode);
    if (oldFolder.isEmpty() || newFolder.isEmpty()) {
        logLine(lcReassign(),
                QStringLiteral("ReAssignCodeWindowController->doMoveImages... no folder for "
                               "[%1] or [%2]")
                    .arg(mOldCode, newCode));
        return {};
    }
    const QStringList photos = mBrowserViewHolder2 ? getChangedImageList() : mOriginalImages;
    if (photos.isEmpty())
        return {};
    const QStringList moved = ReassignmentMover::moveImages(photos, newFolder);
    if (moved.isEmpty())
        return moved;
    mLastRecordPath = ChangeRecord::write(oldFolder, newFolder, moved, Clock::now());
    return moved;
}

void ReAssignCodeWindowController::reject()
{
    done(kStopResponse);
}

} // namespace kivo
