#include "TestSupport.h"
#include "browser/MyImageBrowserViewController.h"
#include "console/DemoSlides.h"
#include "console/DisplayChooser.h"
#include "console/MainWindowController.h"
#include "console/SelectDisplayWindowController.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "station/DailyFolders.h"
#include "station/PrefKeys.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

namespace {
struct Recorder
{
    QList<Notification> posted;
    ObserverToken token;
    explicit Recorder(const QString &name)
    {
        token = NotificationCenter::defaultCenter().addObserver(
            name, [this](const Notification &n) { posted << n; });
    }
};

void makeCode(const QString &day, const QString &code, int jpgs)
{
    const QString folder = day + QLatin1Char('/') + code;
    QVERIFY(test::writeFile(folder + QLatin1Char('/') + code + QLatin1String(".xml"),
                            QStringLiteral("<data><code>%1</code><name>N %1</name>"
                                           "<email>%1@example.com</email></data>")
                                .arg(code)
                                .toUtf8()));
    for (int i = 0; i < jpgs; ++i)
        QVERIFY(test::writeJpeg(folder + QStringLiteral("/p%1.jpg").arg(i), 64, 48));
}
} // namespace

class TestConsole : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    QString m_day;
    Preferences &prefs() { return Preferences::standard(); }

    std::unique_ptr<MainWindowController> openConsole()
    {
        auto console = std::make_unique<MainWindowController>();
        QSignalSpy finished(console.get(), &MainWindowController::scanFinished);
        console->show();
        if (console->isScanRunning())
            finished.wait(5000);
        return console;
    }

    int rowOfCode(MainWindowController &console, const QString &code)
    {
        for (int i = 0; i < console.model()->rowCount(); ++i) {
            if (console.model()->rowAt(i).value("code").toString() == code)
                return i;
        }
        return -1;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::screens().size(), 2);
        prefs().setValue(keys::prefSlideShowPath, m_root.path());
        m_day = m_root.filePath(getDailyFolderName());
        makeCode(m_day, QStringLiteral("12345678"), 3);
        makeCode(m_day, QStringLiteral("87654321"), 0);
        QVERIFY(test::writeFile(m_day + QStringLiteral("/99999999/99999999.xml"), "<broken"));
    }

    void init()
    {
        prefs().setValue(keys::prefNameOfDisplay1, QStringLiteral("Lobby"));
        prefs().setValue(QStringLiteral("prefNameOfDisplay2"), QStringLiteral("Hall"));
        prefs().setValue(keys::prefConfirmRoomBeforeStartingSlideshow, false);
    }

    void selectingShowsPhotosAndEnablesPlay()
    {
        auto console = openConsole();
        QSignalSpy loaded(console->imageBrowser(), &MyImageBrowserViewController::loadFinished);
        console->customerTableView()->selectRow(rowOfCode(*console, "12345678"));
        QVERIFY(loaded.wait(5000));
        QCOMPARE(console->imageBrowser()->images().size(), 3);
        QVERIFY(console->playButton()->isEnabled());
        QCOMPARE(console->lastSelectedCode(), QStringLiteral("12345678"));

        // A row without a code shows nothing and cannot be played.
        Recorder play(QStringLiteral("SlideShowParamChanged"));
        const int broken = rowOfCode(*console, QString());
        console->customerTableView()->selectRow(broken);
        QVERIFY(!console->playButton()->isEnabled());
        QVERIFY(console->imageBrowser()->images().isEmpty());
        console->doDoubleClickOnTableView(broken);
        QVERIFY(play.posted.isEmpty());
    }

    void playSendsTheChosenDisplay()
    {
        auto console = openConsole();
        Recorder play(QStringLiteral("SlideShowParamChanged"));
        console->customerTableView()->setFocus();
        console->doDoubleClickOnTableView(rowOfCode(*console, "87654321")); // no photos
        console->doDoubleClickOnTableView(-1);                              // nothing selected
        QVERIFY(play.posted.isEmpty());
        console->doDoubleClickOnTableView(rowOfCode(*console, "12345678"));
        QCOMPARE(play.posted.size(), 1);
        QCOMPARE(play.posted[0].userInfo.value("screenIndex").toInt(), 1);
        QCOMPARE(play.posted[0].userInfo.value("sourcePath").toString(),
                 m_day + QStringLiteral("/12345678"));

        Recorder toggle(QStringLiteral("SlideShowToggleShow"));
        console->doToggleSlideShow();
        QCOMPARE(toggle.posted.size(), 1);
        QCOMPARE(toggle.posted[0].userInfo.value("screenIndex").toInt(), 1);
    }

    void confirmationSheetGuardsThePlay()
    {
        prefs().setValue(keys::prefConfirmRoomBeforeStartingSlideshow, true);
        auto console = openConsole();
        Recorder play(QStringLiteral("SlideShowParamChanged"));
        SelectDisplayWindowController *sheet = console->selectDisplayWindowController();
        const int row = rowOfCode(*console, "12345678");

        console->doDoubleClickOnTableView(row);
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->ibTextField1()->text(), QStringLiteral("12345678"));
        QCOMPARE(sheet->ibTextField3()->text(), QStringLiteral("12345678@example.com"));
        QCOMPARE(sheet->ibPopupButton()->currentIndex(), 1);
        QVERIFY(play.posted.isEmpty());
        sheet->ibCancelButton();
        QVERIFY(!sheet->isVisible());
        QVERIFY(play.posted.isEmpty());

        console->doDoubleClickOnTableView(row);
        QCOMPARE(sheet->result(), 0);
        sheet->ibAcceptButton();
        QCOMPARE(sheet->result(), SelectDisplayWindowController::kAccept);
        QCOMPARE(play.posted.size(), 1);
        QCOMPARE(play.posted[0].userInfo.value("screenIndex").toInt(), 1);

        QVERIFY(!sheet->showDialogWithParam({{"info", QVariantMap()}}, console.get(), {}));
    }

    void statusLineOnlyForTheChosenDisplay()
    {
        auto console = openConsole();
        NotificationCenter &center = NotificationCenter::defaultCenter();
        center.post(QStringLiteral("SlideShowStatus"), {},
                    {{"screenIndex", 1}, {"mesg", "<Slide Show is Running...>"}});
        QCOMPARE(console->statusLine()->text(), QStringLiteral("<Slide Show is Running...>"));
        QCOMPARE(prefs().string("prefDisplayStatus2"),
                 QStringLiteral("<Slide Show is Running...>"));

        center.post(QStringLiteral("SlideShowStatus"), {},
                    {{"screenIndex", 0},
                     {"mesg", "<Slide Show is NOT Running...>"},
                     {"code", "12345678"},
                     {"codeStatus", "12345678 (Lobby)"},
                     {"screenIsPlaying", true}});
        QCOMPARE(console->statusLine()->text(), QStringLiteral("<Slide Show is Running...>"));
        const int row = rowOfCode(*console, "12345678");
        QCOMPARE(console->model()->rowAt(row).value("codeStatus").toString(),
                 QStringLiteral("12345678 (Lobby)"));

        // A status posted from a worker thread lands on the main thread.
        std::thread worker([&] {
            center.post(QStringLiteral("SlideShowStatus"), {},
                        {{"screenIndex", 1}, {"mesg", "from worker"}});
        });
        worker.join();
        QTRY_COMPARE(console->statusLine()->text(), QStringLiteral("from worker"));

        // Choosing a display asks it for its status.
        Recorder request(QStringLiteral("RequestSlideShowStatus"));
        console->doSetupDisplayPopup(true);
        QCOMPARE(request.posted.size(), 1);
        QCOMPARE(request.posted[0].userInfo.value("screenIndex").toInt(), 1);
    }

    void demoFolderCheck()
    {
        QTemporaryDir demo;
        QVERIFY(test::writeFile(demo.filePath("a.gif"), "GIF89a"));
        QVERIFY(test::writeFile(demo.filePath("sub/b.jpg"), "x"));
        QVERIFY(DemoSlides::demoPictures(demo.path()).isEmpty());
        QVERIFY(DemoSlides::demoPictures(demo.filePath("a.gif")).isEmpty());
        QVERIFY(test::writeFile(demo.filePath("A.JPG"), "x"));
        QCOMPARE(DemoSlides::demoPictures(demo.path()).size(), 1);

        prefs().setValue(keys::prefDemoSlidesPath, QStringLiteral("~/Demo"));
        QCOMPARE(DemoSlides::demoParameters(prefs()).value("sourcepath").toString(),
                 QDir::homePath() + QStringLiteral("/Demo"));

        auto console = openConsole();
        Recorder play(QStringLiteral("SlideShowParamChanged"));
        QVERIFY(
            console->validateDemoFolder({{"code", "Demo Slides"}, {"sourcepath", demo.path()}}));
        QCOMPARE(play.posted.size(), 1);
        QCOMPARE(play.posted[0].userInfo.value("sourcePath").toString(), demo.path());

        QVERIFY(!console->validateDemoFolder(
            {{"code", "Demo Slides"}, {"sourcepath", demo.filePath("sub/none")}}));
        QCOMPARE(play.posted.size(), 1);
        auto *alert = console->findChild<QMessageBox *>();
        QVERIFY(alert);
        QCOMPARE(alert->text(), DemoSlides::noImagesText(demo.filePath("sub/none")));
        alert->close();

        // The demo refuses without the keyboard focus on the code list.
        prefs().setValue(keys::prefDemoSlidesPath, demo.path());
        console->displayPopup()->setFocus();
        console->doDemoSlides();
        QCOMPARE(play.posted.size(), 1);
        console->customerTableView()->setFocus();
        console->doDemoSlides();
        QCOMPARE(play.posted.size(), 2);
    }

    void missingMainFolderListsNothing()
    {
        prefs().setValue(keys::prefSlideShowPath, m_root.filePath(QStringLiteral("gone")));
        auto console = openConsole();
        QCOMPARE(console->model()->rowCount(), 0);
        prefs().setValue(keys::prefSlideShowPath, m_root.path());
    }
    void chooserEntries()
    {
        QList<DisplayEntry> entries = DisplayChooser::buildEntries(2, prefs());
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].displayName, QStringLiteral("1. Lobby"));
        QVERIFY(!entries[0].enableItem);
        QCOMPARE(entries[1].displayName, QStringLiteral("2. Hall"));
        QVERIFY(entries[1].enableItem);
        prefs().remove(QStringLiteral("prefNameOfDisplay2"));
        entries = DisplayChooser::buildEntries(2, prefs());
        QCOMPARE(entries[1].displayName, QStringLiteral("Display #2"));
        QVERIFY(DisplayChooser::buildEntries(1, prefs())[0].enableItem);

        QComboBox popup;
        DisplayChooser::apply(&popup, entries);
        QCOMPARE(popup.currentIndex(), 1);
        auto *model = qobject_cast<QStandardItemModel *>(popup.model());
        QVERIFY(!model->item(0)->isEnabled());
        QVERIFY(model->item(1)->isEnabled());
    }
    void playingCodeStatus()
    {
        prefs().setValue(QStringLiteral("prefNameOfDisplay2"), QStringLiteral("Room B"));
        const QStringList folders = {QStringLiteral("/photos/day/other"),
                                     QStringLiteral("/photos/day/12345678/")};
        QCOMPARE(DisplayChooser::slideshowWindowName("12345678", folders, prefs()),
                 QStringLiteral("12345678 (Room B)"));
        QVERIFY(DisplayChooser::slideshowWindowName("555", folders, prefs()).isEmpty());
    }
};

int main(int argc, char *argv[])
{
    QTemporaryDir config;
    const QString file = config.filePath(QStringLiteral("screens.json"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return 1;
    out.write(R"({"screens": [
        {"name": "LEFT", "x": 0, "y": 0, "width": 1920, "height": 1080,
         "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
        {"name": "RIGHT", "x": 1920, "y": 0, "width": 1280, "height": 1024,
         "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    out.close();
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QFile::encodeName(file));
    QApplication app(argc, argv);
    TestConsole test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_console.moc"
