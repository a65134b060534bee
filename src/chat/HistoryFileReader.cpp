#include "HistoryFileReader.h"

#include "RegularFile.h"

namespace {

// 64 records are about 150 KB: one read serves the 50 newest messages.
constexpr qint64 blockBytes = 64 * HistoryRecord::size;
// A file of a header and gigabytes of zeros is given up after this much, not read to its start.
constexpr qint64 maxPassedOver = 64 * HistoryRecord::size;

bool IsRecordEnd(char byte)
{
    return byte == HistoryRecord::endOfMessage || byte == HistoryRecord::continued;
}

} // namespace

HistoryFileReader::HistoryFileReader(const QString& fileName) : fileName(fileName) { }

bool HistoryFileReader::open()
{
    if (!RegularFile::OpenForReading(&file, fileName))
        return false;
    if (file.read(HistoryRecord::headerSize) != HistoryFileConstants::fileHeader)
        return false;
    end = file.size();
    return true;
}

const char* HistoryFileReader::previous()
{
    while (end - HistoryRecord::size >= HistoryRecord::headerSize) {
        const char* record = At(end - HistoryRecord::size, HistoryRecord::size);
        if (!record)
            return nullptr;
        if (HistoryRecord::IsWhole(record)) {
            end -= HistoryRecord::size;
            return record;
        }
        if (!FindStep())
            return nullptr;
    }
    return nullptr;
}

bool HistoryFileReader::FindStep()
{
    for (qint64 step = end - 1; step - HistoryRecord::size >= HistoryRecord::headerSize; --step) {
        if (++passedOver > maxPassedOver)
            return false;
        const char* last = At(step - 1, 1);
        if (!last)
            return false;
        if (!IsRecordEnd(*last))
            continue;
        const char* record = At(step - HistoryRecord::size, HistoryRecord::size);
        if (record && HistoryRecord::IsWhole(record)) {
            end = step;
            return true;
        }
    }
    return false;
}

const char* HistoryFileReader::At(qint64 offset, int length)
{
    if (offset >= blockStart && offset + length <= blockStart + block.size())
        return block.constData() + (offset - blockStart);
    // Walking back: the block ends where the bytes asked for end.
    const qint64 blockEnd = offset + length;
    blockStart = qMax<qint64>(HistoryRecord::headerSize, qMin(offset, blockEnd - blockBytes));
    if (!file.seek(blockStart)) {
        block.clear();
        return nullptr;
    }
    block = file.read(blockEnd - blockStart);
    if (block.size() != blockEnd - blockStart) {
        block.clear();
        return nullptr;
    }
    return block.constData() + (offset - blockStart);
}
