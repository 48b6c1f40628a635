#include "PhotoFixtures.h"

#include "customer/BarcodeEntryController.h"
#include "customer/BarcodeKeyFilter.h"
#include "customer/CustomerPhotoSearch.h"
#include "platform/DistributedNotificationCenter.h"
#include "station/Clock.h"
#include "station/NotificationNames.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

using namespace kivo;
using namespace kivo::test;

namespace {

// Posts key presses "<text>#<key event time in ms>".
void press(const QStringList &keys)
{
    for (const QString &key : keys) {
        const qsizetype at = key.lastIndexOf(u'#');
        const QVariantMap event{{"timestamp", key.mid(at + 1).toULongLong()}};
        NotificationCenter::defaultCenter().post(
            notification::AddStringToBuffer,
            QVariantMap{{"newString", key.left(at)}, {"NSEvent", event}});
    }
}

void deliver(const QString &name, const QVariantMap &info)
{
    DistributedNotificationCenter::defaultCenter().deliver(name, info);
}

} // namespace

class TestBarcodeEntry : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ScopedTestClock m_clock{QDateTime(QDate(2026, 3, 10), QTime(2, 0))}; // business day 9 March
    QStringList m_newIds;
    ObserverToken m_token;
    std::unique_ptr<BarcodeEntryController> c;

