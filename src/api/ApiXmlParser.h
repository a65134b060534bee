#pragma once

#include "RestAPI.h"
#include "RosterManager.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

// Reads one XML answer of the service whole and turns it into records. An answer is valid when
// it is well-formed with the root element "response"; it is ok when, besides, its status is
// "ok". Unknown elements are ignored; a missing element reads as empty text or 0.
class ApiXmlParser
{
public:
    // Bounds no real answer comes near; past them an answer is refused as a bad answer, so a
    // hostile one costs neither the GUI thread's time nor much memory.
    static constexpr int maxAnswerSize = 4 * 1024 * 1024;
    static constexpr int maxElements = 200000;
    static constexpr int maxAttributes = 64; // per element; the answers use none

    explicit ApiXmlParser(const QByteArray& xml);

    bool IsValid() const;
    bool IsOk() const;
    // Valid with the status "error": the service itself said no, with its code and message.
    bool IsRefusal() const;
    QString ErrorCode() const;
    QString ErrorMessage() const;
    // Why the answer is not ok, in words for the trace log and the error signal.
    QString Problem() const;

    // False when the answer names no usable member (no id of at least 1, or no hash key).
    bool ReadLogin(RestAPI::SecurityUserInfo* info) const;
    QList<RosterManager::ROSTER_GROUP_ITEM> ReadTeams() const;
    // Reads the teams the answer lists now, for ReadTeams to hand over: an answer is read on the
    // requests' thread, and a roster's list of teams took the GUI thread milliseconds to read.
    void ReadAhead();
    QList<RosterManager::ROSTER_ITEM> ReadMembers(int teamId) const;
    RestAPI::AboutInfo ReadAbout() const;
    QList<RestAPI::TeamWorkTool> ReadTools() const;
    RestAPI::UpdateInfo ReadUpdate() const;
    int ReadScreenshotId() const;
    QString ReadShortUrl() const;

private:
    struct Element
    {
        QString name;
        QString text;
        std::vector<Element> children;

        const Element* Child(const QString& childName) const;
        QString Text(const QString& childName) const;
        int Number(const QString& childName) const;
        // The "numeric-key" records of the child list `listName`.
        std::vector<const Element*> Records(const QString& listName) const;
    };

    Element root;
    std::optional<QList<RosterManager::ROSTER_GROUP_ITEM>> teamsReadAhead;
    bool valid = false;
    QString parseProblem;
};
