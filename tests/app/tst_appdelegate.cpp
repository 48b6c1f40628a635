#include "TestSupport.h"

#include "app/AppDelegate.h"
#include "platform/AppPaths.h"
#include "platform/Preferences.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

// The start-up stages, their order and their effects on the preferences and
// the local folders.
class TestAppDelegate : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix;
    const QString kPath = QStringLiteral("prefSlideShowPath");
    const QString kAlias = QStringLiteral("prefSlideShowPathAliasData");
    const QString kValid = QStringLiteral("prefSlideShowPathAliasDataIsValid");

    Preferences &prefs() { return Preferences::standard(); }

    void resetPrefs()
    {
        for (const QString &key : prefs().userValues().keys())
            prefs().remove(key);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        AppPaths::setPrefix(m_prefix.path());
        QVERIFY(QDir().mkpath(AppPaths::resourcesDir()));
        QVERIFY(writePropertyList(AppPaths::resourcesDir() + "/FactoryDefault.plist",
                                  QVariantMap{{kPath, QStringLiteral("~/Factory/Images")},
                                              {QStringLiteral("prefTransitionStyle"), "fade"}}));
    }

    void init() { resetPrefs(); }

    void stagesRunInOrder()
    {
        QVERIFY(QDir().mkpath(QDir::homePath() + "/Images"));
        prefs().setValues({{kPath, QStringLiteral("~/Images")},
                           {QStringLiteral("prefTransitionStyle"), QStringLiteral("Fade")}});
        AppDelegate delegate;
        delegate.applicationWillFinishLaunching();
        QCOMPARE(delegate.stageLog(),
                 (QStringList{"setupAutoRelaunchTimer", "normalizeSlideShowPath",
                              "performStartupValidation", "setupFactoryFolder",
                              "setupWatchdogTimer", "seedRandom", "setupTransitionChoices",
                              "initializeAndStartSequence", "setupWindowControllers",
                              "validatePrefs", "startSequence", "createConsole"}));
        QVERIFY(delegate.timers().relaunchIsArmed());
        QVERIFY(delegate.timers().watchdogIsRunning());

        // Effects of the stages.
        QCOMPARE(prefs().string(kPath), QDir::homePath() + "/Images");
        QVERIFY(prefs().boolean(kValid));
        QVERIFY(!prefs().data(kAlias).isEmpty());
        QCOMPARE(prefs().string(QStringLiteral("prefTransitionStyle")), QStringLiteral("fade"));
        QCOMPARE(prefs().stringArray(QStringLiteral("prefAvailTransitionStyles")),
                 AppDelegate::transitionChoices());
        // The one display controller (one offscreen screen) overwrote its own.
        QCOMPARE(prefs().integer(QStringLiteral("prefNSScreenIndex1")), 1);
        for (int n = 2; n <= 7; ++n)
            QCOMPARE(prefs().string(QStringLiteral("prefNSScreenIndex%1").arg(n)),
                     QStringLiteral("< None Detected >"));
        QVERIFY(QFileInfo(QDir::homePath() + "/Factory/Images").isDir());
        for (const char *sub : {"Current", "Failed", "Processed"})
            QVERIFY(
                QFileInfo(QDir::homePath() + "/KivoSlideShow/LocalSlideShowFolder/" + sub).isDir());

        delegate.applicationDidFinishLaunching();
        QCOMPARE(delegate.stageLog().mid(12),
                 (QStringList{"setupAutoBringToFront", "setupNotifications",
                              "createBarcodeController"}));
        delegate.applicationWillTerminate();
        QVERIFY(!delegate.timers().watchdogIsRunning());
        QVERIFY(!delegate.timers().relaunchIsArmed());
        delegate.applicationWillTerminate(); // once is enough; again is harmless
    }

    void invalidMainFolderStartsNoDisplays()
    {
        prefs().setValue(kPath, QStringLiteral("/nowhere/at/all"));
        AppDelegate delegate;
        delegate.applicationWillFinishLaunching();
        QVERIFY(delegate.stageLog().contains(QStringLiteral("validatePrefs")));
        QVERIFY(!delegate.stageLog().contains(QStringLiteral("startSequence")));
        delegate.applicationWillTerminate();
        QVERIFY(!prefs().boolean(kValid));
    }

    void shoutModeHasNoConsoleAndSearchesEveryCode()
    {
        prefs().setValue(QStringLiteral("prefDoShoutMode"), true);
        AppDelegate delegate;
        delegate.applicationWillFinishLaunching();
        QVERIFY(!delegate.stageLog().contains(QStringLiteral("createConsole")));
        delegate.applicationDidFinishLaunching();
        QCOMPARE(delegate.stageLog().last(), QStringLiteral("firstSearch:*"));
    }

    void transitionStyleIsForcedUnlessExactlyAChoice()
    {
        const QList<QVariant> stored = {QVariant(),
                                        QString(),
                                        QStringLiteral("PUSH"),
                                        QStringLiteral("push "),
                                        QStringLiteral("Random"),
                                        3};
        for (const QVariant &value : stored) {
            prefs().setValue(QStringLiteral("prefTransitionStyle"), value);
            AppDelegate().setupTransitionChoices();
            QCOMPARE(prefs().string(QStringLiteral("prefTransitionStyle")), QStringLiteral("fade"));
        }
        for (const QString &choice : AppDelegate::transitionChoices()) {
            prefs().setValue(QStringLiteral("prefTransitionStyle"), choice);
            AppDelegate().setupTransitionChoices();
            QCOMPARE(prefs().string(QStringLiteral("prefTransitionStyle")), choice);
        }

    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
