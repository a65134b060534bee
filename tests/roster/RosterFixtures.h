#pragma once

#include "RosterManager.h"

#include <QColor>
#include <QPixmap>

// Small builders for roster records used by the roster tests.

inline QPixmap Picture(int width, int height, const QColor& color)
{
    QPixmap picture(width, height);
    picture.fill(color);
    return picture;
}

inline RosterManager::ROSTER_ITEM Member(
    int groupID, int contactID, RosterManager::STATUS status = RosterManager::STATUS_ONLINE)
{
    RosterManager::ROSTER_ITEM member;
    member.groupID = groupID;
    member.contactID = contactID;
    member.fullName = QStringLiteral("Member %1").arg(contactID);
    member.userName = QStringLiteral("member%1").arg(contactID);
    member.status = status;
    return member;
}

inline RosterManager::ROSTER_GROUP_ITEM Team(
    int groupID, const QList<RosterManager::ROSTER_ITEM>& contacts, int isExpanded = 1)
{
    RosterManager::ROSTER_GROUP_ITEM team;
    team.groupID = groupID;
    team.name = QStringLiteral("Team %1").arg(groupID);
    team.isExpanded = isExpanded;
    team.contacts = contacts;
    return team;
}
