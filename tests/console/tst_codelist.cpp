#include "TestSupport.h"
#include "console/CodeFolderScanner.h"
#include "console/CodeListDump.h"
#include "console/CodeListModel.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <utime.h>

using namespace kivo;

namespace {
QByteArray description(const QString &code, const QString &name = {})
{
    return QStringLiteral("<?xml version=\"1.0\"?><data><code>%1</code><name>%2</name></data>")
        .arg(code, name)
        .toUtf8();
}

void makeCode(const QString &day, const QString &code, int jpgs)
{
    const QString folder = day + QLatin1Char('/') + code;
    QVERIFY(test::writeFile(folder + QLatin1Char('/') + code + QLatin1String(".xml"),
                            description(code)));
    for (int i = 0; i < jpgs; ++i)
        QVERIFY(test::writeFile(folder + QStringLiteral("/p%1.jpg").arg(i), "x"));
}

void setFolderTime(const QString &path, qint64 secsSinceEpoch)
{
    struct utimbuf times
    {
        time_t(secsSinceEpoch), time_t(secsSinceEpoch)
    };
    QCOMPARE(::utime(QFile::encodeName(path).constData(), &times), 0);
}

QStringList codesOf(const QList<CodeEntry> &entries)
{
    QStringList codes;
    for (const CodeEntry &entry : entries)
        codes << entry.row.value(QStringLiteral("code")).toString();
    return codes;
}
} // namespace

class TestCodeList : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;

