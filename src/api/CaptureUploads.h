#pragma once

#include "RestAPI.h"
#include "ScreenshotRecord.h"

#include <QList>
#include <QObject>
#include <QPair>

// The captures the main window uploads at once, each kept until the service has answered for
// it. An answer is matched to its capture by the number its upload carries, never by order: an
// upload that never left (the client found no network and answered NoConnection) fails alone,
// and a success takes out only its own capture.
class CaptureUploads : public QObject
{
    Q_OBJECT
public:
    explicit CaptureUploads(RestAPI& api, QObject* parent = nullptr);

    void Send(const ScreenshotRecord& shot);
    // The captures sent and not yet answered, oldest first; their answers are not waited for
    // any more.
    QList<ScreenshotRecord> TakeUnanswered();

signals:
    // The service did not take the capture, or it never left: it is the caller's again.
    void Failed(const ScreenshotRecord& shot);

private:
    void OnAnswer(bool ok, const QVariant& value);

    RestAPI& api;
    QList<QPair<quint64, ScreenshotRecord>> sent; // oldest first
};
