#pragma once

#include "MyImageBrowserModel.h"
#include "platform/NotificationCenter.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>

class QListView;

namespace kivo {

// A thumbnail grid of photos: loads a list of paths (files or folders) in the
// background and shows the accepted photos. A load looks at its paths a few
// at a time on a worker (the application's pool), appending what each batch
// accepts before the next batch starts. A new load while one runs asks the
// running one to stop and waits for its batch in hand (without blocking any
// thread) before the list is emptied and loaded again; emptying the list
// stops the running load for good.
class MyImageBrowserViewController : public QWidget
{
    Q_OBJECT
public:
    // Longest wait for a running load to stop, in milliseconds.
    static constexpr int kStopWaitMs = 30000;
    // Paths looked at by one batch of a load.
    static constexpr int kPathsPerBatch = 10;

    explicit MyImageBrowserViewController(QWidget *parent = nullptr);

    // Replaces the items by the photos found at paths.
    void addImages(const QStringList &paths);
    // Empties the list; a running load stops and adds nothing more.
    void removeImages();
    // A button's action by its alternate title: "button2" and "button3"
    // (letter case ignored) empty the list; any other does nothing.
    void doButton2(const QString &alternateTitle);
    void updateDatasource();
    // Inserts the accepted paths as one block at position; returns how many.
    int insertImagesWithPaths(const QStringList &paths, int position);
    bool moveItemsAtIndexes(const QList<int> &indexes, int destination);
    // A drop of paths before position, dragged from source (nullptr from outside
    // the station), refused unless acceptsDropFrom(source): reorders when
    // source is this grid, else inserts the accepted photos, refreshes and
    // posts "objectdragged". True when the list is not empty afterwards.
    bool performDragOperation(const QStringList &paths, int position, QObject *source);
    // On "objectdragged" from a drop whose source is this grid: removes every
    // item also listed in the destination (letter case ignored) and refreshes.
    void handleObjectDraggedNotification(const Notification &notification);
    // Removes the items whose path equals one of paths, letter case ignored.
    int removeImagesWithPaths(const QStringList &paths);
    // Thumbnail size from 0 (smallest) to 1 (largest); ignored while the cells
    // are sized by rows and columns.
    void setZoomValue(double zoom);

    // Whether the platform's image decoder reads the file's type.
    static bool isImageFile(const QString &path);
    // An existing regular file (or package) that is an image.
    static bool isAcceptablePath(const QString &path);
    bool objectExistsAtPath(const QString &path) const;

    const QList<MyImageBrowserObject> &images() const { return m_model->images(); }
    QStringList imagePaths() const;

    // Cell sizing: rows and columns that the cells fill; 0 means no sizing.
    void setRowsAndColumns(int row, int col);
    void adjustCellSize();

    void setAllowDrop(bool allow) { m_allowDrop = allow; }
    bool allowDrop() const { return m_allowDrop; }
    // Only drops dragged from one of these grids are accepted; with none
    // named, drops from anywhere (a file manager too).
    void setDropSources(const QList<const QObject *> &sources) { m_dropSources = sources; }
    bool acceptsDropFrom(const QObject *source) const;
    void setAllowsReordering(bool allow);
    void setAllowItemSelection(bool allow);

    QListView *imageBrowser() const { return m_view; }
    MyImageBrowserModel *model() const { return m_model; }

signals:
    // The load started by addImages ended (normally or stopped).
    void loadFinished();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // The accepted photos among paths, a folder standing for its files.
    static QStringList acceptablePhotos(const QStringList &paths);
    void startRun(const QStringList &paths);
    void loadNextBatch();
    void batchLoaded(const QStringList &photos);
    void runEnded();
    void stopWaitTimedOut();
    void storeSelection();
    QList<MyImageBrowserObject> acceptNew(const QStringList &paths, qint64 startIndex) const;

    MyImageBrowserModel *m_model;
    QListView *m_view;
    QStringList m_runPaths;  // the running load's paths
    qsizetype m_runNext = 0; // the first of them not looked at yet
    bool m_loading = false;
    bool m_stopRequested = false;
    bool m_hasPending = false;
    QStringList m_pendingPaths;
    QTimer m_stopWait;
    int m_row = 0;
    int m_col = 0;
    QSize m_cellSize;
    bool m_allowDrop = true;
    QList<const QObject *> m_dropSources;
    bool m_allowsReordering = false;
    bool m_allowItemSelection = true;
    double m_zoom = 0.5;
    ObserverToken m_draggedObserver;
};

} // namespace kivo
