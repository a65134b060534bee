#pragma once

#include "RestAPI.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariant>

// Records every answer of one client in order, and its trace lines.
class ApiRecorder : public QObject
{
    Q_OBJECT
public:
    // The result, and whether it came as ApiDataOk.
    struct Answer : RestAPI::ApiResult
    {
        bool ok = false;
    };

    explicit ApiRecorder(RestAPI* api);

    // Waits until an answer with this state arrived; returns it (state NoState on timeout).
    Answer WaitFor(RestAPI::ApiState state, int timeoutMs = 10000);
    // The states answered so far, as "+AllTeamsLoaded" for ApiDataOk and "-GetTeamsState" for
    // ApiDataError.
    QStringList Trail() const;
    void Clear();

    QList<Answer> answers;
    QStringList log;
};
