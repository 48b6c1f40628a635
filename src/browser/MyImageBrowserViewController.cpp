#include "MyImageBrowserViewController.h"

#include "MyImageBrowserView.h"
#include "station/NotificationNames.h"

#include "BrowserLog.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"
#include "util/Async.h"
#include "util/WorkerPool.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QListView>
#include <QMimeDatabase>
#include <QSet>
#include <QVBoxLayout>

namespace kivo {

namespace {
constexpr char kNoPhotoSelected[] = "< No Photo Selected >";
// Space under a thumbnail for its title and subtitle.
constexpr int kTitleHeight = 36;

const QSet<QString> &readableMimeTypes()
{
    static const QSet<QString> types = [] {
        QSet<QString> set;
        for (const QByteArray &type : QImageReader::supportedMimeTypes())
            set.insert(QString::fromLatin1(type));
        return set;
    }();
    return types;
}
} // namespace

MyImageBrowserViewController::MyImageBrowserViewController(QWidget *parent)
    : QWidget(parent), m_model(new MyImageBrowserModel(this)), m_view(new MyImageBrowserView(this))
{
    m_view->setAccessibleName(QStringLiteral("Photos"));
    m_view->setViewMode(QListView::IconMode);
    m_view->setResizeMode(QListView::Adjust);
    m_view->setMovement(QListView::Static);
    m_view->setUniformItemSizes(true);
    m_view->setSpacing(0);
    m_view->setStyleSheet(QStringLiteral("QListView { background: #404040; color: white; }"));
    m_view->setModel(m_model);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MyImageBrowserViewController::storeSelection);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    m_stopWait.setSingleShot(true);
    m_stopWait.setInterval(kStopWaitMs);
    connect(&m_stopWait, &QTimer::timeout, this, &MyImageBrowserViewController::stopWaitTimedOut);

    auto *grid = static_cast<MyImageBrowserView *>(m_view);
    grid->enableDragAndDrop();
    grid->setDropPolicy([this](QObject *source) { return acceptsDropFrom(source); });
    connect(grid, &MyImageBrowserView::dropRequested, this,
            [this](const QStringList &paths, int row, QObject *source) {
                performDragOperation(paths, row, source);
            });
    m_draggedObserver = NotificationCenter::defaultCenter().addObserver(
        notification::objectdragged, this,
        [this](const Notification &n) { handleObjectDraggedNotification(n); });
}

bool MyImageBrowserViewController::isImageFile(const QString &path)
{
    static QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (readableMimeTypes().contains(type.name()))
        return true;
    for (const QString &parent : type.allAncestors()) {
        if (readableMimeTypes().contains(parent))
            return true;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        const QMimeType byContent = database.mimeTypeForFile(path, QMimeDatabase::MatchContent);
        return readableMimeTypes().contains(byContent.name());
    }
    return false;
}

bool MyImageBrowserViewController::isAcceptablePath(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return false;
    return isImageFile(path);
}

