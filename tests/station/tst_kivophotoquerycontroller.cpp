#include "OutputCapture.h"
#include "TestSupport.h"
#include "platform/AppPaths.h"
#include "platform/Preferences.h"
#include "station/KivoPhotoQueryController.h"
#include "station/PrefKeys.h"

#include <QtTest>

using namespace kivo;

class TestKivoPhotoQueryController : public QObject
{
    Q_OBJECT
    QVariantMap m_seen;
    int m_calls = 0;
    KivoPhotoQueryController m_query{[this](const QVariantMap &request) {
        m_seen = request;
        ++m_calls;
    }};

private slots:
    // The documented code folder: photos, notes and subfolders, never the
    // description file or hidden entries; links are listed, never followed.
    void listingRules()
    {
        QTemporaryDir dir;
        const QString f = dir.path();
        for (const char *name : {"/1.jpg", "/notes.txt", "/info.xml", "/INFO2.XML", "/.hidden.jpg",
                                 "/thumbs/inner.jpg"})
            QVERIFY(test::writeFile(f + name, "x"));
        QVERIFY(QFile::link(f, f + "/loop"));
        QVERIFY(QFile::link("/nonexistent/x.jpg", f + "/dangling.jpg"));
        const QVariantMap request{{"searchPath", f}, {"searchKey", QStringList{"*"}}};
        m_query.startSearchActionWithParam(request);
        QCOMPARE(m_calls, 1);
        QCOMPARE(m_seen, request);
        QCOMPARE(m_query.response(), (QStringList{f + "/1.jpg", f + "/dangling.jpg", f + "/loop",
                                                  f + "/notes.txt", f + "/thumbs"}));
        QVERIFY(!m_query.param().has_value());
        KivoPhotoQueryController().startSearchActionWithParam(request); // no one to tell

        // A missing folder still delivers, with an empty result replacing the last.
        m_query.startSearchActionWithParam({{"searchPath", f + "/gone"}});
        QCOMPARE(m_calls, 2);
        QVERIFY(m_query.response().isEmpty());
    }

    void scriptArguments()
    {
        // A search script that prints each argument on its own line, framed by
        // blank lines and blanks, so trimming is seen too.
        QTemporaryDir prefix;
        QVERIFY(test::writeScript(prefix.filePath("libexec/kivo-slideshow/getnewestfiles.sh"),
                                  "echo\necho \"argc=$#\"  \n"
                                  "for a in \"$@\"; do printf '  %s  \\n\\n' \"$a\"; done"));
        AppPaths::setPrefix(prefix.path());
        auto restore = qScopeGuard([] { AppPaths::setPrefix(QString()); });

        // Not set: 40; no code: two arguments.
        m_query.startSearchActionWithParamOldwayKivo2({{"searchPath", "/photos/day"}});
        QCOMPARE(m_query.response(), (QStringList{"argc=2", "/photos/day", "40"}));
        QCOMPARE(m_seen.value("searchPath"), "/photos/day");
        const QVariantMap withCode{{"searchPath", "/photos/day"}, {"customerid", "0412"}};
        Preferences::standard().setValue(keys::prefMaxPhotosInLocalFolder, 0);
        m_query.startSearchActionWithParamOldwayKivo2(withCode);
        QCOMPARE(m_query.response(), (QStringList{"argc=3", "/photos/day", "40", "0412"}));
        Preferences::standard().setValue(keys::prefMaxPhotosInLocalFolder, 25);
        m_query.startSearchActionWithParamOldwayKivo2(withCode);
        QCOMPARE(m_query.response(), (QStringList{"argc=3", "/photos/day", "25", "0412"}));
        // The log names a long answer cut short.
        OutputCapture log;
        m_query.startSearchActionWithParamOldwayKivo2(
            {{"searchPath", "/d"}, {"customerid", QString(100000, u'x')}});
        QVERIFY(m_query.response().size() == 4 && log.text().size() < 20000);

        // No script: an empty result, still delivered.
        QVERIFY(QFile::remove(prefix.filePath("libexec/kivo-slideshow/getnewestfiles.sh")));
        m_seen.clear();
        m_query.startSearchActionWithParamOldwayKivo2({{"searchPath", "/photos/day"}});
        QVERIFY(m_query.response().isEmpty());
        QCOMPARE(m_seen.value("searchPath"), "/photos/day");
    }
};

QTEST_GUILESS_MAIN(TestKivoPhotoQueryController)
#include "tst_kivophotoquerycontroller.moc"
