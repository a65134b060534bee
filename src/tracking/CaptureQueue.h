#pragma once

#include "CaptureEncoder.h"
#include "CaptureRoute.h"
#include "CaptureUploads.h"
#include "MadeOnFirstUse.h"
#include "MiscFunctions.h"
#include "TrackingEnvironment.h"

#include <QList>
#include <QObject>
#include <QTime>

#include <functional>
#include <memory>

class LogManager;
class NetworkChecker;
class OfflineStorage;
class RestAPI;
class popupWindow;

// The desktop captures of a working day, from the capture timer's tick until each is uploaded
// or kept in the offline cache: the record, the grab and the PNG (on the encoder's workers), the
// popup that shows the capture, the save its close asks for (each capture once, in the order
// they were taken), the route CaptureRoute decides, and the uploads until the service answers.
// What the window shows of it (the "Last snapshot" entries, the worked time, the cached status,
// the state check that waits for a grab) it learns from the signals.
class CaptureQueue : public QObject
{
    Q_OBJECT
public:
    // What captures are taken and saved with: the main window's, which outlive the queue. The
    // environment is read at each use, so a replacement counts from the next capture.
    struct Services
    {
        const TrackingEnvironment& environment;
        MiscFunctions& misc; // the record's team, memo and activity; the last capture
        RestAPI& restApi; // the member signed in, and the uploads
        LogManager& log;
        OfflineStorage& cache;
        NetworkChecker& networkChecker;
        MadeOnFirstUse<popupWindow>& popup;
        std::function<bool()> isTracking;
        std::function<QTime()> workingTime; // taken into the record
    };

    explicit CaptureQueue(const Services& services, QObject* parent = nullptr);

    // Takes a capture (the window asks only while time is tracked) and shows it in the popup
    // once grabbed, or saves it at once when notices are off. The capture still in its popup is
    // saved first.
    void Take();
    // Uploads the capture of the popup or keeps it in the offline cache; each capture once.
    void Save();
    // Tracking ends: the captures not saved yet, the one still in its popup too, go to the
    // offline cache (once encoded) instead of the uploads their saves would start; the popup
    // is put away.
    void KeepPendingInCache();
    // At quit: the same at once (their encodings waited for), and the unconfirmed uploads too.
    void KeepUnsaved();
    // A capture's desktop is still being grabbed.
    bool GrabRunning() const;

signals:
    // A capture's record is taken.
    void Taken();
    // The popup of a capture closed without a discard (or there was none): its save is asked.
    void SaveAsked();
    // The grabs have come back, none runs now.
    void GrabsBack();
    // A capture was offered to the offline cache: what the own status says of the cache now
    // (None: the status stays).
    void Cached(CaptureRoute::Word word);

private:
    // A capture from the timer until it is uploaded or cached. It is grabbed and its PNG made
    // on the encoder's workers, so the save rarely waits when its popup closes.
    struct Pending
    {
        MiscFunctions::SCREENSHOT shot; // the thumbnail put in when grabbed, the PNG when saved
        CaptureEncoder::JobPtr encoding;
        bool saveAsked = false; // its popup closed without a discard, or there was none
        bool toCache = false; // kept for later rather than uploaded (sign-out, exit)
        bool grabbed = false; // its thumbnail is in the record
        int popupLifeTimeMs = 0; // as the settings said when it was taken
    };

    void ShowGrabbedCaptures();
    void TakeInThumbnail(Pending& capture);
    void ShowCaptureInPopup(const Pending& capture);
    Pending* CaptureInPopup();
    void DiscardCapture();
    void SaveEncodedCaptures();
    bool TakePng(Pending& capture);
    // Uploads the capture at once, puts it behind the ones in the offline cache, or keeps it
    // there while the service cannot be reached (CaptureRoute decides).
    void SaveCapture(const MiscFunctions::SCREENSHOT& shot);
    void SaveBehindCached(const MiscFunctions::SCREENSHOT& shot);
    void KeepInCache(const MiscFunctions::SCREENSHOT& shot);
    void UploadAtOnce(const MiscFunctions::SCREENSHOT& shot);
    void WriteToCache(const MiscFunctions::SCREENSHOT& shot);
    // Offered to the cache when it has room, else lost; the status tells which.
    void KeepOffline(const MiscFunctions::SCREENSHOT& shot, CaptureRoute::Way way);
    void OnCaptureNotKept();
    void HidePopup();

    const Services services;
    bool networkEnabled = false; // as the platform reported it at the last capture
    CaptureEncoder encoder;
    std::weak_ptr<CaptureEncoder::Job> newestCapture; // the one MiscFunctions::currentShot holds
    QList<Pending> pending; // oldest first
    // Captures uploaded at once, each kept until the service answers for it.
    CaptureUploads uploads;
};
