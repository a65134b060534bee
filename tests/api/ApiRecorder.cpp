#include "ApiRecorder.h"

#include <QElapsedTimer>
#include <QMetaEnum>
#include <QTest>

ApiRecorder::ApiRecorder(RestAPI* api) : QObject(api)
{
    connect(api, &RestAPI::ApiDataOk, this, [this](const RestAPI::ApiResult& result) {
        answers.append({ result, true });
    });
    connect(api, &RestAPI::ApiDataError, this, [this](const RestAPI::ApiResult& result) {
        answers.append({ result, false });
    });
    connect(
        api, &RestAPI::NetworkManagerLogSignal, this, [this](const QString& line) { log << line; });
}

ApiRecorder::Answer ApiRecorder::WaitFor(RestAPI::ApiState state, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (true) {
        for (const Answer& answer : qAsConst(answers)) {
            if (answer.state == state)
                return answer;
        }
        if (clock.elapsed() > timeoutMs)
            return {};
        QTest::qWait(5);
    }
}

QStringList ApiRecorder::Trail() const
{
    QStringList trail;
    for (const Answer& answer : answers)
        trail << (answer.ok ? QStringLiteral("+") : QStringLiteral("-"))
                + QString::fromLatin1(
                    QMetaEnum::fromType<RestAPI::ApiState>().valueToKey(answer.state));
    return trail;
}

void ApiRecorder::Clear()
{
    answers.clear();
    log.clear();
}