private slots:
    // Three code folders: one without a description file, one with a
    // malformed one, one good: two rows, one of them without a code.
    void scanListsParsedFoldersOnly()
    {
        const QString day = m_tmp.filePath(QStringLiteral("three"));
        makeCode(day, QStringLiteral("11111111"), 2);
        QVERIFY(QDir().mkpath(day + QStringLiteral("/22222222")));
        QVERIFY(test::writeFile(day + QStringLiteral("/33333333/33333333.xml"), "<data><code>"));
        QVERIFY(test::writeFile(day + QStringLiteral("/.hidden/.hidden.xml"), description("h")));
        QVERIFY(test::writeFile(day + QStringLiteral("/loose.xml"), description("loose")));

        const QDateTime scanTime = QDateTime::currentDateTime();
        QList<CodeEntry> rows = CodeFolderScanner::readCodeRows(day, scanTime);
        QCOMPARE(rows.size(), 2);
        CodeListModel::sortEntries(rows, 1);
        QVERIFY(!rows[0].row.contains(QStringLiteral("code")));
        QVERIFY(!rows[0].row.contains(QStringLiteral("codeStatus")));
        QCOMPARE(rows[0].row.value(QStringLiteral("qty")).toString(), QStringLiteral("-"));
        const QVariantMap good = rows[1].row;
        QCOMPARE(good.value(QStringLiteral("code")).toString(), QStringLiteral("11111111"));
        QCOMPARE(good.value(QStringLiteral("codeStatus")).toString(), QStringLiteral("11111111"));
        QCOMPARE(good.value(QStringLiteral("qty")).toString(), QStringLiteral("-"));
        QVERIFY(good.value(QStringLiteral("contentModDate")).toDateTime().isValid());
        QVERIFY(good.value(QStringLiteral("createDate")).toDateTime().isValid());
        QCOMPARE(rows[1].folderPath, day + QStringLiteral("/11111111"));

        QVERIFY(CodeFolderScanner::readCodeRows(m_tmp.filePath(QStringLiteral("nope")), scanTime)
                    .isEmpty());
    }

    void countsJpgInAnyCaseOnly()
    {
        const QString folder = m_tmp.filePath(QStringLiteral("count"));
        for (const char *name : {"a.JPG", "b.jpg", "c.jpeg", "d.png", ".e.jpg", "f.Jpg.txt"})
            QVERIFY(test::writeFile(folder + QLatin1Char('/') + QLatin1String(name), "x"));
        QCOMPARE(CodeFolderScanner::countPhotos(folder), 3); // a.JPG, b.jpg, .e.jpg
        QCOMPARE(CodeFolderScanner::countPhotos(m_tmp.filePath(QStringLiteral("missing"))), 0);
    }

    void sortTable_data()
    {
        QTest::addColumn<qint64>("tag");
        QTest::addColumn<QStringList>("order");
        // Dates sort newest first; codes sort case-sensitively ("B" < "a").
        QTest::newRow("1 code") << qint64(1) << QStringList{"B", "a", "c"};
        QTest::newRow("2 modified") << qint64(2) << QStringList{"a", "B", "c"};
        QTest::newRow("3 created") << qint64(3) << QStringList{"c", "B", "a"};
        QTest::newRow("0 code") << qint64(0) << QStringList{"B", "a", "c"};
        QTest::newRow("5 code") << qint64(5) << QStringList{"B", "a", "c"};
    }
    void sortTable()
    {
        QFETCH(qint64, tag);
        QFETCH(QStringList, order);
        const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'700'000'000);
        auto entry = [&](const char *code, int modified, int created) {
            return CodeEntry{QLatin1String(code),
                             {{QStringLiteral("code"), QLatin1String(code)},
                              {QStringLiteral("contentModDate"), t0.addSecs(modified)},
                              {QStringLiteral("createDate"), t0.addSecs(created)}}};
        };
        QList<CodeEntry> entries = {entry("c", 10, 30), entry("a", 40, 10), entry("B", 20, 20)};
        CodeListModel::sortEntries(entries, tag);
        QCOMPARE(codesOf(entries), order);
    }

    void modelAppliesCountsAndStatusByCode()
    {
        CodeListModel model;
        model.setEntries({{QStringLiteral("/d/2"), {{"code", "ABC"}, {"qty", "-"}}},
                          {QStringLiteral("/d/1"), {{"code", "abc"}, {"qty", "-"}}},
                          {QStringLiteral("/d/3"), {{"qty", "-"}}}});
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.applyCounts({{QStringLiteral("/d/1"), 4}, {QStringLiteral("/gone"), 9}});
        QCOMPARE(changed.size(), 1);
        QCOMPARE(model.rowAt(model.positionOfFolder("/d/1")).value("qty").toString(), "4");
        QCOMPARE(CodeListModel::qtyOf(model.rowAt(model.positionOfFolder("/d/2"))), 0);
        QCOMPARE(model.updateCodeStatus(QStringLiteral("Abc"), QStringLiteral("Abc (Hall)")), 2);
        QCOMPARE(
            model.data(model.index(model.positionOfFolder("/d/2"), CodeListModel::StatusColumn))
                .toString(),
            QStringLiteral("Abc (Hall)"));
        QCOMPARE(model.updateCodeStatus(QString(), QStringLiteral("x")), 0);
    }

    // Rows come back first, then every count, on the scanner's thread.
    void scannerDeliversRowsThenCounts()
    {
        const QString day = m_tmp.filePath(QStringLiteral("async"));
        for (int i = 0; i < 40; ++i)
            makeCode(day, QStringLiteral("C%1").arg(i, 3, 10, QLatin1Char('0')), i % 5);
        CodeFolderScanner scanner;
        QSignalSpy rows(&scanner, &CodeFolderScanner::rowsReady);
        QSignalSpy counts(&scanner, &CodeFolderScanner::countsReady);
        QSignalSpy finished(&scanner, &CodeFolderScanner::finished);
        scanner.start(day);
        QVERIFY(finished.wait(10000));
        QCOMPARE(rows.size(), 1);
        QHash<QString, int> all;
        for (const QList<QVariant> &args : counts) {
            const auto batch = args.at(0).value<QHash<QString, int>>();
            for (auto it = batch.begin(); it != batch.end(); ++it)
                all.insert(it.key(), it.value());
        }
        QCOMPARE(all.size(), 40);
        QCOMPARE(all.value(day + QStringLiteral("/C013")), 3);
        QVERIFY(!scanner.isRunning());
    }

    // A scan started while one runs supersedes it; a folder removed while
    // listed simply counts 0.
    void newerScanWins()
    {
        const QString dayA = m_tmp.filePath(QStringLiteral("dayA"));
        const QString dayB = m_tmp.filePath(QStringLiteral("dayB"));
        for (int i = 0; i < 200; ++i)
            makeCode(dayA, QStringLiteral("A%1").arg(i), 1);
        makeCode(dayB, QStringLiteral("B1"), 2);
        CodeFolderScanner scanner;
        QSignalSpy rows(&scanner, &CodeFolderScanner::rowsReady);
        QSignalSpy finished(&scanner, &CodeFolderScanner::finished);
        scanner.start(dayA);
        scanner.start(dayB);
        QVERIFY(finished.wait(10000));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(codesOf(rows.at(0).at(0).value<QList<CodeEntry>>()), QStringList{"B1"});
        QVERIFY(QDir(dayB + QStringLiteral("/B1")).removeRecursively());
        QCOMPARE(CodeFolderScanner::countPhotos(dayB + QStringLiteral("/B1")), 0);
    }

    void thousandFoldersAllCounted()
    {
        const QString day = m_tmp.filePath(QStringLiteral("thousand"));
        for (int i = 0; i < 1000; ++i)
            makeCode(day, QStringLiteral("T%1").arg(i, 4, 10, QLatin1Char('0')), i % 2);
        CodeFolderScanner scanner;
        QSignalSpy counts(&scanner, &CodeFolderScanner::countsReady);
        QSignalSpy finished(&scanner, &CodeFolderScanner::finished);
        scanner.start(day);
        QVERIFY(finished.wait(20000));
        int delivered = 0;
        for (const QList<QVariant> &args : counts)
            delivered += int(args.at(0).value<QHash<QString, int>>().size());
        QCOMPARE(delivered, 1000);
    }

    void listCodesPrintsRowsInOrder()
    {
        const QString day = m_tmp.filePath(QStringLiteral("dump"));
        makeCode(day, QStringLiteral("20000000"), 3);
        makeCode(day, QStringLiteral("10000000"), 1);
        setFolderTime(day + QStringLiteral("/20000000"), 1'700'000'000);
        Preferences::standard().setValue(QStringLiteral("prefSortListTag"), qint64(1));
        const QList<CodeEntry> rows = countedCodeRows(day);
        QCOMPARE(codesOf(rows), (QStringList{"10000000", "20000000"}));
        const QJsonObject json = QJsonDocument::fromJson(codeRowJson(rows[1])).object();
        QCOMPARE(json.value("qty").toString(), QStringLiteral("3"));
        QCOMPARE(json.value("codeStatus").toString(), QStringLiteral("20000000"));
        const QDateTime modified =
            QDateTime::fromString(json.value("contentModDate").toString(), Qt::ISODate);
        QCOMPARE(modified.toSecsSinceEpoch(), 1'700'000'000);
    }
};

QTEST_GUILESS_MAIN(TestCodeList)
#include "tst_codelist.moc"
