#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The fixed accounts, teams, members and pictures the fake service answers with.
namespace SampleData {

struct Account
{
    QString login;
    QString password; // as typed; the service compares its MD5 digest
    int memberId;
    QString firstName;
    QString lastName;
    QString lastWork;
};

struct Member
{
    int id;
    QString username;
    QString fullName;
    QString memo;
    int status; // 0-8, the client's STATUS values
    bool working;
    QString workedTime;
    bool hasAvatar;
    bool hasSnapshot;
};

struct Team
{
    int id;
    QString name;
    QString description;
    QList<int> memberIds;
};

struct Tool
{
    QString title;
    QString page; // path on this server
};

QList<Account> Accounts();
QList<Member> Members();
// Null id (0) when not found.
Member FindMember(int id);
// Every team; TeamsOf those the member belongs to.
QList<Team> Teams();
QList<Team> TeamsOf(int memberId);
QList<Tool> Tools();

// Pictures are drawn in code, the same for the same id.
QByteArray AvatarPng(int memberId);
QByteArray SnapshotPng(int memberId);
// A PNG file whose header claims 0 x 5 pixels: no picture decoder takes it.
QByteArray EmptyPng();
QByteArray ToolPng(int index);
// A picture of `format` ("png", "jpeg", "bmp" or "svg") whose header states width × height
// pixels; empty for another format. PNG and JPEG pictures of more than 4096 × 4096 pixels are
// drawn at 16 × 16 with the stated size put into their header, as a small file stating a huge
// picture; the others are drawn whole.
QByteArray Picture(const QString& format, int width, int height);
// Its content type.
QByteArray PictureType(const QString& format);
// Stands in for an installer package: deterministic bytes, large enough for a progress bar.
QByteArray InstallerBytes();

} // namespace SampleData
