#include "TestSupport.h"
#include "app/SelfChecks.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;
using namespace kivo::test;

class TestSelfChecks : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const
    {
        return name.isEmpty() ? QString() : m_dir.filePath(name);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(m_dir.path()).mkpath("store/day") && QDir(m_dir.path()).mkpath("logs"));
        QVERIFY(writeFile(m_dir.filePath("LS.png"), "png"));
    }

    void checkStore_data()
    {
        columns<QString, QString, bool, QString>("store", "day", "reachable", "reason");
        row("fine", "store", "store/day", true, "");
        row("day not looked at", "store", "", true, "");
        row("no store set", "", "", false, "store: no main images folder is set");
        row("store gone", "gone", "store/day", false, "store %1/gone missing");
        row("day folder gone", "store", "store/other", true, "day folder %1/store/other missing");
    }

    void checkStore()
    {
        const auto [store, day, reachable, reason] =
            fetch<QString, QString, bool, QString>("store", "day", "reachable", "reason");
        const SelfChecks::StoreFacts facts = SelfChecks::checkStore(path(store), path(day));
        QCOMPARE(facts.reachable, reachable);
        QCOMPARE(facts.reasons,
                 reason.isEmpty() ? QStringList() : QStringList{reason.arg(m_dir.path())});
        QCOMPARE(facts.listingMs >= 0, !store.isEmpty());
    }

    void checkLocal()
    {
        SelfChecks::Targets fine{{}, {}, false, {path("LS.png")}, m_dir.path(), path("logs")};
        QCOMPARE(SelfChecks::checkLocal(fine), QStringList());
        const SelfChecks::Targets broken{
            {}, {}, false, {path("LS.png"), path("PRT.png")}, path("gone"), path("nolog")};
        QCOMPARE(SelfChecks::checkLocal(broken),
                 QStringList({"overlay picture " + path("PRT.png") + " missing",
                              "working folder " + path("gone") + " not writable",
                              "log folder " + path("nolog") + " not writable"}));
    }
};

QTEST_GUILESS_MAIN(TestSelfChecks)
#include "tst_selfchecks.moc"
