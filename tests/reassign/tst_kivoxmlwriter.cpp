#include "OutputCapture.h"
#include "TestSupport.h"

#include "reassign/KivoXmlWriter.h"
#include "reassign/OrderedDictionary.h"
#include "xml/KivoNSXmlParser.h"

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
    QTemporaryDir m_dir;

    // Converts content under the root "data" to the file at path; its bytes.
    QByteArray convert(const QVariant &content, const QString &path)
    {
        KivoXmlWriter writer;
        writer.setMLookupArrayName({{"files", "filename"}, {"named", "entry"}});
        const bool ok = writer.doStartConversion2(
            {{"mainXmlKeyName", "data"}, {"writeXmlPath", path}, {"dictionary", content}});
        const QByteArray bytes = test::readFile(path);
        return ok && bytes == writer.mString().toUtf8() ? bytes : "differs from mString";
    }

private slots:
    void documents_data()
    {
        test::columns<QVariant, QByteArray>("content", "body");
        // File names with & < > must not break the record for its reader.
        test::row("escaping",
                  od({{"@type", "a&b<\"c\">"},
                      {"oldcode", od({{"@date", "x"}, {"value", "R&D <1>"}})},
                      {"files", QStringList{"Tom & Jerry <1>.jpg"}}}),
                  QByteArray("<data type=\"a&amp;b&lt;c&gt;\">\n"
                             "\t<oldcode date=\"x\">\n\t\tR&amp;D &lt;1&gt;\n\t</oldcode>\n"
                             "\t<files>\n\t\t<filename>Tom &amp; Jerry &lt;1&gt;.jpg</filename>"
                             "\n\t</files>\n</data>\n"));
        // Array items are named per array, else item0, item1, ...
        test::row("arrays",
                  od({{"first", QStringList{"a", "b"}},
                      {"second", QVariantList{"c", od({{"n", "d"}})}},
                      {"named", QStringList{"e"}},
                      {"empty", QStringList{}}}),
                  QByteArray("<data>\n"
                             "\t<first>\n\t\t<item0>a</item0>\n\t\t<item1>b</item1>\n\t</first>\n"
                             "\t<second>\n\t\t<item0>c</item0>\n"
                             "\t\t<item1>\n\t\t\t<n>d</n>\n\t\t</item1>\n\t</second>\n"
                             "\t<named>\n\t\t<entry>e</entry>\n\t</named>\n</data>\n"));
        // Attributes and one text: the text alone on its own line; attributes and
        // two entries, or one entry alone: children. Attributes keep their order
        // and lose their double quotes.
        test::row("attributes",
                  od({{"@b", "say \"hi\""},
                      {"@a", "2"},
                      {"t", od({{"@k", "v"}, {"t", "text"}})},
                      {"c", od({{"@k", "v"}, {"x", "1"}, {"y", "2"}})},
                      {"o", od({{"x", "1"}})}}),
                  QByteArray("<data b=\"say hi\" a=\"2\">\n\t<t k=\"v\">\n\t\ttext\n\t</t>\n"
                             "\t<c k=\"v\">\n\t\t<x>1</x>\n\t\t<y>2</y>\n\t</c>\n"
                             "\t<o>\n\t\t<x>1</x>\n\t</o>\n</data>\n"));
    }

    void documents()
    {
        const auto [content, body] = test::fetch<QVariant, QByteArray>("content", "body");
        // An existing file is replaced.
        QVERIFY(test::writeFile(m_dir.filePath("out.xml"), QByteArray(10000, 'x')));
        const QByteArray bytes = convert(content, m_dir.filePath("out.xml"));
        QCOMPARE(bytes, kHeader + body);
        if (QByteArray(QTest::currentDataTag()) != "escaping")
            return;
        // The station's own reader gets the names back unchanged.
        KivoNSXmlParser parser(bytes);
        parser.setItemNeedsArray({"files"});
        parser.setRootKey("data");
        QVERIFY(parser.parse());
        const QVariantMap read = *parser.mDictionary();
        QCOMPARE(read["type"], "a&b<c>");
        QCOMPARE(read["oldcode"], "R&D <1>");
        QCOMPARE(read["files"].toList().first(), "Tom & Jerry <1>.jpg");
    }

    void failureIsLogged()
    {
        // An unwritable place: still true, the failure is in the log.
        OutputCapture log;
        QCOMPARE(convert(od({{"b", "2"}}), m_dir.filePath("no/such/dir/x.xml")),
                 "differs from mString");
        QVERIFY2(log.text().contains(
                     "KivoXmlWriter-doStartConversion2 -> writeToFile returned ERROR = "),
                 log.text().constData());
    }

    void defaultPathIsPrivate()
    {
        // Each writer's own folder in the private temporary folder, closed to others.
        KivoXmlWriter writers[2];
        for (KivoXmlWriter &writer : writers)
            writer.doStartConversion2(
                {{"mainXmlKeyName", "data"}, {"dictionary", od({{"a", "1"}})}});
        const QFileInfo file(writers[0].writtenPath());
        QVERIFY(file.exists() && file.filePath() != writers[1].writtenPath());
        QVERIFY(file.filePath().startsWith(QDir::tempPath()));
        QCOMPARE(QFileInfo(file.path()).permissions() &
                     (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
                 QFile::Permissions());
    }
};

QTEST_GUILESS_MAIN(TestKivoXmlWriter)
#include "tst_kivoxmlwriter.moc"
