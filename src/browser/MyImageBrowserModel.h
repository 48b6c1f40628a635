#pragma once

#include "MyImageBrowserObject.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QPixmap>
#include <QSet>
#include <QSize>

namespace kivo {

// The items of an image browser. Thumbnails are decoded off the main thread
// (on the application's pool) at the thumbnail size, with the camera's
// orientation applied, when a cell first asks for one; until then the cell
// shows its title over a transparent stand-in of the thumbnail size.
class MyImageBrowserModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit MyImageBrowserModel(QObject *parent = nullptr);

    const QList<MyImageBrowserObject> &images() const { return m_images; }
    void setThumbnailSize(QSize size);

    void clear();
    void append(const QList<MyImageBrowserObject> &items);
    void insert(int position, const QList<MyImageBrowserObject> &items);
    // Takes the items at the given rows and puts them back, in their old
    // relative order, before destination (counted before the move).
    void moveRows(const QList<int> &rows, int destination);
    // Removes the items at the given rows.
    void removeRowsAt(const QList<int> &rows);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void requestThumbnail(const QString &path) const;
    void thumbnailLoaded(const QString &path, QSize size, const QImage &image);

    QList<MyImageBrowserObject> m_images;
    QSize m_thumbnailSize{160, 120};
    mutable QPixmap m_placeholder;
    mutable QHash<QString, QPixmap> m_thumbnails;
    mutable QSet<QString> m_requested;
};

} // namespace kivo
