#include "TestSupport.h"
#include "browser/MyImageBrowserView.h"
#include "browser/MyImageBrowserViewController.h"
#include "platform/AlertSound.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

// Loading, thumbnails, selection, reordering, and drops from another browser
// or from a file manager.
class TestImageBrowser : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;

    // count photos named prefix0.jpg, prefix1.jpg, ...
    QStringList photos(const QString &prefix, int count)
    {
        QStringList paths;
        for (int i = 0; i < count; ++i)
            test::writeFile(paths.emplaceBack(m_tmp.filePath(prefix + QString::number(i) + ".jpg")),
                            "x");
        return paths;
    }
    static void load(MyImageBrowserViewController &browser, const QStringList &paths, int expected)
    {
        QSignalSpy done(&browser, &MyImageBrowserViewController::loadFinished);
        browser.addImages(paths);
        QVERIFY(done.wait(5000));
        QCOMPARE(browser.images().size(), expected);
    }
    static QString pref(const char *key) { return Preferences::standard().string(key); }

private slots:
    // A folder's photos once each (letter case ignored), no other files, with
    // their positions as subtitles; deleting is refused with the alert sound;
    // a new load while one runs stops it before the list is emptied and
    // loaded again; emptying the list stops a running load for good.
    void loadsPhotosOnce()
    {
        const QString folder = m_tmp.filePath(QStringLiteral("load"));
        for (const char *name : {"/a.jpg", "/A.JPG", "/b.jpeg", "/notes.txt", "/1234.xml"})
            QVERIFY(test::writeFile(folder + name, "x"));
        MyImageBrowserViewController browser;
        load(browser, {folder, folder + "/b.jpeg", folder + "/none.jpg"}, 2);
        QCOMPARE(pref(keys::prefCurrentPathForIKImageView),
                 QStringLiteral("< No Photo Selected >"));
        QCOMPARE(browser.images().at(1).index, qint64(2));
        QVERIFY(browser.model()->index(1).data().toString().endsWith("\n2"));
        int alerts = 0;
        AlertSound::setPlayer([&] { ++alerts; });
        QTest::keyClick(browser.imageBrowser(), Qt::Key_Delete);
        QTRY_COMPARE(alerts, 1);
        AlertSound::setPlayer({});

        QSignalSpy finished(&browser, &MyImageBrowserViewController::loadFinished);
        browser.addImages(photos("many", 400));
        browser.addImages(photos("only", 1));
        QSignalSpy inserted(browser.model(), &QAbstractItemModel::rowsInserted);
        QVERIFY(finished.wait(5000));
        QTest::qWait(50);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(browser.imagePaths(), photos("only", 1));

        browser.addImages(photos("many", 400));
        browser.removeImages();
        QVERIFY(finished.wait(5000));
        QTest::qWait(50);
        QVERIFY(browser.images().isEmpty());
    }

    // An item is laid out at full size before its thumbnail arrives.
    void thumbnailsAndSelection()
    {
        const QString wide = m_tmp.filePath(QStringLiteral("wide.jpg"));
        QVERIFY(test::writeJpeg(wide, 400, 200));
        MyImageBrowserViewController browser;
        browser.resize(600, 200);
        browser.setRowsAndColumns(1, 3);
        load(browser, {wide}, 1);
        const QModelIndex first = browser.model()->index(0);
        const auto thumb = [&] { return first.data(Qt::DecorationRole).value<QPixmap>(); };
        const QSize icon = browser.imageBrowser()->iconSize();
        QCOMPARE(thumb().size(), icon);
        browser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&browser));
        QVERIFY(browser.imageBrowser()->visualRect(first).height() >= icon.height());
        QTRY_VERIFY(thumb().size() != icon);

        browser.imageBrowser()->selectionModel()->select(first, QItemSelectionModel::Select);
        QCOMPARE(pref(keys::prefCurrentPathForIKImageView), QStringLiteral("wide.jpg"));
        QCOMPARE(pref(keys::prefCurrentFullPathForIKImageView), wide);
        browser.setAllowItemSelection(false);
        QCOMPARE(browser.imageBrowser()->selectionMode(), QAbstractItemView::NoSelection);
    }

    // Rows 2 and 5 of ten dropped before row 8 land at 6 and 7, in order.
    void reorderingKeepsTheRelativeOrder()
    {
        MyImageBrowserViewController browser;
        browser.setAllowsReordering(true);
        const QStringList p = photos("r", 10);
        load(browser, p, 10);
        for (int row : {2, 5})
            browser.imageBrowser()->selectionModel()->select(browser.model()->index(row),
                                                             QItemSelectionModel::Select);
        QVERIFY(browser.performDragOperation({p[2], p[5]}, 8, browser.imageBrowser()));
        QCOMPARE(browser.imagePaths(),
                 (QStringList{p[0], p[1], p[3], p[4], p[6], p[7], p[2], p[5], p[8], p[9]}));
    }

    // A drop from another browser moves the photos there, new ones as one
    // block at the drop position; a drop from outside any browser only adds;
    // nothing lands while drops are not allowed.
    void dropsMoveBetweenBrowsers()
    {
        MyImageBrowserViewController source, destination;
        const QStringList p = photos("m", 4), own = photos("d", 2);
        load(source, p, 4);
        const QString upper = QString(p[1]).replace("m1.jpg", "M1.JPG");
        QVERIFY(test::writeFile(upper, "x"));
        load(destination, {own[0], upper, own[1]}, 3);
        QVERIFY(destination.performDragOperation({p[0], p[1], p[2]}, 1, source.imageBrowser()));
        QCOMPARE(destination.imagePaths(), (QStringList{own[0], p[0], p[2], upper, own[1]}));
        QCOMPARE(destination.images().at(1).index, 0);
        QCOMPARE(source.imagePaths(), QStringList{p[3]});

        QVERIFY(test::writeFile(m_tmp.filePath("notes.txt"), "text"));
        QVERIFY(source.performDragOperation({own[0], m_tmp.filePath("notes.txt"), m_tmp.path()}, 0,
                                            nullptr));
        QCOMPARE(source.imagePaths(), (QStringList{own[0], p[3]}));
        QCOMPARE(destination.images().size(), 5);
        source.setAllowDrop(false);
        QVERIFY(!source.performDragOperation({p[1]}, 0, nullptr));
        QCOMPARE(source.images().size(), 2);
    }

    // A file manager's photos arrive as text/uri-list and are referred to,
    // never taken away from it; a drag out offers it copying only.
    void fileManagerDropArrivesAsUriList()
    {
        const QStringList paths = {m_tmp.filePath("Tom & Jerry <1> #2.jpg"), photos("u", 1)[0]};
        QVERIFY(test::writeFile(paths[0], "x"));
        std::unique_ptr<QMimeData> data(MyImageBrowserView::mimeDataForPaths(paths));
        MyImageBrowserViewController destination;
        QWidget *viewport = destination.imageBrowser()->viewport();
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(QPoint(10, 10), offered, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::LinkAction);
        QDropEvent drop(QPointF(10, 10), offered, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        QCOMPARE(destination.imagePaths(), paths);

        struct Grid : MyImageBrowserView
        {
            using MyImageBrowserView::startDrag;
        } grid;
        grid.setModel(destination.model());
        grid.selectionModel()->select(grid.model()->index(0, 0), QItemSelectionModel::Select);
        grid.startDrag(Qt::MoveAction | Qt::CopyAction);
        QVERIFY(grid.findChild<QDrag *>());
        QCOMPARE(grid.findChild<QDrag *>()->supportedActions(), Qt::CopyAction);
    }
};

QTEST_MAIN(TestImageBrowser)
#include "tst_imagebrowser.moc"
