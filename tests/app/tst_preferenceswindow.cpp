#include "OutputCapture.h"
#include "TestSupport.h"

#include "app/ChooserCompletion.h"
#include "app/FactoryDefaults.h"
#include "app/PasswordSheet.h"
#include "app/PreferencesWindow.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "station/DisplayParameters.h"
#include "station/FolderValidation.h"
#include "station/MyAliasKit.h"
#include "station/PrefKeys.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

using namespace kivo;

// The preferences window, the password in front of the main images folder,
// what a choice stores, the repair of folder preferences, and the factory and
// forced defaults. Runs in a zone far from UTC, so local and UTC days differ.
class TestPreferencesWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    Preferences &prefs() { return Preferences::standard(); }
    QString at(const QString &rel) const { return m_root.filePath(rel); }
    static PasswordGate gateAt(const QDateTime &now)
    {
        return PasswordGate([now] { return now; });
    }

private slots:
    void init() { test::resetPreferences(); }

    void passwordChangesAtLocalMidnight()
    {
        const QDate ninth(2025, 3, 9);
        QCOMPARE(gateAt(QDateTime(ninth, QTime(23, 59, 59))).currentPassword(), "739409");
        QCOMPARE(gateAt(QDateTime(ninth.addDays(1), QTime(0, 0))).currentPassword(), "739410");
        QCOMPARE(gateAt(QDateTime(ninth, QTime(11, 30), QTimeZone::utc())).currentPassword(),
                 "739410");
        QCOMPARE(PasswordGate().currentPassword(),
                 "7394" + QDateTime::currentDateTime().toString("dd"));
    }

    // Random keeps the style.
    void transitionPopupSetsModeAndStyle()
    {
        int told = 0;
        ObserverToken token = NotificationCenter::defaultCenter().addObserver(
            "SlideShowChangeTransitionStyle", this, [&](const Notification &) { ++told; });
        prefs().setValue(keys::prefTransitionStyle, QStringLiteral("push"));
        PreferencesWindow window;
        for (const QStringList &c :
             {QStringList{"Random", "transitionModeRandom", "push"},
              {"moveIn", "transitionModeFixed", "moveIn"},
              {"No Transition Effect", "transitionModeNone", "No Transition Effect"}}) {
            emit window.transitionPopup()->activated(window.transitionPopup()->findText(c[0]));
            QCOMPARE(prefs().string(keys::prefUseTransitionMode), c[1]);
            QCOMPARE(prefs().string(keys::prefTransitionStyle), c[2]);
        }
        QCOMPARE(told, 3);
    }

    // Only the exact password opens the folder chooser (a wrong one empties
    // the field); cancelling the chooser stores nothing, accepting stores the
    // path, its validity and its reference.
    void mainFolderBehindThePassword()
    {
        prefs().setValue(keys::prefSlideShowPath, QStringLiteral("/old"));
        PreferencesWindow window(nullptr, gateAt(QDateTime(QDate(2025, 6, 7), QTime(10, 0))));
        QSignalSpy wrong(window.passwordSheet(), &PasswordSheet::wrongPassword);
        window.show();
        for (const char *password : {"", " 739407", "7394071", "739407", "739407"}) {
            window.selectFolder();
            window.passwordSheet()->passwordField()->setText(QLatin1String(password));
            window.passwordSheet()->continuePasswordWindow();
            QCOMPARE(window.passwordSheet()->passwordField()->text().isEmpty(),
                     strcmp(password, "739407") != 0);
            window.passwordSheet()->cancelPasswordWindow();
        }
        QCOMPARE(wrong.size(), 3);
        const QList<QFileDialog *> choosers = window.findChildren<QFileDialog *>();
        QCOMPARE(choosers.size(), 2);
        QCOMPARE(choosers.at(0)->fileMode(), QFileDialog::Directory);
        QVERIFY(choosers.at(0)->testOption(QFileDialog::ReadOnly)); // no Delete in its menu
        choosers.at(0)->reject();
        QCOMPARE(prefs().string(keys::prefSlideShowPath), QStringLiteral("/old"));
        choosers.at(1)->selectFile(m_root.path());
        QMetaObject::invokeMethod(choosers.at(1), "accept");
        QCOMPARE(prefs().string(keys::prefSlideShowPath), m_root.path());
        QVERIFY(prefs().boolean(keys::prefSlideShowPathAliasDataIsValid));
        QVERIFY(!prefs().data(keys::prefSlideShowPathAliasData).isEmpty());
    }

    // Only an accepted choice with a path and its parameters stores; of
    // several paths the last one counts.
    void chooserStoresOnlyACompleteChoice()
    {
        const QVariant movie = ChooserCompletion::movieChooserParameters();
        const QStringList two = {"/tmp/first.mov", "/tmp/chosen.mov"};
        ChooserCompletion::openPanelDidEndNew(ChooserCompletion::kAccept, {}, movie);
        ChooserCompletion::openPanelDidEndNew(ChooserCompletion::kAccept, two, QVariant());
        QVERIFY(prefs().userValues().isEmpty());
        ChooserCompletion::openPanelDidEndNew(ChooserCompletion::kAccept, two, movie);
        QCOMPARE(prefs().string(keys::prefMoviePath), "/tmp/chosen.mov");
    }

    // A folder path that became a file is repaired from its reference, a
    // reference that resolves to nothing clears only the flag. Display index 1
    // has the keys ending in 2; the index is taken as a signed 16-bit number.
    void folderPreferenceIsRepairedOrMarkedInvalid()
    {
        QCOMPARE(DisplayParameters::keyForIndex("k", 0x10000), QStringLiteral("k1"));
        QVERIFY(QDir().mkpath(at("Main")) && QDir().mkpath(at("Gone")));
        prefs().setValues(
            {{keys::prefSlideShowPath, at("Main")},
             {keys::prefSlideShowPathAliasData, MyAliasKit::aliasDataForPath(at("Main"))},
             {"prefSlideShowPath2", at("Gone")},
             {"prefSlideShowPathAliasDataIsValid2", true},
             {"prefSlideShowPathAliasData2", MyAliasKit::aliasDataForPath(at("Gone"))}});
        QVERIFY(QDir().rename(at("Main"), at("Moved")));
        QVERIFY(test::writeFile(at("Main"), "a plain file now"));
        QVERIFY(QDir(at("Gone")).removeRecursively());
        OutputCapture log;
        QVERIFY(validateFolderPrefWithParam(FolderValidation::mainImagesFolderTriple()));
        QCOMPARE(prefs().string(keys::prefSlideShowPath), at("Moved"));
        QVERIFY(prefs().boolean(keys::prefSlideShowPathAliasDataIsValid));
        QVERIFY(!validateFolderPrefWithParam(FolderValidation::slideShowFolderTripleForIndex(1)));
        QVERIFY(!prefs().boolean("prefSlideShowPathAliasDataIsValid2"));
        QCOMPARE(prefs().string("prefSlideShowPath2"), at("Gone"));
        MyAliasKit::savePath(at("missing"), "prefOther");
        QVERIFY(!prefs().contains("prefOther"));
    }

    // Garbled resource files are ignored. Forced values overwrite the user's;
    // factory values only stand in for them and never reach the user's file;
    // without the forced file the shout mode is switched off at every start.
    void factoryAndForcedValues()
    {
        Preferences own(at("own.plist"));
        const QString res = at("res");
        QVERIFY(test::writeFile(res + "/FactoryDefault.plist", "<plist><dict><key>x"));
        QVERIFY(test::writeFile(res + "/ForcedDefaultPrefs.plist", "\x00\x01garbage"));
        own.setValues({{"prefName", "user"}, {"prefDelay", 8}});
        OutputCapture log;
        FactoryDefaults::setupFactoryDefaults(own, res);
        QVERIFY(own.registeredDefaults().isEmpty());
        QCOMPARE(own.string("prefName"), "user");
        QVERIFY(writePropertyList(res + "/FactoryDefault.plist",
                                  QVariantMap{{"prefDelay", 5}, {"prefName", "factory"}}));
        QVERIFY(writePropertyList(res + "/ForcedDefaultPrefs.plist",
                                  QVariantMap{{"prefName", "forced"}, {"prefDoShoutMode", true}}));
        FactoryDefaults::setupFactoryDefaults(own, res);
        QCOMPARE(own.string("prefName"), "forced");
        QCOMPARE(own.integer("prefDelay"), 8);
        QVERIFY(own.boolean("prefDoShoutMode"));
        QVERIFY(QFile::remove(res + "/ForcedDefaultPrefs.plist"));
        FactoryDefaults::setupFactoryDefaults(own, res);
        own.remove("prefDelay");
        QCOMPARE(own.integer("prefDelay"), 5);
        QCOMPARE(readPropertyList(own.filePath()).toMap(),
                 QVariantMap({{"prefName", "forced"}, {"prefDoShoutMode", false}}));
    }
};

int main(int argc, char *argv[])
{
    ::setenv("TZ", "Pacific/Auckland", 1);
    ::tzset();
    QApplication app(argc, argv);
    TestPreferencesWindow tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_preferenceswindow.moc"
