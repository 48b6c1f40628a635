#include "TestSupport.h"
#include "browser/MyImageBrowserViewController.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"

#include <QApplication>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

class TestImageBrowser : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;

    static QStringList names(const MyImageBrowserViewController &browser)
    {
        QStringList list;
        for (const MyImageBrowserObject &item : browser.images())
            list << item.imageTitle();
        return list;
    }

private slots:
    void loadsImagesOnceAndSkipsTheRest()
    {
        const QString folder = m_tmp.filePath(QStringLiteral("load"));
        QVERIFY(test::writeJpeg(folder + "/a.jpg", 40, 30));
        QVERIFY(test::writeJpeg(folder + "/A.JPG", 40, 30));
        QVERIFY(test::writeJpeg(folder + "/b.jpeg", 40, 30));
        QVERIFY(test::writeFile(folder + "/notes.txt", "text"));
        QVERIFY(test::writeFile(folder + "/1234.xml", "<data/>"));
        QVERIFY(QDir(folder).mkpath("thumbs"));

        MyImageBrowserViewController browser;
        QSignalSpy finished(&browser, &MyImageBrowserViewController::loadFinished);
        Preferences::standard().setValue(keys::prefCurrentPathForIKImageView, "x");
        browser.addImages(
            {folder, folder + "/b.jpeg", folder + "/missing.jpg", folder + "/thumbs"});
        QCOMPARE(Preferences::standard().string(keys::prefCurrentPathForIKImageView),
                 QStringLiteral("< No Photo Selected >"));
        QVERIFY(finished.wait(5000));
        QCOMPARE(browser.images().size(), 2); // a.jpg or A.JPG, and b.jpeg
        QVERIFY(browser.objectExistsAtPath(folder + "/A.jpg"));
        QCOMPARE(browser.images().at(0).index, qint64(1));
        QCOMPARE(browser.images().at(1).index, qint64(2));
    }

    void newLoadStopsTheRunningOne()
    {
        const QString big = m_tmp.filePath(QStringLiteral("big"));
        QStringList many;
        for (int i = 0; i < 400; ++i) {
            const QString path = big + QStringLiteral("/%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
            QVERIFY(test::writeFile(path, "x"));
            many << path;
        }
        const QString small = m_tmp.filePath(QStringLiteral("small"));
        QVERIFY(test::writeJpeg(small + "/only.jpg", 20, 20));

        MyImageBrowserViewController browser;
        QSignalSpy finished(&browser, &MyImageBrowserViewController::loadFinished);
        browser.addImages(many);
        QVERIFY(browser.isLoading());
        browser.addImages({small});
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(names(browser), QStringList{"only"});
        QTest::qWait(50);
        QCOMPARE(names(browser), QStringList{"only"});
    }

    void thumbnailsAndSelectionPreferences()
    {
        const QString folder = m_tmp.filePath(QStringLiteral("thumbs"));
        QVERIFY(test::writeJpeg(folder + "/wide.jpg", 400, 200));
        MyImageBrowserViewController browser;
        browser.resize(600, 200);
        browser.setRowsAndColumns(1, 3);
        QSignalSpy finished(&browser, &MyImageBrowserViewController::loadFinished);
        browser.addImages({folder});
        QVERIFY(finished.wait(5000));
        const QModelIndex first = browser.model()->index(0);
        const auto decoration = [&] {
            return browser.model()->data(first, Qt::DecorationRole).value<QPixmap>();
        };
        // Until its thumbnail arrives an item shows a transparent stand-in of the
        // icon size, so the grid lays it out at full size from the start.
        const QSize icon = browser.imageBrowser()->iconSize();
        QCOMPARE(decoration().size(), icon);
        browser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&browser));
        QVERIFY(browser.imageBrowser()->visualRect(first).height() >= icon.height());
        QTRY_VERIFY(decoration().size() != icon);
        const QPixmap thumb = decoration();
        QVERIFY(thumb.width() <= browser.imageBrowser()->iconSize().width());
        QVERIFY(thumb.width() > thumb.height());

        browser.imageBrowser()->selectionModel()->select(first, QItemSelectionModel::Select);
        QCOMPARE(Preferences::standard().string(keys::prefCurrentPathForIKImageView),
                 QStringLiteral("wide.jpg"));
        QCOMPARE(Preferences::standard().string(keys::prefCurrentFullPathForIKImageView),
                 folder + "/wide.jpg");
        browser.setAllowItemSelection(false);
        QCOMPARE(browser.imageBrowser()->selectionMode(), QAbstractItemView::NoSelection);
    }
};

QTEST_MAIN(TestImageBrowser)
#include "tst_imagebrowser.moc"
