#pragma once

#include <QString>

// Fixed texts shared by the REST client, the uploads, the chat status and the update check.

namespace MyMimeTypes {
inline const QString png = QStringLiteral("image/png");
inline const QString formUrlEncoded = QStringLiteral("application/x-www-form-urlencoded");
inline const QString multipartFormData = QStringLiteral("multipart/form-data");
inline const QString boundary = QStringLiteral("----MovarelquintashFormBoundary4d7a9c1e");
} // namespace MyMimeTypes

namespace ScreenshotUploadFields {
inline const QString title = QStringLiteral("title");
inline const QString activeWindow = QStringLiteral("active_window");
inline const QString keyStrokes = QStringLiteral("key_strokes");
inline const QString mouseClicks = QStringLiteral("mouse_clicks");
inline const QString hostName = QStringLiteral("host_name");
inline const QString teamId = QStringLiteral("team_id");
inline const QString workingTime = QStringLiteral("working_time");
inline const QString captureDate = QStringLiteral("capture_date");
inline const QString captureTime = QStringLiteral("capture_time");
inline const QString image = QStringLiteral("image");
inline const QString fileName = QStringLiteral("screenshot.png");
} // namespace ScreenshotUploadFields

namespace ScreensnapUploadFields {
inline const QString title = QStringLiteral("title");
inline const QString description = QStringLiteral("description");
inline const QString activeWindow = QStringLiteral("active_window");
inline const QString keyStrokes = QStringLiteral("key_strokes");
inline const QString mouseClicks = QStringLiteral("mouse_clicks");
inline const QString hostName = QStringLiteral("host_name");
inline const QString teamId = QStringLiteral("team_id");
inline const QString permission = QStringLiteral("permission");
inline const QString password = QStringLiteral("password");
inline const QString image = QStringLiteral("image");
inline const QString fileName = QStringLiteral("screensnap.png");
} // namespace ScreensnapUploadFields

namespace ScreenSnapPermissions {
inline const QString publicPermission = QStringLiteral("Public");
inline const QString teamPermission = QStringLiteral("Team");
inline const QString passwordPermission = QStringLiteral("Password");
} // namespace ScreenSnapPermissions

namespace FieldValues {
// The element that holds one record of a list in every XML answer.
inline const QString recordElement = QStringLiteral("numeric-key");
inline const QString responseElement = QStringLiteral("response");
inline const QString statusOk = QStringLiteral("ok");
inline const QString statusError = QStringLiteral("error");
inline const QString authErrorCode = QStringLiteral("auth");
} // namespace FieldValues

namespace ChatStatusValues {
inline const QString online = QStringLiteral("online");
inline const QString doNotDistrub = QStringLiteral("do not disturb");
inline const QString offline = QStringLiteral("offline");
} // namespace ChatStatusValues

namespace UpdateOsValues {
inline const QString os = QStringLiteral("Linux");
} // namespace UpdateOsValues
