#include "TestSupport.h"

#include "folders/SlideShowFolders.h"
#include "platform/Preferences.h"
#include "station/MyAliasKit.h"
#include "station/PrefKeys.h"

#include <QtTest>

using namespace kivo;

// The local folder tree and the one-time move of the slideshow folder to the
// factory location.
class TestSlideShowFolders : public QObject
{
    Q_OBJECT

    const QString m_source = QDir::homePath() + "/Configured";
    const QString m_factory = QDir::homePath() + "/Factory/SlideShow";
    Preferences &prefs() { return Preferences::standard(); }

    // The configured folder with a photo in a day folder and a note, and the
    // factory folder created empty as start-up does.
    void makeFolders()
    {
        QDir(m_source).removeRecursively();
        QDir(m_factory).removeRecursively();
        QVERIFY(test::writeJpeg(m_source + "/2024-05-06/12345678/a.jpg", 8, 8));
        QVERIFY(test::writeFile(m_source + "/readme.txt", "keep"));
        QVERIFY(QDir().mkpath(m_factory));
        prefs().setValues({{keys::prefSlideShowPath, "~/Configured"},
                           {keys::prefSlideShowPathAliasDataIsValid, false},
                           {keys::prefSlideShowPathAliasData, QByteArray("old-reference")},
                           {keys::prefMoveItemsAterFactoryDefault, true}});
    }

private slots:
    void createsTheLocalTree()
    {
        const QString root = QDir::homePath() + "/KivoSlideShow/LocalSlideShowFolder";
        QCOMPARE(SlideShowFolders::localFolderPaths(),
                 (QStringList{root + "/Current", root + "/Failed", root + "/Processed"}));
        for (int round = 0; round < 2; ++round) // the second time: nothing to do
            QVERIFY(SlideShowFolders::createLocalFolders());
        for (const QString &folder : SlideShowFolders::localFolderPaths())
            QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));
    }

    void movesTheFolderAndRemembersIt()
    {
        makeFolders();
        QVERIFY(SlideShowFolders::moveItemsToDefaultFolder(m_factory));
        QVERIFY(!QFileInfo::exists(m_source));
        QVERIFY(QFileInfo::exists(m_factory + "/2024-05-06/12345678/a.jpg"));
        QVERIFY(QFileInfo::exists(m_factory + "/readme.txt"));
        QCOMPARE(prefs().string(keys::prefSlideShowPath), m_factory);
        QCOMPARE(prefs().boolean(keys::prefSlideShowPathAliasDataIsValid), true);
        QString resolved;
        QVERIFY(MyAliasKit::resolveAliasFromData(prefs().data(keys::prefSlideShowPathAliasData),
                                                 &resolved));
        QCOMPARE(QDir::cleanPath(resolved), m_factory);
    }

    void movesNothing_data()
    {
        test::columns<QString, QString>("factory", "change");
        test::row("same in other case", "~/configured/", "");
        test::row("switched off", "", "off");
        test::row("path unset", "", "unset path");
        // Something already in the factory folder: never overwritten or merged.
        test::row("factory in use", "", "factory in use");
        test::row("no configured folder", "", "no source");
        test::row("factory inside", "~/Configured/Factory", "");
    }

    void movesNothing()
    {
        auto [factory, change] = test::fetch<QString, QString>("factory", "change");
        makeFolders();
        factory = factory.isEmpty() ? m_factory : factory.replace("~", QDir::homePath());
        QVERIFY(QDir().mkpath(factory));
        if (change == "off")
            prefs().setValue(keys::prefMoveItemsAterFactoryDefault, false);
        if (change == "unset path")
            prefs().remove(keys::prefSlideShowPath);
        if (change == "factory in use")
            QVERIFY(test::writeFile(m_factory + "/readme.txt", "factory"));
        if (change == "no source")
            QVERIFY(QDir(m_source).removeRecursively());
        QVERIFY(!SlideShowFolders::moveItemsToDefaultFolder(factory));
        QVERIFY(QFileInfo(factory).isDir());
        QCOMPARE(test::readFile(m_factory + "/readme.txt"),
                 change == "factory in use" ? "factory" : "");
        QCOMPARE(test::readFile(m_source + "/readme.txt"), change == "no source" ? "" : "keep");
        if (change != "unset path")
            QCOMPARE(prefs().string(keys::prefSlideShowPath), "~/Configured");
        QCOMPARE(prefs().boolean(keys::prefSlideShowPathAliasDataIsValid), false);
        QCOMPARE(prefs().data(keys::prefSlideShowPathAliasData), QByteArray("old-reference"));
    }
};

QTEST_GUILESS_MAIN(TestSlideShowFolders)
#include "tst_slideshowfolders.moc"
