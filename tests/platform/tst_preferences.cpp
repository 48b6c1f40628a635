#include "TestSupport.h"

#include "platform/AtomicFile.h"
#include "platform/Preferences.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace kivo;

namespace {

const char kWriterFlag[] = "--prefs-writer";

// A state the killed-writer test can check for completeness: every key
// carries the same counter.
QVariantMap writerState(qint64 i)
{
    const QString n = QString::number(i);
    QVariantList list;
    for (int k = 0; k < 200; ++k)
        list << n;
    return {{QStringLiteral("counter"), i},
            {QStringLiteral("payload"), n.repeated(20000)},
            {QStringLiteral("list"), list}};
}

int runWriter(const QString &path)
{
    Preferences prefs(path);
    for (qint64 i = 0;; ++i)
        prefs.setValues(writerState(i));
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// A binary property list: {name = Kivo; count = 42; on = true}.
const QByteArray kBinaryPlist(
    "\x62\x70\x6c\x69\x73\x74\x30\x30\xd3\x01\x03\x05\x02\x04\x06\x54\x6e\x61\x6d\x65\x54\x4b\x69"
    "\x76\x6f\x55\x63\x6f\x75\x6e\x74\x10\x2a\x52\x6f\x6e\x09\x08\x0f\x14\x19\x1f\x21\x24\x00\x00"
    "\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x07\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x25",
    76);

} // namespace

class TestPreferences : public QObject
{
    Q_OBJECT
    QString m_folder;
    QString path() const { return m_folder + QStringLiteral("/Kivo/Test.plist"); }

private slots:
    void init()
    {
        m_folder = QDir::tempPath() + QStringLiteral("/prefs-") +
                   QString::number(QDateTime::currentMSecsSinceEpoch()) +
                   QString::number(qintptr(this));
        QDir().mkpath(m_folder);
    }
    void cleanup() { QDir(m_folder).removeRecursively(); }

