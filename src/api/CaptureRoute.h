#pragma once

#include <QObject>

// Where a saved capture goes, and what the own status then says, decided from what the main
// window found out: whether the service can be reached, how many captures the offline cache
// holds, whether the cache took the capture it was offered and whether the cache's own upload
// runs. The window asks the platform and the cache, in that order and only as far as the rule
// needs, and does what is decided here.
//
// Captures leave in the order they were taken: while the cache holds any, a new one goes behind
// them and the cache's upload sends them all, oldest first. A capture is lost only when it
// cannot be sent and the cache cannot take it.
class CaptureRoute
{
    Q_GADGET
public:
    // Decided before the cache is asked.
    enum class Way
    {
        Upload, // online with an empty cache: sent at once, kept until the service answers
        BehindCached, // online while older captures wait: offered to the cache
        KeepOffline, // the service cannot be reached, or the upload failed: offered to the cache
        Lose // the same with a full cache, which is not asked
    };
    Q_ENUM(Way)

    enum class Fate
    {
        Uploaded, // handed to the uploads at once
        Cached, // the cache took it
        Lost
    };
    Q_ENUM(Fate)

    // The word of the own status, which turns "cached" with it; None leaves the status as it is.
    enum class Word
    {
        None,
        UploadingCache,
        WritingToCache,
        CacheFull
    };
    Q_ENUM(Word)

    struct Outcome
    {
        Fate fate;
        bool startsCacheUpload; // the cache's upload is started, with the member's credentials
        Word word;
    };

    // `online`: the network was up at the capture and still is, and the service's host is
    // found. An upload that failed, or never left, goes as a capture saved offline does.
    static Way ForSave(bool online, int cachedItems);
    static bool OffersToCache(Way way);
    // `cacheTookIt` is the cache's answer to the offer; it counts only when there was one.
    static Outcome After(Way way, bool cacheTookIt, bool cacheUploading);
};
