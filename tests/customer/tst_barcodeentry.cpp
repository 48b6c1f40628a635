#include "TestSupport.h"

#include "customer/BarcodeEntryController.h"
#include "customer/BarcodeKeyFilter.h"
#include "customer/CustomerPhotoSearch.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Preferences.h"
#include "station/Clock.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"

#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

using namespace kivo;

namespace {

QString pref(const char *key)
{
    return QString::fromLatin1(key);
}

void type(const QString &keys)
{
    for (const QChar c : keys)
        NotificationCenter::defaultCenter().post(notification::AddStringToBuffer,
                                                 QVariantMap{{"newString", QString(c)}});
}

// Counts the key presses that reach it.
class KeyCounter : public QWidget
{
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *) override { ++presses; }
};

} // namespace

class TestBarcodeEntry : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    qint64 m_now = 0;
    QList<QVariantMap> m_newIds;
    int m_alerts = 0;
    ObserverToken m_token;

    std::unique_ptr<BarcodeEntryController> make()
    {
        auto c = std::make_unique<BarcodeEntryController>(nullptr, [this] { return m_now; });
        c->setRecordingAlert([this] { ++m_alerts; });
        return c;
    }
    void deliver(const QString &name, const QVariantMap &info)
    {
        DistributedNotificationCenter::defaultCenter().deliver(name, info);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_token = NotificationCenter::defaultCenter().addObserver(
            notification::NewCustomerId,
            [this](const Notification &n) { m_newIds.append(n.object.toMap()); });
    }

    void init()
    {
        m_newIds.clear();
        m_alerts = 0;
        BarcodeEntryController::setVideoIsRecording(false);
        Preferences::standard().setValue(pref(keys::prefSlideShowPath), m_dir.path());
        Preferences::standard().setValue(pref(keys::prefDoShoutMode), false);
        Preferences::standard().setValue(pref(keys::prefSupportDemoCode), true);
        Preferences::standard().setValue(pref(keys::prefDemoCodesList), QVariantList{"demo"});
    }

    // A pause over half a second throws away what was typed before it.
    void pauseDiscardsBuffer()
    {
        auto c = make();
        type("1234");
        QCOMPARE(c->tempBuffer(), QString("1234"));
        m_now += 600;
        type("56");
        m_now += 400;
        type("\r");
        QCOMPARE(c->newBarcode(), QString("56"));
        QCOMPARE(c->tempBuffer(), QString());
        QCOMPARE(m_newIds.size(), 1);
        QCOMPARE(m_newIds.first().value("newBarcode").toString(), QString("56"));
        QCOMPARE(c->currentBarcode(), std::optional<QString>("56"));
    }

    // Key presses handled in a burst by a busy main thread are measured by
    // their own event times.
    void pauseMeasuredByEventTime()
    {
        auto c = make();
        auto key = [](const QString &text, qulonglong ms) {
            NotificationCenter::defaultCenter().post(
                notification::AddStringToBuffer,
                QVariantMap{{"newString", text}, {"NSEvent", QVariantMap{{"timestamp", ms}}}});
        };
        key("7", 1000);
        key("8", 1400);
        key("9", 2100); // 0.7 s after the 8
        key("\r", 2150);
        QCOMPARE(c->newBarcode(), QString("9"));
        key("1", 5000);
        key("2", 5300);
        key("\r", 5700);
        QCOMPARE(c->newBarcode(), QString("12"));
    }

    void recordingFlag()
    {
        auto c = make();
        c->setCurrentBarcode(QString("1"));
        deliver("kivoXNotification", {{"action", "STATUSisRecording"}, {"senderApp", "Other.app"}});
        deliver("kivoXNotification", {{"action", "statusIsRecording"}});
        QVERIFY(!BarcodeEntryController::videoIsRecording());
        deliver("kivoXNotification",
                {{"action", "statusIsRecording"}, {"senderApp", "kivo-video.APP"}});
        QVERIFY(BarcodeEntryController::videoIsRecording());
        type("2\r");
        QCOMPARE(m_alerts, 1);
        QCOMPARE(c->currentBarcode(), std::optional<QString>("1"));
        deliver("kivoXNotification",
                {{"action", "somethingElse"}, {"senderApp", "Kivo-Video.app"}});
        QVERIFY(BarcodeEntryController::videoIsRecording());
        deliver("kivoXNotification",
                {{"action", "statusNotRecording"}, {"senderApp", "Kivo-Video.app"}});
        type("2\r");
        QCOMPARE(m_alerts, 1);
        QCOMPARE(c->currentBarcode(), std::optional<QString>("2"));
    }

    // Codes that could form a path elsewhere are refused before any path is formed.
    void hostileCodes()
    {
        auto c = make();
        for (const QString &code : {QString("."), QString(".."), QString("a/b"), QString("../2026"),
                                    QString("a\x08"), QString(QChar(0)) + "x"}) {
            QVERIFY2(!CustomerPhotoSearch::isAcceptableCode(code), qPrintable(code));
            QVERIFY(!CustomerPhotoSearch::requestForCode(code));
            type(code + "\r");
            QVERIFY(c->currentBarcode() != code);
        }
        QVERIFY(CustomerPhotoSearch::isAcceptableCode("A-1_x.y"));
        QVERIFY(CustomerPhotoSearch::isAcceptableCode("*"));
    }

    void searchFolderChoice()
    {
        ScopedTestClock clock(QDateTime(QDate(2026, 3, 10), QTime(2, 0))); // business day 9 March
        const QString dayFolder = m_dir.filePath("2026-03-09");
        const QString demoFolder = m_dir.filePath("demo slides");
        Preferences &p = Preferences::standard();
        p.setValue(pref(keys::prefDailyFolderFormat), QString("  "));
        QCOMPARE(CustomerPhotoSearch::getDailyFolderFormat(), QString("yyyy-MM-dd"));
        QVERIFY(!CustomerPhotoSearch::requestForCode(QString("12"))); // no day folder yet
        QVERIFY(QDir().mkpath(dayFolder));
        auto r = CustomerPhotoSearch::requestForCode(QString("12"));
        QVERIFY(r);
        QCOMPARE(r->value("searchPath").toString(), dayFolder);
        QCOMPARE(r->value("customerid").toString(), QString("12"));
        // A carriage return alone searches with an empty code.
        QCOMPARE(CustomerPhotoSearch::requestForCode(QString())->value("customerid"),
                 QVariant(QString()));

        // Demo code: the demo folder when it exists, else the day folder.
        p.setValue(pref(keys::prefDemoSlidesPath), demoFolder + "/../demo slides/.");
        QCOMPARE(
            CustomerPhotoSearch::requestForCode(QString("Demo"))->value("searchPath").toString(),
            dayFolder);
        QVERIFY(QDir().mkpath(demoFolder));
        r = CustomerPhotoSearch::requestForCode(QString("Demo"));
        QCOMPARE(r->value("searchPath").toString(), demoFolder);
        QCOMPARE(r->value("customerid").toString(), QString("Demo"));
        p.setValue(pref(keys::prefSupportDemoCode), false);
        QCOMPARE(
            CustomerPhotoSearch::requestForCode(QString("demo"))->value("searchPath").toString(),
            dayFolder);

        // Shout mode: every photo of the day.
        p.setValue(pref(keys::prefDoShoutMode), true);
        r = CustomerPhotoSearch::requestForCode(QString("*"));
        QCOMPARE(r->value("searchPath").toString(), dayFolder);
        QVERIFY(!r->contains("customerid"));

        // Another day-folder format.
        p.setValue(pref(keys::prefDailyFolderFormat), QString("yyyyMMdd\n"));
        QVERIFY(QDir().mkpath(m_dir.filePath("20260309")));
        QCOMPARE(CustomerPhotoSearch::requestForCode(QString("1"))->value("searchPath").toString(),
                 m_dir.filePath("20260309"));
        p.setValue(pref(keys::prefDailyFolderFormat), QString());
    }

    // Key presses reach the buffer once each; Ctrl/Alt/Meta combinations and
    // lone modifiers post nothing; a display window never sees plain typing.
    void keyInterception()
    {
        auto c = make();
        struct Filter : QObject
        {
            bool eventFilter(QObject *o, QEvent *e) override
            {
                return e->type() == QEvent::KeyPress &&
                       BarcodeKeyFilter::handleKeyDown(o, static_cast<QKeyEvent *>(e));
            }
        } filter;
        qApp->installEventFilter(&filter);
        KeyCounter w;
        w.resize(100, 100);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QWindow *win = w.windowHandle();
        QTest::keyClick(win, Qt::Key_A);
        QTest::keyClick(win, 'B', Qt::ShiftModifier);
        QTest::keyClick(win, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(win, Qt::Key_D, Qt::AltModifier);
        QTest::keyClick(win, Qt::Key_Shift);
        QTest::keyClick(win, Qt::Key_Space);
        QCOMPARE(c->tempBuffer(), QString("aB"));
        QCOMPARE(w.presses, 9); // with the three modifier presses

        w.setProperty("kivoDisplayWindow", true);
        QTest::keyClick(win, Qt::Key_1);
        QCOMPARE(w.presses, 9);
        QTest::keyClick(win, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(w.presses > 9); // the Ctrl combination gets through
        QTest::keyClick(win, Qt::Key_Return);
        QCOMPARE(c->newBarcode(), QString("aB1"));
        qApp->removeEventFilter(&filter);
    }
    void pauseTimerFires()
    {
        auto c = make();
        QCOMPARE(c->timerInterval(), 0.5f);
        type("12");
        QCOMPARE(c->tempBuffer(), QString("12"));
        QTRY_COMPARE_WITH_TIMEOUT(c->tempBuffer(), QString(), 3000);
    }
    void escapeAndCancel()
    {
        auto c = make();
        type("1234\x1b\r");
        QCOMPARE(c->newBarcode(), QString());
        QCOMPARE(m_newIds.size(), 1); // posted, then ignored as empty
        QCOMPARE(c->currentBarcode(), std::nullopt);
        type("99");
        c->cancelOperation();
        QCOMPARE(c->tempBuffer(), QString());
        QVERIFY(!c->acceptsFirstResponder());
        QVERIFY(!c->resignFirstResponder());
    }
    void sameCodeAnyCase()
    {
        auto c = make();
        type("abc\r");
        QCOMPARE(c->currentBarcode(), std::optional<QString>("abc"));
        type("ABC\r");
        QCOMPARE(c->newBarcode(), QString("ABC"));
        QCOMPARE(c->currentBarcode(), std::optional<QString>("abc"));
    }
    void previewer()
    {
        auto c = make();
        deliver("KivoPreviewerNotification",
                {{"action", "NEWCUSTOMERSITTINGSTARTED"}, {"value", " 777 \n"}});
        QCOMPARE(m_newIds.size(), 1);
        QCOMPARE(m_newIds.first().value("fromKivo").toBool(), true);
        QCOMPARE(c->currentBarcode(), std::optional<QString>("777"));
        deliver("KivoPreviewerNotification", {{"action", "other"}, {"value", "8"}});
        deliver("KivoPreviewerNotification",
                {{"action", "newCustomerSittingStarted"}, {"value", " "}});
        deliver("KivoPreviewerNotification",
                {{"action", "newCustomerSittingStarted"}, {"value", "../8"}});
        QCOMPARE(m_newIds.size(), 1);
        QCOMPARE(c->currentBarcode(), std::optional<QString>("777"));
    }
    void demoCodeLists()
    {
        QCOMPARE(CustomerPhotoSearch::demoCodesList(QVariantList{" demo ", "", "x\n", 5}),
                 (QStringList{"demo", "x"}));
        QCOMPARE(CustomerPhotoSearch::demoCodesList(QString(" demo , DEMO2,x,, ")),
                 (QStringList{"demo", "DEMO2", "x"}));
        QCOMPARE(CustomerPhotoSearch::demoCodesList(QVariant(7)), QStringList());
        Preferences::standard().setValue(pref(keys::prefDemoCodesList),
                                         QString(" demo , DEMO2, x"));
        QVERIFY(CustomerPhotoSearch::isDemoCode("DEMO"));
        QVERIFY(CustomerPhotoSearch::isDemoCode("X"));
        QVERIFY(!CustomerPhotoSearch::isDemoCode("DEMO2")); // lower-cased to demo2
        Preferences::standard().setValue(pref(keys::prefSupportDemoCode), false);
        QVERIFY(!CustomerPhotoSearch::isDemoCode("demo"));
    }
};

QTEST_MAIN(TestBarcodeEntry)
#include "tst_barcodeentry.moc"
