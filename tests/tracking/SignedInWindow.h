#pragma once

#include "AppInfo.h"
#include "SettingsProvider.h"
#include "tracking/RosterWindow.h"

#include <QFile>
#include <QListWidget>
#include <QPair>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

// A main window whose REST clients are signed in to the fake service as "demo", the way
// sign-in completion leaves them, with the answers it sees recorded.
class SignedInWindow
{
public:
    SignedInWindow()
        : window(std::make_unique<RosterWindow>()),
          rest(window->findChild<RestAPI*>(QStringLiteral("restApi"))),
          info(window->findChild<RestAPI*>(QStringLiteral("infoApi"))),
          model(window->findChild<RosterManager*>(QStringLiteral("rosterManager"))),
          list(window->findChild<QListWidget*>(QStringLiteral("lstRoster"))),
          tray(window->findChild<MiscFunctions*>()->GetTrayIcon()),
          answers(rest, &RestAPI::ApiDataOk), failures(rest, &RestAPI::ApiDataError)
    { }

    // Signs both clients in; with `session` the window takes the answers of a sign-in.
    bool SignIn(bool session = true)
    {
        rest->Login(QStringLiteral("demo"), QStringLiteral("demo123"));
        if (!WaitForAnswer(RestAPI::LoginState))
            return false;
        info->SetApiSecurityInfo(rest->GetCurrentUserInfo());
        if (session) {
            window->SetSignedIn(true);
            tray.ChangeSign(true);
        }
        return true;
    }

    // Asks for the roster, as sign-in and the refresh timer do, and waits for its last answer.
    bool Refresh(RestAPI::ApiState last = RestAPI::AllSnapshotsLoaded)
    {
        answers.clear();
        rest->Roster_GetTeams();
        return WaitForAnswer(last);
    }

    bool WaitForAnswer(RestAPI::ApiState state)
    {
        return QTest::qWaitFor([&] { return Answered(answers, state); }, 10000);
    }
    bool WaitForFailure(RestAPI::ApiState state)
    {
        return QTest::qWaitFor([&] { return Answered(failures, state); }, 10000);
    }

    // The rows as [team id, member id]; team rows carry -1.
    QList<QPair<int, int>> Rows() const
    {
        QList<QPair<int, int>> rows;
        for (int row = 0; row < list->count(); ++row)
            rows.append({ list->item(row)->data(ListWidgetManager::ROLE_GROUP_ID).toInt(),
                list->item(row)->data(ListWidgetManager::ROLE_CONTACT_ID).toInt() });
        return rows;
    }

    QListWidgetItem* Row(int groupID, int contactID) const
    {
        return list->item(ListWidgetManager::GetListWidgetItemIndexByGroupIDAndContactID(
            list, groupID, contactID));
    }

    RosterManager::ROSTER_ITEM Member(int groupID, int contactID) const
    {
        return model->GetRosterItemByIndexes(groupID, contactID);
    }

    static QString ActivityLog()
    {
        QFile file(SettingsProvider().GetCurrentSettings().logLocation + QLatin1Char('/')
            + AppInfo::applicationName + QStringLiteral(".log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    std::unique_ptr<RosterWindow> window;
    RestAPI* rest;
    RestAPI* info;
    RosterManager* model;
    QListWidget* list;
    TrayIcon& tray;
    QSignalSpy answers;
    QSignalSpy failures;

private:
    static bool Answered(const QSignalSpy& spy, RestAPI::ApiState state)
    {
        for (const QList<QVariant>& answer : spy) {
            if (answer.at(0).value<RestAPI::ApiState>() == state)
                return true;
        }
        return false;
    }
};
