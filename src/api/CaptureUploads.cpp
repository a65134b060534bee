#include "CaptureUploads.h"

CaptureUploads::CaptureUploads(RestAPI& api, QObject* parent) : QObject(parent), api(api)
{
    connect(&api, &RestAPI::ApiDataOk, this, [this](const RestAPI::ApiResult& result) {
        if (result.state == RestAPI::ScreenshotUpload)
            OnAnswer(true, result.value);
    });
    connect(&api, &RestAPI::ApiDataError, this, [this](const RestAPI::ApiResult& result) {
        if (result.state == RestAPI::ScreenshotUpload || result.state == RestAPI::NoConnection)
            OnAnswer(false, result.value);
    });
}

void CaptureUploads::Send(const ScreenshotRecord& shot)
{
    // Every answer, even one decided at once, comes from the event loop, after this.
    sent.append({ api.UploadScreenshot(shot), shot });
}

QList<ScreenshotRecord> CaptureUploads::TakeUnanswered()
{
    QList<ScreenshotRecord> shots;
    for (const auto& upload : qAsConst(sent))
        shots.append(upload.second);
    sent.clear();
    return shots;
}

// Answers without an upload's number (another request's NoConnection) or for an upload no
// longer waited for change nothing.
void CaptureUploads::OnAnswer(bool ok, const QVariant& value)
{
    if (value.userType() != qMetaTypeId<RestAPI::UploadAnswer>())
        return;
    const quint64 upload = value.value<RestAPI::UploadAnswer>().upload;
    for (int index = 0; index < sent.size(); ++index) {
        if (sent.at(index).first != upload)
            continue;
        const ScreenshotRecord shot = sent.takeAt(index).second;
        if (!ok)
            emit Failed(shot);
        return;
    }
}
