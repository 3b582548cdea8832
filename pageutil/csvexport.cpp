#include "pageutil.h"

#include <QAbstractItemModel>
#include <QIODevice>
#include <QSaveFile>

namespace Module1 {

namespace {
bool needsProtection(const QString &value)
{
    for (QChar c : value) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    return false;
}

// A sub-item as a text formula ="value". A value that would break the line or the
// formula's string becomes a quoted CSV field of the same formula, so it stays one cell
// and cannot end the string early to smuggle in a formula of its own.
void appendSubItem(QString &line, const QString &value)
{
    if (!needsProtection(value)) {
        line += u"=\"";
        line += value;
        line += u"\",";
        return;
    }
    QString inner = value;
    inner.replace(QStringLiteral("\""), QStringLiteral("\"\"\"\""));
    line += u"\"=\"\"";
    line += inner;
    line += u"\"\"\",";
}

QString cellText(const QAbstractItemModel &list, int row, int column)
{
    return list.data(list.index(row, column), Qt::DisplayRole).toString();
}
} // namespace

bool exportListToCsv(const QAbstractItemModel &list, QIODevice &out, bool withHeader)
{
    try {
        const int rows = list.rowCount();
        const int columns = list.columnCount();
        if (rows <= 0)
            return false;
        const auto writeLine = [&out](QString &line) {
            line += u"\r\n";
            const QByteArray bytes = encodeText(line);
            line.clear();
            return out.write(bytes) == bytes.size();
        };
        QString line;
        if (withHeader) {
            for (int c = 0; c < columns; ++c) {
                line += list.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
                line += u',';
            }
            if (!writeLine(line))
                return false;
        }
        for (int r = 0; r < rows; ++r) {
            if (columns > 0) {
                line += cellText(list, r, 0);
                line += u',';
            }
            for (int c = 1; c < columns; ++c)
                appendSubItem(line, cellText(list, r, c));
            if (!writeLine(line))
                return false;
        }
        return writeLine(line); // the closing empty line
    } catch (...) {
        return false;
    }
}

bool exportListToCsv(const QAbstractItemModel &list, const QString &path, bool withHeader)
{
    try {
        if (list.rowCount() <= 0)
            return false;
        // Written beside the target and renamed over it only when complete, so a failure
        // never destroys an earlier file and never leaves a partial one.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        if (!exportListToCsv(list, file, withHeader)) {
            file.cancelWriting();
            return false;
        }
        return file.commit();
    } catch (...) {
        return false;
    }
}

} // namespace Module1
