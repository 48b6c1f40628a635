#include "TestSupport.h"
#include "browser/MyImageBrowserViewController.h"
#include "console/CodeListDump.h"
#include "console/ConsoleDelegate.h"
#include "console/DemoSlides.h"
#include "console/DesktopEntryLauncher.h"
#include "console/MainWindowController.h"
#include "console/SelectDisplayWindowController.h"
#include "platform/Preferences.h"
#include "station/Clock.h"
#include "station/DailyFolders.h"
#include "station/PrefKeys.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;
using namespace Qt::StringLiterals;

namespace {
// Notifications posted under one name.
struct Recorder
{
    QList<QVariantMap> posted;
    ObserverToken token;
    explicit Recorder(const QString &name)
        : token(NotificationCenter::defaultCenter().addObserver(
              name, qApp, [this](const Notification &n) { posted << n.userInfo; }))
    {}
    // How many, and the last one's screen and folder.
    QVariantList last() const
    {
        const QVariantMap l = posted.value(posted.size() - 1);
        return {int(posted.size()), l.value("screenIndex"), l.value("sourcePath")};
    }
};

// A code folder with its description file (naming code, else the folder) and jpgs photos.
void makeCode(const QString &day, const QString &folder, int jpgs, QString code = {})
{
    code = code.isEmpty() ? folder : code;
    QVERIFY(test::writeFile(
        u"%1/%2/%2.xml"_s.arg(day, folder),
        u"<data><code>%1</code><email>%1@x.org</email></data>"_s.arg(code).toUtf8()));
    for (int i = 0; i < jpgs; ++i)
        QVERIFY(test::writeFile(u"%1/%2/p%3.jpg"_s.arg(day, folder).arg(i), "x"));
}

// Records what the console asks of its delegate.
struct Delegate : ConsoleDelegate
{
    QStringList calls;
    QString getSlideshowWindowName(const QString &) override { return {}; }
    void openPrefs() override { calls << u"prefs"_s; }
    void relaunchApp() override {}
    void showMenu() override {}
    void doIdentifyAll() override { calls << u"identify all"_s; }
    void doIdentify(int tag) override { calls << u"identify %1"_s.arg(tag); }
    void doStopSlideShow(int tag) override { calls << u"stop %1"_s.arg(tag); }
};

// What xdotool prints, one line an entry.
QStringList xdotool(const QStringList &args)
{
    QProcess p;
    p.start(u"xdotool"_s, args);
    p.waitForFinished(5000);
    return QString::fromLatin1(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

QStringList codesOf(const QList<CodeEntry> &entries)
{
    QStringList codes;
    for (const CodeEntry &entry : entries)
        codes << entry.row.value("code").toString();
    return codes;
}
} // namespace

// The console on two displays: the code rows of a day folder, their photo
// counts and order, the choice of the day, playing a code or the demo slides
// on the chosen display and its status line.
class TestConsole : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    QString m_day;
    std::unique_ptr<MainWindowController> m_console;
    Preferences &prefs() { return Preferences::standard(); }

    MainWindowController &openConsole(ConsoleDelegate *delegate = nullptr)
    {
        m_console = std::make_unique<MainWindowController>(delegate);
        QSignalSpy finished(m_console.get(), &MainWindowController::scanFinished);
        m_console->show();
        if (m_console->isScanRunning())
            finished.wait(5000);
        m_console->customerTableView()->setFocus();
        return *m_console;
    }
    int rowOf(const QString &code)
    {
        return int(codesOf(m_console->model()->entries()).indexOf(code));
    }
    QString valueOf(const QString &code, const char *key)
    {
        return m_console->model()->rowAt(rowOf(code)).value(key).toString();
    }

public:
    // Two displays side by side, from the start of the application.
    static void initMain()
    {
        qputenv("QT_QPA_PLATFORM",
                "offscreen:configfile=" KIVO_SOURCE_DIR "/tests/console/two-screens.json");
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::screens().size(), 2);
        m_day = m_root.filePath(getDailyFolderName());
        makeCode(m_day, u"k1234567"_s, 3, u"K1234567"_s); // the code in another case
        makeCode(m_day, u"abcd4321"_s, 0);
        QVERIFY(test::writeFile(m_day + u"/99999999/99999999.xml"_s, "<broken"));
        QVERIFY(test::writeFile(m_day + u"/99999999/p.jpg"_s, "x"));
        prefs().setValue(keys::prefNameOfDisplay1, u"Lobby"_s);
        prefs().setValue(u"prefNameOfDisplay2"_s, u"Hall"_s);
    }
    void init()
    {
        prefs().setValue(keys::prefSlideShowPath, m_root.path());
        prefs().setValue(keys::prefConfirmRoomBeforeStartingSlideshow, false);
    }

