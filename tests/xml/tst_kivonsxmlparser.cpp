#include "OutputCapture.h"

#include "xml/KivoNSXmlParser.h"
#include "xml/TestParser.h"

#include <QElapsedTimer>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

namespace {
QVariantMap dict(std::initializer_list<std::pair<QString, QVariant>> entries)
{
    QVariantMap map;
    for (const auto &[key, value] : entries)
        map.insert(key, value);
    return map;
}
} // namespace

// The description-file reader: each test group follows one rule of the parser.
class TestKivoNSXmlParser : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;
    int mCount = 0;

    QString writeFile(const QByteArray &bytes)
    {
        const QString path = mDir.filePath(QStringLiteral("f%1.xml").arg(++mCount));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    // What the console reads from a file holding these bytes.
    QVariantMap read(const QByteArray &bytes)
    {
        const std::optional<QVariantMap> result = testParser(writeFile(bytes));
        if (!result)
            qFatal("testParser gave no result");
        return *result;
    }

private slots:
    void workedExample()
    {
        const std::optional<QVariantMap> result =
            testParser(QStringLiteral(KIVO_TEST_DATA_DIR "/xml/worked-example.xml"));
        QVERIFY(result);
        const QVariantMap &r = *result;
        QCOMPARE(r.keys(), (QStringList{"code", "groupcodes", "image", "value"}));
        QCOMPARE(r["code"], QVariant("12345678"));
        QCOMPARE(r["groupcodes"].toList(), (QVariantList{"111", "222"}));
        const QVariantList images = r["image"].toList();
        QCOMPARE(images.size(), 2);
        QCOMPARE(images[0].toMap(), dict({{"file", "a.jpg"}, {"value", ""}}));
        QCOMPARE(images[1].toMap(), dict({{"file", "b.jpg"}, {"caption", "x"}}));
        QCOMPARE(r["value"], QVariant(""));
    }

    void rootKeyLookup()
    {
        // Root "data": its entries at the top level.
        QCOMPARE(read("<data><code>1</code></data>"), dict({{"code", "1"}}));
        // The root key is looked up at the top level only.
        const QVariantMap nested = read("<response><data><code>1</code></data></response>");
        QCOMPARE(nested.keys(), QStringList{"response"});
        QCOMPARE(nested["response"].toMap()["data"].toMap(), dict({{"code", "1"}}));
        // The parser's own default root key is "response".
        KivoNSXmlParser parser("<response><code>2</code></response>");
        QVERIFY(parser.parse());
        QCOMPARE(*parser.mDictionary(), dict({{"code", "2"}}));
        // Elements outside every container have nowhere to go.
        QCOMPARE(read("<root><code>1</code></root>"), QVariantMap());
        // Namespace prefixes stay part of the names.
        QCOMPARE(read("<data><k:code k:lang=\"en\">1</k:code></data>"), dict({{"k:code", "1"}}));
        QCOMPARE(read("<data k:type=\"x\"/>"), dict({{"k:type", "x"}}));
    }

    void specialCareAndLetterCase()
    {
        // Matched in lower case, stored as written.
        const QVariantMap r = read("<data><Image file=\"a\"/><Image file=\"b\"/>"
                                   "<GroupCodes><code>9</code></GroupCodes></data>");
        QCOMPARE(r["Image"].toList(), (QVariantList{dict({{"file", "a"}}), dict({{"file", "b"}})}));
        QCOMPARE(r["GroupCodes"].toList(), QVariantList{"9"});
        // A single special-care element is still an array.
        QCOMPARE(read("<data><image file=\"a\"/></data>")["image"].toList().size(), 1);
        // image and Image are two different entries.
        const QVariantMap both = read("<data><image file=\"a\"/><Image file=\"b\"/></data>");
        QCOMPARE(both["image"].toList().size(), 1);
        QCOMPARE(both["Image"].toList().size(), 1);

        // An entry of the same name that is not an array: the child is dropped.
        OutputCapture log;
        const QVariantMap clash =
            read("<data image=\"x\"><image file=\"a\"/><code>1</code></data>");
        const QByteArray text = log.text();
        QCOMPARE(clash, dict({{"image", "x"}, {"code", "1"}}));
        QCOMPARE(text.count("addToParNode...ERROR"), 2);
    }

    void percentEscapes()
    {
        QCOMPARE(read("<data><a>a%20b</a><b>caf%C3%A9</b></data>"),
                 dict({{"a", "a b"}, {"b", QStringLiteral("café")}}));
        // Not decodable: that element is dropped, the following ones are not.
        QCOMPARE(read("<data><a>100%</a>\n<b>5</b>\n</data>"), dict({{"b", "5"}, {"value", ""}}));
        QCOMPARE(read("<data><a>%zz</a><b>%FF</b><c>ok</c></data>"), dict({{"c", "ok"}}));
        QCOMPARE(removingPercentEncoding("50%25"), std::optional<QString>("50%"));
        QCOMPARE(removingPercentEncoding("%4"), std::nullopt);
        QCOMPARE(removingPercentEncoding("%"), std::nullopt);
    }

    void whiteSpaceGivesValueEntries()
    {
        // Indentation before a closing container tag.
        QCOMPARE(read("<data>\n  <code>1</code>\n</data>"), dict({{"code", "1"}, {"value", ""}}));
        // An empty element after white space is the empty text ...
        QCOMPARE(read("<data><code>1</code> <name></name></data>"),
                 dict({{"code", "1"}, {"name", ""}}));
        // ... right after the previous closing tag it is nothing.
        QCOMPARE(read("<data><code>1</code><name></name></data>"), dict({{"code", "1"}}));
        // In an array the white space is one more item.
        QCOMPARE(read("<data><ids><id>1</id>\n</ids></data>")["ids"].toList(),
                 (QVariantList{"1", ""}));
        // Text around the elements is trimmed.
        QCOMPARE(read("<data><code>\n   42 \t\n</code></data>"), dict({{"code", "42"}}));
    }

    void htmlIsRefused()
    {
        QCOMPARE(read("<html><body><data><code>1</code></data></body></html>"), QVariantMap());
        QCOMPARE(read("<data><code>1</code><HTML/></data>"), QVariantMap());
    }

    void missingOrUnreadableFile()
    {
        QCOMPARE(testParser(mDir.filePath("none.xml")), std::nullopt);
        QCOMPARE(testParser(mDir.path()), std::nullopt);
    }

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated") << QByteArray("<data><code>123</co");
        QTest::newRow("undeclared entity") << QByteArray("<data><a>&nbsp;</a></data>");
        QByteArray binary(64 * 1024, '\0');
        for (qsizetype i = 0; i < binary.size(); ++i)
            binary[i] = char((i * 7919 + 13) % 256);
        QTest::newRow("binary") << binary;
        QTest::newRow("latin-1 bytes declared UTF-8")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><data><a>caf\xe9</a></data>");
        QTest::newRow("unknown encoding")
            << QByteArray("<?xml version=\"1.0\" encoding=\"X-NONE\"?><data/>");

        QByteArray big("<data>");
        while (big.size() < 10 * 1024 * 1024)
            big += "<code>12345678</code>\n";
        big += "</data>";
        QTest::newRow("10 MB") << big;

        QByteArray deep;
        for (int i = 0; i < 10000; ++i)
            deep += "<subdictionary>";
        for (int i = 0; i < 10000; ++i)
            deep += "</subdictionary>";
        QTest::newRow("10000 levels") << QByteArray("<data>" + deep + "</data>");

        QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE data [\n<!ENTITY l0 \"lol\">\n";
        for (int i = 1; i < 10; ++i) {
            bomb += "<!ENTITY l" + QByteArray::number(i) + " \"";
            for (int j = 0; j < 10; ++j)
                bomb += "&l" + QByteArray::number(i - 1) + ";";
            bomb += "\">\n";
        }
        bomb += "]>\n<data><code>&l9;</code></data>";
        QTest::newRow("billion laughs") << bomb;
        QTest::newRow("external entity")
            << QByteArray("<!DOCTYPE data [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                          "<data><c>&x;</c></data>");
    }

    void badInput()
    {
        QFETCH(QByteArray, bytes);
        OutputCapture quiet;
        QElapsedTimer timer;
        timer.start();
        const QVariantMap result = read(bytes);
        const qint64 elapsed = timer.elapsed();
        quiet.restore();
        QCOMPARE(result, QVariantMap());
        QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
    }
    void flatteningAndLastWins()
    {
        // Plain elements inside plain elements land in the nearest container.
        QCOMPARE(read("<data><address><street>Main</street><city>Town</city></address></data>"),
                 dict({{"street", "Main"}, {"city", "Town"}}));
        QCOMPARE(read("<data><subdictionary><a>1</a></subdictionary></data>"),
                 dict({{"subdictionary", dict({{"a", "1"}})}}));
        // Two values of one name: the later one wins.
        QCOMPARE(read("<data><name>first</name><name>second</name></data>"),
                 dict({{"name", "second"}}));
        // A container replaces an earlier one of the same name too.
        QCOMPARE(read("<data><ids><id>1</id></ids><ids><id>2</id></ids></data>"),
                 dict({{"ids", QVariantList{"2"}}}));
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
