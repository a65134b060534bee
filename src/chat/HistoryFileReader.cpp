#include "HistoryFileReader.h"

namespace {
// 64 records are about 150 KB: one read serves the 50 newest messages.
constexpr qint64 recordsPerBlock = 64;
} // namespace

HistoryFileReader::HistoryFileReader(const QString& fileName) : file(fileName) { }

bool HistoryFileReader::open()
{
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.read(HistoryRecord::headerSize) != HistoryFileConstants::fileHeader)
        return false;
    unreadRecords = (file.size() - HistoryRecord::headerSize) / HistoryRecord::size;
    return true;
}

bool HistoryFileReader::previous(HistoryRecord::Piece* piece)
{
    for (;;) {
        if (blockRecords == 0) {
            if (unreadRecords == 0)
                return false;
            const qint64 count = qMin(recordsPerBlock, unreadRecords);
            unreadRecords -= count;
            if (!file.seek(HistoryRecord::headerSize + unreadRecords * HistoryRecord::size))
                return false;
            block = file.read(count * HistoryRecord::size);
            if (block.size() != count * HistoryRecord::size)
                return false;
            blockRecords = static_cast<int>(count);
        }
        --blockRecords;
        if (HistoryRecord::Decode(block.constData() + blockRecords * HistoryRecord::size, piece))
            return true;
    }
}
