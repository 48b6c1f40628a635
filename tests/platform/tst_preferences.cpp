#include "TestSupport.h"

#include "platform/AtomicFile.h"
#include "platform/Preferences.h"

#include <QtTest>

#include <thread>

using namespace kivo;

namespace {

const char kWriterFlag[] = "--prefs-writer";

// A state the killed-writer test can check for completeness: every key
// carries the same counter.
QVariantMap writerState(qint64 i)
{
    const QString n = QString::number(i);
    return {{"counter", i}, {"payload", n.repeated(20000)}, {"list", QVariantList(200, n)}};
}

// A binary property list: {name = Kivo; count = 42; on = true}.
const QByteArray kBinaryPlist(
    "\x62\x70\x6c\x69\x73\x74\x30\x30\xd3\x01\x03\x05\x02\x04\x06\x54\x6e\x61\x6d\x65\x54\x4b\x69"
    "\x76\x6f\x55\x63\x6f\x75\x6e\x74\x10\x2a\x52\x6f\x6e\x09\x08\x0f\x14\x19\x1f\x21\x24\x00\x00"
    "\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x07\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x25",
    76);

// Big-endian bytes of v.
QByteArray be(quint64 v, int size)
{
    v = qToBigEndian(v);
    return QByteArray(reinterpret_cast<const char *>(&v) + 8 - size, size);
}

// Property lists nested n arrays deep: XML under a dictionary root, and binary.
QList<QByteArray> deeplyNested(int n)
{
    QByteArray bin("bplist00"), offsets;
    for (int i = 0; i <= n; ++i) {
        offsets += be(bin.size(), 4);
        bin += i < n ? "\xa1" + be(i + 1, 4) : QByteArray("\xa0");
    }
    // The trailer: offset and reference sizes, object count, top object, table offset.
    bin += offsets + QByteArray(6, '\0') + "\x04\x04" + be(n + 1, 8) + be(0, 8) + be(bin.size(), 8);
    return {"<plist><dict><key>a</key>" + QByteArray("<array>").repeated(n) +
                QByteArray("</array>").repeated(n) + "</dict></plist>",
            bin};
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class TestPreferences : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    // A folder and a file of the test's own.
    QString folder() const { return m_dir.filePath(QTest::currentTestFunction()); }
    QString path() const { return folder() + "/Test.plist"; }

private slots:
    void valuesSurviveTheFile()
    {
        const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 7, 250), QTimeZone::utc());
        const QVariantMap nested{{"inner", QVariantList{qint64(1), "x"}}};
        // As stored: integers as qint64, string lists as lists, dates to the second.
        const QVariantMap stored{{"s", "Grüße <&> \"quoted\""},
                                 {"b", true},
                                 {"i", qint64(-42)},
                                 {"big", Q_INT64_C(9000000000)},
                                 {"r", 0.1},
                                 {"d", QByteArray("\x00\x01\xff", 3)},
                                 {"a", QVariantList{"p", 2}},
                                 {"m", nested},
                                 {"t", when.addMSecs(-250)},
                                 {"numstr", " 12 "},
                                 {"yes", "YES"}};
        QVariantMap given = stored;
        given.insert({{"i", -42},
                      {"a", QVariantList{"p", 2, QVariant::fromValue(QPoint())}},
                      {"t", when},
                      {"junk", QVariant::fromValue(QPoint())}});
        Preferences(path()).setValues(given);
        Preferences prefs(path());
        QCOMPARE(prefs.userValues(), stored);
        // Typed reads: a value of another type reads empty, numeric text as a number.
        QCOMPARE(prefs.object("t").toDateTime(), when.addMSecs(-250));
        QCOMPARE(prefs.stringArray("a"), QStringList{"p"});
        QCOMPARE(prefs.string("i"), QString());
        QCOMPARE(prefs.data("s"), QByteArray());
        QCOMPARE(prefs.integer("s"), 0);
        QCOMPARE(prefs.real("numstr"), 12.0);
        QCOMPARE(prefs.boolean("yes"), true);
        QCOMPARE(prefs.boolean("numstr"), false);
        QCOMPARE(prefs.boolean("i"), true);
    }

    void propertyListsRead()
    {
        QCOMPARE(parsePropertyList(kBinaryPlist),
                 QVariant(QVariantMap{{"name", "Kivo"}, {"count", qint64(42)}, {"on", true}}));
        const QByteArray xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                               "<key>when</key><date>2001-01-01T00:01:00Z</date></dict></plist>";
        QCOMPARE(parsePropertyList(xml).toMap().value("when").toDateTime(),
                 QDateTime(QDate(2001, 1, 1), QTime(0, 1), QTimeZone::utc()));
        // Every truncation of a valid file is rejected or read, never a crash.
        const QByteArray full = serializePropertyList(writerState(7));
        for (qsizetype n = 0; n < full.size(); n += 7)
            parsePropertyList(full.left(n));
        for (qsizetype n = 0; n < kBinaryPlist.size(); ++n)
            parsePropertyList(kBinaryPlist.left(n));
        QVERIFY(!parsePropertyList("garbage").isValid());
        // A string holding a NUL reads up to it, as it is written back; a key
        // holding one (libplist would abort) refuses the file.
        QByteArray nul = QByteArray(kBinaryPlist).replace("TKivo", QByteArray("TKi\0o", 5));
        QCOMPARE(parsePropertyList(nul).toMap().value("name"), "Ki");
        QVERIFY(!parsePropertyList(nul.replace("Tname", QByteArray("Tna\0e", 5))).isValid());
        QVERIFY(!readPropertyList(folder() + "/missing.plist").isValid());
    }

    void registeredValuesStayOutOfTheFile()
    {
        Preferences prefs(path());
        prefs.registerDefaults({{"prefDelay", 5}, {"prefName", "factory"}});
        prefs.setValue("prefDelay", 9);
        QCOMPARE(prefs.integer("prefDelay"), 9);
        QVERIFY(prefs.synchronize());
        QCOMPARE(readPropertyList(path()), QVariant(QVariantMap{{"prefDelay", qint64(9)}}));
        prefs.remove("prefDelay");
        QCOMPARE(prefs.integer("prefDelay"), 5);
        QVERIFY(readPropertyList(path()).toMap().isEmpty());
        // A new registration replaces the old one entirely.
        prefs.registerDefaults({});
        QVERIFY(!prefs.contains("prefName"));
    }

    void garbledFileIsKeptAside()
    {
        QVERIFY(test::writeFile(path(), "<?xml version=\"1.0\"?><plist><dict><key>a</key>"));
        Preferences prefs(path());
        QVERIFY(prefs.userValues().isEmpty());
        QCOMPARE(QFileInfo(path() + ".corrupt").size(), 46);
        prefs.setValue("a", 1);
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
        // Nesting deep enough to exhaust the stack is refused before parsing;
        // a moderate one is read.
        for (const QByteArray &deep : deeplyNested(200000)) {
            QVERIFY(test::writeFile(path(), deep));
            prefs.reload();
        }
        QVERIFY(QFileInfo::exists(path() + ".corrupt.4") && prefs.userValues().isEmpty());
        QCOMPARE(parsePropertyList(deeplyNested(100).at(1)).toList().size(), 1);
    }

    void changeSignalPerKey()
    {
        Preferences prefs(path());
        prefs.registerDefaults({{"r", 1}});
        QSignalSpy spy(&prefs, &Preferences::valueChanged);
        prefs.setValues({{"a", 1}, {"b", 2}});
        QCOMPARE(spy.count(), 2);
        prefs.setValue("a", 1);             // unchanged
        prefs.setValue("r", 1);             // same as registered
        prefs.registerDefaults({{"r", 7}}); // shadowed by the user value
        QCOMPARE(spy.count(), 2);
        prefs.remove("r");
        QCOMPARE(spy.count(), 3);
        QCOMPARE(prefs.integer("r"), 7);
        prefs.setValue("a", "1"); // same text, other type
        QCOMPARE(spy.count(), 4);
    }

    void concurrentReadsAndWrites()
    {
        Preferences prefs(path());
        constexpr int kWriters = 4, kRounds = 40;
        std::vector<std::thread> threads;
        for (int w = 0; w < kWriters + 2; ++w) {
            threads.emplace_back([&prefs, w] {
                for (int i = 0; i < (w < kWriters ? kRounds : 2000); ++i) {
                    if (w < kWriters)
                        prefs.setValue(QStringLiteral("key%1").arg(w), i);
                    else // readers
                        (void)(prefs.integer("key0") + prefs.userValues().size());
                }
            });
        }
        for (auto &t : threads)
            t.join();
        Preferences fromDisk(path());
        for (int w = 0; w < kWriters; ++w)
            QCOMPARE(fromDisk.integer(QStringLiteral("key%1").arg(w)), kRounds - 1);
        QCOMPARE(fromDisk.userValues(), prefs.userValues());
        QCOMPARE(filesIn(folder()), QStringList({"Test.plist"}));
    }

    void killedWriterLeavesACompleteFile()
    {
        QProcess writer;
        writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writer.start(QCoreApplication::applicationFilePath(), {kWriterFlag, path()});
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
        QCOMPARE(Preferences(path()).integer("counter"), counter);
        QVERIFY(!QFileInfo::exists(path() + ".corrupt"));
    }

    void atomicWriteFailuresLeaveNoTrace()
    {
        QString error;
        QVERIFY(!writeFileAtomically(folder() + "/no/such/folder/file", "x", &error));
        QVERIFY(!error.isEmpty());
        // Writing over a folder fails and leaves the folder and no temporary file.
        QVERIFY(QDir().mkpath(folder() + "/dir"));
        QVERIFY(!writeFileAtomically(folder() + "/dir", "x", &error));
        QVERIFY(QFileInfo(folder() + "/dir").isDir());
        QCOMPARE(filesIn(folder()), QStringList());
        // A replaced file keeps its mode.
        const QString file = folder() + "/mode.txt";
        QVERIFY(writeFileAtomically(file, "one"));
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(writeFileAtomically(file, "two"));
        QCOMPARE(test::modeOf(file) & 0777, mode_t(0600));
        QCOMPARE(test::readFile(file), QByteArray("two"));
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], kWriterFlag) == 0) {
        Preferences prefs(QString::fromLocal8Bit(argv[2]));
        for (qint64 i = 0;; ++i)
            prefs.setValues(writerState(i));
    }
    QCoreApplication app(argc, argv);
    TestPreferences tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_preferences.moc"