    // A folder without a description file is not listed, one with a malformed
    // file is listed without a code; hidden folders and loose files are not.
    // Photos are the "jpg" files in any letter case, hidden ones too. The
    // listing prints the rows in the console's order.
    void rowsAndPhotoCounts()
    {
        const QString day = m_root.filePath(u"rows"_s);
        makeCode(day, u"11111111"_s, 2);
        for (const char *path : {"/2/p.jpg", "/3/3.xml", "/.h/.h.xml", "/x.xml"})
            QVERIFY(test::writeFile(day + QLatin1String(path), "<data><code>"));
        QList<CodeEntry> rows = CodeFolderScanner::readCodeRows(day, QDateTime::currentDateTime());
        CodeListModel::sortEntries(rows, 1);
        QCOMPARE(codesOf(rows), (QStringList{QString(), "11111111"}));
        QVERIFY(!rows[0].row.contains("codeStatus"));
        QCOMPARE(rows[1].row.value("codeStatus"), u"11111111"_s);
        QCOMPARE(CodeListModel::qtyOf(rows[1].row), 0); // "-" until counted

        for (const char *name : {"a.JPG", "b.jpg", "c.jpeg", "d.png", ".e.jpg", "f.Jpg.txt"})
            QVERIFY(test::writeFile(day + u"/n/"_s + QLatin1String(name), "x"));
        QCOMPARE(CodeFolderScanner::countPhotos(day + u"/n"_s), 3);
        QCOMPARE(CodeFolderScanner::countPhotos(day + u"/missing"_s), 0);

        rows = countedCodeRows(day);
        const QVariantMap json = QJsonDocument::fromJson(codeRowJson(rows[1])).toVariant().toMap();
        QCOMPARE(json.value("qty"), u"2"_s);
    }

    // Dates sort newest first; codes sort case-sensitively ("B" < "a"), by
    // any tag but 2 and 3.
    void sortOrders()
    {
        const QDateTime t = QDateTime::fromSecsSinceEpoch(0);
        auto entry = [&](const char *code, int mod, int made) {
            return CodeEntry{code,
                             {{"code", code},
                              {"contentModDate", t.addSecs(mod)},
                              {"createDate", t.addSecs(made)}}};
        };
        QList<CodeEntry> entries = {entry("c", 10, 30), entry("a", 40, 10), entry("B", 20, 20)};
        for (auto [tag, order] : {std::pair{1, "Bac"}, {2, "aBc"}, {3, "cBa"}, {5, "Bac"}}) {
            CodeListModel::sortEntries(entries, tag);
            QVERIFY2(codesOf(entries).join("") == QLatin1String(order), order);
        }
    }

    // Rows come back once, then every count, in batches, on the main thread.
    // A scan started while one runs supersedes it: nothing of the older one
    // arrives.
    void scannerCountsEveryFolder()
    {
        const QString day = m_root.filePath(u"thousand"_s);
        for (int i = 0; i < 1000; ++i)
            makeCode(day, u"C%1"_s.arg(i, 4, 10, QLatin1Char('0')), i % 5);
        CodeFolderScanner scanner;
        QSignalSpy rows(&scanner, &CodeFolderScanner::rowsReady);
        QSignalSpy finished(&scanner, &CodeFolderScanner::finished);
        QHash<QString, int> all;
        int batches = 0;
        connect(&scanner, &CodeFolderScanner::countsReady, this, [&](const QHash<QString, int> &c) {
            QCOMPARE(QThread::currentThread(), thread());
            all.insert(c);
            ++batches;
        });
        scanner.start(day);
        QVERIFY(finished.wait(20000));
        QCOMPARE(all.size(), 1000);
        QCOMPARE(all.value(day + u"/C0013"_s), 3);
        QVERIFY(batches < 100);
        QVERIFY(!scanner.isRunning());

        scanner.start(day);
        QVERIFY(rows.wait(5000));
        all.clear();
        scanner.start(m_day);
        QVERIFY(finished.wait(10000));
        QTest::qWait(50);
        QCOMPARE(finished.size(), 2);
        QCOMPARE(all.size(), 3);
    }

