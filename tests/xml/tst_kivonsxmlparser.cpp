#include "OutputCapture.h"
#include "TestSupport.h"

#include "xml/KivoNSXmlParser.h"
#include "xml/TestParser.h"

#include <QtTest>

using namespace kivo;

using dict = QVariantMap;

// The description-file reader: what the console reads from a file's bytes.
class TestKivoNSXmlParser : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QVariantMap read(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath("description.xml");
        return test::writeFile(path, bytes) ? testParser(path).value_or(dict({{"?", "none"}}))
                                            : QVariantMap();
    }

private slots:
    void workedExample()
    {
        const QVariantMap r = *testParser(KIVO_TEST_DATA_DIR "/xml/worked-example.xml");
        QCOMPARE(r, dict({{"code", "12345678"},
                          {"groupcodes", QVariantList{"111", "222"}},
                          {"image", QVariantList{dict({{"file", "a.jpg"}, {"value", ""}}),
                                                 dict({{"file", "b.jpg"}, {"caption", "x"}})}},
                          {"value", ""}}));
        QCOMPARE(testParser(m_dir.filePath("none.xml")), std::nullopt);
        QCOMPARE(testParser(m_dir.path()), std::nullopt);
        // The parser's own default root key is "response".
        KivoNSXmlParser parser("<response><code>2</code></response>");
        QVERIFY(parser.parse());
        QCOMPARE(*parser.mDictionary(), dict({{"code", "2"}}));
    }

    void rules_data()
    {
        test::columns<QByteArray, QVariantMap>("xml", "read");
        // Root "data": its entries at the top level; looked up there only.
        test::row("root", QByteArray("<data><code>1</code></data>"), dict({{"code", "1"}}));
        test::row("nested root", QByteArray("<response><data><code>1</code></data></response>"),
                  dict({{"response", dict({{"data", dict({{"code", "1"}})}})}}));
        // Elements outside every container have nowhere to go.
        test::row("other root", QByteArray("<root><code>1</code></root>"), QVariantMap());
        // Namespace prefixes stay part of the names.
        test::row("prefixes",
                  QByteArray("<data k:type=\"x\"><k:code k:lang=\"en\">1</k:code>"
                             "</data>"),
                  dict({{"k:type", "x"}, {"k:code", "1"}}));
        // Special-care names match in lower case, are stored as written, and
        // are an array even for a single element.
        test::row("letter case",
                  QByteArray("<data><Image file=\"a\"/><Image file=\"b\"/><image file=\"c\"/>"
                             "<GroupCodes><code>9</code></GroupCodes></data>"),
                  dict({{"Image", QVariantList{dict({{"file", "a"}}), dict({{"file", "b"}})}},
                        {"image", QVariantList{dict({{"file", "c"}})}},
                        {"GroupCodes", QVariantList{"9"}}}));
        // An entry of the same name that is not an array: the child is dropped.
        test::row("clash",
                  QByteArray("<data image=\"x\"><image file=\"a\"/><code>1</code>"
                             "</data>"),
                  dict({{"image", "x"}, {"code", "1"}}));
        test::row("percent escapes",
                  QByteArray("<data><a>a%20b</a><b>caf%C3%A9</b><c>50%25</c></data>"),
                  dict({{"a", "a b"}, {"b", "café"}, {"c", "50%"}}));
        // Not decodable: that element is dropped, the following ones are not.
        test::row(
            "bad escapes",
            QByteArray("<data><a>100%</a>\n<b>5</b><c>%zz</c><d>%FF</d><e>%4</e><f>ok</f></data>"),
            dict({{"b", "5"}, {"f", "ok"}}));
        // White space before a closing container tag is a "value" entry.
        test::row("indentation", QByteArray("<data>\n  <code>1</code>\n</data>"),
                  dict({{"code", "1"}, {"value", ""}}));
        // An empty element after white space is the empty text; right after the
        // previous closing tag it is nothing.
        test::row("empty after space", QByteArray("<data><code>1</code> <name></name></data>"),
                  dict({{"code", "1"}, {"name", ""}}));
        test::row("empty after tag", QByteArray("<data><code>1</code><name></name></data>"),
                  dict({{"code", "1"}}));
        // In an array the white space is one more item.
        test::row("space in array", QByteArray("<data><ids><id>1</id>\n</ids></data>"),
                  dict({{"ids", QVariantList{"1", ""}}}));
        test::row("trimmed", QByteArray("<data><code>\n   42 \t\n</code></data>"),
                  dict({{"code", "42"}}));
        // Plain elements inside plain elements land in the nearest container;
        // of two values of one name the later one wins, containers too.
        test::row(
            "flattened",
            QByteArray("<data><address><street>Main</street><city>Town</city></address>"
                       "<subdictionary><a>1</a></subdictionary></data>"),
            dict({{"street", "Main"}, {"city", "Town"}, {"subdictionary", dict({{"a", "1"}})}}));
        test::row("last wins",
                  QByteArray("<data><name>first</name><name>second</name>"
                             "<ids><id>1</id></ids><ids><id>2</id></ids></data>"),
                  dict({{"name", "second"}, {"ids", QVariantList{"2"}}}));
        test::row("html", QByteArray("<html><body><data><code>1</code></data></body></html>"),
                  QVariantMap());
        test::row("html inside", QByteArray("<data><code>1</code><HTML/></data>"), QVariantMap());

        // Bad or hostile input reads as nothing, quickly.
        test::row("empty", QByteArray(), QVariantMap());
        test::row("truncated", QByteArray("<data><code>123</co"), QVariantMap());
        test::row("undeclared entity", QByteArray("<data><a>&nbsp;</a></data>"), QVariantMap());
        QByteArray binary(64 * 1024, '\0');
        for (qsizetype i = 0; i < binary.size(); ++i)
            binary[i] = char((i * 7919 + 13) % 256);
        test::row("binary", binary, QVariantMap());
        test::row(
            "latin-1 bytes declared UTF-8",
            QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><data><a>caf\xe9</a></data>"),
            QVariantMap());
        test::row("unknown encoding",
                  QByteArray("<?xml version=\"1.0\" encoding=\"X-NONE\"?><data/>"), QVariantMap());
        QByteArray big("<data>");
        while (big.size() < 10 * 1024 * 1024)
            big += "<code>12345678</code>\n";
        test::row("10 MB", big + "</data>", QVariantMap());
        test::row("10000 levels",
                  "<data>" + QByteArray("<subdictionary>").repeated(10000) +
                      QByteArray("</subdictionary>").repeated(10000) + "</data>",
                  QVariantMap());
        QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE data [\n<!ENTITY l0 \"lol\">\n";
        for (int i = 1; i < 10; ++i)
            bomb += "<!ENTITY l" + QByteArray::number(i) + " \"" +
                    ("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
        test::row("billion laughs", bomb + "]>\n<data><code>&l9;</code></data>", QVariantMap());
        // Markup whose checks grow with the square of its count: refused from
        // the bytes, before the reader spends minutes on it.
        QByteArray tag = QByteArray("<!-- a=b -->").repeated(300) + "<data";
        QVariantMap attributes;
        for (int i = 0; i < 256; ++i) {
            tag += " a" + QByteArray::number(i) + "='=>'";
            attributes.insert("a" + QString::number(i), "=>");
        }
        test::row("256 attributes", tag + "/>", attributes);
        test::row("257 attributes flood", tag + " b=''/>", QVariantMap());
        const QString wide = QString::fromLatin1(tag + " b=''/>");
        test::row("UTF-16 flood",
                  "\xff\xfe" +
                      QByteArray(reinterpret_cast<const char *>(wide.utf16()), wide.size() * 2),
                  QVariantMap());
        test::row("80000 attributes flood",
                  test::readFile(KIVO_TEST_DATA_DIR "/xml-corpus/attributes-80000.xml"),
                  QVariantMap());
        test::row("ATTLIST flood",
                  "<!DOCTYPE data [" + QByteArray("<!ATTLIST data x CDATA '1'>").repeated(200) +
                      "]><data/>",
                  QVariantMap());
        test::row("external entity",
                  QByteArray("<!DOCTYPE data [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                             "<data><c>&x;</c></data>"),
                  QVariantMap());
    }

    void rules()
    {
        const auto [xml, read] = test::fetch<QByteArray, QVariantMap>("xml", "read");
        OutputCapture log;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(this->read(xml), read);
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        if (QByteArray(QTest::currentDataTag()) == "clash")
            QCOMPARE(log.text().count("addToParNode...ERROR"), 2);
        if (QByteArray(QTest::currentDataTag()).endsWith("flood"))
            QVERIFY(log.text().contains(" refused"));
    }

    void parseErrorLogLines()
    {
        OutputCapture log;
        QCOMPARE(read("<data>\n<code>1</data>"), QVariantMap());
        const QString text = QString::fromUtf8(log.text());
        log.restore();
        static const QRegularExpression first(
            "KivoNSXmlParser => parseErrorOccurred\\.\\.\\.parseError: \\S.*\n");
        static const QRegularExpression second(
            "KivoNSXmlParser => parseErrorOccurred\\.\\.\\.ERROR ERROR ERROR: Error 3 "
            "Description: [^\n]+, Line: 2, Column: \\d+\n");
        QVERIFY2(first.match(text).hasMatch(), qPrintable(text));
        QVERIFY2(second.match(text).hasMatch(), qPrintable(text));
        QVERIFY(text.indexOf("parseError:") < text.indexOf("ERROR ERROR ERROR"));
        QVERIFY(text.contains("ParserError = "));
    }
};

QTEST_GUILESS_MAIN(TestKivoNSXmlParser)
#include "tst_kivonsxmlparser.moc"
