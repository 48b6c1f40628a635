#include "TestSupport.h"
#include "browser/MyImageBrowserView.h"
#include "browser/MyImageBrowserViewController.h"

#include <QDropEvent>
#include <QItemSelectionModel>
#include <QListView>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

// Drag and drop between image browsers, drops from a file manager, reordering
// and zoom.
class TestImageBrowserDrop : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;

    QStringList photos(const QString &prefix, int count)
    {
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            const QString path = mDir.filePath(QString("%1%2.jpg").arg(prefix).arg(i));
            if (!QFileInfo::exists(path) && !test::writeJpeg(path, 40, 30))
                qFatal("cannot write a photo");
            paths << path;
        }
        return paths;
    }

    static void load(MyImageBrowserViewController &browser, const QStringList &paths, int expected)
    {
        QSignalSpy done(&browser, &MyImageBrowserViewController::loadFinished);
        browser.addImages(paths);
        if (!done.wait(5000) || browser.images().size() != expected)
            qFatal("load failed");
    }

private slots:
    void reorderingKeepsTheRelativeOrder()
    {
        MyImageBrowserViewController browser;
        browser.setAllowsReordering(true);
        const QStringList paths = photos("r", 10);
        load(browser, paths, 10);
        // Rows 2 and 5 dragged inside the grid and dropped before row 8.
        QItemSelectionModel *selection = browser.imageBrowser()->selectionModel();
        for (int row : {2, 5})
            selection->select(browser.model()->index(row), QItemSelectionModel::Select);
        QVERIFY(browser.performDragOperation({paths[2], paths[5]}, 8, browser.imageBrowser()));
        const QStringList after = browser.imagePaths();
        QCOMPARE(after.size(), 10);
        QCOMPARE(after.at(6), paths[2]);
        QCOMPARE(after.at(7), paths[5]);
        QCOMPARE(after.mid(0, 6),
                 (QStringList{paths[0], paths[1], paths[3], paths[4], paths[6], paths[7]}));
        QCOMPARE(after.mid(8), (QStringList{paths[8], paths[9]}));

        // Without reordering a drop inside the grid changes nothing.
        browser.setAllowsReordering(false);
        browser.performDragOperation({paths[0]}, 9, browser.imageBrowser());
        QCOMPARE(browser.imagePaths(), after);
    }

    void dropFromAnotherBrowserMovesThePhotos()
    {
        MyImageBrowserViewController source, destination;
        const QStringList paths = photos("m", 4);
        load(source, paths, 4);
        // The destination already lists one of them, under another letter case.
        QString upper = paths[1];
        upper.replace("m1.jpg", "M1.JPG");
        QVERIFY(test::writeJpeg(upper, 10, 10));
        const QStringList own = photos("d", 2);
        load(destination, {own[0], upper, own[1]}, 3);

        QVERIFY(destination.performDragOperation({paths[0], paths[1], paths[2]}, 1,
                                                 source.imageBrowser()));
        // Two new ones, as one block at the drop position.
        QCOMPARE(destination.imagePaths(),
                 (QStringList{own[0], paths[0], paths[2], upper, own[1]}));
        QCOMPARE(destination.images().at(1).index, 0);
        // The source gives up all three, the duplicate included.
        QCOMPARE(source.imagePaths(), QStringList{paths[3]});
    }

    void dropFromOutsideOnlyAdds()
    {
        MyImageBrowserViewController other, destination;
        const QStringList paths = photos("o", 3);
        load(other, paths, 3);
        QVERIFY(test::writeFile(mDir.filePath("notes.txt"), "text"));
        QVERIFY(destination.performDragOperation(
            {paths[0], mDir.filePath("notes.txt"), mDir.filePath("missing.jpg"), mDir.path()}, 0,
            nullptr));
        QCOMPARE(destination.imagePaths(), QStringList{paths[0]});
        QCOMPARE(other.images().size(), 3);

        destination.setAllowDrop(false);
        QVERIFY(!destination.performDragOperation({paths[1]}, 0, nullptr));
        QCOMPARE(destination.images().size(), 1);
    }

    void fileManagerDropArrivesAsUriList()
    {
        const QStringList paths = {mDir.filePath("Tom & Jerry <1> #2.jpg"), photos("u", 1)[0]};
        QVERIFY(test::writeJpeg(paths[0], 40, 30));
        std::unique_ptr<QMimeData> data(MyImageBrowserView::mimeDataForPaths(paths));
        QVERIFY(data->hasFormat("text/uri-list"));
        QCOMPARE(MyImageBrowserView::pathsFromMimeData(data.get()), paths);

        MyImageBrowserViewController destination;
        destination.resize(400, 300);
        destination.show();
        QVERIFY(QTest::qWaitForWindowExposed(&destination));
        QWidget *viewport = destination.imageBrowser()->viewport();
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction,
                              data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        // A file manager's photo is referred to, never taken away from it.
        QCOMPARE(enter.dropAction(), Qt::LinkAction);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction,
                        data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QCOMPARE(destination.imagePaths(), paths);
    }
};

QTEST_MAIN(TestImageBrowserDrop)
#include "tst_imagebrowserdrop.moc"