    // The day selector's days back count from the business date (before
    // 03:00 still the day before), at most 60; only an existing other day
    // becomes the alternate folder, which code paths then lead into.
    void daySelection_data()
    {
        // folder: the day folder that exists
        test::columns<QDateTime, int, QString, bool>("now", "back", "folder", "listed");
        const QDateTime noon(QDate(2025, 6, 30), QTime(12, 0));
        QTest::newRow("after midnight")
            << QDateTime(QDate(2025, 3, 15), QTime(1, 30)) << 0 << "2025-03-14" << true;
        QTest::newRow("no today") << noon << 0 << "2025-06-29" << false;
        QTest::newRow("other day") << noon << 2 << "2025-06-28" << true;
        QTest::newRow("at most 60") << noon << 75 << "2025-05-01" << true;
        QTest::newRow("no other day") << noon << 5 << "2025-06-26" << false;
    }
    void daySelection()
    {
        const auto [now, back, folder, listed] =
            test::fetch<QDateTime, int, QString, bool>("now", "back", "folder", "listed");
        const QString days = m_root.filePath(u"days"_s);
        QVERIFY(QDir(days).mkpath(folder));
        prefs().setValue(keys::prefSlideShowPath, days);
        prefs().setValue(keys::prefPathToAlternateDateFolder, u"/before"_s);
        ScopedTestClock clock(now);
        DaySelector selector;
        QSignalSpy chosen(&selector, &DaySelector::dayChosen);
        QSignalSpy missing(&selector, &DaySelector::dayMissing);
        selector.ibClickedOnStepperForDate(back);
        QCOMPARE(QList<qsizetype>({chosen.size(), missing.size()}),
                 QList<qsizetype>({listed, !listed}));
        const QString alternate = !back ? QString() : listed ? days + '/' + folder : u"/before"_s;
        QCOMPARE(prefs().string(keys::prefPathToAlternateDateFolder), alternate);
        if (listed)
            QCOMPARE(formPathForCodeNew(u"1"_s), days + '/' + folder + u"/1"_s);
        QVERIFY(QDir(days).removeRecursively());
    }

    // A code's photos (in its row's folder, named in any letter case) enable
    // Play, which goes to the chosen display, through
    // the confirmation sheet when asked for; a row without a code, one
    // without photos or no row at all cannot be played.
    void playGoesToTheChosenDisplay()
    {
        MainWindowController &console = openConsole();
        Recorder play(u"SlideShowParamChanged"_s);
        QSignalSpy loaded(console.imageBrowser(), &MyImageBrowserViewController::loadFinished);
        console.customerTableView()->selectRow(rowOf(u"K1234567"_s));
        QVERIFY(loaded.wait(5000));
        QCOMPARE(console.imageBrowser()->images().size(), 3);
        console.playButton()->click();
        QCOMPARE(play.last(), (QVariantList{1, 1, m_day + u"/k1234567"_s}));

        console.customerTableView()->selectRow(rowOf(QString()));
        QVERIFY(!console.playButton()->isEnabled());
        QVERIFY(console.imageBrowser()->images().isEmpty());
        console.customerTableView()->clearSelection();
        for (int row : {rowOf(QString()), rowOf(u"abcd4321"_s), -1})
            console.doDoubleClickOnTableView(row);
        QCOMPARE(play.posted.size(), 1);

        prefs().setValue(keys::prefConfirmRoomBeforeStartingSlideshow, true);
        SelectDisplayWindowController *sheet = console.selectDisplayWindowController();
        for (bool accept : {false, true}) {
            console.doDoubleClickOnTableView(rowOf(u"K1234567"_s));
            QCOMPARE(sheet->ibTextField3()->text(), u"K1234567@x.org"_s);
            accept ? sheet->ibAcceptButton() : sheet->ibCancelButton();
            QCOMPARE(play.posted.size(), accept ? 2 : 1);
        }
        QVERIFY(!sheet->showDialogWithParam({{"info", QVariantMap()}}, &console, {}));
    }