    void valuesSurviveTheFile()
    {
        const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 7, 250), QTimeZone::utc());
        const QVariantMap nested{{QStringLiteral("inner"), QVariantList{1, QStringLiteral("x")}}};
        {
            Preferences prefs(path());
            prefs.setValues(
                {{QStringLiteral("s"), QStringLiteral("Grüße <&> \"quoted\"")},
                 {QStringLiteral("b"), true},
                 {QStringLiteral("i"), -42},
                 {QStringLiteral("big"), Q_INT64_C(9000000000)},
                 {QStringLiteral("r"), 0.1},
                 {QStringLiteral("d"), QByteArray("\x00\x01\xff", 3)},
                 {QStringLiteral("a"), QStringList{QStringLiteral("p"), QStringLiteral("q")}},
                 {QStringLiteral("m"), nested},
                 {QStringLiteral("t"), when}});
        }
        Preferences again(path());
        QCOMPARE(again.string(QStringLiteral("s")), QStringLiteral("Grüße <&> \"quoted\""));
        QCOMPARE(again.boolean(QStringLiteral("b")), true);
        QCOMPARE(again.integer(QStringLiteral("i")), -42);
        QCOMPARE(again.integer(QStringLiteral("big")), Q_INT64_C(9000000000));
        QCOMPARE(again.real(QStringLiteral("r")), 0.1);
        QCOMPARE(again.data(QStringLiteral("d")), QByteArray("\x00\x01\xff", 3));
        QCOMPARE(again.stringArray(QStringLiteral("a")), QStringList({"p", "q"}));
        QCOMPARE(again.dictionary(QStringLiteral("m")), nested);
        // Dates are kept to the second, in memory as in the file.
        QCOMPARE(again.object(QStringLiteral("t")).toDateTime(), when.addMSecs(-250));
    }

    void binaryAndXmlPropertyListsRead()
    {
        const QVariantMap bin = parsePropertyList(kBinaryPlist).toMap();
        QCOMPARE(bin.value("name").toString(), QStringLiteral("Kivo"));
        QCOMPARE(bin.value("count").toLongLong(), 42);
        QCOMPARE(bin.value("on").toBool(), true);
        const QByteArray xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                               "<key>when</key><date>2001-01-01T00:01:00Z</date>"
                               "</dict></plist>";
        QCOMPARE(parsePropertyList(xml).toMap().value("when").toDateTime(),
                 QDateTime(QDate(2001, 1, 1), QTime(0, 1), QTimeZone::utc()));
        // Every truncation of a valid file is rejected or read, never a crash.
        const QByteArray full = serializePropertyList(writerState(7));
        for (qsizetype n = 0; n < full.size(); n += 7)
            parsePropertyList(full.left(n));
        for (qsizetype n = 0; n < kBinaryPlist.size(); ++n)
            parsePropertyList(kBinaryPlist.left(n));
        QVERIFY(!parsePropertyList("garbage").isValid());
        QVERIFY(!readPropertyList(m_folder + "/missing.plist").isValid());
    }

    void registeredValuesStayOutOfTheFile()
    {
        Preferences prefs(path());
        prefs.registerDefaults({{QStringLiteral("prefDelay"), 5},
                                {QStringLiteral("prefName"), QStringLiteral("factory")}});
        QCOMPARE(prefs.integer(QStringLiteral("prefDelay")), 5);
        prefs.setValue(QStringLiteral("prefDelay"), 9);
        QCOMPARE(prefs.integer(QStringLiteral("prefDelay")), 9);
        QVERIFY(prefs.synchronize());
        const QVariantMap onDisk = readPropertyList(path()).toMap();
        QCOMPARE(onDisk, QVariantMap({{QStringLiteral("prefDelay"), qint64(9)}}));
        prefs.remove(QStringLiteral("prefDelay"));
        QCOMPARE(prefs.integer(QStringLiteral("prefDelay")), 5);
        QVERIFY(readPropertyList(path()).toMap().isEmpty());
        // A new registration replaces the old one entirely.
        prefs.registerDefaults({});
        QVERIFY(!prefs.contains(QStringLiteral("prefName")));
    }

    void wrongTypesReadEmpty()
    {
        Preferences prefs(path());
        prefs.setValues({{QStringLiteral("num"), 12},
                         {QStringLiteral("str"), QStringLiteral("hello")},
                         {QStringLiteral("numstr"), QStringLiteral(" 12 ")},
                         {QStringLiteral("yes"), QStringLiteral("YES")},
                         {QStringLiteral("list"), QVariantList{1, QStringLiteral("a")}}});
        QCOMPARE(prefs.string(QStringLiteral("num")), QString());
        QCOMPARE(prefs.data(QStringLiteral("str")), QByteArray());
        QCOMPARE(prefs.integer(QStringLiteral("str")), 0);
        QCOMPARE(prefs.integer(QStringLiteral("numstr")), 12);
        QCOMPARE(prefs.boolean(QStringLiteral("yes")), true);
        QCOMPARE(prefs.boolean(QStringLiteral("num")), true);
        QCOMPARE(prefs.stringArray(QStringLiteral("list")), QStringList({"a"}));
    }

    void garbledFileIsKeptAside()
    {
        QVERIFY(test::writeFile(path(), "<?xml version=\"1.0\"?><plist><dict><key>a</key>"));
        Preferences prefs(path());
        QVERIFY(prefs.userValues().isEmpty());
        QCOMPARE(QFileInfo(path() + ".corrupt").size(), 46);
        prefs.setValue(QStringLiteral("a"), 1);
        QCOMPARE(readPropertyList(path()).toMap().value("a").toLongLong(), 1);

        // A second bad file never replaces the first one kept aside, and a
        // property list whose root is not a dictionary counts as bad too.
        QVERIFY(test::writeFile(path(), serializePropertyList(QVariantList{1, 2})));
        prefs.reload();
        QVERIFY(prefs.userValues().isEmpty());
        QCOMPARE(QFileInfo(path() + ".corrupt").size(), 46);
        QVERIFY(QFileInfo::exists(path() + ".corrupt.1"));
        // An empty file (a writer that was not atomic) is bad as well.
        QVERIFY(test::writeFile(path(), QByteArray()));
        Preferences third(path());
        QVERIFY(QFileInfo::exists(path() + ".corrupt.2"));
    }

    void changeSignalPerKey()
    {
        Preferences prefs(path());
        prefs.registerDefaults({{QStringLiteral("r"), 1}});
        QSignalSpy spy(&prefs, &Preferences::valueChanged);
        prefs.setValues({{QStringLiteral("a"), 1}, {QStringLiteral("b"), 2}});
        QCOMPARE(spy.count(), 2);
        spy.clear();
        prefs.setValue(QStringLiteral("a"), 1); // unchanged
        prefs.setValue(QStringLiteral("r"), 1); // same as registered
        QCOMPARE(spy.count(), 0);
        prefs.registerDefaults({{QStringLiteral("r"), 7}}); // shadowed by the user value
        QCOMPARE(spy.count(), 0);
        prefs.remove(QStringLiteral("r"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(prefs.integer(QStringLiteral("r")), 7);
        prefs.setValue(QStringLiteral("a"), QStringLiteral("1")); // same text, other type
        QCOMPARE(spy.count(), 2);
    }

    void concurrentReadsAndWrites()
    {
        Preferences prefs(path());
        prefs.registerDefaults({{QStringLiteral("shared"), 0}});
        constexpr int kWriters = 4, kRounds = 40;
        std::vector<std::thread> threads;
        std::atomic<int> bad{0};
        for (int w = 0; w < kWriters; ++w) {
            threads.emplace_back([&prefs, w] {
                for (int i = 0; i < kRounds; ++i) {
                    prefs.setValue(QStringLiteral("key%1").arg(w), i);
                    prefs.setValue(QStringLiteral("shared"), w * 1000 + i);
                }
            });
        }
        for (int r = 0; r < 2; ++r) {
            threads.emplace_back([&prefs, &bad] {
                for (int i = 0; i < 2000; ++i) {
                    const qint64 v = prefs.integer(QStringLiteral("shared"));
                    if (v < 0 || v % 1000 >= kRounds)
                        ++bad;
                    prefs.userValues();
                }
            });
        }
        for (auto &t : threads)
            t.join();
        QCOMPARE(bad.load(), 0);
        Preferences fromDisk(path());
        for (int w = 0; w < kWriters; ++w)
            QCOMPARE(fromDisk.integer(QStringLiteral("key%1").arg(w)), kRounds - 1);
        QCOMPARE(fromDisk.userValues(), prefs.userValues());
        QCOMPARE(folderEntries(QFileInfo(path()).absolutePath()), QStringList({"Test.plist"}));
    }

    void killedWriterLeavesACompleteFile()
    {
        QProcess writer;
        writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writer.start(QCoreApplication::applicationFilePath(), {kWriterFlag, path()});
        QVERIFY(writer.waitForStarted());
        const auto stopWriter = qScopeGuard([&writer] {
            writer.kill();
            writer.waitForFinished();
        });
        QTRY_VERIFY_WITH_TIMEOUT(
            readPropertyList(path()).toMap().value("counter").toLongLong() >= 3, 20000);
        QTest::qWait(137);
        writer.kill(); // SIGKILL
        QVERIFY(writer.waitForFinished());
        const QVariantMap state = readPropertyList(path()).toMap();
        const qint64 counter = state.value("counter").toLongLong();
        QVERIFY(counter >= 3);
        QCOMPARE(state, writerState(counter));
        // The store opens the file as it was left.
        Preferences prefs(path());
        QCOMPARE(prefs.integer(QStringLiteral("counter")), counter);
        QVERIFY(!QFileInfo::exists(path() + ".corrupt"));
    }

    void atomicWriteFailuresLeaveNoTrace()
    {
        QString error;
        QVERIFY(!writeFileAtomically(m_folder + "/no/such/folder/file", "x", &error));
        QVERIFY(!error.isEmpty());
        // Writing over a folder fails and leaves the folder and no temporary file.
        QDir().mkpath(m_folder + "/dir");
        QVERIFY(!writeFileAtomically(m_folder + "/dir", "x", &error));
        QVERIFY(QFileInfo(m_folder + "/dir").isDir());
        QCOMPARE(folderEntries(m_folder), QStringList());
        // A replaced file keeps its mode.
        const QString file = m_folder + "/mode.txt";
        QVERIFY(writeFileAtomically(file, "one"));
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(writeFileAtomically(file, "two"));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("two"));
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], kWriterFlag) == 0)
        return runWriter(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestPreferences tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_preferences.moc"
