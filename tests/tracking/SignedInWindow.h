#pragma once

#include "TrackingFixture.h"

#include <QListWidget>

#include <memory>

// A main window whose REST clients are signed in to the fake service as the sample member, the
// way sign-in completion leaves them, with the roster client's answers recorded.
class SignedInWindow
{
public:
    SignedInWindow()
        : window(std::make_unique<RosterWindow>()),
          rest(TrackingFixture::Find<RestAPI>(*window, "restApi")),
          info(TrackingFixture::Find<RestAPI>(*window, "infoApi")),
          model(TrackingFixture::Find<RosterManager>(*window, "rosterManager")),
          list(TrackingFixture::Find<QListWidget>(*window, "lstRoster")),
          tray(window->findChild<MiscFunctions*>()->GetTrayIcon()),
          answers(rest, &RestAPI::ApiDataOk), failures(rest, &RestAPI::ApiDataError)
    { }

    // Signs both clients in; with `session` the window takes the answers of a sign-in.
    bool SignIn(bool session = true)
    {
        if (!TrackingFixture::SignInClients(*window))
            return false;
        if (session)
            TrackingFixture::MarkSignedIn(*window);
        return true;
    }

    // The whole sign-in completion, as the sign-in dialog ends it, and the first roster drawn.
    bool CompleteSignIn()
    {
        if (!TrackingFixture::SignInClients(*window))
            return false;
        RestAPI::SecurityUserInfo info = rest->GetCurrentUserInfo();
        info.password = "demo123";
        answers.clear();
        emit window->findChild<MiscFunctions*>()->GetAuthDialog().OnAuthComplete("demo", info);
        return WaitForAnswer(RestAPI::AllSnapshotsLoaded);
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
            if (answer.at(0).value<RestAPI::ApiResult>().state == state)
                return true;
        }
        return false;
    }
};