    // Only the chosen display's status shows; the room of a playing code shows
    // in its row (code letter case ignored).
    // Choosing a display asks it for its status; the console's own display
    // cannot be chosen.
    void displayBar()
    {
        MainWindowController &console = openConsole();
        NotificationCenter &center = NotificationCenter::defaultCenter();
        center.post(u"SlideShowStatus"_s, {}, {{"screenIndex", 1}, {"mesg", "Run"}});
        center.post(u"SlideShowStatus"_s, {}, {{"screenIndex", 0}, {"mesg", "Stop"}});
        QCOMPARE(console.statusLine()->text(), u"Run"_s);
        center.post(u"SlideShowStatus"_s, {}, {{"code", "ABCD4321"}, {"codeStatus", "Hall"}});
        QCOMPARE(valueOf(u"abcd4321"_s, "codeStatus"), u"Hall"_s);
        Recorder request(u"RequestSlideShowStatus"_s);
        console.doSetupDisplayPopup(true);
        QCOMPARE(request.last().mid(0, 2), (QVariantList{1, 1}));

        QCOMPARE(console.displayPopup()->itemText(0), u"1. Lobby"_s);
        QVERIFY(!console.displayPopup()->model()->index(0, 0).flags().testFlag(Qt::ItemIsEnabled));
        QVERIFY(DisplayChooser::buildEntries(1, prefs())[0].enableItem);
        QCOMPARE(DisplayChooser::buildEntries(3, prefs())[2].displayName, u"Display #3"_s);
        const QStringList folders = {u"/day/other"_s, u"/day/1234/"_s, u"/day/777"_s};
        QCOMPARE(DisplayChooser::slideshowWindowName("1234", folders, prefs()), u"1234 (Hall)"_s);
        QCOMPARE(DisplayChooser::slideshowWindowName("777", folders, prefs()), u"777"_s);
        QVERIFY(DisplayChooser::slideshowWindowName("555", folders, prefs()).isEmpty());
    }

