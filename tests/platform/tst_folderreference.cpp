#include "TestSupport.h"
#include "platform/FolderReference.h"

#include <QtTest>

using namespace kivo;

class TestFolderReference : public QObject
{
    Q_OBJECT

private slots:
    void resolve_data()
    {
        // folder: made, then referenced
        // steps: mkdir A, move A B, remove A, link A B
        // found: empty: does not resolve
        test::columns<QString, QStringList, QString>("folder", "steps", "found");
        test::row("unchanged", "Photos/Main", QStringList(), "Photos/Main");
        test::row("renamed", "Photos/Main", QStringList{"move Photos/Main Photos/Renamed"},
                  "Photos/Renamed");
        // Up and across: the stored parent no longer exists either.
        test::row("moved", "Station/Photos/2024/Main",
                  QStringList{"mkdir Station/Archive/Old/Deep",
                              "move Station/Photos/2024/Main "
                              "Station/Archive/Old/Deep/Main",
                              "remove Station/Photos"},
                  "Station/Archive/Old/Deep/Main");
        test::row("deleted", "Photos/Main", QStringList{"remove Photos/Main"}, "");
        // A new folder under the old name is another folder.
        test::row("replaced", "Photos/Main", QStringList{"remove Photos/Main", "mkdir Photos/Main"},
                  "");
        // Moved out of the searched tree, which only links to it: the link is
        // reached first and not followed; the folder is found at its real path.
        test::row("behind a link", "Tree/Inner",
                  QStringList{"mkdir Outside/Target", "move Tree/Inner Outside/Target/Inner",
                              "link Outside Tree/link"},
                  "Outside/Target/Inner");
        QString deep = "Top";
        for (int i = 0; i < FolderReference::kMaxDepth + 1; ++i)
            deep += QStringLiteral("/d%1").arg(i);
        test::row("too deep", "Top/Item",
                  QStringList{"mkdir " + deep, "move Top/Item " + deep + "/Item"}, "");
    }

    void resolve()
    {
        const auto [folder, steps, found] =
            test::fetch<QString, QStringList, QString>("folder", "steps", "found");
        // Deep enough that the search outward stays inside the temporary folder.
        QTemporaryDir temp;
        const QDir root(temp.filePath("a/b/c/d/e"));
        QVERIFY(QDir().mkpath(root.filePath(folder)));
        const QByteArray blob = FolderReference::create(root.filePath(folder + "/."));
        QVERIFY(!blob.isEmpty());
        for (const QString &step : steps) {
            const QStringList w = step.split(' ');
            const QString a = root.filePath(w[1]), b = root.filePath(w.value(2));
            if (w[0] == "mkdir")
                QVERIFY(QDir().mkpath(a));
            else if (w[0] == "move")
                QVERIFY(QDir().rename(a, b));
            else if (w[0] == "remove")
                QVERIFY(QDir(a).removeRecursively());
            else
                QVERIFY(QFile::link(a, b));
        }
        QString path = "untouched";
        QByteArray updated("stale");
        QCOMPARE(FolderReference::resolve(blob, &path, &updated), !found.isEmpty());
        QCOMPARE(path, found.isEmpty() ? "untouched" : root.filePath(found));
        QCOMPARE(updated.isEmpty(), found.isEmpty() || found == folder);
        if (updated.isEmpty())
            return;
        // The reference is refreshed: it now resolves at once.
        QCOMPARE(FolderReference::storedPath(updated), root.filePath(found));
        QVERIFY(FolderReference::resolve(updated, &path, &updated));
        QVERIFY(updated.isEmpty());
    }

    void malformedBlobsDoNotResolve()
    {
        QTemporaryDir temp;
        QVERIFY(FolderReference::create(temp.filePath("missing")).isEmpty());
        QVERIFY(FolderReference::create(QString()).isEmpty());
        QVERIFY(QDir().mkpath(temp.filePath("a/b/c/d/e")));
        const QByteArray good = FolderReference::create(temp.filePath("a/b/c/d/e"));
        QString path;
        for (qsizetype n = 0; n < good.size(); ++n)
            QVERIFY(!FolderReference::resolve(good.left(n), &path));
        QByteArray relative = good;
        relative[40] = 'x'; // path no longer absolute
        QVERIFY(!FolderReference::resolve(relative, &path));
        QVERIFY(FolderReference::storedPath(relative).isEmpty());
        // Every header byte flipped in turn: never a crash.
        for (qsizetype i = 0; i < 40; ++i) {
            QByteArray b = good;
            b[i] = char(b[i] ^ 0x5a);
            FolderReference::resolve(b, &path);
        }
    }
};

QTEST_GUILESS_MAIN(TestFolderReference)
#include "tst_folderreference.moc"
