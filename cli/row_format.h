#pragma once

#include "options.h"
#include "result_model.h"

#include <QByteArray>

class QIODevice;

// value as a JSON string, quotes and escapes included, appended to out.
void appendJsonString(QString &out, const QString &value);

// The bytes of kept rows in the chosen format: CSV exactly as the window saves it (code page 936,
// UTF-8 behind a byte-order mark, or the locale's encoding), or one JSON object per line.
class RowFormat
{
public:
    explicit RowFormat(const CliOptions &options);

    QByteArray begin() const; // before the first row
    QByteArray row(const ResultModel &list, int row) const;
    QByteArray row(const ResultModel::Row &cells) const;
    QByteArray end() const; // after the last row

    // The whole output from a journal of the rows (in the window's CSV bytes), read a piece
    // at a time; false when the journal cannot be read.
    bool convertJournal(QIODevice &journal, QIODevice &out) const;

    // Text in the bytes of the chosen format and encoding.
    QByteArray encode(const QString &text) const;

private:
    CliOptions::Format m_format;
    CliOptions::Encoding m_encoding;
};
