#pragma once

#include "HistoryRecord.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Reads the complete records of a history file from the newest back, a block at a time, so a
// period costs only the records it shows. A cut-short last record is left out.
class HistoryFileReader
{
public:
    explicit HistoryFileReader(const QString& fileName);

    // False when the file is missing, unreadable or does not start with the history header.
    bool open();
    // The next older record with a valid date; false at the start of the file or on a read
    // error.
    bool previous(HistoryRecord::Piece* piece);

private:
    QFile file;
    qint64 unreadRecords = 0; // the records before the current block
    QByteArray block;
    int blockRecords = 0; // the records of the block not handed out yet
};
