#include "TestSupport.h"
#include "platform/AppPaths.h"
#include "platform/Preferences.h"
#include "station/KivoPhotoQueryController.h"
#include "station/PrefKeys.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using kivo::KivoPhotoQueryController;
using kivo::Preferences;
namespace keys = kivo::keys;

namespace {

QStringList names(const QStringList &paths)
{
    QStringList out;
    for (const QString &p : paths)
        out.append(QFileInfo(p).fileName());
    return out;
}

// A prefix whose search script prints each argument on its own line, framed by
// blank lines and trailing blanks, so trimming is seen too.
bool makeFakePrefix(const QString &prefix)
{
    const QString dir = prefix + "/libexec/kivo-slideshow";
    QDir().mkpath(dir);
    QDir().mkpath(prefix + "/share/kivo-slideshow");
    const QString script = dir + "/getnewestfiles.sh";
    if (!kivo::test::writeFile(script, "#!/bin/sh\necho\necho \"argc=$#\"  \n"
                                       "for a in \"$@\"; do printf '  %s  \\n\\n' \"$a\"; done\n"))
        return false;
    return QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class TestKivoPhotoQueryController : public QObject
{
    Q_OBJECT
private slots:
    void init() { Preferences::standard().remove(keys::prefMaxPhotosInLocalFolder); }

    // The documented code folder: photos, notes and subfolders, never the
    // description file or hidden entries; the result reaches the delegate.
    void listingRules()
    {
        QTemporaryDir dir;
        const QString f = dir.path();
        QVERIFY(kivo::test::writeJpeg(f + "/1.jpg", 16, 16));
        QVERIFY(kivo::test::writeFile(f + "/notes.txt", "x"));
        QVERIFY(kivo::test::writeFile(f + "/info.xml", "<a/>"));
        QVERIFY(kivo::test::writeFile(f + "/INFO2.XML", "<a/>"));
        QVERIFY(kivo::test::writeFile(f + "/.hidden.jpg", "x"));
        QVERIFY(QDir(f).mkdir("thumbs"));
        QVERIFY(kivo::test::writeJpeg(f + "/thumbs/inner.jpg", 16, 16));

        QVariantMap seen;
        int calls = 0;
        KivoPhotoQueryController query([&](const QVariantMap &request) {
            seen = request;
            ++calls;
        });
        const QVariantMap request{{"searchPath", f}, {"searchKey", QStringList{"*"}}};
        query.startSearchActionWithParam(request);
        QCOMPARE(calls, 1);
        QCOMPARE(seen, request);
        QCOMPARE(names(query.response()), (QStringList{"1.jpg", "notes.txt", "thumbs"}));
        QCOMPARE(query.response().first(), f + "/1.jpg");
        QVERIFY(!query.param().has_value());

        // A missing folder still delivers, with an empty result replacing the last.
        query.startSearchActionWithParam({{"searchPath", f + "/gone"}});
        QCOMPARE(calls, 2);
        QVERIFY(query.response().isEmpty());
    }

    // Links are listed, never followed: a link to the folder itself, a
    // dangling link and 5 000 files list quickly.
    void linkLoopAndLargeFolder()
    {
        QTemporaryDir dir;
        const QString f = dir.path();
        QVERIFY(::symlink(f.toLocal8Bit().constData(), (f + "/loop").toLocal8Bit().constData()) ==
                0);
        QVERIFY(::symlink("/nonexistent/x.jpg", (f + "/dangling.jpg").toLocal8Bit().constData()) ==
                0);
        for (int i = 0; i < 5000; ++i)
            QVERIFY(kivo::test::writeFile(f + QString("/p%1.jpg").arg(i, 4, 10, QChar('0')), ""));
        QElapsedTimer t;
        t.start();
        KivoPhotoQueryController query;
        query.startSearchActionWithParam({{"searchPath", f}});
        QCOMPARE(query.response().size(), 5002);
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(names(query.response()).contains("loop"));
    }

    void scriptArguments()
    {
        QTemporaryDir prefix;
        QVERIFY(makeFakePrefix(prefix.path()));
        const QString saved = kivo::AppPaths::prefix();
        kivo::AppPaths::setPrefix(prefix.path());

        QVariantMap seen;
        KivoPhotoQueryController query([&](const QVariantMap &r) { seen = r; });
        // Not set: 40; no code: two arguments; blank lines and blanks dropped.
        query.startSearchActionWithParamOldwayKivo2({{"searchPath", "/photos/day"}});
        QCOMPARE(query.response(), (QStringList{"argc=2", "/photos/day", "40"}));
        QCOMPARE(seen.value("searchPath").toString(), QString("/photos/day"));

        Preferences::standard().setValue(keys::prefMaxPhotosInLocalFolder, qint64(0));
        query.startSearchActionWithParamOldwayKivo2(
            {{"searchPath", "/photos/day"}, {"customerid", "0412"}});
        QCOMPARE(query.response(), (QStringList{"argc=3", "/photos/day", "40", "0412"}));

        Preferences::standard().setValue(keys::prefMaxPhotosInLocalFolder, qint64(25));
        query.startSearchActionWithParamOldwayKivo2(
            {{"searchPath", "/photos/day"}, {"customerid", "0412"}});
        QCOMPARE(query.response(), (QStringList{"argc=3", "/photos/day", "25", "0412"}));

        // No script: an empty result, still delivered.
        QVERIFY(QFile::remove(prefix.path() + "/libexec/kivo-slideshow/getnewestfiles.sh"));
        seen.clear();
        query.startSearchActionWithParamOldwayKivo2({{"searchPath", "/photos/day"}});
        QVERIFY(query.response().isEmpty());
        QCOMPARE(seen.value("searchPath").toString(), QString("/photos/day"));
        kivo::AppPaths::setPrefix(saved);
    }
};

QTEST_GUILESS_MAIN(TestKivoPhotoQueryController)
#include "tst_kivophotoquerycontroller.moc"
