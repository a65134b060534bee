#pragma once

#include "HistoryRecord.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Reads the whole records of a history file from the newest back, a block at a time, so a period
// costs only the records it shows. Records are counted from the end of the file: where a record
// does not end where the one after it begins (a byte inserted or lost, a damaged record, a
// cut-short tail), the reader looks back for the nearest record boundary and goes on from there.
// The bytes it passes over that way are bounded, so a damaged file costs little more than the
// records it shows.
class HistoryFileReader
{
public:
    explicit HistoryFileReader(const QString& fileName);

    // False when the file is missing, unreadable, not a regular file or does not start with the
    // history header.
    bool open();
    // The bytes of the next older whole record (HistoryRecord::size of them, valid until the
    // next call); null at the start of the file, on a read error or once the bound of bytes
    // passed over is reached.
    const char* previous();

private:
    // The file's bytes from `offset` on, at least `length` of them; null when they cannot be read.
    const char* At(qint64 offset, int length);
    // Moves `end` back to the nearest earlier end of a whole record.
    bool FindStep();

    QString fileName;
    QFile file;
    qint64 end = 0; // where the next older record ends
    qint64 passedOver = 0;
    QByteArray block;
    qint64 blockStart = 0;
};
