#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QMetaType>
#include <QPixmap>
#include <QString>
#include <QTime>

#include <optional>

// One 60-second activity sample.
struct EventsStatistic
{
    int mouseEvents = 0;
    int keyEvents = 0;
    QTime time;
};

// One work-diary capture. The services hub builds it (as MiscFunctions::SCREENSHOT);
// the uploads and the offline cache take it by value.
struct ScreenshotRecord
{
    QString memo;
    QTime time; // time of capture
    QDate date; // date of capture
    QPixmap picture; // the grabbed desktop as a thumbnail; the PNG is made from the grab
    QString activeWindow; // title of the front window
    QByteArray image; // the encoded PNG bytes
    // Whether `image` holds the uploads' fixed multipart boundary, where the maker of the PNG
    // looked already (the capture encoder does, on its thread, while the bytes are at hand);
    // unset when nobody looked, and the upload looks itself. Never stored in the cache.
    std::optional<bool> imageHoldsBoundary;
    int keyStrokes = 0;
    int mouseClicks = 0;
    int companyId = -1; // the team room tracked
    QList<EventsStatistic> statistic;
    QTime workingTime; // the tracked working time
    int memberId = -1; // the member signed in when it was captured
};

Q_DECLARE_METATYPE(ScreenshotRecord)
