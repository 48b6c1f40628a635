#include "OutputCapture.h"

#include "reassign/KivoXmlWriter.h"
#include "reassign/OrderedDictionary.h"
#include "xml/KivoNSXmlParser.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

namespace {
QVariant od(std::initializer_list<std::pair<QString, QVariant>> entries)
{
    return QVariant::fromValue(OrderedDictionary(entries));
}

const QByteArray kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n";
} // namespace

// The change record writer: document text and the file it leaves.
class TestKivoXmlWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;

    // Converts content under the root "data" and returns the file's bytes.
    QByteArray convert(const QVariant &content, const QHash<QString, QString> &lookup = {})
    {
        const QString path = mDir.filePath(QStringLiteral("out.xml.tmp"));
        KivoXmlWriter writer;
        writer.setMLookupArrayName(lookup);
        const bool ok = writer.doStartConversion2(
            {{"mainXmlKeyName", "data"}, {"writeXmlPath", path}, {"dictionary", content}});
        if (!ok)
            qFatal("conversion returned false");
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            qFatal("no file written");
        const QByteArray bytes = file.readAll();
        if (bytes.toStdString() != writer.mString().toStdString())
            qFatal("file differs from mString");
        return bytes;
    }

private slots:
    void escaping()
    {
        // File names with & < > must not break the record for its reader.
        const QByteArray bytes =
            convert(od({{"@type", "a&b<\"c\">"},
                        {"oldcode", od({{"@date", "x"}, {"value", "R&D <1>"}})},
                        {"files", QStringList{"Tom & Jerry <1>.jpg"}}}),
                    {{"files", "filename"}});
        QCOMPARE(bytes, kHeader +
                            "<data type=\"a&amp;b&lt;c&gt;\">\n"
                            "\t<oldcode date=\"x\">\n\t\tR&amp;D &lt;1&gt;\n\t</oldcode>\n"
                            "\t<files>\n\t\t<filename>Tom &amp; Jerry &lt;1&gt;.jpg</filename>"
                            "\n\t</files>\n</data>\n");
        // The station's own reader gets the names back unchanged.
        KivoNSXmlParser parser(bytes);
        parser.setItemNeedsArray({"files"});
        parser.setRootKey("data");
        QVERIFY(parser.parse());
        const QVariantMap read = *parser.mDictionary();
        QCOMPARE(read["type"], QVariant("a&b<c>"));
        QCOMPARE(read["oldcode"], QVariant("R&D <1>"));
        QCOMPARE(read["files"].toList().first(), QVariant("Tom & Jerry <1>.jpg"));
    }

    void genericItemNamesPerArray()
    {
        const QByteArray bytes = convert(od({{"first", QStringList{"a", "b"}},
                                             {"second", QVariantList{"c", od({{"n", "d"}})}},
                                             {"named", QStringList{"e"}},
                                             {"empty", QStringList{}}}),
                                         {{"named", "entry"}});
        QCOMPARE(bytes, kHeader +
                            "<data>\n"
                            "\t<first>\n\t\t<item0>a</item0>\n\t\t<item1>b</item1>\n\t</first>\n"
                            "\t<second>\n\t\t<item0>c</item0>\n"
                            "\t\t<item1>\n\t\t\t<n>d</n>\n\t\t</item1>\n\t</second>\n"
                            "\t<named>\n\t\t<entry>e</entry>\n\t</named>\n"
                            "</data>\n");
    }

    void fileReplacedAndFailuresLogged()
    {
        const QString path = mDir.filePath("replace.xml");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'x'));
        old.close();
        QCOMPARE(convert(od({{"a", "1"}})), kHeader + "<data>\n\t<a>1</a>\n</data>\n");

        KivoXmlWriter writer;
        QVERIFY(writer.doStartConversion2({{"mainXmlKeyName", "data"},
                                           {"writeXmlPath", path},
                                           {"dictionary", od({{"b", "2"}})}}));
        QFile replaced(path);
        QVERIFY(replaced.open(QIODevice::ReadOnly));
        QCOMPARE(replaced.readAll(), kHeader + "<data>\n\t<b>2</b>\n</data>\n");

        // An unwritable place: still true, the failure is in the log.
        OutputCapture log;
        QVERIFY(writer.doStartConversion2({{"mainXmlKeyName", "data"},
                                           {"writeXmlPath", mDir.filePath("no/such/dir/x.xml")},
                                           {"dictionary", od({{"b", "2"}})}}));
        QVERIFY2(log.text().contains("KivoXmlWriter-doStartConversion2 -> writeToFile returned "
                                     "ERROR = "),
                 log.text().constData());
    }

    void defaultPathIsPrivate()
    {
        KivoXmlWriter first;
        KivoXmlWriter second;
        first.doStartConversion2({{"mainXmlKeyName", "data"}, {"dictionary", od({{"a", "1"}})}});
        second.doStartConversion2({{"mainXmlKeyName", "data"}, {"dictionary", od({{"a", "1"}})}});
        const QString path = first.writtenPath();
        QVERIFY(QFile::exists(path));
        QVERIFY(path != QLatin1String("/tmp/xmlFile.xml.tmp"));
        QVERIFY(path != second.writtenPath());
        QVERIFY(path.startsWith(QStandardPaths::writableLocation(QStandardPaths::TempLocation)));
        const QFileInfo folder(QFileInfo(path).path());
        QCOMPARE(folder.permissions() &
                     (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
                 QFile::Permissions());
        QDir(folder.filePath()).removeRecursively();
        QDir(QFileInfo(second.writtenPath()).path()).removeRecursively();
    }
    void attributesAndSingleText()
    {
        // One attribute, one text: the text alone on its own line.
        QCOMPARE(convert(od({{"a", od({{"@k", "v"}, {"t", "text"}})}})),
                 kHeader + "<data>\n\t<a k=\"v\">\n\t\ttext\n\t</a>\n</data>\n");
        // Attributes and two entries: the entries are children.
        QCOMPARE(convert(od({{"a", od({{"@k", "v"}, {"x", "1"}, {"y", "2"}})}})),
                 kHeader + "<data>\n\t<a k=\"v\">\n\t\t<x>1</x>\n\t\t<y>2</y>\n\t</a>\n</data>\n");
        // No attributes and one text: a child element.
        QCOMPARE(convert(od({{"a", od({{"x", "1"}})}})),
                 kHeader + "<data>\n\t<a>\n\t\t<x>1</x>\n\t</a>\n</data>\n");
        // Several attributes keep their order; double quotes are removed.
        QCOMPARE(convert(od({{"@b", "say \"hi\""}, {"@a", "2"}})),
                 kHeader + "<data b=\"say hi\" a=\"2\">\n</data>\n");
    }
    void keyWithSpaceClosesWithFirstWord()
    {
        QCOMPARE(KivoXmlWriter::getEndElementKeyName("photo set 2"), QString("photo"));
        QCOMPARE(KivoXmlWriter::getEndElementKeyName("photo"), QString("photo"));
        QCOMPARE(
            convert(od({{"a b", "t"}, {"list x", QStringList{"1"}}, {"d y", od({{"k", "v"}})}})),
            kHeader + "<data>\n\t<a b>t</a>\n"
                      "\t<list x>\n\t\t<item0>1</item0>\n\t</list>\n"
                      "\t<d y>\n\t\t<k>v</k>\n\t</d>\n</data>\n");
    }
};

QTEST_GUILESS_MAIN(TestKivoXmlWriter)
#include "tst_kivoxmlwriter.moc"
