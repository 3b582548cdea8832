#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A plain CSV reader (RFC 4180 quoting) that then evaluates ="text" formulas the way a
// spreadsheet shows them, to prove that every value comes back in its own cell.
inline QList<QStringList> readCsvBack(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool atFieldStart = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"' && atFieldStart) {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
            atFieldStart = true;
            continue;
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            field.clear();
            rows << row;
            row.clear();
            ++i;
            atFieldStart = true;
            continue;
        } else {
            field += c;
        }
        atFieldStart = false;
    }
    for (QStringList &r : rows) {
        for (QString &f : r) {
            if (f.startsWith(QStringLiteral("=\"")) && f.endsWith(u'"'))
                f = f.mid(2, f.size() - 3).replace(QStringLiteral("\"\""), QStringLiteral("\""));
        }
    }
    return rows;
}