    // Start-up chooses the first row. The controls for the displays reach the
    // delegate or the chosen display, by their keys too; the chooser follows
    // the room names and the sheet's Refresh Displays.
    void displayControls()
    {
        Delegate delegate;
        MainWindowController &console = openConsole(&delegate);
        QCOMPARE(console.customerTableView()->selectionModel()->selectedRows().value(0).row(), 0);
        console.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&console));
        Recorder next(u"SlideShowToggleTest"_s), rebuild(u"testNotification"_s);
        for (auto *button : console.displayBar()->findChildren<QPushButton *>()) {
            if (!button->shortcut().isEmpty())
                QTest::keySequence(&console, button->shortcut());
        }
        QTRY_COMPARE(delegate.calls, (QStringList{"identify 2", "identify all", "stop 0"}));
        QCOMPARE(next.last().mid(0, 2), (QVariantList{1, 1}));
        prefs().setValue(u"prefNameOfDisplay2"_s, u"Stage"_s);
        QTRY_COMPARE(console.displayPopup()->itemText(1), u"2. Stage"_s);
        prefs().setValue(u"prefNameOfDisplay2"_s, u"Hall"_s);
        console.selectDisplayWindowController()->ibTestButton();
        QCOMPARE(rebuild.posted.size(), 1);
    }

    // The sheet follows screens that come and go while it is open, keeping
    // the chosen screen where it stays (shown: entries, chosen entry).
    void sheetFollowsScreens_data()
    {
        test::columns<QStringList, int, QStringList, QVariantList>("before", "chosen", "after",
                                                                   "shown");
        test::row("added after", QStringList{"A", "B"}, 1, QStringList{"A", "B", "C"},
                  QVariantList{3, 1});
        test::row("added before", QStringList{"A", "B"}, 1, QStringList{"C", "A", "B"},
                  QVariantList{3, 2});
        test::row("chosen removed", QStringList{"A", "B", "C"}, 2, QStringList{"A", "B"},
                  QVariantList{2, 1});
        test::row("one left", QStringList{"A", "B"}, 1, QStringList{"A"}, QVariantList{1, 0});
    }
    void sheetFollowsScreens()
    {
        const auto [before, chosen, after, shown] =
            test::fetch<QStringList, int, QStringList, QVariantList>("before", "chosen", "after",
                                                                     "shown");
        SelectDisplayWindowController sheet;
        QComboBox *popup = sheet.ibPopupButton();
        sheet.followScreens(before);
        popup->setCurrentIndex(chosen);
        sheet.followScreens(after);
        QCOMPARE((QVariantList{popup->count(), popup->currentIndex()}), shown);
        QCOMPARE(popup->currentData(), shown.at(1));
    }

    // Return to Main starts the parent application once, then brings its
    // window to the front, with and without a window manager.
    void returnToMainActivatesTheRunningCopy_data()
    {
        test::columns<QString>("wm");
        test::row("bare X", QString());
        test::row("openbox", u"openbox"_s);
    }
    void returnToMainActivatesTheRunningCopy()
    {
        const auto [wm] = test::fetch<QString>("wm");
        QProcess xvfb, manager, cover;
        xvfb.start(u"Xvfb"_s, {"-displayfd", "1", "-nolisten", "tcp"});
        QVERIFY(xvfb.waitForReadyRead(10000));
        qputenv("DISPLAY", ':' + xvfb.readLine().trimmed());
        if (!wm.isEmpty())
            manager.start(wm, {});
        // A stand-in parent under a name of its own, so no other xmessage counts.
        const QString id = u"kivoparent"_s + QTest::currentDataTag()[0];
        QVERIFY(QFile::link(u"/usr/bin/xmessage"_s, m_root.filePath(id)));
        QVERIFY(test::writeFile(
            qEnvironmentVariable("XDG_DATA_HOME") + "/applications/" + id + ".desktop",
            ("[Desktop Entry]\nType=Application\nName=P\nExec=%1 -name %2 P\nStartupWMClass=%2\n"_L1)
                .arg(m_root.filePath(id), id)
                .toUtf8()));
        QList<DesktopEntryLauncher::Outcome> outcomes;
        const auto click = [&] {
            DesktopEntryLauncher::openOrActivate(id, qApp, [&](auto o) { outcomes << o; });
        };
        click();
        QTRY_COMPARE_WITH_TIMEOUT(xdotool({"search", "--classname", id}).size(), 1, 10000);
        cover.start(u"xmessage"_s, {"-name", "cover", "Cover"});
        QTRY_COMPARE_WITH_TIMEOUT(xdotool({"search", "--classname", "cover"}).size(), 1, 10000);
        const QString coverWindow = xdotool({"search", "--classname", "cover"}).value(0);
        xdotool({"windowfocus", "--sync", coverWindow});
        QCOMPARE(xdotool({"getwindowfocus"}).value(0), coverWindow);
        click();
        QTRY_COMPARE(outcomes.size(), 2);
        using enum DesktopEntryLauncher::Outcome;
        QCOMPARE(outcomes, (QList{Launched, Activated}));
        QTRY_COMPARE(xdotool({"getwindowfocus"}), xdotool({"search", "--classname", id}));
    }

    // Demo slides play a folder holding a picture at its top level, only
    // while the code list has the focus; without a picture an alert says so.
    void demoSlides()
    {
        const QString demo = m_root.filePath(u"demo"_s);
        QVERIFY(test::writeFile(demo + u"/a.gif"_s, "GIF89a"));
        QVERIFY(test::writeFile(demo + u"/sub/b.jpg"_s, "x"));
        prefs().setValue(keys::prefDemoSlidesPath, demo);
        MainWindowController &console = openConsole();
        Recorder play(u"SlideShowParamChanged"_s);
        console.doDemoSlides();
        const QMessageBox *alert = console.findChild<QMessageBox *>();
        QCOMPARE(alert->text(),
                 DemoSlides::noImagesTitle()); // no title bar without a window manager
        QCOMPARE(alert->informativeText(), DemoSlides::noImagesText(demo));

        QVERIFY(test::writeFile(demo + u"/A.JPG"_s, "x"));
        console.displayPopup()->setFocus();
        console.doDemoSlides();
        QVERIFY(play.posted.isEmpty());
        console.customerTableView()->setFocus();
        console.doDemoSlides();
        QCOMPARE(play.last(), (QVariantList{1, 1, demo}));
    }

    // A scan asked for while one is listing is run once more when it is in;
    // a day without a folder empties the list, Today lists it again; a main
    // folder that is gone lists nothing.
    void daysAndRescans()
    {
        MainWindowController &console = openConsole();
        QSignalSpy listed(&console, &MainWindowController::scanListed);
        QSignalSpy finished(&console, &MainWindowController::scanFinished);
        console.scanFolderAgain();
        makeCode(m_day, u"55555555"_s, 1);
        console.scanFolderAgain();
        console.scanFolderAgain();
        QVERIFY(finished.wait(5000));
        QCOMPARE(listed.size(), 2);
        QVERIFY(QDir(m_day + u"/55555555"_s).removeRecursively());
        QVERIFY(rowOf(u"55555555"_s) >= 0);

        console.ibClickedOnStepperForDate(3);
        QCOMPARE(console.model()->rowCount(), 0);
        console.ibClickOnTodayFolder();
        QVERIFY(finished.wait(5000));
        QCOMPARE(console.model()->rowCount(), 3);
        prefs().setValue(keys::prefSlideShowPath, m_root.filePath(u"gone"_s));
        console.doRefreshButton();
        QVERIFY(finished.wait(5000));
        QCOMPARE(console.model()->rowCount(), 0);
    }
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
