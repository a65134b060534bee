#include "ApiXmlParser.h"

#include <QtTest>

class TestApiXmlParser : public QObject
{
    Q_OBJECT
private slots:
    void answersThatAreNotOk_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("problem");
        QTest::newRow("empty") << QByteArray() << false << "empty answer";
        QTest::newRow("cut short")
            << QByteArray("<response><status>ok</status><teams>") << false << "malformed XML";
        QTest::newRow("not XML") << QByteArray("<html>oops</body>") << false << "malformed XML";
        QTest::newRow("other root")
            << QByteArray("<answer><status>ok</status></answer>") << false << "not \"response\"";
        QTest::newRow("trailing junk")
            << QByteArray("<response><status>ok</status></response><x/>") << false << "malformed";
        QTest::newRow("no status")
            << QByteArray("<response><teams/></response>") << true << "no status";
        QTest::newRow("odd status") << QByteArray("<response><status>maybe</status></response>")
                                    << true << "unknown status";
        QTest::newRow("error") << QByteArray(
            "<response><status>error</status><error><code>auth</code>"
            "<message>The session has expired</message></error></response>")
                               << true << "error auth: The session has expired";
        QByteArray crowded = "<response";
        for (int i = 0; i < 100000; ++i)
            crowded += " a" + QByteArray::number(i) + "=''";
        QTest::newRow("100,000 attributes")
            << crowded + "><status>ok</status></response>" << false << "attributes";
        QTest::newRow("too many elements")
            << "<response><status>ok</status>" + QByteArray("<a/>").repeated(200001) + "</response>"
            << false << "elements";
        QTest::newRow("larger than the bound")
            << "<response><status>ok</status>" + QByteArray(4 * 1024 * 1024, ' ') + "</response>"
            << false << "larger";
    }
    void answersThatAreNotOk()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, valid);
        QFETCH(QString, problem);
        const ApiXmlParser answer(xml);
        QCOMPARE(answer.IsValid(), valid);
        QVERIFY(!answer.IsOk());
        QVERIFY2(answer.Problem().contains(problem), qPrintable(answer.Problem()));
    }

    void equalsSignsOutsideTagsAreNoAttributes()
    {
        const QByteArray many = QByteArray("a=b ").repeated(1000);
        const ApiXmlParser answer("<?xml version=\"1.0\" encoding=\"UTF-8\"?><response><!-- " + many
            + "--><status>ok</status><about><title><![CDATA[" + many + "]]></title>"
            + "<description>" + many + "</description></about></response>");
        QVERIFY2(answer.IsOk(), qPrintable(answer.Problem()));
        QCOMPARE(answer.ReadAbout().description, QString::fromLatin1(many).trimmed());
    }

    void errorCodeAndMessage()
    {
        const ApiXmlParser answer("<response><status>error</status><error><code>auth</code>"
                                  "<message>gone</message></error></response>");
        QCOMPARE(answer.ErrorCode(), QString("auth"));
        QCOMPARE(answer.ErrorMessage(), QString("gone"));
    }

    void deepNestingIsRefusedNotRecursed()
    {
        QByteArray xml = "<response><status>ok</status>";
        for (int i = 0; i < 100000; ++i)
            xml += "<a>";
        const ApiXmlParser answer(xml);
        QVERIFY(!answer.IsValid());
        QVERIFY(answer.Problem().contains("deep"));
    }

    void signInAnswer()
    {
        const ApiXmlParser answer(R"(<?xml version="1.0"?>
            <response><status>ok</status><member>
              <id>1001</id><hash_key>abc123</hash_key><username>demo</username>
              <first_name>Demo</first_name><last_name>Member</last_name><full_name>Demo Member</full_name>
              <profile_picture_url>https://h/p.png</profile_picture_url><chat_status>online</chat_status>
              <last_work>2026-12-06 16:37</last_work><future_field>x</future_field>
            </member></response>)");
        QVERIFY(answer.IsOk());
        RestAPI::SecurityUserInfo info;
        QVERIFY(answer.ReadLogin(&info));
        QCOMPARE(info.memberId, 1001);
        QCOMPARE(info.hashKey, QString("abc123"));
        QCOMPARE(info.memberUsername, QString("demo"));
        QCOMPARE(info.firstName, QString("Demo"));
        QCOMPARE(info.lastName, QString("Member"));
        QCOMPARE(info.fullName, QString("Demo Member"));
        QCOMPARE(info.profilePictureUrl, QString("https://h/p.png"));
        QCOMPARE(info.chatStatus, QString("online"));
        QCOMPARE(info.lastWork, QString("2026-12-06 16:37"));
    }

    void signInAnswerWithoutUsableMember_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::newRow("none") << QByteArray();
        QTest::newRow("no hash key") << QByteArray("<member><id>5</id></member>");
        QTest::newRow("id zero") << QByteArray("<member><id>0</id><hash_key>k</hash_key></member>");
        QTest::newRow("id not a number")
            << QByteArray("<member><id>five</id><hash_key>k</hash_key></member>");
    }
    void signInAnswerWithoutUsableMember()
    {
        QFETCH(QByteArray, member);
        const ApiXmlParser answer("<response><status>ok</status>" + member + "</response>");
        RestAPI::SecurityUserInfo info;
        info.memberId = 77;
        QVERIFY(!answer.ReadLogin(&info));
        QCOMPARE(info.memberId, 77);
    }

    void listsReadOnlyTheirRecords()
    {
        const ApiXmlParser answer(R"(<response><status>ok</status><teams>
              <numeric-key><id>11</id><name>Atlas</name><description>Web &amp; more</description></numeric-key>
              <stray>ignored</stray>
              <numeric-key><name>  Nameless id  </name></numeric-key>
            </teams></response>)");
        const QList<RosterManager::ROSTER_GROUP_ITEM> teams = answer.ReadTeams();
        QCOMPARE(teams.size(), 2);
        QCOMPARE(teams.at(0).groupID, 11);
        QCOMPARE(teams.at(0).description, QString("Web & more"));
        // A missing number reads as 0, text is trimmed.
        QCOMPARE(teams.at(1).groupID, 0);
        QCOMPARE(teams.at(1).name, QString("Nameless id"));
        QVERIFY(ApiXmlParser("<response><status>ok</status></response>").ReadTeams().isEmpty());
    }

    void members()
    {
        const ApiXmlParser answer(R"(<response><status>ok</status><members>
              <numeric-key><id>1002</id><username>anna.k</username><full_name>Anna K</full_name>
                <memo>Fix &lt;input&gt;</memo><status>1</status><is_working>1</is_working>
                <worked_time>03:12:40</worked_time><avatar_url>https://h/a.png</avatar_url>
                <snapshot_url></snapshot_url></numeric-key>
              <numeric-key><id>1003</id><status>42</status></numeric-key>
            </members></response>)");
        const QList<RosterManager::ROSTER_ITEM> members = answer.ReadMembers(12);
        QCOMPARE(members.size(), 2);
        const RosterManager::ROSTER_ITEM& anna = members.at(0);
        QCOMPARE(anna.contactID, 1002);
        QCOMPARE(anna.groupID, 12);
        QCOMPARE(anna.userName, QString("anna.k"));
        QCOMPARE(anna.memo, QString("Fix <input>"));
        QCOMPARE(anna.status, RosterManager::STATUS_ONLINE_WORKING);
        QVERIFY(anna.isWorking);
        QCOMPARE(anna.workedTime, QString("03:12:40"));
        QCOMPARE(anna.avatarUrl, QString("https://h/a.png"));
        QVERIFY(anna.screenshotUrl.isEmpty());
        // A status the client does not know is no status at all.
        QCOMPARE(members.at(1).status, RosterManager::STATUS_NONE);
        QVERIFY(!members.at(1).isWorking);
    }

    void infoAnswers()
    {
        const ApiXmlParser answer(R"(<response><status>ok</status>
            <about><title>T</title><description>D</description></about>
            <tools><numeric-key><title>Diary</title><url>https://h/d</url><image_url>https://h/d.png</image_url></numeric-key></tools>
            <update><version>1.1</version><download_url>https://h/x.deb</download_url></update>
            <screenshot><id>5001</id></screenshot>
            <snap><short_url>https://h/s/1</short_url></snap></response>)");
        QCOMPARE(answer.ReadAbout().title, QString("T"));
        QCOMPARE(answer.ReadAbout().description, QString("D"));
        const QList<RestAPI::TeamWorkTool> tools = answer.ReadTools();
        QCOMPARE(tools.size(), 1);
        QCOMPARE(tools.at(0).title, QString("Diary"));
        QCOMPARE(tools.at(0).url, QString("https://h/d"));
        QCOMPARE(tools.at(0).imageUrl, QString("https://h/d.png"));
        QVERIFY(!tools.at(0).imageLoaded);
        QCOMPARE(answer.ReadUpdate().version, QString("1.1"));
        QCOMPARE(answer.ReadUpdate().downloadUrl, QString("https://h/x.deb"));
        QCOMPARE(answer.ReadScreenshotId(), 5001);
        QCOMPARE(answer.ReadShortUrl(), QString("https://h/s/1"));

        const ApiXmlParser bare("<response><status>ok</status></response>");
        QVERIFY(bare.ReadAbout().title.isEmpty());
        QVERIFY(bare.ReadUpdate().version.isEmpty());
        QCOMPARE(bare.ReadScreenshotId(), 0);
        QVERIFY(bare.ReadShortUrl().isEmpty());
    }
};

QTEST_MAIN(TestApiXmlParser)
#include "tst_apixmlparser.moc"
