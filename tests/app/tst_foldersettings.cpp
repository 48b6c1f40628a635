#include "OutputCapture.h"
#include "TestSupport.h"

#include "app/ChooserCompletion.h"
#include "app/FactoryDefaults.h"
#include "platform/Preferences.h"
#include "station/DisplayParameters.h"
#include "station/FolderValidation.h"
#include "station/MyAliasKit.h"
#include "station/PrefKeys.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

using namespace kivo;

class TestFolderSettings : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<Preferences> m_prefs;
    QString at(const QString &rel) const { return m_root->path() + QLatin1Char('/') + rel; }
    Preferences &prefs() { return *m_prefs; }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        m_prefs = std::make_unique<Preferences>(at("config/Kivo/KivoSlideShow.plist"));
    }
    void cleanup()
    {
        m_prefs.reset();
        m_root.reset();
    }

    void displayKeysFollowTheIndex()
    {
        const DisplayParameterMap fourth = DisplayParameters::setupParametersForIndex(3);
        // The index is taken as a signed 16-bit number.
        QCOMPARE(DisplayParameters::keyForIndex("k", 0x10000), QStringLiteral("k1"));
        QCOMPARE(DisplayParameters::keyForIndex("k", 0xFFFF), QStringLiteral("k0"));

        // Display index 4 reads keys ending in 5, which hold nothing unless stored.
        prefs().registerDefaults({{"prefSlideShowDelay4", 9}});
        const DisplayParameterMap fifth = DisplayParameters::setupParametersForIndex(4);
        QVERIFY(
            !DisplayParameters::value(fifth, keys::sPrefKeyForSlideShowDelay, prefs()).isValid());
        QCOMPARE(DisplayParameters::value(fourth, keys::sPrefKeyForSlideShowDelay, prefs()).toInt(),
                 9);
        QVERIFY(DisplayParameters::setValue(fifth, keys::sPrefKeyForSlideShowDelay, 3, prefs()));
        QCOMPARE(prefs().integer("prefSlideShowDelay5"), 3);
        QVERIFY(!DisplayParameters::setValue(fifth, "sPrefKeyForNothing", 3, prefs()));
    }

    void aliasKitStoresAndResolvesReferences()
    {
        QVERIFY(QDir().mkpath(at("Images")));
        QVERIFY(MyAliasKit::aliasDataForPath(QString()).isEmpty());
        QVERIFY(MyAliasKit::aliasDataForPath(at("missing")).isEmpty());
        MyAliasKit::savePath(at("Images"), "prefRef", prefs());
        QVERIFY(QDir().rename(at("Images"), at("Images2")));
        QString path;
        QByteArray changed;
        QVERIFY(MyAliasKit::resolveAliasFromData(prefs().data("prefRef"), &path, &changed));
        QCOMPARE(path, at("Images2"));
        QVERIFY(!changed.isEmpty());

        OutputCapture log;
        MyAliasKit::savePath(at("missing"), "prefOther", prefs());
        QVERIFY(!MyAliasKit::resolveAliasFromData("not a reference", &path));
        QVERIFY(!prefs().contains("prefOther"));
    }

    void pathThatIsAFileIsRepairedFromTheReference()
    {
        QVERIFY(QDir().mkpath(at("Main")));
        prefs().setValues(
            {{keys::prefSlideShowPath, at("Main")},
             {keys::prefSlideShowPathAliasDataIsValid, false},
             {keys::prefSlideShowPathAliasData, MyAliasKit::aliasDataForPath(at("Main"))}});
        QVERIFY(QDir().rename(at("Main"), at("Moved")));
        QVERIFY(test::writeFile(at("Main"), "a plain file now"));
        QVERIFY(validateFolderPrefWithParam(FolderValidation::mainImagesFolderTriple(), prefs()));
        QCOMPARE(prefs().string(keys::prefSlideShowPath), at("Moved"));
        QCOMPARE(prefs().boolean(keys::prefSlideShowPathAliasDataIsValid), true);
        // The repair is on disk.
        Preferences reread(prefs().filePath());
        QCOMPARE(reread.string(keys::prefSlideShowPath), at("Moved"));
    }

    void unresolvableFolderClearsTheFlag()
    {
        const QVariantMap triple = FolderValidation::slideShowFolderTripleForIndex(1);
        QVERIFY(QDir().mkpath(at("Gone")));
        prefs().setValues(
            {{"prefSlideShowPath2", at("Gone")},
             {"prefSlideShowPathAliasDataIsValid2", true},
             {"prefSlideShowPathAliasData2", MyAliasKit::aliasDataForPath(at("Gone"))}});
        QVERIFY(QDir(at("Gone")).removeRecursively());
        QVERIFY(!validateFolderPrefWithParam(triple, prefs()));
        QCOMPARE(prefs().boolean("prefSlideShowPathAliasDataIsValid2"), false);
        QCOMPARE(prefs().string("prefSlideShowPath2"), at("Gone"));
    }

    void acceptedChoiceIsStored()
    {
        QVERIFY(QDir().mkpath(at("First")));
        QVERIFY(QDir().mkpath(at("Chosen")));
        const QVariantMap params = ChooserCompletion::slideShowFolderChooserParameters();
        ChooserCompletion::openPanelDidEndNew(ChooserCompletion::kAccept,
                                              {at("First"), at("Chosen")}, params, prefs());
        QCOMPARE(prefs().string(keys::prefSlideShowPath), at("Chosen"));
        QCOMPARE(prefs().boolean(keys::prefSlideShowPathAliasDataIsValid), true);
    }

    void otherOutcomesStoreNothing()
    {
        const QVariantMap params = ChooserCompletion::movieChooserParameters();
        QVERIFY(test::writeFile(at("movie.mov"), "m"));
        OutputCapture log;
        ChooserCompletion::openPanelDidEndNew(ChooserCompletion::kCancel, {at("movie.mov")}, params,
                                              prefs());
        ChooserCompletion::openPanelDidEndNew(ChooserCompletion::kAccept, {}, params, prefs());
        ChooserCompletion::openPanelDidEndNew(ChooserCompletion::kAccept, {at("movie.mov")},
                                              QVariant(), prefs());
        ChooserCompletion::openPanelDidEndNew(ChooserCompletion::kAccept, {at("movie.mov")},
                                              QStringLiteral("not a dictionary"), prefs());
        ChooserCompletion::openPanelDidEndNew(-5, {at("movie.mov")}, params, prefs());
        QVERIFY(prefs().userValues().isEmpty());
    }

    void factoryAndForcedValues()
    {
        const QString res = at("res");
        QVERIFY(test::writeFile(res + "/FactoryDefault.plist",
                                serializePropertyList(QVariantMap{{"prefDelay", 5},
                                                                  {"prefName", "factory"},
                                                                  {"prefDoShoutMode", false}})));
        QVERIFY(test::writeFile(
            res + "/ForcedDefaultPrefs.plist",
            serializePropertyList(QVariantMap{{"prefName", "forced"}, {"prefDoShoutMode", true}})));
        prefs().setValues({{"prefName", "user"}, {"prefDelay", 8}, {"prefDoShoutMode", true}});
        FactoryDefaults::setupFactoryDefaults(prefs(), res);
        QCOMPARE(prefs().string("prefName"), QStringLiteral("forced"));
        QCOMPARE(prefs().integer("prefDelay"), 8);
        QCOMPARE(prefs().boolean("prefDoShoutMode"), true);
        // Without the forced file the shout mode is switched off at every start.
        QVERIFY(QFile::remove(res + "/ForcedDefaultPrefs.plist"));
        FactoryDefaults::setupFactoryDefaults(prefs(), res);
        QCOMPARE(prefs().boolean("prefDoShoutMode"), false);
        prefs().remove("prefDelay");
        QCOMPARE(prefs().integer("prefDelay"), 5);
        // Registered values never reach the user's file.
        const QVariantMap onDisk = readPropertyList(prefs().filePath()).toMap();
        QCOMPARE(onDisk, QVariantMap({{"prefName", "forced"}, {"prefDoShoutMode", false}}));
    }

    void missingOrGarbledResourceFiles()
    {
        const QString res = at("res");
        QVERIFY(test::writeFile(res + "/FactoryDefault.plist", "<plist><dict><key>x"));
        QVERIFY(test::writeFile(res + "/ForcedDefaultPrefs.plist", "\x00\x01garbage"));
        prefs().setValue("prefKeep", 1);
        {
            OutputCapture log;
            FactoryDefaults::setupFactoryDefaults(prefs(), res);
        }
        QVERIFY(prefs().registeredDefaults().isEmpty());
        QCOMPARE(prefs().userValues(),
                 QVariantMap({{"prefKeep", qint64(1)}, {"prefDoShoutMode", false}}));
        // The resource files are left as they were.
        QVERIFY(QFileInfo::exists(res + "/ForcedDefaultPrefs.plist"));
    }
};

QTEST_GUILESS_MAIN(TestFolderSettings)
#include "tst_foldersettings.moc"
