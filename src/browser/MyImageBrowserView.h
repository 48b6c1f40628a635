#pragma once

#include <QListView>
#include <QStringList>

#include <functional>

class QMimeData;

namespace kivo {

// The grid of an image browser. Drags carry the selected photos as
// text/uri-list, so they can be dropped on another browser or on a file
// manager, and drops from a file manager are accepted too. A drag out offers
// copying only: no other program can take a photo out of its folder. The grid
// only reports a drop (dropRequested); what happens to the items is the
// controller's business.
class MyImageBrowserView : public QListView
{
    Q_OBJECT
public:
    explicit MyImageBrowserView(QWidget *parent = nullptr);

    // Asked on every drag over the grid with the drag's source (nullptr from
    // outside the station); the drop is refused while it says no.
    void setDropPolicy(std::function<bool(QObject *source)> allowDrop)
    {
        m_allowDrop = std::move(allowDrop);
    }

    // Turns dragging and dropping on again: QListView::setMovement() switches
    // both off for static grids, but photos are dragged in and out of any grid.
    void enableDragAndDrop();

    // The local file paths carried by a drag, in their order.
    static QStringList pathsFromMimeData(const QMimeData *data);
    // A drag of the given photo paths (text/uri-list).
    static QMimeData *mimeDataForPaths(const QStringList &paths);
    // The position in the list before which a drop at pos inserts.
    int insertionRowAt(const QPoint &pos) const;
    // The selected rows in ascending order.
    QList<int> selectedRows() const;

signals:
    // Photos dropped before row; source is the grid they were dragged from
    // (nullptr for a drag from outside the station).
    void dropRequested(const QStringList &paths, int row, QObject *source);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool acceptDrag(QDropEvent *event);

    std::function<bool(QObject *source)> m_allowDrop;
};

} // namespace kivo
