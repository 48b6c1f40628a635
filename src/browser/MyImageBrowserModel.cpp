#include "MyImageBrowserModel.h"

#include "util/Async.h"
#include "util/SlideImageLoader.h"
#include "util/WorkerPool.h"

#include <algorithm>

namespace kivo {

MyImageBrowserModel::MyImageBrowserModel(QObject *parent) : QAbstractListModel(parent) {}

void MyImageBrowserModel::setThumbnailSize(QSize size)
{
    if (size == m_thumbnailSize || size.isEmpty())
        return;
    m_thumbnailSize = size;
    m_thumbnails.clear();
    m_requested.clear();
    if (!m_images.isEmpty())
        emit dataChanged(index(0), index(int(m_images.size()) - 1), {Qt::DecorationRole});
}

void MyImageBrowserModel::clear()
{
    beginResetModel();
    m_images.clear();
    m_thumbnails.clear();
    m_requested.clear();
    endResetModel();
}

void MyImageBrowserModel::append(const QList<MyImageBrowserObject> &items)
{
    insert(int(m_images.size()), items);
}

void MyImageBrowserModel::insert(int position, const QList<MyImageBrowserObject> &items)
{
    if (items.isEmpty())
        return;
    position = std::clamp(position, 0, int(m_images.size()));
    beginInsertRows({}, position, position + int(items.size()) - 1);
    for (int i = 0; i < items.size(); ++i)
        m_images.insert(position + i, items.at(i));
    endInsertRows();
}

void MyImageBrowserModel::moveRows(const QList<int> &rows, int destination)
{
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    beginResetModel();
    QList<MyImageBrowserObject> taken;
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
        if (*it < 0 || *it >= m_images.size())
            continue;
        taken.prepend(m_images.takeAt(*it));
        if (*it < destination)
            --destination;
    }
    destination = std::clamp(destination, 0, int(m_images.size()));
    for (int i = 0; i < taken.size(); ++i)
        m_images.insert(destination + i, taken.at(i));
    endResetModel();
}

void MyImageBrowserModel::removeRowsAt(const QList<int> &rows)
{
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
        if (*it < 0 || *it >= m_images.size())
            continue;
        beginRemoveRows({}, *it, *it);
        m_images.removeAt(*it);
        endRemoveRows();
    }
}

int MyImageBrowserModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_images.size());
}

QVariant MyImageBrowserModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_images.size())
        return {};
    const MyImageBrowserObject &item = m_images.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return item.imageTitle() + QLatin1Char('\n') + item.imageSubtitle();
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        return item.path;
    case Qt::UserRole:
        return item.path;
    case Qt::DecorationRole: {
        const auto it = m_thumbnails.constFind(item.path);
        if (it != m_thumbnails.constEnd())
            return *it;
        requestThumbnail(item.path);
        // A transparent stand-in of the thumbnail size, so the item is laid out
        // at its full size before its thumbnail arrives.
        if (m_placeholder.size() != m_thumbnailSize) {
            m_placeholder = QPixmap(m_thumbnailSize);
            m_placeholder.fill(Qt::transparent);
        }
        return m_placeholder;
    }
    default:
        return {};
    }
}

Qt::ItemFlags MyImageBrowserModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= m_images.size())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled;
    if (m_images.at(index.row()).canBeSelected)
        flags |= Qt::ItemIsSelectable;
    return flags;
}

void MyImageBrowserModel::requestThumbnail(const QString &path) const
{
    if (m_requested.contains(path))
        return;
    m_requested.insert(path);
    auto *self = const_cast<MyImageBrowserModel *>(this);
    const QSize size = m_thumbnailSize;
    Async::run(
        WorkerPool::shared(), self,
        [path, size] { return SlideImageLoader::loadScaledToFit(path, size); },
        [self, path, size](const QImage &image) { self->thumbnailLoaded(path, size, image); });
}

void MyImageBrowserModel::thumbnailLoaded(const QString &path, QSize size, const QImage &image)
{
    if (image.isNull() || size != m_thumbnailSize)
        return;
    m_thumbnails.insert(path, QPixmap::fromImage(image));
    for (int i = 0; i < m_images.size(); ++i) {
        if (m_images.at(i).path == path) {
            const QModelIndex at = index(i);
            emit dataChanged(at, at, {Qt::DecorationRole});
        }
    }
}

} // namespace kivo
