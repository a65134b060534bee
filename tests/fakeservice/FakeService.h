#pragma once

#include "FakeHttpServer.h"
#include "FormParser.h"
#include "SampleData.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

// The service side of the REST contract with sample data: signs in the sample accounts,
// answers every request, serves the pictures and the installer, records what it receives and
// fails on request. Control requests (POST /control/...) change the failure and the teams'
// members on the fly.
class FakeService : public QObject
{
    Q_OBJECT
public:
    // How to fail: "http500", "malformed", "slow" or "auth"; empty for never.
    struct FailRule
    {
        QString mode;
        QString path; // empty: every API request; ending in '*': a prefix
        int after = 0; // let this many matching requests through first
        int times = 0; // then fail this many (0: all)
        int delayMs = 60000; // how late a "slow" answer comes; a "drip" one's pause per byte
        int matched = 0;
    };

    struct Options
    {
        QString recordDir; // empty: record nothing
        QString updateVersion = QStringLiteral("1.1"); // empty: nothing newer
        FailRule failRule;
        // Above 0: the member "demo" belongs to this many generated teams of `rosterMembers`
        // members each (the benchmarks' large roster) instead of the sample teams.
        int rosterTeams = 0;
        int rosterMembers = 0;
    };

    explicit FakeService(const Options& options, QObject* parent = nullptr);

    FakeHttpServer::Response Handle(const FakeHttpServer::Request& request);

    static QStringList FailModes();
    // Modes whose answer is the right one, held back: "slow" and "drip".
    static bool IsLate(const QString& mode);

private:
    using Response = FakeHttpServer::Response;

    Response HandleControl(const QString& command, const FormParser& form);
    Response ChangeTeam(const FormParser& form);
    Response ChangeMember(const FormParser& form);
    Response ServePicture(const FormParser& form);
    void RestoreSampleData();
    void GenerateLargeRoster();
    QByteArray Picture(const QString& kind, int memberId);
    void Resume();
    void SaveSessions() const;
    QList<SampleData::Team> TeamsOf(int memberId) const;
    bool IsMemberOf(int memberId, const QString& teamText) const;
    Response HandleApi(const QString& path, const FormParser& form, const QString& base);
    Response HandleLogin(const FormParser& form, const QString& base);
    Response HandleUpload(const QString& path, const FormParser& form, const QString& base);
    Response HandleGet(const QString& path);
    bool FailureFor(const QString& path, bool api, Response* failure);
    void Record(const QString& path, const FormParser& form, int status);
    void RecordUpload(const QString& kind, const FormParser& form);

    Options options;
    FailRule rule;
    QMap<QString, int> sessions; // hash key -> member id
    QMap<QString, QByteArray> snaps; // short code -> PNG
    QList<SampleData::Team> teams;
    QMap<int, SampleData::Member> members;
    // Members whose picture address serves a PNG that no decoder takes.
    QSet<int> brokenAvatars;
    QSet<int> brokenSnapshots;
    QMap<QString, Response> servedPictures; // path -> the picture served there instead
    QString aboutDescription;
    // Pictures as served, drawn once: a large roster asks for thousands at every refresh.
    QHash<QString, QByteArray> pictureCache;
    int requestCount = 0;
    int uploadCount = 0;
};
