#include "TestSupport.h"

#include "platform/FolderReference.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kivo;

class TestFolderReference : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_root;
    QString at(const QString &rel) const { return m_root->path() + QLatin1Char('/') + rel; }
    bool mkdir(const QString &rel) const { return QDir().mkpath(at(rel)); }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
    }

    void unchangedPathResolvesToItself()
    {
        QVERIFY(mkdir("Photos/Main"));
        const QByteArray blob = FolderReference::create(at("Photos/Main/."));
        QVERIFY(!blob.isEmpty());
        QString path;
        QByteArray updated("stale");
        QVERIFY(FolderReference::resolve(blob, &path, &updated));
        QCOMPARE(path, at("Photos/Main"));
        QVERIFY(updated.isEmpty());
        QVERIFY(FolderReference::create(at("Photos/missing")).isEmpty());
        QVERIFY(FolderReference::create(QString()).isEmpty());
    }

    void renamedFolderIsFoundAndTheReferenceRefreshed()
    {
        QVERIFY(mkdir("Photos/Main"));
        QVERIFY(test::writeFile(at("Photos/Main/a.jpg"), "x"));
        const QByteArray blob = FolderReference::create(at("Photos/Main"));
        QVERIFY(QDir().rename(at("Photos/Main"), at("Photos/Renamed")));
        QString path;
        QByteArray updated;
        QVERIFY(FolderReference::resolve(blob, &path, &updated));
        QCOMPARE(path, at("Photos/Renamed"));
        QCOMPARE(FolderReference::storedPath(updated), at("Photos/Renamed"));
        QVERIFY(FolderReference::resolve(updated, &path, &updated));
        QVERIFY(updated.isEmpty());
    }

    void folderMovedElsewhereInTheTreeIsFound()
    {
        // Moved up and across: the stored parent no longer exists either.
        QVERIFY(mkdir("Station/Photos/2024/Main"));
        QVERIFY(mkdir("Station/Archive/Old/Deep"));
        const QByteArray blob = FolderReference::create(at("Station/Photos/2024/Main"));
        QVERIFY(QDir().rename(at("Station/Photos/2024/Main"), at("Station/Archive/Old/Deep/Main")));
        QVERIFY(QDir(at("Station/Photos")).removeRecursively());
        QString path;
        QVERIFY(FolderReference::resolve(blob, &path));
        QCOMPARE(path, at("Station/Archive/Old/Deep/Main"));
    }

    void deletedOrReplacedFolderDoesNotResolve()
    {
        QVERIFY(mkdir("Photos/Main"));
        const QByteArray blob = FolderReference::create(at("Photos/Main"));
        QVERIFY(QDir(at("Photos/Main")).removeRecursively());
        QString path = QStringLiteral("untouched");
        QVERIFY(!FolderReference::resolve(blob, &path));
        QCOMPARE(path, QStringLiteral("untouched"));
        // A new folder under the old name is another folder.
        QVERIFY(mkdir("Photos/Main"));
        QVERIFY(!FolderReference::resolve(blob, &path));
    }

    void symbolicLinksAreNotFollowed()
    {
        QVERIFY(mkdir("Tree/Inner"));
        QVERIFY(mkdir("Outside/Target"));
        const QByteArray blob = FolderReference::create(at("Tree/Inner"));
        // The folder moves outside the searched tree; the tree only links to it.
        QVERIFY(QDir().rename(at("Tree/Inner"), at("Outside/Target/Inner")));
        QVERIFY(QFile::link(at("Outside"), at("Tree/link")));
        // The link would be reached first; the folder is found at its real path.
        QString path;
        QVERIFY(FolderReference::resolve(blob, &path));
        QCOMPARE(path, at("Outside/Target/Inner"));
    }

    void searchDepthIsBounded()
    {
        QString deep = QStringLiteral("Top");
        for (int i = 0; i < FolderReference::kMaxDepth + 1; ++i)
            deep += QStringLiteral("/d%1").arg(i);
        QVERIFY(mkdir(deep));
        QVERIFY(mkdir("Top/Item"));
        const QByteArray blob = FolderReference::create(at("Top/Item"));
        QVERIFY(QDir().rename(at("Top/Item"), at(deep + "/Item")));
        QString path;
        QVERIFY(!FolderReference::resolve(blob, &path));
    }

    void malformedBlobsDoNotResolve()
    {
        QVERIFY(mkdir("Photos"));
        const QByteArray good = FolderReference::create(at("Photos"));
        QString path;
        QVERIFY(!FolderReference::resolve(QByteArray(), &path));
        for (qsizetype n = 0; n < good.size(); ++n)
            QVERIFY(!FolderReference::resolve(good.left(n), &path));
        QByteArray relative = good;
        relative[40] = 'x'; // path no longer absolute
        QVERIFY(!FolderReference::resolve(relative, &path));
        QVERIFY(FolderReference::storedPath(relative).isEmpty());
        // Every byte flipped in turn: never a crash.
        for (qsizetype i = 0; i < good.size(); ++i) {
            QByteArray b = good;
            b[i] = char(b[i] ^ 0x5a);
            FolderReference::resolve(b, &path);
        }
    }
};

QTEST_GUILESS_MAIN(TestFolderReference)
#include "tst_folderreference.moc"
