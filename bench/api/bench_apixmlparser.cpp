#include "ApiXmlParser.h"

#include <QtTest>

// What an answer costs the GUI thread: a large members list as the service sends it, and the
// hostile answers the parser refuses (100,000 attributes on one element, which the XML reader
// would check against each other, and 200,001 empty elements).
class BenchApiXmlParser : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("valid");
        QByteArray members = "<response><status>ok</status><members>";
        for (int i = 0; i < 2000; ++i)
            members += "<numeric-key><id>" + QByteArray::number(1000 + i) + "</id><username>member"
                + QByteArray::number(i) + "</username><full_name>Member Number "
                + QByteArray::number(i)
                + "</full_name><memo>Working on the release notes</memo><status>4</status>"
                  "<is_working>1</is_working><worked_time>01:02:03</worked_time>"
                  "<avatar_url>/pictures/avatar/1.png</avatar_url><snapshot_url/></numeric-key>";
        members += "</members></response>";
        QTest::newRow("2,000 members") << members << true;
        QByteArray crowded = "<response";
        for (int i = 0; i < 100000; ++i)
            crowded += " a" + QByteArray::number(i) + "=\"\"";
        QTest::newRow("100,000 attributes (1 MB)")
            << crowded + "><status>ok</status></response>" << false;
        QTest::newRow("200,001 elements")
            << "<response>" + QByteArray("<a/>").repeated(200001) + "</response>" << false;
    }

    void parse()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, valid);
        QCOMPARE(ApiXmlParser(xml).IsValid(), valid);
        QBENCHMARK
        {
            ApiXmlParser answer(xml);
        }
    }
};

QTEST_GUILESS_MAIN(BenchApiXmlParser)
#include "bench_apixmlparser.moc"
