#pragma once

#include "result_model.h"

#include <functional>

class QIODevice;

// Reads the rows of a journal (the CSV layout of a saved list, in code page 936) a piece at
// a time, so that a journal of millions of rows is never held as a whole.
namespace JournalReader {

struct Reading
{
    bool ok = true;          // false: bytes that are no journal
    bool headerSeen = false; // false with ok: an empty file, or one torn inside its header
    qint64 rows = 0;
    qint64 wholeBytes = 0;   // where the whole rows end
    bool torn = false;       // a torn last line lies beyond them
};

// The header line the journal begins with.
QString headerLine();

// Hands every whole row of in to eachRow, in order.
Reading read(QIODevice &in, const std::function<void(const ResultModel::Row &)> &eachRow);

} // namespace JournalReader
