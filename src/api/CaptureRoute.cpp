#include "CaptureRoute.h"

#include "OfflineStorage.h"

CaptureRoute::Way CaptureRoute::ForSave(bool online, int cachedItems)
{
    if (online)
        return cachedItems < 1 ? Way::Upload : Way::BehindCached;
    return cachedItems < OfflineStorage::maxItems ? Way::KeepOffline : Way::Lose;
}

bool CaptureRoute::OffersToCache(Way way)
{
    return way == Way::BehindCached || way == Way::KeepOffline;
}

CaptureRoute::Outcome CaptureRoute::After(Way way, bool cacheTookIt, bool cacheUploading)
{
    switch (way) {
    case Way::Upload:
        return { Fate::Uploaded, false, Word::None };
    case Way::BehindCached: {
        // Refused (a full cache, or one that cannot be written), it is sent at once rather than
        // lost. Either way the cache's upload runs, for the captures that wait.
        const bool starts = !cacheUploading;
        return { cacheTookIt ? Fate::Cached : Fate::Uploaded, starts,
            starts ? Word::UploadingCache : Word::None };
    }
    case Way::KeepOffline:
        if (cacheTookIt)
            return { Fate::Cached, false, Word::WritingToCache };
        break;
    case Way::Lose:
        break;
    }
    return { Fate::Lost, false, Word::CacheFull };
}
