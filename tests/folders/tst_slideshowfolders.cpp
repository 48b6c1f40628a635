#include "TestSupport.h"

#include "folders/SlideShowFolders.h"
#include "platform/Preferences.h"
#include "station/MyAliasKit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

using namespace kivo;

// The local folder tree and the one-time move of the slideshow folder to the
// factory location.
class TestSlideShowFolders : public QObject
{
    Q_OBJECT

    const QString kPath = QStringLiteral("prefSlideShowPath");
    const QString kAlias = QStringLiteral("prefSlideShowPathAliasData");
    const QString kValid = QStringLiteral("prefSlideShowPathAliasDataIsValid");
    const QString kMove = QStringLiteral("prefMoveItemsAterFactoryDefault");

    QString m_source;
    QString m_factory;

    Preferences &prefs() { return Preferences::standard(); }

    // The configured folder with two photos and a day folder, and the factory
    // folder created empty as start-up does.
    void makeFolders()
    {
        QDir(m_source).removeRecursively();
        QDir(m_factory).removeRecursively();
        QVERIFY(test::writeJpeg(m_source + "/2024-05-06/12345678/a.jpg", 8, 8));
        QVERIFY(test::writeFile(m_source + "/readme.txt", "keep"));
        QVERIFY(QDir().mkpath(m_factory));
        prefs().setValues({{kPath, QStringLiteral("~/Configured")},
                           {kValid, false},
                           {kAlias, QByteArray("old-reference")},
                           {kMove, true}});
    }

    void verifyPrefsUntouched()
    {
        QCOMPARE(prefs().string(kPath), QStringLiteral("~/Configured"));
        QCOMPARE(prefs().boolean(kValid), false);
        QCOMPARE(prefs().data(kAlias), QByteArray("old-reference"));
    }

private slots:
    void initTestCase()
    {
        m_source = QDir::homePath() + QStringLiteral("/Configured");
        m_factory = QDir::homePath() + QStringLiteral("/Factory/SlideShow");
    }

    void createsTheLocalTree()
    {
        QVERIFY(SlideShowFolders::createLocalFolders());
        const QString root =
            QDir::homePath() + QStringLiteral("/KivoSlideShow/LocalSlideShowFolder");
        QCOMPARE(SlideShowFolders::localFolderPaths(),
                 (QStringList{root + "/Current", root + "/Failed", root + "/Processed"}));
        for (const QString &folder : SlideShowFolders::localFolderPaths())
            QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));
        QVERIFY(SlideShowFolders::createLocalFolders()); // again: nothing to do
    }

    void movesTheFolderAndRemembersIt()
    {
        makeFolders();
        QVERIFY(SlideShowFolders::moveItemsToDefaultFolder(m_factory));
        QVERIFY(!QFileInfo::exists(m_source));
        QVERIFY(QFileInfo::exists(m_factory + "/2024-05-06/12345678/a.jpg"));
        QVERIFY(QFileInfo::exists(m_factory + "/readme.txt"));
        QCOMPARE(prefs().string(kPath), m_factory);
        QCOMPARE(prefs().boolean(kValid), true);
        QString resolved;
        QVERIFY(MyAliasKit::resolveAliasFromData(prefs().data(kAlias), &resolved));
        QCOMPARE(QDir::cleanPath(resolved), m_factory);
    }

    void letterCaseEqualPathsMoveNothing()
    {
        makeFolders();
        QVERIFY(!SlideShowFolders::moveItemsToDefaultFolder(QDir::homePath() + "/CONFIGURED"));
        QVERIFY(!SlideShowFolders::moveItemsToDefaultFolder(QDir::homePath() + "/configured/"));
        QVERIFY(QFileInfo::exists(m_source + "/readme.txt"));
        verifyPrefsUntouched();
    }

    void switchedOffMovesNothing()
    {
        makeFolders();
        prefs().setValue(kMove, false);
        QVERIFY(!SlideShowFolders::moveItemsToDefaultFolder(m_factory));
        QVERIFY(QFileInfo::exists(m_source + "/readme.txt"));
        QVERIFY(QFileInfo(m_factory).isDir());
        verifyPrefsUntouched();
        prefs().remove(kMove);
        QVERIFY(!SlideShowFolders::moveItemsToDefaultFolder(m_factory));
        verifyPrefsUntouched();
    }

    void failedMoveLeavesPreferencesAlone()
    {
        // Something already in the factory folder: never overwritten or merged.
        makeFolders();
        QVERIFY(test::writeFile(m_factory + "/readme.txt", "factory"));
        QVERIFY(!SlideShowFolders::moveItemsToDefaultFolder(m_factory));
        verifyPrefsUntouched();
        QFile kept(m_factory + "/readme.txt");
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("factory"));
        QVERIFY(QFileInfo::exists(m_source + "/2024-05-06/12345678/a.jpg"));

        // A configured folder that does not exist: the factory folder stays.
        makeFolders();
        QDir(m_source).removeRecursively();
        QVERIFY(!SlideShowFolders::moveItemsToDefaultFolder(m_factory));
        verifyPrefsUntouched();
        QVERIFY(QFileInfo(m_factory).isDir());

        // The factory folder inside the configured one.
        makeFolders();
        const QString inside = m_source + "/Factory";
        QVERIFY(QDir().mkpath(inside));
        QVERIFY(!SlideShowFolders::moveItemsToDefaultFolder(inside));
        verifyPrefsUntouched();
        QVERIFY(QFileInfo::exists(m_source + "/readme.txt"));
    }

    void unsetPathMovesNothing()
    {
        makeFolders();
        prefs().remove(kPath);
        QVERIFY(!SlideShowFolders::moveItemsToDefaultFolder(m_factory));
        QVERIFY(QFileInfo::exists(m_source + "/readme.txt"));
    }
};

QTEST_GUILESS_MAIN(TestSlideShowFolders)
#include "tst_slideshowfolders.moc"
