#pragma once

#include "options.h"

#include <QByteArray>

class ResultModel;

// The bytes of kept rows in the chosen format: CSV exactly as the window saves it (code page 936,
// or UTF-8 behind a byte-order mark), or one JSON object per line.
class RowFormat
{
public:
    explicit RowFormat(const CliOptions &options);

    QByteArray begin() const; // before the first row
    QByteArray row(const ResultModel &list, int row) const;
    QByteArray end() const; // after the last row
    QByteArray whole(const ResultModel &list) const;

private:
    QByteArray encode(const QString &text) const;

    CliOptions::Format m_format;
    bool m_utf8;
};