private slots:
    void initTestCase()
    {
        m_token = NotificationCenter::defaultCenter().addObserver(
            notification::NewCustomerId, this, [this](const Notification &n) {
                m_newIds << n.object.toMap().value("newBarcode").toString();
            });
        QVERIFY(QDir(m_dir.path()).mkpath("2026-03-09"));
    }
    void init()
    {
        c = std::make_unique<BarcodeEntryController>();
        c->setRecordingAlert([] { QFAIL("unexpected recording alert"); });
        m_newIds.clear();
        BarcodeEntryController::setVideoIsRecording(false);
        setPrefs({{keys::prefSlideShowPath, m_dir.path()},
                  {keys::prefDailyFolderFormat, QString()},
                  {keys::prefSupportDemoCode, true},
                  {keys::prefDoShoutMode, false},
                  {keys::prefDemoCodesList, " demo , DEMO2, x"},
                  {keys::prefDemoSlidesPath, m_dir.filePath("demo slides/../demo slides/.")}});
    }

    // A pause over half a second between presses, measured by the key
    // events' own times, throws away what was typed before it;
    // so does Escape. The same code in another case stays the current one.
    void typing()
    {
        press({"7#1000", "8#1400", "9#2100", "\r#2150"});
        QCOMPARE(c->newBarcode(), QString("9"));
        press({"abc#3000", "\x1b#3010", "ABC#3020", "\r#3030", "abc#3040", "\r#3050"});
        QCOMPARE(m_newIds, (QStringList{"9", "ABC", "abc"}));
        QCOMPARE(c->currentBarcode(), std::optional<QString>("ABC"));
        // A bare Return, or one after blanks only, is no code at all.
        press({"\r#4000", " #5000", "\t#5010", "\r#5020"});
        QCOMPARE(m_newIds.size(), 3);
    }

    void refusedCodes()
    {
        for (const QString code : {"", " ", ".", "..", "a/b", "a\x7f", "\x01"}) {
            QVERIFY2(!CustomerPhotoSearch::isAcceptableCode(code), qPrintable(code));
            QVERIFY(!CustomerPhotoSearch::requestForCode(code));
        }
        QVERIFY(CustomerPhotoSearch::isAcceptableCode("A-1_x.y"));
        // The previewer's announcement is held to the same rules.
        for (const QString value : {" 777 \n", " ", "../8"})
            deliver("KivoPreviewerNotification",
                    {{"action", "NEWCUSTOMERSITTINGSTARTED"}, {"value", value}});
        QCOMPARE(m_newIds, QStringList{"777"});
        QCOMPARE(c->currentBarcode(), std::optional<QString>("777"));
    }

    // While the recorder records, a scanned code raises the alert and does
    // not become current, but is still searched, also when the alert's event
    // loop completes another code meanwhile.
    void recordingHoldsTheCurrentCode()
    {
        auto searched = std::make_shared<QStringList>(); // read once the worker's result is in
        c->slideshowFolder().setPhotoSearch([searched](const QVariantMap &request) {
            *searched << request.value("customerid").toString();
            return QStringList();
        });
        c->setCurrentBarcode(QString("1"));
        deliver("kivoXNotification", {{"action", "statusIsRecording"}, {"senderApp", "Other.app"}});
        QVERIFY(!BarcodeEntryController::videoIsRecording());
        deliver("kivoXNotification",
                {{"action", "STATUSisRecording"}, {"senderApp", "kivo-video.APP"}});
        QSignalSpy done(&c->slideshowFolder(), &CustomerSlideshowFolder::preparationFinished);
        int alerts = 0;
        c->setRecordingAlert([&] {
            if (++alerts == 1)
                press({"3#9000", "\r#9010"});
        });
        press({"2#8000", "\r#8010"});
        QCOMPARE(alerts, 2);
        QCOMPARE(c->currentBarcode(), std::optional<QString>("1"));
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
        QCOMPARE(*searched, (QStringList{"3", "2"}));
        deliver("kivoXNotification",
                {{"action", "statusNotRecording"}, {"senderApp", "Kivo-Video.app"}});
        press({"2#8000", "\r#8010"});
        QCOMPARE(c->currentBarcode(), std::optional<QString>("2"));
    }

    // While the photo store hangs, scans return at once; of the scans made
    // meanwhile only the newest waits, and it is prepared once the store answers.
    void scansWhileTheStoreHangs()
    {
        auto open = std::make_shared<std::atomic<bool>>(false);
        auto searched = std::make_shared<QStringList>(); // read once the worker's result is in
        c->slideshowFolder().setPhotoSearch([open, searched](const QVariantMap &request) {
            while (!*open)
                QThread::msleep(10);
            *searched << request.value("customerid").toString();
            return QStringList();
        });
        QSignalSpy done(&c->slideshowFolder(), &CustomerSlideshowFolder::preparationFinished);
        QElapsedTimer timer;
        timer.start();
        press({"1#100", "\r#110", "2#1000", "\r#1010", "3#2000", "\r#2010"});
        QVERIFY(timer.elapsed() < 500);
        *open = true;
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
        QCOMPARE(*searched, (QStringList{"1", "3"}));
    }

    // Where a code's photos are searched: today's day folder (none without
    // one), the demo folder for a demo code while it exists; in the shout
    // mode without the code.
    void searchFolder()
    {
        auto search = [this](const QString &code) {
            const auto r = CustomerPhotoSearch::requestForCode(code);
            return !r ? QString()
                      : QDir(m_dir.path()).relativeFilePath(r->value("searchPath").toString()) +
                            '|' + r->value("customerid", "-").toString();
        };
        setPrefs({{keys::prefDailyFolderFormat, "yyyy"}});
        QCOMPARE(search("12"), QString());
        setPrefs({{keys::prefDailyFolderFormat, "  "}});
        QCOMPARE(search("12"), QString("2026-03-09|12"));
        QCOMPARE(search("Demo"), QString("2026-03-09|Demo"));
        QVERIFY(QDir(m_dir.path()).mkpath("demo slides"));
        QCOMPARE(search("Demo"), QString("demo slides|Demo"));
        setPrefs({{keys::prefDoShoutMode, true}});
        QCOMPARE(search("7"), QString("2026-03-09|-"));
    }

    // Typed characters go to the buffer; Ctrl/Meta combinations and lone
    // modifiers post nothing; a display window never sees plain typing.
    // Keys for a dialog's text field, or a display's field open for editing,
    // are left to it; a dialog's buttons and the console's own fields do not
    // hold a scan up.
    void keyFilter()
    {
        QWidget w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto consumed = [&](int key, Qt::KeyboardModifiers modifiers, const QString &text) {
            QKeyEvent e(QEvent::KeyPress, key, modifiers, text);
            return BarcodeKeyFilter::handleKeyDown(w.windowHandle(), &e);
        };
        QVERIFY(!consumed(Qt::Key_A, {}, "a") && !consumed(Qt::Key_B, Qt::ShiftModifier, "B "));
        QVERIFY(!consumed(Qt::Key_C, Qt::ControlModifier, "c") && !consumed(Qt::Key_Shift, {}, {}));
        w.setProperty("kivoDisplayWindow", true);
        QVERIFY(consumed(Qt::Key_1, {}, "1") && !consumed(Qt::Key_E, Qt::MetaModifier, "e"));
        QDialog dialog;
        QVERIFY(BarcodeKeyFilter::isOperatorEntry(new QLineEdit(&dialog)));
        QVERIFY(!BarcodeKeyFilter::isOperatorEntry(new QWidget(&dialog)));
        QWidget console;
        QVERIFY(!BarcodeKeyFilter::isOperatorEntry(new QLineEdit(&console)));
        auto *name = new QLineEdit(&w); // a display's name field: open only while edited
        QVERIFY(BarcodeKeyFilter::isOperatorEntry(name));
        name->setReadOnly(true);
        QVERIFY(!BarcodeKeyFilter::isOperatorEntry(name));
        QCOMPARE(c->tempBuffer(), QString("aB1"));
    }
};

QTEST_MAIN(TestBarcodeEntry)
#include "tst_barcodeentry.moc"