bool MyImageBrowserViewController::objectExistsAtPath(const QString &path) const
{
    for (const MyImageBrowserObject &item : m_model->images()) {
        if (item.path.compare(path, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QStringList MyImageBrowserViewController::imagePaths() const
{
    QStringList paths;
    for (const MyImageBrowserObject &item : m_model->images())
        paths << item.path;
    return paths;
}

void MyImageBrowserViewController::addImages(const QStringList &paths)
{
    Preferences::standard().setValue(QLatin1String(keys::prefCurrentPathForIKImageView),
                                     QLatin1String(kNoPhotoSelected));
    if (!m_loading) {
        m_model->clear();
        startRun(paths);
        return;
    }
    // Ask the running load to stop; the new one starts when it has ended.
    m_stopRequested = true;
    m_pendingPaths = paths;
    m_hasPending = true;
    if (!m_stopWait.isActive())
        m_stopWait.start();
}

QStringList MyImageBrowserViewController::acceptablePhotos(const QStringList &paths)
{
    QStringList photos;
    for (const QString &path : paths) {
        if (!QFileInfo(path).isDir()) {
            if (isAcceptablePath(path))
                photos << path;
            continue;
        }
        const QFileInfoList entries =
            QDir(path).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
        for (const QFileInfo &entry : entries) {
            if (isAcceptablePath(entry.absoluteFilePath()))
                photos << entry.absoluteFilePath();
        }
    }
    return photos;
}

void MyImageBrowserViewController::startRun(const QStringList &paths)
{
    m_runPaths = paths;
    m_runNext = 0;
    m_loading = true;
    m_stopRequested = false;
    updateDatasource();
    loadNextBatch();
}

void MyImageBrowserViewController::loadNextBatch()
{
    const QStringList batch = m_runPaths.mid(m_runNext, kPathsPerBatch);
    m_runNext += batch.size();
    Async::run(
        WorkerPool::shared(), this, [batch] { return acceptablePhotos(batch); },
        [this](const QStringList &photos) { batchLoaded(photos); });
}

void MyImageBrowserViewController::batchLoaded(const QStringList &photos)
{
    if (m_stopRequested) {
        runEnded();
        return;
    }
    m_model->append(acceptNew(photos, m_model->images().size() + 1));
    if (m_runNext < m_runPaths.size())
        loadNextBatch();
    else
        runEnded();
}

QList<MyImageBrowserObject> MyImageBrowserViewController::acceptNew(const QStringList &paths,
                                                                    qint64 startIndex) const
{
    QList<MyImageBrowserObject> items;
    QSet<QString> added;
    for (const QString &path : paths) {
        const QString key = path.toCaseFolded();
        if (added.contains(key) || objectExistsAtPath(path))
            continue;
        added.insert(key);
        items.append(MyImageBrowserObject(path, startIndex ? startIndex + items.size() : 0,
                                          m_allowItemSelection));
    }
    return items;
}

void MyImageBrowserViewController::runEnded()
{
    const bool stopped = std::exchange(m_stopRequested, false);
    m_loading = false;
    m_runPaths.clear();
    updateDatasource();
    if (!stopped && m_model->images().isEmpty())
        logLine(
            lcBrowser(),
            QStringLiteral("MyImageBrowserViewController->addImagesWithPaths... nothing added"));
    if (m_hasPending) {
        m_stopWait.stop();
        m_hasPending = false;
        m_model->clear();
        startRun(std::exchange(m_pendingPaths, {}));
        return;
    }
    emit loadFinished();
}

void MyImageBrowserViewController::stopWaitTimedOut()
{
    logLine(lcBrowser(), QStringLiteral("timed Out??????"));
    m_hasPending = false;
    m_pendingPaths.clear();
}

void MyImageBrowserViewController::doButton2(const QString &alternateTitle)
{
    for (const char *title : {"button2", "button3"}) {
        if (alternateTitle.compare(QLatin1String(title), Qt::CaseInsensitive) == 0) {
            removeImages();
            return;
        }
    }
}

void MyImageBrowserViewController::removeImages()
{
    // The batch in hand is dropped when it arrives; nothing is loaded after it.
    m_stopRequested = m_loading;
    m_hasPending = false;
    m_pendingPaths.clear();
    m_stopWait.stop();
    m_model->clear();
    updateDatasource();
}

void MyImageBrowserViewController::updateDatasource()
{
    m_view->viewport()->update();
    NotificationCenter::defaultCenter().post(
        notification::concludeDragOperation, QVariant::fromValue<QObject *>(this),
        {{notificationKey::imagebrowser, QVariant::fromValue<QObject *>(m_view)}});
}

int MyImageBrowserViewController::insertImagesWithPaths(const QStringList &paths, int position)
{
    QStringList accepted;
    for (const QString &path : paths) {
        if (isAcceptablePath(path))
            accepted << path;
    }
    const QList<MyImageBrowserObject> items = acceptNew(accepted, 0);
    m_model->insert(position, items);
    updateDatasource();
    return int(items.size());
}

bool MyImageBrowserViewController::moveItemsAtIndexes(const QList<int> &indexes, int destination)
{
    m_model->moveRows(indexes, destination);
    updateDatasource();
    return true;
}

bool MyImageBrowserViewController::acceptsDropFrom(const QObject *source) const
{
    return m_allowDrop && (m_dropSources.isEmpty() || m_dropSources.contains(source));
}

bool MyImageBrowserViewController::performDragOperation(const QStringList &paths, int position,
                                                        QObject *source)
{
    if (!acceptsDropFrom(source))
        return false;
    if (source == m_view) {
        if (m_allowsReordering)
            moveItemsAtIndexes(static_cast<MyImageBrowserView *>(m_view)->selectedRows(), position);
        return !m_model->images().isEmpty();
    }
    insertImagesWithPaths(paths, position);
    QVariantMap info{{notificationKey::imagebrowser, QVariant::fromValue<QObject *>(m_view)},
                     {notificationKey::images, imagePaths()}};
    if (source)
        info.insert(notificationKey::dragsource, QVariant::fromValue(source));
    NotificationCenter::defaultCenter().post(notification::objectdragged,
                                             QVariant::fromValue<QObject *>(this), info);
    return !m_model->images().isEmpty();
}

void MyImageBrowserViewController::handleObjectDraggedNotification(const Notification &notification)
{
    const QVariant source = notification.userInfo.value(notificationKey::dragsource);
    if (!source.isValid() || source.value<QObject *>() != m_view)
        return;
    removeImagesWithPaths(notification.userInfo.value(notificationKey::images).toStringList());
    updateDatasource();
}

int MyImageBrowserViewController::removeImagesWithPaths(const QStringList &paths)
{
    QSet<QString> gone;
    for (const QString &path : paths)
        gone.insert(path.toCaseFolded());
    QList<int> rows;
    const QList<MyImageBrowserObject> &items = m_model->images();
    for (int row = 0; row < items.size(); ++row) {
        if (gone.contains(items.at(row).path.toCaseFolded()))
            rows << row;
    }
    m_model->removeRowsAt(rows);
    return int(rows.size());
}

void MyImageBrowserViewController::setZoomValue(double zoom)
{
    m_zoom = std::clamp(zoom, 0.0, 1.0);
    if (m_row > 0 && m_col > 0)
        return;
    // From 64 to 320 pixels a side.
    const int side = 64 + int(m_zoom * 256);
    const QSize icon(side, side);
    m_view->setIconSize(icon);
    m_view->setGridSize(QSize(side + 16, side + kTitleHeight + 8));
    m_model->setThumbnailSize(icon);
}

void MyImageBrowserViewController::setRowsAndColumns(int row, int col)
{
    m_row = row;
    m_col = col;
    adjustCellSize();
}

void MyImageBrowserViewController::adjustCellSize()
{
    if (m_row <= 0 || m_col <= 0)
        return;
    const int w = width();
    const int h = height();
    if (m_row == 1) {
        m_view->setFlow(QListView::LeftToRight);
        m_view->setWrapping(false);
        m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_cellSize = QSize(w / m_col, h);
    } else {
        m_view->setFlow(QListView::LeftToRight);
        m_view->setWrapping(true);
        m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_cellSize = QSize((w - 20 * m_col) / m_col, (h - 28 * m_row) / m_row);
    }
    if (m_cellSize.width() <= 0 || m_cellSize.height() <= 0)
        return;
    m_view->setGridSize(m_cellSize);
    const QSize icon(std::max(1, m_cellSize.width() - 8),
                     std::max(1, m_cellSize.height() - kTitleHeight - 8));
    m_view->setIconSize(icon);
    m_model->setThumbnailSize(icon);
}

void MyImageBrowserViewController::setAllowsReordering(bool allow)
{
    m_allowsReordering = allow;
    m_view->setMovement(allow ? QListView::Snap : QListView::Static);
    static_cast<MyImageBrowserView *>(m_view)->enableDragAndDrop();
}

void MyImageBrowserViewController::setAllowItemSelection(bool allow)
{
    m_allowItemSelection = allow;
    m_view->setSelectionMode(allow ? QAbstractItemView::ExtendedSelection
                                   : QAbstractItemView::NoSelection);
}

void MyImageBrowserViewController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    adjustCellSize();
}

void MyImageBrowserViewController::storeSelection()
{
    const QModelIndexList selected = m_view->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const int last = selected.last().row();
    if (last < 0 || last >= m_model->images().size())
        return;
    const QString path = m_model->images().at(last).path;
    if (path.isEmpty())
        return;
    Preferences &prefs = Preferences::standard();
    prefs.setValue(QLatin1String(keys::prefCurrentPathForIKImageView), QFileInfo(path).fileName());
    prefs.setValue(QLatin1String(keys::prefCurrentFullPathForIKImageView), path);
}

} // namespace kivo
