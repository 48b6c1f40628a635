#include "MyImageBrowserView.h"

#include "platform/AlertSound.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace kivo {

MyImageBrowserView::MyImageBrowserView(QWidget *parent) : QListView(parent)
{
    enableDragAndDrop();
}

void MyImageBrowserView::enableDragAndDrop()
{
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
}

QStringList MyImageBrowserView::pathsFromMimeData(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths << url.toLocalFile();
    }
    return paths;
}

QMimeData *MyImageBrowserView::mimeDataForPaths(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}

QList<int> MyImageBrowserView::selectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex &index : selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int MyImageBrowserView::insertionRowAt(const QPoint &pos) const
{
    if (!model())
        return 0;
    const int count = model()->rowCount(rootIndex());
    const QModelIndex at = indexAt(pos);
    if (at.isValid())
        return at.row() + (pos.x() > visualRect(at).center().x() ? 1 : 0);
    // Between or after the cells: before the first cell that follows pos in reading order.
    for (int row = 0; row < count; ++row) {
        const QRect rect = visualRect(model()->index(row, 0, rootIndex()));
        if (rect.top() > pos.y() || (rect.bottom() >= pos.y() && rect.left() > pos.x()))
            return row;
    }
    return count;
}

void MyImageBrowserView::startDrag(Qt::DropActions)
{
    QStringList paths;
    for (int row : selectedRows()) {
        const QString path = model()->index(row, 0, rootIndex()).data(Qt::UserRole).toString();
        if (!path.isEmpty())
            paths << path;
    }
    if (paths.isEmpty())
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(mimeDataForPaths(paths));
    const QModelIndex first = currentIndex().isValid() ? currentIndex() : QModelIndex();
    const QPixmap thumb = first.data(Qt::DecorationRole).value<QPixmap>();
    if (!thumb.isNull())
        drag->setPixmap(thumb.scaled(64, 64, Qt::KeepAspectRatio));
    // Copy only: between browsers the photos are moved by the receiving
    // browser's notification, never by the drag's result, and a file manager
    // offered "move" could take a photo out of the store with no record.
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

bool MyImageBrowserView::acceptDrag(QDropEvent *event)
{
    const bool allowed =
        (!m_allowDrop || m_allowDrop(event->source())) && event->mimeData()->hasUrls();
    if (!allowed) {
        event->ignore();
        return false;
    }
    // A drop never takes a file from its sender: the station's own drags offer
    // copying only, and from outside the photos are only referred to.
    const bool ours = qobject_cast<MyImageBrowserView *>(event->source()) != nullptr;
    const bool link = !ours && (event->possibleActions() & Qt::LinkAction);
    event->setDropAction(link ? Qt::LinkAction : Qt::CopyAction);
    event->accept();
    return true;
}

void MyImageBrowserView::dragEnterEvent(QDragEnterEvent *event)
{
    acceptDrag(event);
}

void MyImageBrowserView::dragMoveEvent(QDragMoveEvent *event)
{
    acceptDrag(event);
}

void MyImageBrowserView::dropEvent(QDropEvent *event)
{
    if (!acceptDrag(event))
        return;
    const QStringList paths = pathsFromMimeData(event->mimeData());
    const int row = insertionRowAt(event->position().toPoint());
    emit dropRequested(paths, row, event->source());
}

void MyImageBrowserView::keyPressEvent(QKeyEvent *event)
{
    // Keypad arrows and deleting items are refused with the alert sound;
    // other keys go to the grid.
    const int key = event->key();
    const bool keypadArrow =
        (event->modifiers() & Qt::KeypadModifier) &&
        (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down);
    if (keypadArrow || key == Qt::Key_Delete || key == Qt::Key_Backspace) {
        AlertSound::play();
        return;
    }
    QListView::keyPressEvent(event);
}

} // namespace kivo
