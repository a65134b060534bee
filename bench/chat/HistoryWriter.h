#pragma once

#include "ChatHistory.h"
#include "HistoryRecord.h"

#include <QFile>
#include <QStringList>

// The history files of the chat benchmarks: `count` messages ten minutes apart, the newest a
// minute ago, every third one the member's (the sample service's demo member 1001), the others
// the partner's (`partnerId` in team 11). Texts are a few words each, or `length` characters
// without a space.
namespace HistoryWriter {

inline QString TextOf(int n, int length)
{
    if (length > 0)
        return QString::number(n) + QString(qMax(0, length - 10), QChar('a' + n % 26));
    static const QStringList words = { "build", "ready", "review", "ок", "merci", "ticket",
        "deploy", "größer", "then", "we", "can", "ship", "it" };
    QString text;
    for (int w = 0; w < 3 + n % 25; ++w)
        text += words.at((n + w * 7) % words.size()) + ' ';
    return text;
}

inline bool Write(
    const QString& fileName, int count, int length, int partnerId, const QString& partnerName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(HistoryFileConstants::fileHeader);
    const QDateTime newest = QDateTime::currentDateTime().addSecs(-60);
    for (int n = 0; n < count; ++n) {
        const bool mine = n % 3 == 0;
        file.write(HistoryRecord::Encode(
            { mine ? -1 : 11, mine ? 1001 : partnerId, newest.addSecs(-600LL * (count - 1 - n)),
                mine ? "Demo Member" : partnerName, TextOf(n, length) }));
    }
    return file.error() == QFile::NoError;
}

} // namespace HistoryWriter
