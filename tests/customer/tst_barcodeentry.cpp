#include "OutputCapture.h"
#include "PhotoFixtures.h"

#include "customer/BarcodeEntryController.h"
#include "customer/BarcodeKeyFilter.h"
#include "customer/CustomerPhotoSearch.h"
#include "platform/DistributedNotificationCenter.h"
#include "station/Clock.h"
#include "station/CustomerCode.h"
#include "station/DailyFolders.h"
#include "station/NotificationNames.h"

#include <QApplication>
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

    // A code typed or sent by the previewer is cleaned of invisible characters
    // and trimmed; a blank one, one that could name another folder or one
    // longer than 64 characters is refused, and named only in part in the log.
    void codes_data()
    {
        columns<QString, QString>("sent", "accepted");
        const QString longest(64, u'7');
        for (const char *refused : {" ", ".", "..", "a/b", "../8", "a\x7f", "\x01"})
            row(refused, QString(refused), QString());
        row("plain", QString("A-1_x.y"), QString("A-1_x.y"));
        row("trimmed", QString(" 777 \n"), QString("777"));
        row("invisibles", QString::fromUtf8("\u200b12\u202e3\u2066\ufeff"), QString("123"));
        row("longest", QString::fromUtf8("\u200f" + longest.toUtf8() + "\u2069"), longest);
        row("too long", QString(longest + '8'), QString());
        row("huge", QString(500000, u'y'), QString());
    }
    void codes()
    {
        const auto [sent, accepted] = fetch<QString, QString>("sent", "accepted");
        OutputCapture log;
        deliver("KivoPreviewerNotification",
                {{"action", "NEWCUSTOMERSITTINGSTARTED"}, {"value", sent}});
        press({sent + "#100", "\r#110"});
        QCOMPARE(m_newIds, accepted.isEmpty() ? QStringList() : QStringList({accepted, accepted}));
        QCOMPARE(c->currentBarcode(), accepted.isEmpty() ? std::nullopt : std::optional(accepted));
        QVERIFY(log.text().size() < 2000);
        // The search and the operator's reassignment refuse the same codes.
        const QString code = CustomerCode::clean(sent);
        QCOMPARE(!CustomerPhotoSearch::requestForCode(code), accepted.isEmpty());
        QCOMPARE(formPathForCodeNew(code).isNull(), accepted.isEmpty());
    }

    // While the recorder records, a scanned code raises the alert and does
    // not become current, but is still searched. One alert at a time, which
    // does not wait for its answer: codes arriving while it is up are
    // dropped, said once in the log.
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
        OutputCapture log;
        press({"2#8000", "\r#8010"});
        for (int i = 0; i < 20; ++i)
            deliver("KivoPreviewerNotification",
                    {{"action", "newCustomerSittingStarted"}, {"value", QString::number(100 + i)}});
        press({"3#9000", "\r#9010"});
        QVERIFY(c->recordingAlert() && c->recordingAlert()->isVisible());
        for (const QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(!w->isVisible() || w == c->recordingAlert());
        QCOMPARE(c->currentBarcode(), std::optional<QString>("1"));
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
        QCOMPARE(*searched, (QStringList{"2", "3"}));
        c->recordingAlert()->reject();
        QVERIFY(!c->recordingAlert());
        QCOMPARE(log.text().count("dropped until it is closed"), 1);
        QVERIFY(log.text().contains("21 codes dropped while the recording alert was up"));
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
    // hold a scan up. While a scanner device is read, key events feed nothing.
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
        BarcodeKeyFilter::setKeysFromDevice(true);
        QVERIFY(consumed(Qt::Key_2, {}, "2"));
        BarcodeKeyFilter::setKeysFromDevice(false);
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
